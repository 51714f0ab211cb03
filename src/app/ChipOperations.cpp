// Each chip command once, for the window and the command line alike: the chip
// routine, the log as the window's command leaves it, and the outcome.
#include "app/ChipOperations.h"

#include <algorithm>

#include "app/BootImageWrite.h"
#include "app/ChipRange.h"
#include "app/ChipRoutines.h"
#include "app/ImageAccess.h"
#include "app/ParamCommands.h"
#include "config/ConfigWords.h"
#include "core/Context.h"
#include "core/Format.h"
#include "icsp/ConfigId.h"
#include "icsp/Icsp.h"
#include "icsp/ProgramMemory.h"
#include "image/LogControl.h"

namespace mrk {

namespace {

// A routine that reads or writes without checking what the chip holds fails
// only when the programmer stops answering (it has said so in the log).
ChipResult LostUnless(bool ok) { return ok ? ChipResult::Done : ChipResult::ProgrammerLost; }

MemoryReadOutcome ReadRange(Context& ctx, ChipRange& range, bool whole) {
    MemoryReadOutcome out;
    out.words = whole ? ctx.prog.ChipWords : ctx.prog.BootWords;
    const bool read = range.Read();
    // The memory pages show the chip's words from now on ("Данные кристалла.").
    ctx.image.ViewSource = MemorySource::Chip;
    out.result = LostUnless(read);
    out.wordsRead = read ? out.words : std::min(ctx.image.ChipReadBrokeAt.value_or(0), out.words);
    const auto begin = ctx.image.BuffChip.begin();
    out.memory.assign(begin, begin + 2 * std::min<size_t>(out.wordsRead, ctx.image.BuffChip.size() / 2));
    if (!read) out.message = kProgrammerLost;
    return out;
}

unsigned Differences(const MemoryReadOutcome& read, const Context& ctx) {
    unsigned n = 0;
    for (size_t b = 0; b < read.memory.size(); b += 2)
        n += read.memory[b] != ctx.image.BuffEt[b] || read.memory[b + 1] != ctx.image.BuffEt[b + 1];
    return n;
}

} // namespace

ChipOutcome WriteBootRegion(Context& ctx) {
    ClearOkno(ctx.host);
    ChipOutcome out;
    // Without an image the write says why and touches nothing.
    if (const char* problem = BootImageProblem(ctx)) {
        ctx.host.Okno(problem);
        out.result = ChipResult::NotBegun;
        out.message = problem;
        return out;
    }
    const bool written = WriteBoot(ctx);
    out.result = written ? ChipResult::Done : ChipResult::Failed;
    if (written) out.message = "Прогр. OK";
    return out;
}

MemoryReadOutcome ReadProgramMemory(Context& ctx, bool whole) {
    ChipRange range(ctx, whole);
    return ReadRange(ctx, range, whole);
}

CompareOutcome CompareProgramMemory(Context& ctx, bool whole) {
    // The range toggle stays down through the compare: it decides what CompareChip covers.
    ChipRange range(ctx, whole);
    CompareOutcome out;
    static_cast<MemoryReadOutcome&>(out) = ReadRange(ctx, range, whole);
    if (!out.Ok()) return out;
    ClearOkno(ctx.host);
    // All the result lines appear at once.
    HoldOknoRepaint(ctx.host, true);
    const bool same = CompareChip(ctx);
    HoldOknoRepaint(ctx.host, false);
    out.differences = Differences(out, ctx);
    out.result = same ? ChipResult::Done : ChipResult::Failed;
    // As the log says it: the count is the 16-bit one the compare keeps.
    out.message = same ? "Сравнение ОК" : Format("Кол. ошибок. = %d ", static_cast<int>(static_cast<uint16_t>(out.differences)));
    return out;
}

ChipOutcome EraseWholeChip(Context& ctx) {
    ChipOutcome out;
    out.result = LostUnless(EraseChip(ctx, [](Context& c) { ClearOkno(c.host); }));
    if (!out.Ok()) out.message = kProgrammerLost;
    return out;
}

ConfigReadOutcome ReadConfiguration(Context& ctx) {
    ConfigReadOutcome out;
    out.result = LostUnless(ReadConfigWords(ctx));
    if (!out.Ok()) {
        out.message = kProgrammerLost;
        return out;
    }
    out.bytes = ctx.prog.ConfigRead;
    out.devId1 = ctx.prog.DevId1;
    out.devId2 = ctx.prog.DevId2;
    return out;
}

ConfigWriteOutcome WriteConfiguration(Context& ctx, ConfigPreset preset) {
    ConfigWriteOutcome out;
    out.result = WriteWordConfig(ConfigAccessOf(ctx), preset) ? ChipResult::Done : ChipResult::Failed;
    out.readBack = ctx.prog.ConfigRead;
    // "Конфигурация OK", "Защита OK" or the error of each.
    out.message = ctx.prog.ConfigStaticText1;
    return out;
}

IdReadOutcome ReadIdentity(Context& ctx) {
    IdReadOutcome out;
    out.result = LostUnless(ReadIdWords(ctx));
    for (size_t j = 0; j < out.words.size(); ++j) out.words[j] = static_cast<uint16_t>(ctx.prog.IdWords[j]);
    // The service line keeps the last read that got through.
    out.message = out.Ok() ? ctx.prog.Label2Text : kProgrammerLost;
    return out;
}

ChipOutcome WriteIdentity(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3, bool newNumber) {
    ChipOutcome out;
    if (newNumber && !MayWriteFactoryNumber(ctx, w1)) {
        out.result = ChipResult::NotBegun;
        return out;
    }
    out.result = LostUnless(WriteIdWords(ctx, w1, w2, w3));
    if (!out.Ok()) out.message = kProgrammerLost;
    return out;
}

DevIdOutcome ReadDeviceId(Context& ctx) {
    DevIdOutcome out;
    out.result = LostUnless(ReadDevIdPlain(ctx));
    if (!out.Ok()) {
        out.message = kProgrammerLost;
        return out;
    }
    out.devId1 = ctx.prog.DevId1;
    out.devId2 = ctx.prog.DevId2;
    out.message = ctx.prog.Label2Text;
    return out;
}

} // namespace mrk
