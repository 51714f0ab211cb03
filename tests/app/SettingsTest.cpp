// The settings file: where it lives, what it reads as, what a close writes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "app/CommandRig.h"
#include "app/Settings.h"

namespace mrk {
namespace {

using test::ScratchDir;

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void Put(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

struct SettingsRig {
    ScratchDir dir;
    test::RecordingHost host;
    Context ctx{host};
    std::filesystem::path ini = dir.Path() / "mrkprog.ini";
    SettingsRig() { ctx.commands.IniPath = ini.string(); }
};

TEST(Settings, TheFileIsNamedAfterTheProgramInTheCurrentDirectory) {
    EXPECT_EQ(IniPathFor("/work/line3", "/usr/bin/mrkprog"), "/work/line3/mrkprog.ini");
    EXPECT_EQ(IniPathFor("/work/line3", "mrkprog-gui"), "/work/line3/mrkprog-gui.ini");
    EXPECT_EQ(IniPathFor("/home/op", "C:/tools/upd.exe"), "/home/op/upd.ini");
    EXPECT_FALSE(ProgramFileName("x").empty());
}

TEST(Settings, AMissingFileGivesEveryDefault) {
    SettingsRig r;
    r.ctx.image.ConfigWrite.fill(0x55);
    ReadSettings(r.ctx);
    for (uint8_t b : r.ctx.image.ConfigWrite) EXPECT_EQ(b, 0);
    EXPECT_EQ(r.ctx.image.UpdatePath, "c:\\");
    EXPECT_EQ(r.ctx.image.BootPath4620, "c:\\");
    EXPECT_EQ(r.ctx.image.BootPath452, "c:\\");
    EXPECT_EQ(r.ctx.commands.ConfigChip, 0);
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x378);
}

TEST(Settings, ValuesAreTruncatedAndBadIntegersReadAsTheDefault) {
    SettingsRig r;
    Put(r.ini, "[FormConfig]\nConfigWrite[3]=300\nConfigWrite[4]=abc\nConfigWrite[5]=-1\nconfigwrite[6]=$85\n"
               "ConfigWrite[7]=\n\n[Form_Param]\nAdrLpt=632\nConfigChip=65797\n"
               "Edit1=c:\\mrk\\upd.bin\nEdit2=  /opt/mrk/boot 4620.hex  \nEdit5=\n");
    ReadSettings(r.ctx);
    const auto& cw = r.ctx.image.ConfigWrite;
    EXPECT_EQ(cw[3], 0x2C);
    EXPECT_EQ(cw[4], 0x00) << "not an integer: the default";
    EXPECT_EQ(cw[5], 0xFF);
    EXPECT_EQ(cw[6], 0x85) << "keys are found whatever their case";
    EXPECT_EQ(cw[7], 0x00);
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x278);
    EXPECT_EQ(r.ctx.commands.ConfigChip, 0x0105);
    EXPECT_EQ(r.ctx.image.UpdatePath, "c:\\mrk\\upd.bin") << "stored raw";
    EXPECT_EQ(r.ctx.image.BootPath4620, "/opt/mrk/boot 4620.hex");
    EXPECT_EQ(r.ctx.image.BootPath452, "") << "an empty value is a value";
}

TEST(Settings, AnUpdateOnlyCloseLeavesTheFileByteIdentical) {
    SettingsRig r;
    const std::string text = "; line 3\r\n[Form_Param]\r\nAdrLpt = 632\r\nEdit1=x.bin\r\n";
    Put(r.ini, text);
    ReadSettings(r.ctx);
    r.ctx.portProg.AdrLpt = 0x3BC;
    EXPECT_FALSE(WriteSettingsAtClose(r.ctx));
    EXPECT_EQ(Slurp(r.ini), text);
    std::filesystem::remove(r.ini);
    EXPECT_FALSE(WriteSettingsAtClose(r.ctx));
    EXPECT_FALSE(std::filesystem::exists(r.ini)) << "nor is one made";
}

TEST(Settings, AProductionCloseWritesConfigWriteOnlyForABinUpdatePath) {
    struct Case {
        const char* edit1;
        bool configKeys;
    } cases[] = {{"/opt/mrk/upd.hex", false}, {"/opt/mrk/upd.BIN", true}, {"/opt/mrk/upd.Bin", true},
                 {"/opt/mrk/upd.bin.crp", false}, {"/opt/mrk/upd", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit1);
        SettingsRig r;
        r.ctx.commands.Obnovl = false;
        r.ctx.image.UpdatePath = c.edit1;
        r.ctx.image.BootPath4620 = "c:\\";
        r.ctx.image.BootPath452 = "/opt/mrk/boot-452.hex";
        r.ctx.portProg.AdrLpt = 0x278;
        r.ctx.image.ConfigWrite = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
        r.ctx.commands.ConfigChip = 0x0105;
        ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
        const std::string text = Slurp(r.ini);
        EXPECT_EQ(text.find("ConfigWrite[") != std::string::npos, c.configKeys) << text;
        EXPECT_EQ(text.find("ConfigChip"), std::string::npos) << "never written";
        EXPECT_NE(text.find("Edit1=" + std::string(c.edit1) + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("AdrLpt=632\n"), std::string::npos) << text;
        if (c.configKeys) {
            EXPECT_NE(text.find("ConfigWrite[6]=133\n"), std::string::npos) << text;
            EXPECT_LT(text.find("ConfigWrite[0]="), text.find("ConfigWrite[13]="));
        }
        // What was written reads back the same.
        test::RecordingHost host;
        Context back(host);
        back.commands.IniPath = r.ini.string();
        ReadSettings(back);
        EXPECT_EQ(back.image.UpdatePath, c.edit1);
        EXPECT_EQ(back.image.BootPath4620, "c:\\");
        EXPECT_EQ(back.portProg.AdrLpt, 0x278);
        if (c.configKeys) {
            EXPECT_EQ(back.image.ConfigWrite, r.ctx.image.ConfigWrite);
        }
    }
}

TEST(Settings, AProductionCloseKeepsCommentsOtherSectionsAndKeyOrder) {
    SettingsRig r;
    Put(r.ini, "; station 3, line B\n[Other]\n; keep me\nfoo=bar baz\n\n[Form_Param]\n; the port\nAdrLpt=888\n"
               "Extra=1\nEdit1=old.hex\n\n; end of file\n");
    ReadSettings(r.ctx);
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    const std::string text = Slurp(r.ini);
    for (const char* kept : {"; station 3, line B", "[Other]", "; keep me", "foo=bar baz", "; the port", "Extra=1", "; end of file"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
    EXPECT_LT(text.find("[Other]"), text.find("[Form_Param]"));
    EXPECT_LT(text.find("AdrLpt="), text.find("Extra=1"));
    EXPECT_LT(text.find("Extra=1"), text.find("Edit1=new.hex"));
    EXPECT_EQ(text.find("old.hex"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(r.ini.string() + ".tmp"));
}

TEST(Settings, CommentsAreKeptOnceWhereverTheyStand) {
    for (const char* text : {"; only\n; two\n", "; only\n\n; two\n", "[A]\nx=1\n; end\n", "; top\n\n[A]\n; x\nx=1\n; end"}) {
        SCOPED_TRACE(text);
        SettingsRig r;
        Put(r.ini, text);
        r.ctx.commands.Obnovl = false;
        ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
        const std::string after = Slurp(r.ini);
        for (const char* c : {"; only", "; two", "; end", "; top", "; x"}) {
            const bool was = std::string(text).find(c) != std::string::npos;
            const size_t at = after.find(c);
            EXPECT_EQ(at != std::string::npos, was) << c << "\n" << after;
            if (was) {
                EXPECT_EQ(after.find(c, at + 1), std::string::npos) << c << " twice\n" << after;
            }
        }
    }
}

TEST(Settings, AFileThatCannotBeReplacedIsLeftAsItWas) {
    SettingsRig r;
    const std::string text = "[Form_Param]\nAdrLpt=632\n";
    Put(r.ini, text);
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    // A folder that cannot be written (not for root, who may write anywhere).
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(r.dir.Path().c_str(), 0555), 0);
        const SettingsWriteOutcome w = WriteSettingsAtClose(r.ctx);
        chmod(r.dir.Path().c_str(), 0755);
        EXPECT_EQ(w.result, SettingsWrite::Failed);
        // Said, with the file, so the operator knows his settings are gone.
        EXPECT_NE(w.message.find("Настройки не сохранены"), std::string::npos) << w.message;
        EXPECT_NE(w.message.find(r.ini.string()), std::string::npos) << w.message;
        EXPECT_EQ(Slurp(r.ini), text);
        EXPECT_FALSE(std::filesystem::exists(r.ini.string() + ".tmp"));
    }
}

// A settings file its owner made read-only is not replaced behind his back (the
// rename through the folder would do it); the lost changes are said. One that
// would not change is not touched at all.
TEST(Settings, AReadOnlyFileIsKeptAndTheLostChangesSaid) {
    struct Case {
        const char* edit1;
        SettingsWrite result;
    } cases[] = {{"new.hex", SettingsWrite::ReadOnly}, {"old.hex", SettingsWrite::Unchanged}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit1);
        SettingsRig r;
        const std::string text = "[Form_Param]\nEdit1=old.hex\nEdit2=c:\\\nEdit5=c:\\\nAdrLpt=632\n";
        Put(r.ini, text);
        ReadSettings(r.ctx);
        ASSERT_EQ(chmod(r.ini.c_str(), 0444), 0);
        r.ctx.commands.Obnovl = false;
        r.ctx.image.UpdatePath = c.edit1;
        const SettingsWriteOutcome w = WriteSettingsAtClose(r.ctx);
        EXPECT_EQ(w.result, c.result);
        EXPECT_EQ(w.message.empty(), c.result == SettingsWrite::Unchanged) << w.message;
        EXPECT_EQ(Slurp(r.ini), text);
        struct stat st{};
        ASSERT_EQ(stat(r.ini.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);
    }
}

TEST(Settings, WhatLiesAtTheTemporaryNameIsLeftAlone) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nAdrLpt=632\n");
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    // A folder, and a link to a file of somebody else's, planted where the new
    // file would be made: neither is touched, the settings are still written.
    const auto victim = r.dir.Path() / "victim.txt";
    Put(victim, "keep");
    std::filesystem::create_directory(r.ini.string() + ".tmp");
    std::filesystem::create_symlink(victim, r.dir.Path() / ("." + r.ini.filename().string() + ".tmp"));
    EXPECT_TRUE(WriteSettingsAtClose(r.ctx));
    EXPECT_NE(Slurp(r.ini).find("Edit1=new.hex"), std::string::npos);
    EXPECT_EQ(Slurp(victim), "keep");
    EXPECT_TRUE(std::filesystem::is_directory(r.ini.string() + ".tmp"));
}

TEST(Settings, ALinkedFileIsWrittenWhereItPoints) {
    SettingsRig r;
    const auto shared = r.dir.Path() / "shared.ini";
    Put(shared, "[Form_Param]\nAdrLpt=632\n");
    std::filesystem::create_symlink(shared, r.ini);
    ReadSettings(r.ctx);
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    EXPECT_TRUE(std::filesystem::is_symlink(r.ini));
    EXPECT_NE(Slurp(shared).find("Edit1=new.hex"), std::string::npos);
    EXPECT_NE(Slurp(shared).find("AdrLpt=632"), std::string::npos);
}

TEST(Settings, AnUnreadableFileIsNeitherTrustedNorOverwritten) {
    SettingsRig r;
    std::filesystem::create_directory(r.ini); // a folder where the file should be
    ReadSettings(r.ctx);
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x378);
    r.ctx.commands.Obnovl = false;
    EXPECT_FALSE(WriteSettingsAtClose(r.ctx));
    EXPECT_TRUE(std::filesystem::is_directory(r.ini));
}

// The private-profile rules the settings file keeps to, one case each.
TEST(Settings, SurroundingDoubleQuotesAreTakenOff) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nEdit1=\"c:\\mrk\\upd 1.hex\"\nEdit2=\"\nEdit5=a\"b\"\nAdrLpt=\"632\"\n");
    ReadSettings(r.ctx);
    EXPECT_EQ(r.ctx.image.UpdatePath, "c:\\mrk\\upd 1.hex");
    EXPECT_EQ(r.ctx.image.BootPath4620, "\"") << "a lone quote is a character";
    EXPECT_EQ(r.ctx.image.BootPath452, "a\"b\"");
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x278);
}

