// The parameters window's state and handlers, without the widgets.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/CommandRig.h"
#include "app/ParamCommands.h"
#include "app/ParamForm.h"
#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk {
namespace {

using namespace param;

struct ParamRig {
    ParamRig() : ctx(host) {}
    test::RecordingHost host;
    Context ctx;
    ParamForm form;
};

TEST(ParamForm, PortAddressFieldTakesHexDigitsOnly) {
    for (char32_t c : {U'0', U'9', U'a', U'f', U'A', U'F'}) EXPECT_TRUE(Edit4KeyPress(c)) << char(c);
    for (char32_t c : {U'g', U'G', U'x', U' ', U'\b', U'\r', U'-', U'а' /* Cyrillic */})
        EXPECT_FALSE(Edit4KeyPress(c)) << uint32_t(c);
    EXPECT_EQ(kEdit4MaxLength, 4);
}

TEST(ParamForm, SetAdrComReadsTheFieldAsHexAndShowsItBackInCapitals) {
    struct Case {
        const char* text;
        uint16_t adr;
        const char* shownBack;
    } cases[] = {
        {"378", 0x0378, "378"},
        {"3bc", 0x03BC, "3BC"},
        {"278", 0x0278, "278"},
        {"ffff", 0xFFFF, "FFFF"},
        {"0", 0x0000, "0"},
        {"12345", 0x2345, "2345"}, // pasted: kept in 16 bits
        {"1G", 0x0057, "57"},      // pasted: a stray character is folded in by XOR, unchecked
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ParamRig r;
        r.form.Edit4 = c.text;
        EXPECT_TRUE(SetAdrCom(r.ctx, r.form));
        EXPECT_EQ(r.ctx.portProg.AdrLpt, c.adr);
        FormShow(r.ctx, r.form);
        EXPECT_EQ(r.form.Edit4, c.shownBack);
        EXPECT_TRUE(r.host.messages.empty());
    }
}

TEST(ParamForm, EmptyAddressFieldIsSaidAndKeepsTheAddress) {
    ParamRig r;
    r.ctx.portProg.AdrLpt = 0x278;
    EXPECT_FALSE(SetAdrCom(r.ctx, r.form));
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x278);
    ASSERT_EQ(r.host.messages.size(), 1u);
    EXPECT_EQ(r.host.messages[0].text, "Не введен Адрес порта.");
    EXPECT_EQ(r.host.messages[0].kind, MsgKind::Information);
    EXPECT_EQ(r.host.messages[0].buttons, MsgButtons::Ok);
}

bool Hides(const MainVisibility& v, const std::string& name) {
    return std::find(v.begin(), v.end(), std::pair<std::string, bool>{name, false}) != v.end();
}

TEST(ParamForm, AccessCodeOpensServiceModeAnythingElseRestricts) {
    ParamRig r;
    r.form.Edit3 = "KUPOL";
    EXPECT_TRUE(SpeedButton3Click(r.ctx, r.form).empty());
    const ParamForm& f = r.form;
    for (bool shown : {f.SpeedButton2Visible, f.SpeedButton4Visible, f.SpeedButton5Visible, f.SpeedButton6Visible,
                       f.SpeedButton7Visible, f.SpeedButton21Visible, f.SpeedButton22Visible, f.ObnovlVisible})
        EXPECT_TRUE(shown);
    EXPECT_TRUE(f.bootPathsEnabled);
    EXPECT_TRUE(f.updatePathEnabled);
    EXPECT_EQ(f.Edit3, "");

    for (const char* code : {"kupol", "", "KUPOL "}) {
        SCOPED_TRACE(code);
        r.form.Edit3 = code;
        r.ctx.commands.Obnovl = true;
        const auto main = SpeedButton3Click(r.ctx, r.form);
        for (bool hidden : {f.SpeedButton2Visible, f.SpeedButton4Visible, f.SpeedButton7Visible,
                            f.SpeedButton21Visible, f.SpeedButton22Visible, f.ObnovlVisible})
            EXPECT_FALSE(hidden);
        EXPECT_TRUE(f.SpeedButton5Visible && f.SpeedButton6Visible) << "Rd SN / Rd UN keep their visibility";
        EXPECT_FALSE(f.bootPathsEnabled);
        EXPECT_FALSE(f.updatePathEnabled);
        EXPECT_EQ(f.Edit3, "");
        for (const char* name : {"Prog", "GroupBox2", "Panel4", "Label4", "Edit1", "ReadChip", "Sravn",
                                 "SpeedButton3", "SpeedButton7", "SpeedButton10", "SpeedButton11",
                                 "SpeedButton16", "Label2", "GroupBox3"})
            EXPECT_TRUE(Hides(main, name)) << name;
        EXPECT_FALSE(Hides(main, "SpeedButton4")) << "update-only mode keeps the update button";
        EXPECT_EQ(main.size(), 14u);
    }

    r.ctx.commands.Obnovl = false;
    const auto production = SpeedButton3Click(r.ctx, r.form);
    EXPECT_TRUE(Hides(production, "SpeedButton4"));
    EXPECT_FALSE(Hides(production, "GroupBox2"));
    EXPECT_FALSE(Hides(production, "Edit1"));
}

