// The image commands of mrkprog and the mrkcrypt tool, run as a user would.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sys/wait.h>

#include <cstdio>

#include "HexRecords.h"
#include "ImageRig.h"

namespace mrk::test {
namespace {

struct ShellResult {
    int code;
    std::string out;
};

// Runs a command line in dir; stdout and stderr together.
ShellResult Shell(const ScratchDir& dir, const std::string& command) {
    const std::string line = "cd '" + dir.path().string() + "' && " + command + " 2>&1";
    ShellResult r{-1, {}};
    FILE* p = popen(line.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

const std::string kMrkprog = std::string(MRK_BIN_DIR) + "/mrkprog";
const std::string kMrkcrypt = std::string(MRK_BIN_DIR) + "/mrkcrypt";
const std::string kFirmware = MRK_FIRMWARE_DIR;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t p; (p = text.find('\n', start)) != std::string::npos; start = p + 1)
        lines.push_back(text.substr(start, p - start));
    return lines;
}

TEST(ImageCommands, CommandsActOnOneContextInOrder) {
    ScratchDir dir;
    const ShellResult r = Shell(dir, kMrkprog + " --chip 452 load-update load-boot " + kFirmware +
                                 "/boot-452.hex view --page 0 crc");
    ASSERT_EQ(r.code, 0) << r.out;
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 5u + 1024u) << r.out;
    // Nothing here works on the chip: the run says which one it takes (on stderr).
    EXPECT_EQ(lines[0], "mrkprog: ни одна команда не работает с кристаллом; образы берутся для PIC18F452 (--chip)");
    EXPECT_EQ(lines[1], "Загружен Файл MrkVer45");
    EXPECT_EQ(lines[2], "Загружен файл " + kFirmware + "/boot-452.hex.");
    EXPECT_EQ(lines[3], "Карта памяти программ.");
    EXPECT_EQ(lines[4].substr(0, 8), "000:  EF") << "the boot loader's goto, over the update";
    EXPECT_EQ(lines[3 + 1024].substr(0, 6), "1FF8: ");
    EXPECT_EQ(lines.back().substr(0, 3), "d0=");
    EXPECT_TRUE(dir.Names().empty()) << "no temporary file left in the working folder";
}

TEST(ImageCommands, FailedLoadEndsTheRunWithItsMessages) {
    ScratchDir dir;
    const ShellResult r = Shell(dir, kMrkprog + " --chip 4620 load-boot missing.hex view");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "mrkprog: ни одна команда не работает с кристаллом; образы берутся для PIC18F4620 (--chip)\n"
                     "Файл missing.hex не найден.\nОшибка загрузки missing.hex\n");
}

// "-" reads the HEX text from standard input, as a pipe from mrkcrypt gives it.
TEST(ImageCommands, ImagesFromStandardInput) {
    ScratchDir dir;
    const ShellResult boot = Shell(dir, kMrkprog + " --chip 452 load-boot - view --page 0 < " + kFirmware + "/boot-452.hex");
    ASSERT_EQ(boot.code, 0) << boot.out;
    EXPECT_NE(boot.out.find("Загружен файл -."), std::string::npos) << boot.out;
    EXPECT_NE(boot.out.find("\n000:  EF"), std::string::npos) << "the boot loader's goto: " << boot.out;
    const ShellResult piped = Shell(dir, kMrkcrypt + " decipher " + kFirmware + "/update-4620.crp - | " + kMrkprog +
                                             " --chip 4620 load-update - view --source ref --page 1");
    EXPECT_EQ(piped.code, 0) << piped.out;
    EXPECT_NE(piped.out.find("Загружен Файл -"), std::string::npos) << piped.out;
    const ShellResult broken = Shell(dir, "echo ':10000000' | " + kMrkprog + " --chip 4620 load-update -");
    EXPECT_EQ(broken.code, 1) << broken.out;
    EXPECT_TRUE(dir.Names().empty()) << "nothing written beside the program";
}

TEST(ImageCommands, UpdateFileFromTheCommandLine) {
    ScratchDir dir;
    WriteText(dir / "app.hex", Rec(0, 0x0800, {0x34, 0x12}) + kEof);
    const ShellResult r = Shell(dir, kMrkprog + " load-update app.hex view --source ref --page 0");
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("Загружен Файл app.hex\n"), std::string::npos);
    EXPECT_NE(r.out.find("\n800:  1234   FFFF   FFFF   FFFF\n"), std::string::npos);
}

TEST(Mrkcrypt, EnciphersAndDeciphersBack) {
    ScratchDir dir;
    const std::string text = Rec(0, 0x0300, {1, 2, 3, 4, 5}) + kEof + "x";
    WriteText(dir / "a.hex", text);
    ASSERT_EQ(Shell(dir, kMrkcrypt + " encipher a.hex a.crp").code, 0);
    ASSERT_EQ(Shell(dir, kMrkcrypt + " decipher a.crp b.hex").code, 0);
    EXPECT_NE(ReadText(dir / "a.crp"), text);
    EXPECT_EQ(ReadText(dir / "a.crp").size(), text.size());
    EXPECT_EQ(ReadText(dir / "b.hex"), text);

    // Another key gives another file, and only that key brings the text back.
    ASSERT_EQ(Shell(dir, kMrkcrypt + " --key 00112233445566778899 encipher a.hex k.crp").code, 0);
    EXPECT_NE(ReadText(dir / "k.crp"), ReadText(dir / "a.crp"));
    ASSERT_EQ(Shell(dir, kMrkcrypt + " --key 00112233445566778899 decipher k.crp k.hex").code, 0);
    EXPECT_EQ(ReadText(dir / "k.hex"), text);
}

TEST(Mrkcrypt, RefusesBadKeysAndMissingFiles) {
    ScratchDir dir;
    WriteText(dir / "a.hex", kEof);
    EXPECT_EQ(Shell(dir, kMrkcrypt + " --key 0011 encipher a.hex a.crp").code, 2);
    EXPECT_EQ(Shell(dir, kMrkcrypt + " --key 0011223344556677889G encipher a.hex a.crp").code, 2);
    const ShellResult r = Shell(dir, kMrkcrypt + " encipher nothing.hex a.crp");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("nothing.hex"), std::string::npos);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"a.hex"});
}

TEST(Mrkcrypt, InputThatIsNoRegularFileIsAMessageNotACrash) {
    ScratchDir dir;
    std::filesystem::create_directory(dir / "folder.crp");
    ASSERT_EQ(::mkfifo((dir / "pipe.crp").c_str(), 0600), 0);
    struct Case {
        const char* input;
        const char* why;
    } cases[] = {{"folder.crp", "это папка"}, {"pipe.crp", "не обычный файл"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const ShellResult r = Shell(dir, kMrkcrypt + " decipher " + c.input + " out.hex");
        EXPECT_EQ(r.code, 1);
        EXPECT_NE(r.out.find(std::string("не удалось прочитать ") + c.input + ": " + c.why), std::string::npos) << r.out;
    }
    // An output that cannot be written keeps what was there.
    WriteText(dir / "a.hex", kEof);
    const ShellResult r = Shell(dir, kMrkcrypt + " encipher a.hex folder.crp");
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder.crp"));
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.hex", "folder.crp", "pipe.crp"}));
}

} // namespace
} // namespace mrk::test
