// The bit-description lists, line by line, for every register of both chips.
// The expected lines are written out here from the chips' register tables as the
// window must show them, independently of the compiled-in description file.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "config/ConfigBitDescriptions.h"

namespace mrk {
namespace {

enum Chips { Pic452, Pic4620, Both };

struct ExpectedList {
    const char* reg;
    Chips chips;
    std::vector<std::string> lines;
};

const std::vector<ExpectedList>& Expected() {
    static const std::vector<ExpectedList> table = {
    {"CONFIG1L", Both, {
      "Резерв."}},
    {"CONFIG1H", Pic452, {
      "Биты 2:0",
      "FOSC2:FOSC0 Oscillator Selection bits",
      "111 = RC osc w/ OSC2 configured as RA6",
      "110 = HS osc w/ PLL enabled",
      "101 = EC osc w/ OSC2 configured as RA6",
      "100 = RC osc w/ OSC2 configured as “divide by 4 clock output”",
      "011 = RC osc",
      "010 = HS osc",
      "001 = XT osc",
      "000 = LP osc",
      "Бит 5",
      "OSCEN Low Power System Clock Option (Timer1) Enable bit",
      "1 = Disabled",
      "0 = Timer1 oscillator system clock option enabled"}},
    {"CONFIG1H", Pic4620, {
      "Биты 3:0",
      "FOSC3:FOSC0 Oscillator Selection bits",
      "11xx = External RC oscillator, CLKO function on RA6",
      "101x = External RC oscillator, CLKO function on RA6",
      "1001 = Internal oscillator block, CLKO function on RA6, port function on RA7",
      "1000 = Internal oscillator block, port function on RA6 and RA7",
      "0111 = External RC oscillator, port function on RA6",
      "0110 = HS oscillator, PLL enabled (Clock Frequency = 4 x FOSC1)",
      "0101 = EC oscillator, port function on RA6",
      "0100 = EC oscillator, CLKO function on RA6",
      "0011 = External RC oscillator, CLKO function on RA6",
      "0010 = HS oscillator",
      "0001 = XT oscillator",
      "0000 = LP oscillator",
      "Бит 6",
      "FCMEN: Fail-Safe Clock Monitor Enable bit",
      "1 = Fail-Safe Clock Monitor enabled",
      "0 = Fail-Safe Clock Monitor disabled",
      "Бит 7",
      "IESO: Internal/External Oscillator Switchover bit",
      "1 = Oscillator Switchover mode enabled",
      "0 = Oscillator Switchover mode disabled"}},
    {"CONFIG2L", Pic452, {
      "Бит 0",
      "PWRTEN Power-up Timer Enable bit",
      "1 = PWRT disabled",
      "0 = PWRT enabled",
      "Бит 1",
      "BOREN Brown-out Reset Enable bit",
      "1 = Brown-out Reset enabled",
      "0 = Brown-out Reset disabled",
      "Бит 2:3",
      "BORV1:BORV0 Brown-out Reset Voltage bits",
      "11 = VBOR set to 2.0V",
      "10 = VBOR set to 2.7V",
      "01 = VBOR set to 4.2V",
      "00 = VBOR set to 4.5V"}},
    {"CONFIG2L", Pic4620, {
      "Бит 4:3",
      "BORV1:BORV0 Brown-out Reset Voltage bits",
      "11 = VBOR set to 2.0V",
      "10 = VBOR set to 2.7V",
      "01 = VBOR set to 4.2V",
      "00 = VBOR set to 4.5V",
      "Бит 2:1",
      "BOREN1:BOREN0: Brown-out Reset Enable bits",
      "11 = Brown-out Reset enabled in hardware only (SBOREN is disabled)",
      "10 = Brown-out Reset enabled in hardware only and disabled in Sleep mode",
      "<SBOREN is disabled>",
      "01 = Brown-out Reset enabled and controlled by software (SBOREN is enabled)",
      "00 = Brown-out Reset disabled in hardware and software",
      "Бит 0",
      "PWRTEN Power-up Timer Enable bit",
      "1 = PWRT disabled",
      "0 = PWRT enabled"}},
    {"CONFIG2H", Pic452, {
      "Бит 0",
      "WDTEN Watchdog Timer Enable bit",
      "1 = WDT enabled",
      "0 = WDT disabled (control is placed on SWDTEN bit)",
      "Бит 3:1",
      "WDTPS2:WDTPS0 Watchdog Timer Postscaler Select bits",
      "111 = 1:128",
      "110 = 1:64",
      "101 = 1:32",
      "100 = 1:16",
      "011 = 1:8",
      "010 = 1:4",
      "001 = 1:2",
      "000 = 1:1"}},
    {"CONFIG2H", Pic4620, {
      "Бит 4:1",
      "WDTPS3:WDTPS0 Watchdog Timer Postscaler Select bits",
      "1111 = 1:32,768",
      "1110 = 1:16,384",
      "1101 = 1:8,192",
      "1100 = 1:4,096",
      "1011 = 1:2,048",
      "1010 = 1:1,024",
      "1001 = 1:512",
      "1000 = 1:256",
      "111 = 1:128",
      "110 = 1:64",
      "101 = 1:32",
      "100 = 1:16",
      "011 = 1:8",
      "010 = 1:4",
      "001 = 1:2",
      "000 = 1:1",
      "Бит 0",
      "WDTEN Watchdog Timer Enable bit",
      "1 = WDT enabled",
      "0 = WDT disabled (control is placed on SWDTEN bit)"}},
    {"CONFIG3L", Both, {
      "Резерв."}},
    {"CONFIG3H", Pic452, {
      "Бит 0",
      "CCP2MX* CCP2 MUX bit",
      "1 = CCP2 input/output is multiplexed with RC1",
      "0 = CCP2 input/output is multiplexed with RB3"}},
    {"CONFIG3H", Pic4620, {
      "Бит 7",
      "MCLRE: MCLR Pin Enable bit",
      "1 = MCLR pin enabled; RE3 input pin disabled",
      "0 = RE3 input pin enabled; MCLR disabled",
      "Бит 2",
      "LPT1OSC: Low-Power Timer1 Oscillator Enable bit",
      "1 = Timer1 configured for low-power operation",
      "0 = Timer1 configured for higher power operation",
      "Бит 1",
      "PBADEN: PORTB A/D Enable bit",
      "<Affects ADCON1 Reset state. ADCON1 controls PORTB<4:0> pin configuration.>",
      "1 = PORTB<4:0> pins are configured as analog input channels on Reset",
      "0 = PORTB<4:0> pins are configured as digital I/O on Reset",
      "Бит 0",
      "CCP2MX* CCP2 MUX bit",
      "1 = CCP2 input/output is multiplexed with RC1",
      "0 = CCP2 input/output is multiplexed with RB3"}},
    {"CONFIG4L", Pic452, {
      "Бит 0",
      "STVREN Stack Overflow/Underflow Reset Enable bit",
      "1 = Stack Overflow/Underflow will cause RESET",
      "0 = Stack Overflow/Underflow will not cause RESET",
      "Бит 2",
      "LVP Low Voltage Programming Enable bit",
      "1 = Low voltage programming enabled",
      "0 = Low voltage programming disabled",
      "Бит 7",
      "BKBUG Background Debugger Enable bit",
      "1 = Background debugger disabled",
      "0 = Background debugger enabled"}},
    {"CONFIG4L", Pic4620, {
      "Бит 7",
      "DEBUG Background Debugger Enable bit",
      "1 = Background debugger disabled, RB6 and RB7 configured as general purpose I/O pins",
      "0 = Background debugger enabled, RB6 and RB7 are dedicated to In-Circuit Debug",
      "Бит 6",
      "XINST: Extended Instruction Set Enable bit",
      "1 = Instruction set extension and Indexed Addressing mode enabled",
      "0 = Instruction set extension and Indexed Addressing mode disabled (Legacy mode)",
      "Бит 2",
      "LVP Low Voltage Programming Enable bit",
      "1 = Low voltage programming enabled",
      "0 = Low voltage programming disabled",
      "Бит 0",
      "STVREN Stack Overflow/Underflow Reset Enable bit",
      "1 = Stack Overflow/Underflow will cause RESET",
      "0 = Stack Overflow/Underflow will not cause RESET"}},
    {"CONFIG4H", Both, {
      "Резерв."}},
    {"CONFIG5L", Both, {
      "Бит 0",
      "CP0 Code Protection bits (code memory area 0200h - 1FFFh)",
      "1 = Code memory not code protected",
      "0 = Code memory code protected",
      "Бит 1",
      "CP1 Code Protection bits (code memory area 2000h - 3FFFh)",
      "1 = Code memory not code protected",
      "0 = Code memory code protected",
      "Бит 2",
      "CP2 Code Protection bits (code memory area 4000h - 5FFFh)",
      "1 = Code memory not code protected",
      "0 = Code memory code protected",
      "Бит 3",
      "CP3 Code Protection bits (code memory area 6000h - 7FFFh)",
      "1 = Code memory not code protected",
      "0 = Code memory code protected"}},
    {"CONFIG5H", Both, {
      "Бит 6",
      "CPB Code Protection bits (boot block, memory area 0000h - 01FFh)",
      "1 = Boot block not code protected",
      "0 = Boot block code protected",
      "Бит 7",
      "CPD Code Protection bits (data EEPROM)",
      "1 = Data EEPROM not code protected",
      "0 = Data EEPROM code protected"}},
    {"CONFIG6L", Both, {
      "Бит 0",
      "WRT0 Table Write Protection bit (code memory area 0200h - 1FFFh)",
      "1 = Code memory not write protected",
      "0 = Code memory write protected",
      "Бит 1",
      "WRT1 Table Write Protection bit (code memory area 2000h - 3FFFh)",
      "1 = Code memory not write protected",
      "0 = Code memory write protected",
      "Бит 2",
      "WRT2 Table Write Protection bit (code memory area 4000h - 5FFFh)",
      "1 = Code memory not write protected",
      "0 = Code memory write protected",
      "Бит 3",
      "WRT3 Table Write Protection bit (code memory area 6000h - 7FFFh)",
      "1 = Code memory not write protected",
      "0 = Code memory write protected"}},
    {"CONFIG6H", Both, {
      "Бит 5",
      "WRTC Table Write Protection bit (Configuration Registers)",
      "1 = Configuration Registers not write protected",
      "0 = Configuration Registers write protected",
      "Бит 6",
      "WRTB Table Write Protection bit (boot block, memory area 0000h - 01FFh)",
      "1 = Boot block not write protected",
      "0 = Boot block write protected",
      "Бит 7",
      "WRTD Table Write Protection bit (data EEPROM)",
      "1 = Data EEPROM not write protected",
      "0 = Data EEPROM write protected"}},
    {"CONFIG7L", Both, {
      "Бит 0",
      "EBTR0 Table Read Protection bit (code memory area 0200h - 01FFFh)",
      "1 = Code memory not protected from table reads executed in other blocks",
      "0 = Code memory protected from table reads executed in other blocks",
      "Бит 1",
      "EBTR1 Table Read Protection bit (code memory area 2000h - 3FFFh)",
      "1 = Code memory not protected from table reads executed in other blocks",
      "0 = Code memory protected from table reads executed in other blocks",
      "Бит 2",
      "EBTR2 Table Read Protection bit (code memory area 4000h - 5FFFh)",
      "1 = Code memory not protected from table reads executed in other blocks",
      "0 = Code memory protected from table reads executed in other blocks",
      "Бит 3",
      "EBTR3 Table Read Protection bit (code memory area 6000h - 7FFFh)",
      "1 = Code memory not protected from table reads executed in other blocks",
      "0 = Code memory protected from table reads executed in other blocks"}},
    {"CONFIG7H", Both, {
      "Бит 6",
      "EBTRB Table Read Protection bit (boot block, memory area 0000h - 01FFh)",
      "1 = Boot block not protected from table reads executed in other blocks",
      "0 = Boot block protected from table reads executed in other blocks"}},
    };
    return table;
}

void ExpectLines(const ExpectedList& e, bool is4620) {
    SCOPED_TRACE(std::string(e.reg) + (is4620 ? " PIC18F4620" : " PIC18F452"));
    const auto index = ConfigRegisterIndex(e.reg);
    ASSERT_TRUE(index.has_value());
    const auto& got = ConfigBitLines(*index, is4620);
    for (size_t k = 0; k < std::max(got.size(), e.lines.size()); ++k) {
        const std::string want = k < e.lines.size() ? e.lines[k] : "(no line)";
        const std::string have = k < got.size() ? got[k] : "(no line)";
        EXPECT_EQ(have, want) << "line " << k + 1;
    }
}

TEST(ConfigBitDescriptions, EveryRegisterOfBothChipsLineByLine) {
    std::set<std::pair<std::string, bool>> covered;
    for (const auto& e : Expected()) {
        if (e.chips != Pic4620) {
            ExpectLines(e, false);
            covered.insert({e.reg, false});
        }
        if (e.chips != Pic452) {
            ExpectLines(e, true);
            covered.insert({e.reg, true});
        }
    }
    EXPECT_EQ(covered.size(), 2u * kConfigRegisters) << "the expected table misses a register";
}

TEST(ConfigBitDescriptions, EmbeddedFileParsesCompletely) {
    const auto t = ParseConfigBitDescriptions(ConfigBitDescriptionsText());
    EXPECT_EQ(t.error, "");
}

TEST(ConfigBitDescriptions, RegisterNames) {
    EXPECT_EQ(ConfigRegisterIndex("CONFIG1L"), 0);
    EXPECT_EQ(ConfigRegisterIndex("config3h"), 5);
    EXPECT_EQ(ConfigRegisterIndex("CONFIG7H"), 13);
    EXPECT_EQ(ConfigRegisterIndex("CONFIG8L"), std::nullopt);
    EXPECT_EQ(ConfigRegisterIndex("CONFIG1"), std::nullopt);
    EXPECT_EQ(ConfigRegisterIndex(""), std::nullopt);
    EXPECT_EQ(ConfigRegisterName(9), "CONFIG5H");
    EXPECT_EQ(ConfigRegisterName(14), "");
    EXPECT_TRUE(ConfigBitLines(-1, true).empty());
    EXPECT_TRUE(ConfigBitLines(14, false).empty());
}

// A file with a shared list for every register from `first` on, plus `extra`.
std::string CompleteText(int first, const std::string& extra = "") {
    std::string s = "# comment\n";
    for (int r = first; r < kConfigRegisters; ++r) s += "[" + std::string(ConfigRegisterName(r)) + "]\nРезерв.\n\n";
    return s + extra;
}

TEST(ConfigBitDescriptions, EditedFilesWithMistakesAreCaught) {
    struct Case {
        const char* name;
        std::string text;
        const char* errorPart; // "" = no error
    };
    const Case cases[] = {
        {"complete", CompleteText(0), ""},
        {"one list per chip", "[CONFIG1L PIC18F452]\na\n[CONFIG1L PIC18F4620]\nb\n" + CompleteText(1), ""},
        {"register twice", CompleteText(0, "[CONFIG2H PIC18F452]\nx\n"), "a second list"},
        {"unknown register", CompleteText(0, "[CONFIG9L]\nx\n"), "unknown register"},
        {"unknown chip", CompleteText(0, "[CONFIG2H PIC16F84]\nx\n"), "unknown chip"},
        {"text before any heading", "stray\n" + CompleteText(0), "before the first"},
        {"missing register", CompleteText(1), "CONFIG1L PIC18F452: no lines"},
        {"one chip missing", "[CONFIG1L PIC18F4620]\nb\n" + CompleteText(1), "CONFIG1L PIC18F452: no lines"},
        {"heading not closed", CompleteText(0, "[CONFIG1L\n"), "unclosed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto t = ParseConfigBitDescriptions(c.text);
        if (*c.errorPart == 0) {
            EXPECT_EQ(t.error, "");
        } else {
            EXPECT_NE(t.error.find(c.errorPart), std::string::npos) << t.error;
        }
    }
    // Lines are kept exactly, blanks and typographic quotes included; CR is a line end.
    const auto t =
        ParseConfigBitDescriptions("[CONFIG1L PIC18F452]\r\n  “a”  \r\n[CONFIG1L PIC18F4620]\r\nb\r\n" + CompleteText(1));
    EXPECT_EQ(t.error, "");
    EXPECT_EQ(t.lines[0][0], std::vector<std::string>{"  “a”  "});
    EXPECT_EQ(t.lines[0][1], std::vector<std::string>{"b"});
}

} // namespace
} // namespace mrk
