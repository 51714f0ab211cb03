// HEX files from a real assembler: small PIC18 programs assembled with gpasm, with
// configuration directives, ID locations and data EEPROM, and the build's own firmware.
#include <gtest/gtest.h>

#include "ImageRig.h"
#include "image/CrpCodec.h"
#include "image/EmbeddedImages.h"
#include "image/HexLoad.h"
#include "image/ImageKey.h"

namespace mrk::test {
namespace {

// The configuration each program states, byte by byte (300000h..30000Dh; gpasm
// fills the bytes a chip lacks with FFh), and what the masks leave of it.
const char* const kConfigDirectives = R"(
        __CONFIG _CONFIG1H, 0xE2
        __CONFIG _CONFIG2L, 0x0D
        __CONFIG _CONFIG2H, 0x0E
        __CONFIG _CONFIG3H, 0x01
        __CONFIG _CONFIG4L, 0xFF
        __CONFIG _CONFIG5L, 0x0F
        __CONFIG _CONFIG5H, 0xC0
        __CONFIG _CONFIG6L, 0x0F
        __CONFIG _CONFIG6H, 0xE0
        __CONFIG _CONFIG7L, 0x0F
        __CONFIG _CONFIG7H, 0x40
        __idlocs _IDLOC0, 0x5
        __idlocs _IDLOC7, 0xA
)";
const std::array<uint8_t, 14> kMaskedConfig = {0x00, 0x22, 0x0D, 0x0E, 0x00, 0x01, 0x85,
                                               0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};

struct Program {
    const char* chip;
    unsigned appBase; // where the program's code starts
    unsigned top;     // a word placed at the top of program memory
};
void PrintTo(const Program& p, std::ostream* os) { *os << p.chip; }

class AssembledHex : public ::testing::TestWithParam<Program> {
protected:
    std::string Source() const {
        const auto& p = GetParam();
        char buf[1024];
        std::snprintf(buf, sizeof buf, R"(
        list    p=%s
        #include <p%s.inc>
%s
        org     0x0000
        goto    start
        org     0x%X
start:  movlw   0x5A
        movwf   LATD, A
        bra     start
        org     0x%X
        dw      0x1234
        org     0xF00000
        de      0xAA, 0xBB, 0xCC
        end
)",
                      p.chip, p.chip, kConfigDirectives, p.appBase, p.top);
        return buf;
    }
    ScratchDir dir;
};

TEST_P(AssembledHex, LoadsCodeAndConfigurationAsTheSourceSays) {
    const auto& p = GetParam();
    ImageRig rig(std::string(p.chip) == "18f4620");
    rig.cw().fill(0x00);
    rig.image.UpdatePath = Assemble(dir, "program", Source());
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::Update), 0) << ReadText(rig.image.UpdatePath);

    // goto start: 1110 1111 kkkk kkkk, 1111 kkkk kkkk kkkk with the word address.
    const unsigned w = p.appBase / 2;
    EXPECT_EQ(rig.Word(0), 0xEF00 | (w & 0xFF)) << "ID locations must not overwrite the reset vector";
    EXPECT_EQ(rig.Word(2), 0xF000 | (w >> 8));
    EXPECT_EQ(rig.Word(4), 0xFFFF);
    EXPECT_EQ(rig.Word(p.appBase), 0x0E5A);     // movlw 0x5A
    EXPECT_EQ(rig.Word(p.appBase + 2), 0x6E8C); // movwf LATD, A
    EXPECT_EQ(rig.Word(p.appBase + 4), 0xD7FD); // bra start
    EXPECT_EQ(rig.Word(p.top), 0x1234);
    EXPECT_EQ(rig.cw(), kMaskedConfig) << "data EEPROM must not land in the configuration bytes";
    size_t used = 0;
    for (size_t i = 0; i < 0x10000; ++i) used += rig.et()[i] != 0xFF;
    EXPECT_EQ(used, 4u + 6u + 2u) << "nothing else was written";
}