TEST(Settings, TheFirstOfTwoEqualKeysWinsAndIsTheOneWritten) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nAdrLpt=632\nEdit1=first.hex\nadrlpt=111\nEdit1=second.hex\n");
    ReadSettings(r.ctx);
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x278);
    EXPECT_EQ(r.ctx.image.UpdatePath, "first.hex");
    r.ctx.commands.Obnovl = false;
    r.ctx.portProg.AdrLpt = 0x3BC;
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    EXPECT_EQ(Slurp(r.ini), "[Form_Param]\nAdrLpt=956\nEdit1=first.hex\nadrlpt=111\nEdit1=second.hex\n"
                            "Edit2=c:\\\nEdit5=c:\\\n");
}

// The journal's section comes from the same reader as the station's own keys:
// a key written twice (in any case) and a quoted value are taken alike by both.
TEST(Settings, TheJournalReadsDuplicateKeysAsTheStationDoes) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nAdrLpt=632\nEdit1=\"first.hex\"\nADRLPT=111\nEdit1=second.hex\n"
               "[Journal]\nStation=\"first\"\nServer=host=a\nstation=second\nSERVER=host=b\nEnabled=0\nEnabled=1\n"
               "[Form_Param]\nAdrLpt=888\n[Journal]\nTimeout=7\nTimeout=9\n");
    ReadSettings(r.ctx);
    EXPECT_EQ(r.ctx.portProg.AdrLpt, 632);
    EXPECT_EQ(r.ctx.image.UpdatePath, "first.hex");

    const journal::JournalSettings j = JournalSettingsOf(r.ini.string());
    EXPECT_EQ(j.station, "first");
    EXPECT_EQ(j.server, "host=a");
    EXPECT_FALSE(j.enabled);
    EXPECT_EQ(j.timeoutSeconds, 7) << "a section given twice is one section, its first key counts";
    EXPECT_TRUE(j.problem.empty()) << j.problem;

    const SettingsSection section = ReadSettingsSection(r.ini.string(), "journal");
    EXPECT_EQ(section.at("STATION"), "first") << "section and key names in any case";
}

