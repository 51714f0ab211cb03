#pragma once
// The parameters window without its widgets: the state of its controls and one
// function per handler. The window shows this state and forwards its events.
// The identity stamp ("DateTime", "Установить") is in ParamCommands.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace mrk {

struct Context;

struct ParamForm {
    std::string Edit3;  // access code, plain text
    std::string Edit4;  // LPT port address, hexadecimal
    std::string Label9; // factory number
    std::string Label11; // "K" / "N"
    // Service buttons, hidden until the access code is given.
    bool SpeedButton2Visible = false;  // "DateTime"
    bool SpeedButton4Visible = false;  // "Aktivation 2"
    bool SpeedButton5Visible = false;  // "Rd SN"
    bool SpeedButton6Visible = false;  // "Rd UN"
    bool SpeedButton7Visible = false;  // "Установить"
    bool SpeedButton21Visible = false; // "Set K"
    bool SpeedButton22Visible = false; // "Set N"
    bool ObnovlVisible = false;        // the update-only check box
    // Path rows: the boot-loader files (Edit2, Edit5 with SpeedButton1, SpeedButton8)
    // and the update file (Edit1 with SpeedButton17).
    bool bootPathsEnabled = false;
    bool updatePathEnabled = true;
};

// Controls of the main window to show (true) or hide (false), by designer name,
// in the order they are to be applied.
using MainVisibility = std::vector<std::pair<std::string, bool>>;

extern const char* const kAccessCode; // "KUPOL", compared case-sensitively

namespace param {

// The Edit4 filter: true when the typed character may go in (hex digits only;
// backspace and everything else are discarded).
[[nodiscard]] bool Edit4KeyPress(char32_t ch);
constexpr int kEdit4MaxLength = 4;

// Takes Edit4 into AdrLpt. Empty field: the message "Не введен Адрес порта.",
// the field emptied, AdrLpt kept, and false (the window then takes the focus).
[[nodiscard]] bool SetAdrCom(Context& ctx, ParamForm& f);

// "Aktivation": the access code in Edit3 opens service mode on this window;
// anything else restricts this window and the main window (returned).
MainVisibility SpeedButton3Click(Context& ctx, ParamForm& f);
// "Aktivation 2": the main window's full command set.
MainVisibility SpeedButton4Click();
// "Set K" / "Set N": the K flag, bit 31 of ModuleNumber.
void SpeedButton21Click(Context& ctx, ParamForm& f);
void SpeedButton22Click(Context& ctx, ParamForm& f);

void FormShow(Context& ctx, ParamForm& f);
// Hides the stamp buttons, runs reloadUpdateImage (the main window's reload of
// the built-in update), then SetAdrCom; returns what SetAdrCom returned.
template <class Reload>
[[nodiscard]] bool FormClose(Context& ctx, ParamForm& f, Reload&& reloadUpdateImage) {
    f.SpeedButton2Visible = f.SpeedButton21Visible = f.SpeedButton22Visible = f.SpeedButton7Visible = false;
    reloadUpdateImage();
    return SetAdrCom(ctx, f);
}

} // namespace param
} // namespace mrk
