// Program-memory read on USB: the samples of 128 words go out in one transfer
// and the engine brings back their bytes.
#include "icsp/Icsp.h"
#include "icsp/ProgramMemory.h"

namespace mrk {

namespace {
// As many words as one transfer holds comfortably (about 300 samples a word).
constexpr uint32_t kBatchWords = 128;
} // namespace

bool FtReadChip(Line& line, const Chip& chip, Host& host, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt,
                bool whole) {
    SampleBatch& batch = *line.Batch();
    brokeAt = 0;
    const bool entered = EnterProgModeA(line) && ClearTblPtr(line);
    const uint32_t n = whole ? chip.ChipWords : chip.BootWords;
    host.GaugeMax(static_cast<long>(n));
    host.GaugePos(0);
    if (!entered || !line.Handshake()) return AbandonLostProgrammer(line, host);
    for (uint32_t w = 1; w <= n; ++w) {
        host.GaugePos(w);
        for (int half = 0; half < 2; ++half) {
            // Only queued: FtDecodeWords learns from the transfer whether it came back.
            (void)SendCommand(line, cmd::kTableReadPostInc, false);
            batch.QueueByteIn();
        }
        if (w % kBatchWords == 0 && !FtDecodeWords(batch, chipBytes, brokeAt, w)) return AbandonLostProgrammer(line, host);
        host.Pump();
    }
    ExitProgMode(line);
    (void)line.SetVpp(0); // every word is in; the next command asks the programmer again
    brokeAt.reset();
    return true;
}

bool FtDecodeWords(SampleBatch& batch, std::span<uint8_t> chipBytes, std::optional<uint32_t>& brokeAt, uint32_t w) {
    uint8_t bytes[2 * kBatchWords];
    // Samples that never reached the pins, or a read-back cut short, carry no
    // words of the chip's: nothing is taken from them.
    if (w < kBatchWords || !batch.TakeBytes(bytes, sizeof bytes)) return false;
    const size_t at = 2u * (w - kBatchWords);
    // Words past the end of BuffChip (a damaged word count) are dropped, not written.
    for (size_t k = 0; k < sizeof bytes && at + k < chipBytes.size(); ++k) chipBytes[at + k] = bytes[k];
    brokeAt = w;
    return true;
}

} // namespace mrk
