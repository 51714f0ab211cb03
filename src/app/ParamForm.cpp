#include "app/ParamForm.h"

#include "core/Context.h"
#include "core/Format.h"
#include "image/HexDigit.h"

namespace mrk {

const char* const kAccessCode = "KUPOL";

namespace param {

bool Edit4KeyPress(char32_t ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

bool SetAdrCom(Context& ctx, ParamForm& f) {
    if (f.Edit4.empty()) {
        ctx.host.MessageBox("Не введен Адрес порта.", "", MsgKind::Information, MsgButtons::Ok);
        f.Edit4.clear();
        return false;
    }
    // Each digit is folded in with XOR, as the port address has always been read;
    // for hex digits it is the plain hexadecimal value.
    uint16_t v = 0;
    for (char c : f.Edit4) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        v = static_cast<uint16_t>((v * 16) ^ HexDigit(c));
    }
    ctx.portProg.AdrLpt = v;
    return true;
}

MainVisibility SpeedButton3Click(Context& ctx, ParamForm& f) {
    MainVisibility main;
    if (f.Edit3 == kAccessCode) {
        f.SpeedButton2Visible = f.SpeedButton5Visible = f.SpeedButton6Visible = f.SpeedButton7Visible = true;
        f.SpeedButton21Visible = f.SpeedButton22Visible = f.SpeedButton4Visible = f.ObnovlVisible = true;
        f.bootPathsEnabled = f.updatePathEnabled = true;
    } else {
        f.ObnovlVisible = f.SpeedButton2Visible = f.SpeedButton7Visible = false;
        f.SpeedButton21Visible = f.SpeedButton22Visible = f.SpeedButton4Visible = false;
        f.bootPathsEnabled = f.updatePathEnabled = false;
        main.emplace_back("Prog", false);
        if (ctx.commands.Obnovl) {
            for (const char* name : {"GroupBox2", "Panel4", "Label4", "Edit1"}) main.emplace_back(name, false);
        } else {
            main.emplace_back("SpeedButton4", false);
        }
        for (const char* name : {"ReadChip", "Sravn", "SpeedButton3", "SpeedButton7", "SpeedButton10",
                                 "SpeedButton11", "SpeedButton16", "Label2", "GroupBox3"})
            main.emplace_back(name, false);
    }
    f.Edit3.clear();
    return main;
}

MainVisibility SpeedButton4Click() {
    MainVisibility main;
    for (const char* name : {"Prog", "SpeedButton4", "ReadChip", "Sravn", "SpeedButton3", "SpeedButton7",
                             "SpeedButton10", "SpeedButton11", "SpeedButton16", "Label2", "GroupBox3",
                             "GroupBox2", "Panel4", "Otl_oborud", "Label4", "Edit1"})
        main.emplace_back(name, true);
    return main;
}

void SpeedButton21Click(Context& ctx, ParamForm& f) {
    ctx.commands.ModuleNumber |= 0x80000000u;
    f.Label11 = "K";
}

void SpeedButton22Click(Context& ctx, ParamForm& f) {
    ctx.commands.ModuleNumber &= 0x7FFFFFFFu;
    f.Label11 = "N";
}

void FormShow(Context& ctx, ParamForm& f) {
    const uint32_t ModuleNumber = ctx.commands.ModuleNumber;
    f.Label9 = Format(" DEC=%u  HEX=%X", ModuleNumber & 0xFFFFFFu, ModuleNumber);
    f.Label11 = (ModuleNumber & 0x80000000u) ? "K" : "N";
    f.Edit4 = Format("%X", ctx.portProg.AdrLpt);
}

} // namespace param
} // namespace mrk
