#pragma once
// The program's six windows, created in their order: the main window, the
// configuration editor, the debug window, the parameters, the confirmation and
// the timer form. All live until the program ends; only the main window is shown
// by the event loop, the others modally on demand.
#include <memory>

#include "windows/GuiOptions.h"
#include "windows/TFormConfig.h"
#include "windows/TForm_Param.h"
#include "windows/TForm_Pred.h"
#include "windows/TForm_otladka.h"
#include "windows/TProg12.h"
#include "windows/TRes_timer.h"

namespace mrk::gui {

class GuiProgram {
public:
    explicit GuiProgram(const GuiOptions& options);
    ~GuiProgram();

    std::unique_ptr<TProg12> Prog12;
    TFormConfig* FormConfig;
    TForm_otladka* Form_otladka;
    TForm_Param* Form_Param;
    TForm_Pred* Form_Pred;
    std::unique_ptr<TRes_timer> Res_timer;
    // The exit code of an unattended run (--auto-update, --auto-cycle): not 0
    // when its command failed or its log or settings could not be written.
    int UnattendedExitCode = 0;
};

} // namespace mrk::gui
