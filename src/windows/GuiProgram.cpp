#include "windows/GuiProgram.h"

namespace mrk::gui {

GuiProgram::GuiProgram(const GuiOptions& options) {
    Prog12 = std::make_unique<TProg12>(options);
    // The dialogs belong to the main window and go with it.
    FormConfig = new TFormConfig(*Prog12);
    Form_otladka = new TForm_otladka(*Prog12);
    Form_Param = new TForm_Param(*Prog12);
    Form_Pred = new TForm_Pred(*Prog12);
    Res_timer = std::make_unique<TRes_timer>(*Prog12);
    Prog12->SetPeers(FormConfig, Form_otladka, Form_Param, Form_Pred, Res_timer.get());
}

GuiProgram::~GuiProgram() {
    Res_timer.reset();
    Prog12.reset();
}

} // namespace mrk::gui