TEST(Settings, LineEndsCommentsAndBlankLinesStayInPlace) {
    SettingsRig r;
    Put(r.ini, "; station 3\r\n\r\n[Form_Param]\r\n; the port\r\nAdrLpt=632\r\n\r\n; paths\r\nEdit1=old.hex\r\n"
               "\r\n[Journal]\r\nStation=B\r\n");
    ReadSettings(r.ctx);
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    EXPECT_EQ(Slurp(r.ini), "; station 3\r\n\r\n[Form_Param]\r\n; the port\r\nAdrLpt=632\r\n\r\n; paths\r\n"
                            "Edit1=new.hex\r\nEdit2=c:\\\r\nEdit5=c:\\\r\n\r\n[Journal]\r\nStation=B\r\n");
}

TEST(Settings, AValueWithALineBreakWritesNoKeysOfItsOwn) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nEdit5=/opt/mrk/boot-452.hex\n[Journal]\nEnabled=1\n");
    ReadSettings(r.ctx);
    r.ctx.commands.Obnovl = false;
    r.ctx.image.BootPath452 = "/opt/mrk/b\n[Journal]\nEnabled=0\n";
    r.ctx.image.BootPath4620 = "/opt/mrk/c\r\nAdrLpt=1";
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    const std::string text = Slurp(r.ini);
    EXPECT_EQ(text.find("Enabled=0"), std::string::npos) << text;
    EXPECT_EQ(text.find("AdrLpt=1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Edit5=/opt/mrk/boot-452.hex\n"), std::string::npos) << "the old value stays\n" << text;
}