INSTANTIATE_TEST_SUITE_P(Chips, AssembledHex,
                         ::testing::Values(Program{"18f452", 0x0300, 0x7FFE}, Program{"18f4620", 0x0800, 0xFFFE}),
                         [](const auto& info) { return std::string("PIC") + info.param.chip; });

// The firmware the build assembled: boot loaders inside their boot regions with
// the mark the bench looks for, updates above them.
struct Firmware {
    bool is4620;
    unsigned bootEnd, memoryEnd;
    std::array<uint8_t, 14> config; // from the boot loader's CONFIG lines, masked
};
void PrintTo(const Firmware& f, std::ostream* os) { *os << (f.is4620 ? "PIC18F4620" : "PIC18F452"); }

class BuiltFirmware : public ::testing::TestWithParam<Firmware> {
protected:
    static std::string Path(const char* kind, bool is4620) {
        return std::string(MRK_FIRMWARE_DIR) + "/" + kind + (is4620 ? "-4620.hex" : "-452.hex");
    }
};

TEST_P(BuiltFirmware, BootLoaderFitsItsRegionAndCarriesTheMark) {
    const auto& f = GetParam();
    ImageRig rig(f.is4620);
    rig.image.UpdatePath = Path("boot", f.is4620);
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::Update), 0);
    for (unsigned x = f.bootEnd; x < 0x10000; ++x) ASSERT_EQ(rig.et()[x], 0xFF) << std::hex << x;
    const std::string boot(rig.et().begin(), rig.et().begin() + f.bootEnd);
    EXPECT_NE(boot.find("MRK-BOOT"), std::string::npos);
    EXPECT_EQ(rig.cw(), f.config);
}

TEST_P(BuiltFirmware, UpdateSitsAboveTheBootRegion) {
    const auto& f = GetParam();
    ImageRig rig(f.is4620);
    rig.cw().fill(0x00);
    rig.image.UpdatePath = Path("update", f.is4620);
    ASSERT_EQ(ExecuteHex(rig.Load(), ImageKind::Update), 0);
    size_t used = 0;
    for (unsigned x = 0; x < 0x10000; ++x) {
        if (rig.et()[x] == 0xFF) continue;
        ++used;
        ASSERT_GE(x, f.bootEnd);
        ASSERT_LT(x, f.memoryEnd);
    }
    EXPECT_GT(used, 16u);
    EXPECT_EQ(rig.Word(f.bootEnd) & 0xFF00, 0xEF00) << "the application starts with a goto";
}

#ifdef MRK_DEMO_IMAGES
TEST_P(BuiltFirmware, EmbeddedImageIsTheEncipheredUpdate) {
    const auto& f = GetParam();
    const auto image = FindImageResource(f.is4620 ? "DATAARRAY1" : "DATAARRAY");
    ASSERT_TRUE(image);
    Rc6Table S{};
    Rc6KeySetup(kImageKey, S);
    EXPECT_EQ(CrpDecipher(S, *image), ReadBytes(Path("update", f.is4620)));
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Chips, BuiltFirmware,
    ::testing::Values(
        // 452: HS, BOR at 4.2 V with power-up timer, WDT off, CCP2 on RC1, stack reset, LVP off.
        Firmware{false, 0x0300, 0x8000,
                 {0xFF & 0x00, 0x22, 0x06, 0x0E, 0x00, 0x01, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
        // 4620: HS, brown-out in hardware at level 1, WDT off, MCLR on, stack reset, LVP/XINST off.
        Firmware{true, 0x0800, 0x10000,
                 {0x00, 0x02, 0x0E, 0x0E, 0x00, 0x01, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}}),
    [](const auto& info) { return std::string(info.param.is4620 ? "PIC18F4620" : "PIC18F452"); });

} // namespace
} // namespace mrk::test