TEST(ParamForm, SecondActivationShowsTheFullCommandSet) {
    const auto main = SpeedButton4Click();
    EXPECT_EQ(main.size(), 16u);
    for (const char* name : {"Prog", "SpeedButton4", "GroupBox2", "Panel4", "Otl_oborud", "Label4", "Edit1"})
        EXPECT_NE(std::find(main.begin(), main.end(), std::pair<std::string, bool>{name, true}), main.end()) << name;
    EXPECT_TRUE(std::all_of(main.begin(), main.end(), [](const auto& p) { return p.second; }));
}

TEST(ParamForm, KFlagAndTheLabelsOnShowing) {
    ParamRig r;
    r.ctx.commands.ModuleNumber = 0x00012345;
    SpeedButton21Click(r.ctx, r.form);
    EXPECT_EQ(r.ctx.commands.ModuleNumber, 0x80012345u);
    EXPECT_EQ(r.form.Label11, "K");
    SpeedButton22Click(r.ctx, r.form);
    EXPECT_EQ(r.ctx.commands.ModuleNumber, 0x00012345u);
    EXPECT_EQ(r.form.Label11, "N");

    r.ctx.commands.ModuleNumber = 0x69012345;
    FormShow(r.ctx, r.form);
    EXPECT_EQ(r.form.Label9, " DEC=74565  HEX=69012345");
    EXPECT_EQ(r.form.Label11, "N");
    EXPECT_EQ(r.form.Edit4, "378");
    r.ctx.commands.ModuleNumber = 0x80ABCDEF;
    FormShow(r.ctx, r.form);
    EXPECT_EQ(r.form.Label9, " DEC=11259375  HEX=80ABCDEF");
    EXPECT_EQ(r.form.Label11, "K");
}

TEST(ParamForm, SetKThenUstanovitWritesTheFlagCleared) {
    test::CommandRig r(test::CommandRig::Factory(sim::ChipModel::PIC18F4620, sim::BenchKind::VirtualLpt));
    ASSERT_TRUE(OpenProgrammer(r.ctx)); // the rig's date: 15 May 2026
    ParamForm f;
    r.ctx.commands.ModuleNumber = 0x00012345;
    SpeedButton21Click(r.ctx, f);
    ParamUstanovitClick(r.ctx);
    EXPECT_EQ(r.ctx.commands.ModuleNumber, 0x69012345u) << "the date stamp clears the K flag";
    EXPECT_EQ(f.Label11, "K") << "the label is not refreshed";
    r.Settle();
    EXPECT_EQ(r.IdWord(1), 0x2345);
    EXPECT_EQ(r.IdWord(2), 0x6901);
    FormShow(r.ctx, f);
    EXPECT_EQ(f.Label11, "N");
}

TEST(ParamForm, ClosingHidesTheStampButtonsReloadsThenTakesTheAddress) {
    ParamRig r;
    r.form.Edit3 = "KUPOL";
    SpeedButton3Click(r.ctx, r.form);
    std::vector<std::string> order;
    r.form.Edit4 = "";
    const bool taken = FormClose(r.ctx, r.form, [&] {
        order.push_back("reload");
        EXPECT_TRUE(r.host.messages.empty()) << "the address is taken after the reload";
    });
    EXPECT_FALSE(taken);
    EXPECT_EQ(order, std::vector<std::string>{"reload"});
    EXPECT_EQ(r.host.messages.size(), 1u);
    const ParamForm& f = r.form;
    EXPECT_FALSE(f.SpeedButton2Visible || f.SpeedButton7Visible || f.SpeedButton21Visible || f.SpeedButton22Visible);
    EXPECT_TRUE(f.SpeedButton4Visible && f.SpeedButton5Visible && f.SpeedButton6Visible && f.ObnovlVisible)
        << "the rest of service mode stays until the next Aktivation";
    EXPECT_TRUE(f.bootPathsEnabled);
}

TEST(ParamForm, ChangedPortAddressReachesTheVirtualKordel) {
    sim::BenchOptions o;
    o.lptBase = 0x3BC; // the Kordel card sits at the second LPT address
    sim::Bench bench(o);
    ParamRig r;
    bench.Install(r.ctx);
    r.ctx.portProg.AdrLpt = 0x378;
    EXPECT_FALSE(OpenProgrammer(r.ctx));
    EXPECT_EQ(bench.Kordel().DataWrites().size(), 0u);

    r.form.Edit4 = "3bc";
    ASSERT_TRUE(SetAdrCom(r.ctx, r.form));
    EXPECT_TRUE(OpenProgrammer(r.ctx)) << r.host.label2;
    EXPECT_FALSE(r.ctx.IsUsb());
    EXPECT_TRUE(r.ctx.Is4620());
}

} // namespace
} // namespace mrk
