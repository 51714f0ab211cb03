// The demo boot loader of firmware/ executed by gpsim on the virtual module:
// programmed over ICSP, then taking an update through the host's link, on both
// chips and programmers; broken on purpose; and against the boot-loader model.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/CommandRig.h"
#include "app/ChipRoutines.h"
#include "app/ImageAccess.h"
#include "image/FileCommands.h"
#include "sim/ModuleHex.h"
#include "sim/ModuleMemory.h"

namespace mrk {
namespace {

using sim::BenchKind;
using sim::ChipModel;
using test::CommandRig;

sim::BenchOptions Executed(sim::BenchOptions o) {
    o.moduleFirmware = sim::ModuleFirmware::Gpsim;
    return o;
}

std::string Events(sim::VirtualModule& m) {
    std::string all;
    for (const auto& e : m.FirmwareEvents()) all += e + "\n";
    return all;
}

// The update as the build assembled it, before it was enciphered and scrambled.
sim::ModuleMemory PlainUpdate(ChipModel chip) {
    sim::ModuleMemory plain(sim::ChipTraits::For(chip), 0);
    const char* build = std::getenv("MRK_BUILD_DIR");
    const std::string path = std::string(build ? build : ".") + "/firmware/update-" + test::ChipName(chip) + ".hex";
    std::string error;
    EXPECT_TRUE(sim::LoadModuleHex(path, plain, error)) << path << ": " << error;
    return plain;
}

// A blank module made ready over ICSP as in production: chip erase, the demo
// boot loader written with verify, and its configuration unless the erased
// chip's is kept (watchdog on, RC oscillator).
void PrepareOverIcsp(CommandRig& r, bool writeConfig) {
    ASSERT_TRUE(OpenProgrammer(r.ctx));
    ASSERT_TRUE(EraseChip(r.ctx));
    ASSERT_TRUE(LoadBootLoaderFile(ImageLoadOf(r.ctx)));
    ASSERT_TRUE(WriteBoot(r.ctx));
    if (writeConfig) {
        ASSERT_TRUE(WriteConfigWords(r.ctx));
    }
    r.host.log.clear();
}

struct UpdateCase {
    ChipModel chip;
    BenchKind kind;
    bool writeConfig;
};

TEST(ExecutedBootLoader, WrittenOverIcspItTakesTheUpdateAndConfirmsTheSum) {
    const UpdateCase cases[] = {
        {ChipModel::PIC18F4620, BenchKind::VirtualLpt, true}, {ChipModel::PIC18F452, BenchKind::VirtualLpt, true},
        {ChipModel::PIC18F4620, BenchKind::VirtualUsb, true}, {ChipModel::PIC18F452, BenchKind::VirtualUsb, true},
        {ChipModel::PIC18F4620, BenchKind::VirtualLpt, false}, {ChipModel::PIC18F452, BenchKind::VirtualLpt, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(test::ChipName(c.chip)) + " " + test::KindName(c.kind) +
                     (c.writeConfig ? " configuration written" : " erased chip's configuration"));
        CommandRig r(Executed(CommandRig::Blank(c.chip, c.kind)));
        PrepareOverIcsp(r, c.writeConfig);
        if (!c.writeConfig) {
            ASSERT_EQ(r.Module().Peek(0x300003) & 0x01, 0x01) << "the watchdog is on";
        }
        r.Module().ClearTrace();

        EXPECT_TRUE(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4)) << Events(r.Module());
        EXPECT_TRUE(r.host.EverLogged("КС Программы OK."));
        const sim::ModuleMemory plain = PlainUpdate(c.chip);
        const auto& chip = plain.Traits();
        // The firmware wrote the update itself: no table write over ICSP reached the flash.
        for (const auto& i : r.Module().Trace()) {
            const bool flashWrite = i.command >= 0xC && i.tblptrBefore < chip.flashSize;
            EXPECT_FALSE(flashWrite) << "ICSP table write at " << std::hex << i.tblptrBefore;
        }
        uint32_t differ = 0;
        for (uint32_t a = chip.loaderEnd; a < chip.flashSize; ++a) differ += r.Module().Peek(a) != plain.Peek(a);
        EXPECT_EQ(differ, 0u) << "bytes above the boot region unlike the update image";
    }
}

// One instruction of the loader replaced by a NOP, found by its code.
void PatchLoader(sim::VirtualModule& m, uint16_t instruction) {
    const uint32_t end = m.Chip() == ChipModel::PIC18F4620 ? 0x800 : 0x300;
    for (uint32_t a = 0; a < end; a += 2) {
        if ((m.Peek(a) | m.Peek(a + 1) << 8) == instruction) {
            m.Poke(a, 0x00);
            m.Poke(a + 1, 0x00);
            return;
        }
    }
    ADD_FAILURE() << "instruction " << std::hex << instruction << " not in the boot loader";
}

TEST(ExecutedBootLoader, ABrokenLoaderFailsTheUpdateAsTheHostSaysAndNeverReadsOk) {
    constexpr uint16_t kPullPgdLow = 0x9E93;   // BCF TRISB, 7: the ready signal
    constexpr uint16_t kTurnKeyByte = 0x42E7;  // RRNCF INDF1: the key turns after each use
    struct Case {
        ChipModel chip;
        uint16_t patched;
        const char* lastLine;
    } cases[] = {
        {ChipModel::PIC18F452, kPullPgdLow, "Попробуйте еще раз."},
        {ChipModel::PIC18F4620, kTurnKeyByte, "Ошибка записи Программы."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(test::ChipName(c.chip));
        CommandRig r(Executed(CommandRig::Factory(c.chip, BenchKind::VirtualLpt)));
        r.ctx.commands.Obnovl = false; // production mode: the log is kept
        PatchLoader(r.Module(), c.patched);
        EXPECT_FALSE(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4));
        ASSERT_FALSE(r.host.log.empty());
        EXPECT_EQ(r.host.log.back(), c.lastLine);
        EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
        if (c.patched == kPullPgdLow) {
            EXPECT_TRUE(r.host.EverLogged("Нет готовности модуля."));
        }
    }
}

// Every CLRWDT of the loader gone, on a chip with the erased configuration
// (watchdog on, PIC18F452: a reset every 2.3 s): the update takes longer than
// that, so the watchdog breaks it off as it would on a module.
TEST(ExecutedBootLoader, ALoaderThatStopsClearingTheWatchdogIsResetByIt) {
    CommandRig r(Executed(CommandRig::Blank(ChipModel::PIC18F452, BenchKind::VirtualLpt)));
    PrepareOverIcsp(r, false);
    constexpr uint16_t kClrwdt = 0x0004;
    for (uint32_t a = 0; a < 0x300; a += 2) {
        if ((r.Module().Peek(a) | r.Module().Peek(a + 1) << 8) == kClrwdt) r.Module().Poke(a, 0x00);
    }
    r.ctx.commands.Obnovl = false;
    EXPECT_FALSE(SpeedButton4Click(r.ctx, r.ui, Ctl::SpeedButton4));
    EXPECT_FALSE(r.host.EverLogged("КС Программы OK."));
    EXPECT_NE(Events(r.Module()).find("Watch Dog"), std::string::npos) << Events(r.Module());
}

// The behavioural boot loader of the bench against the real one: the same
// update leaves the same flash and ID words.
TEST(ExecutedBootLoader, LeavesTheSameFlashAndIdWordsAsTheBootLoaderModel) {
    for (auto chip : {ChipModel::PIC18F4620, ChipModel::PIC18F452}) {
        SCOPED_TRACE(test::ChipName(chip));
        CommandRig model(CommandRig::Factory(chip, BenchKind::VirtualLpt));
        CommandRig executed(Executed(CommandRig::Factory(chip, BenchKind::VirtualLpt)));
        for (CommandRig* r : {&model, &executed}) {
            r->Module().Poke(0x200004, 0x5A); // ID word 2, the module's identity, kept by both
            ASSERT_TRUE(SpeedButton4Click(r->ctx, r->ui, Ctl::SpeedButton4)) << Events(r->Module());
            r->Settle();
        }
        const auto& traits = sim::ChipTraits::For(chip);
        uint32_t differ = 0;
        for (uint32_t a = 0; a < traits.flashSize; ++a) differ += model.Module().Peek(a) != executed.Module().Peek(a);
        EXPECT_EQ(differ, 0u) << "flash bytes";
        for (uint32_t a = sim::kIdBase; a < sim::kIdBase + sim::kIdSize; ++a)
            EXPECT_EQ(model.Module().Peek(a), executed.Module().Peek(a)) << std::hex << a;
    }
}

} // namespace
} // namespace mrk