TEST(Settings, ACommentCarriesNoLiveKeyBehindALoneCrOrANul) {
    for (const std::string& hidden : {std::string("; note\rAdrLpt=1"), std::string("; note\0AdrLpt=1", 15)}) {
        SettingsRig r;
        Put(r.ini, "[Form_Param]\n" + hidden + "\nEdit1=a.hex\n");
        ReadSettings(r.ctx);
        EXPECT_EQ(r.ctx.portProg.AdrLpt, 0x378) << "a comment, whole";
        r.ctx.commands.Obnovl = false;
        r.ctx.portProg.AdrLpt = 0x278;
        ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
        const std::string text = Slurp(r.ini);
        EXPECT_EQ(text.find('\0'), std::string::npos);
        EXPECT_EQ(text.find('\r'), std::string::npos);
        EXPECT_NE(text.find("; note AdrLpt=1\n"), std::string::npos) << text;
        test::RecordingHost host;
        Context back(host);
        back.commands.IniPath = r.ini.string();
        ReadSettings(back);
        EXPECT_EQ(back.portProg.AdrLpt, 0x278);
    }
}

TEST(Settings, APathThatIsNoFileGivesTheDefaultsAtOnce) {
    SettingsRig r;
    const auto fifo = r.dir.Path() / "fifo.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string& path : {r.dir.Path().string(), fifo.string(), std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        const SettingsValues v = ReadSettingsFile(path); // would block or never end if read as a file
        EXPECT_EQ(v.AdrLpt, 888);
        EXPECT_EQ(v.UpdatePath, "c:\\");
    }
}

TEST(Settings, ALinkPlantedAtATemporaryNameIsLeftAlone) {
    SettingsRig r;
    Put(r.ini, "[Form_Param]\nAdrLpt=632\n");
    const auto victim = r.dir.Path() / "victim.txt";
    Put(victim, "precious\n");
    std::filesystem::create_symlink(victim, r.ini.string() + ".tmp");
    std::filesystem::create_symlink(victim, r.dir.Path() / ".mrkprog.ini.tmp");
    r.ctx.commands.Obnovl = false;
    r.ctx.image.UpdatePath = "new.hex";
    ASSERT_TRUE(WriteSettingsAtClose(r.ctx));
    EXPECT_EQ(Slurp(victim), "precious\n");
    EXPECT_NE(Slurp(r.ini).find("Edit1=new.hex"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_symlink(r.ini.string() + ".tmp"));
    size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(r.dir.Path())) ++files;
    EXPECT_EQ(files, 4u) << "no temporary file left behind";
}

} // namespace
} // namespace mrk
