#pragma once
// The main window's controls as the commands see them. The window implements this
// with its widgets; the CLI and the tests implement it with plain values. The commands
// (update, cycle, erase, ...) touch the window only through here and through Host.
#include <string>

namespace mrk {

// Controls by their designer names. The first 17 are the ones the button lock
// manages, in the lock's order; the rest are touched by commands but never locked.
enum class Ctl {
    Prog, ReadChip, SpeedButton7, Sravn, SpeedButton3, SpeedButton4, SpeedButton17,
    SpeedButton18, Otl_oborud, Param, SpeedButton5, SpeedButton6, SpeedButton2,
    SpeedButton8, Avtom_Prog_P, Avt_Prog_St, SpeedButton13,
    // Hidden group partners: set down when their command ends, so the command button pops up.
    SpeedButton9,  // partner of Prog (group 1)
    SpeedButton14, // partner of ReadChip (group 3)
    SpeedButton15, // partner of Sravn / SpeedButton21 (group 4)
    SpeedButton12, // partner of SpeedButton18 (group 5)
    // Unmanaged controls.
    SpeedButton21, SpeedButton10, SpeedButton11, SpeedButton16, SpeedButton1,
    SpeedButton19, SpeedButton20, Edit1, RadioButton1, RadioButton2,
    Count
};
constexpr int kManagedControls = 17;

class MainControls {
public:
    virtual ~MainControls() = default;
    [[nodiscard]] virtual bool Enabled(Ctl c) const = 0;
    virtual void SetEnabled(Ctl c, bool enabled) = 0;
    // A grouped speed button set down; the others of its group pop up.
    virtual void SetDown(Ctl c) = 0;
    [[nodiscard]] virtual bool Down(Ctl c) const = 0;
    // "Маска ПЗУ": RadioButton2 "Поставить защиту" selected (else RadioButton1).
    [[nodiscard]] virtual bool ProtectSelected() const = 0;
    virtual void SelectProtect(bool protect) = 0;
    // The factory-number field Edit1.
    virtual std::string FactoryNumberText() const = 0;
    virtual void SetFactoryNumberText(const std::string& text) = 0;
    // Keyboard focus: into Edit1, or onto the main window itself.
    virtual void FocusEdit1() = 0;
    virtual void FocusMainWindow() = 0;
    // The hourglass cursor while a command runs.
    virtual void SetBusyCursor(bool busy) = 0;
};

} // namespace mrk
