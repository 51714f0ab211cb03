// The USB sample engine: line changes become samples of the eight-pin image,
// queued in FtOutBuff and sent, clocked and read back in one transfer.
#include "transport/FtFunkc.h"

#include <algorithm>
#include <cstring>

#include "core/Context.h"
#include "core/Format.h"
#include "transport/D2XXUnit.h"

namespace mrk {

namespace {

// Bits of the pin image.
constexpr uint8_t kPinClkLow = 0x04;   // PGC, inverted by the programmer
constexpr uint8_t kPinPgdIn = 0x08;    // PGD as the target sees it
constexpr uint8_t kPinEnable = 0x10;   // held high once the programmer is open
constexpr uint8_t kPinVpp = 0x20;      // MCLR/VPP
constexpr uint8_t kPinPgdOut = 0x40;   // 1 pulls PGD low
constexpr uint8_t kPinMark = 0x80;     // marks the sample whose read-back carries data
constexpr uint8_t kBitBangMask = 0xF7; // all outputs but PGD in

constexpr int kWritePasses = 101;
constexpr uint32_t kCalibrationMs = 100;

void SetBit(Context& ctx, uint8_t bit, bool on) {
    auto& b = ctx.ft.FtOutByte;
    b = static_cast<uint8_t>(on ? (b | bit) : (b & ~bit));
}

// One sample of the current pin image; past the end of the buffer the sample
// lands in the last slot uncounted and the overflow is reported.
void Append(Context& ctx) {
    auto& ft = ctx.ft;
    ctx.d2xx.FtOutBuff[ft.FTIndxOutBuff] = ft.FtOutByte;
    if (ft.FTIndxOutBuff < kFtMaxSamples) ++ft.FTIndxOutBuff;
    else ctx.host.Okno(Format("Ошибка переполнения =%d", static_cast<int>(ft.FTIndxOutBuff)));
}

void Samples(Context& ctx, int n) {
    for (int i = 0; i < n; ++i) Append(ctx);
}

void Clk(Context& ctx, uint8_t level) {
    SetBit(ctx, kPinClkLow, (level & 1) == 0);
    Append(ctx);
}

void Mark(Context& ctx, uint8_t level) {
    SetBit(ctx, kPinMark, (level & 1) != 0);
    Append(ctx);
}

void Dat(Context& ctx, uint8_t level) {
    SetBit(ctx, kPinPgdOut, (level & 1) != 0);
    Append(ctx);
}

// Polls the receive queue until it holds at least `want` bytes, or the poll
// budget of about 4 ms runs out, or the device stops answering (false).
bool WaitQueue(Context& ctx, uint32_t& polls, uint32_t want, bool untilEmpty) {
    auto& d = ctx.d2xx;
    const uint32_t budget = 4 * ctx.ft.FtPollsPerMs;
    while (untilEmpty ? d.FT_Q_Bytes > 0 : d.FT_Q_Bytes < want) {
        const FtStatus st = UsbQueueStatus(ctx);
        ++polls;
        if (st != ftstatus::kOk) return false;
        if (polls > budget) break;
    }
    return true;
}

} // namespace

bool FtPutSample(Context& ctx) {
    if (!ctx.IsUsb()) return false;
    Append(ctx);
    return true;
}

bool FtSetClk(Context& ctx, uint8_t level) {
    if (!ctx.IsUsb()) return false;
    Clk(ctx, level);
    return true;
}

bool FtSetDat(Context& ctx, uint8_t level) {
    if (!ctx.IsUsb()) return false;
    Dat(ctx, level);
    return true;
}

bool SetMark(Context& ctx, uint8_t level) {
    if (!ctx.IsUsb()) return false;
    Mark(ctx, level);
    return true;
}

bool FtSetVpp(Context& ctx, uint8_t on) {
    if (!ctx.IsUsb()) return false;
    SetBit(ctx, kPinVpp, (on & 1) != 0);
    Append(ctx);
    FtWrite(ctx);
    return true;
}

bool FtDelay(Context& ctx, uint16_t n) {
    if (!ctx.IsUsb()) return false;
    Append(ctx);
    // A device that did not take the transfer is not waited on.
    if (!FtTransfer(ctx).whole) return true;
    // n is in 10 us units; the wait counts queue-status calls, whole milliseconds only.
    const uint32_t ms = n / 100;
    ctx.ft.FtDelayMs += ms;
    const uint32_t t0 = ctx.TickMs();
    const uint64_t polls = static_cast<uint64_t>(ms) * ctx.ft.FtPollsPerMs + 1;
    for (uint64_t i = 0; i < polls; ++i) {
        if (UsbQueueStatus(ctx) != ftstatus::kOk) {
            ctx.ft.FtAnswered = false;
            return true;
        }
    }
    // The poll rate was measured once, at open: calls that got faster since
    // (a lighter load, a local driver call) would cut programming pulses and
    // erase waits short. The clock sets the floor; its first tick may come at
    // once, so ms whole milliseconds have passed only once it moved ms + 1.
    if (ms > 0) {
        while (ctx.TickMs() - t0 <= ms) {
            if (UsbQueueStatus(ctx) != ftstatus::kOk) {
                ctx.ft.FtAnswered = false;
                break;
            }
        }
    }
    return true;
}

void FtClkPulse(Context& ctx) {
    Samples(ctx, 2);
    Clk(ctx, 1);
    Samples(ctx, 2);
    Clk(ctx, 0);
    Samples(ctx, 2);
}

void FtEnable(Context& ctx) {
    if (ctx.IsUsb()) SetBit(ctx, kPinEnable, true);
}

uint32_t FtWrite(Context& ctx) {
    return FtTransfer(ctx).r;
}

FtTransferResult FtTransfer(Context& ctx) {
    if (!ctx.IsUsb()) return {};
    auto& ft = ctx.ft;
    auto& d = ctx.d2xx;
    ++ft.FtWrites;

    const uint32_t count = ft.FTIndxOutBuff;
    std::memcpy(ft.FtOutCopy.data(), d.FtOutBuff.data(), count);

    // Stale read-back from an earlier transfer would be taken for this one's.
    bool answered = UsbQueueStatus(ctx) == ftstatus::kOk;
    if (d.FT_Q_Bytes != 0) answered = UsbPurgeRx(ctx) == ftstatus::kOk && answered;
    d.FT_Q_Bytes = 0;

    uint32_t toWrite = count;
    uint32_t polls = 0;
    bool sent = false; // every sample taken by the device
    for (int pass = 0; pass < kWritePasses; ++pass) {
        if (d.FT_Q_Bytes < ft.FTIndxOutBuff) {
            toWrite = ft.FTIndxOutBuff - d.FT_Q_Bytes;
        } else {
            ctx.host.Okno(Format("Ошибка-1 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ",
                                 static_cast<int>(ft.FTIndxOutBuff), static_cast<int>(d.FT_Q_Bytes)));
        }
        const uint32_t written = UsbWrite(ctx, toWrite);
        const bool writeFailed = d.lastStatus != ftstatus::kOk;

        // In synchronous bit-bang the receive queue grows by one byte per
        // sample put on the pins: wait until all of them went out.
        d.FT_Q_Bytes = 0;
        polls = 0;
        answered = WaitQueue(ctx, polls, ft.FTIndxOutBuff, false) && answered;

        if (written >= toWrite) {
            sent = !writeFailed;
            break;
        }
        // A device that fails its writes will not take the rest on a later pass.
        if (writeFailed) break;
        if (d.FT_Q_Bytes < ft.FTIndxOutBuff) {
            const uint32_t done = d.FT_Q_Bytes;
            std::memmove(d.FtOutBuff.data(), ft.FtOutCopy.data() + done, ft.FTIndxOutBuff - done);
        } else {
            ctx.host.Okno(Format("Ошибка-2 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ",
                                 static_cast<int>(ft.FTIndxOutBuff), static_cast<int>(d.FT_Q_Bytes)));
        }
    }

    // Samples that never went out never come back: a write left short is read
    // back as far as it got, not waited for until the read time-out.
    uint32_t toRead = ft.FTIndxOutBuff;
    if (!sent && UsbQueueStatus(ctx) == ftstatus::kOk) toRead = std::min(d.FT_Q_Bytes, toRead);
    const uint32_t r = UsbRead(ctx, toRead);
    answered = d.lastStatus == ftstatus::kOk && answered;
    answered = WaitQueue(ctx, polls, 0, true) && answered;
    // A transfer counts only whole: every sample put on the pins and every one
    // read back. Anything less (a device gone, writes that stay short) fails it,
    // and its read-back must not be taken for the chip's answer.
    const bool whole = sent && answered && r == ft.FTIndxOutBuff;
    ft.FtAnswered = whole;
    ft.FTIndxOutBuff = 0;
    return {r, whole};
}

void FtQueueDatRead(Context& ctx) {
    Mark(ctx, 1);
    SetBit(ctx, kPinMark, false);
    Samples(ctx, kFtDatReadSamples - 1);
}

FtDatReads FtTransferDatReads(Context& ctx) {
    const FtTransferResult t = FtTransfer(ctx);
    FtDatReads reads;
    reads.whole = t.whole;
    if (!t.whole) return reads;
    const auto& in = ctx.d2xx.FtInBuff;
    for (uint32_t i = 0; i < t.r; ++i) {
        if (!(in[i] & kPinMark)) continue;
        if (!(in[i] & kPinPgdIn) && !reads.firstLow) reads.firstLow = reads.reads;
        ++reads.reads;
    }
    return reads;
}

uint32_t FtSamplesPerMs() {
    // The bit-bang clock of the chip is sixteen times the baud rate set.
    return 16 * kSurtanBaudRate / 1000;
}

LineLevel FtGetDat(Context& ctx) {
    FtQueueDatRead(ctx);
    const FtTransferResult t = FtTransfer(ctx);
    if (!t.whole) return LineLevel::NoAnswer;
    const auto& in = ctx.d2xx.FtInBuff;
    for (uint32_t i = 0; i < t.r; ++i)
        if ((in[i] & (kPinMark | kPinPgdIn)) == (kPinMark | kPinPgdIn)) return LineLevel::High;
    return LineLevel::Low;
}

void FtClockByteIn(Context& ctx) {
    // Eight clocks the chip ignores, the data output keeping its level.
    for (int i = 0; i < 8; ++i) FtClkPulse(ctx);
    // Release PGD to the chip, then eight clocks, each sampled after its falling edge.
    Dat(ctx, 0);
    for (int i = 0; i < 8; ++i) {
        Clk(ctx, 1);
        Samples(ctx, 2);
        Clk(ctx, 0);
        Mark(ctx, 1);
        Mark(ctx, 0);
    }
}

std::optional<uint8_t> FtReadByte(Context& ctx) {
    // What was pending must reach the chip, or the byte read after it means nothing.
    if (!FtTransfer(ctx).whole) return std::nullopt;
    FtClockByteIn(ctx);
    uint8_t result = 0;
    if (!FtReadQueuedBytes(ctx, &result, 1)) return std::nullopt;
    return result;
}

bool FtReadQueuedBytes(Context& ctx, uint8_t* out, size_t n) {
    const FtTransferResult t = FtTransfer(ctx);
    if (!t.whole) return false;
    const auto& in = ctx.d2xx.FtInBuff;
    size_t marks = 0;
    for (uint32_t i = 0; i < t.r; ++i)
        if (in[i] & kPinMark) ++marks;
    // Other marks than the bytes asked for: these samples were not queued for them.
    if (marks != 8 * n) return false;
    size_t k = 0;
    uint8_t bits = 0;
    int count = 0;
    for (uint32_t i = 0; i < t.r; ++i) {
        if (!(in[i] & kPinMark)) continue;
        // Least significant bit first: each new bit enters at the top.
        bits = static_cast<uint8_t>((bits >> 1) | ((in[i] & kPinPgdIn) ? 0x80 : 0));
        if (++count < 8) continue;
        out[k++] = bits;
        count = 0;
    }
    return true;
}

bool FtOpen(Context& ctx) {
    auto& ft = ctx.ft;
    auto& d = ctx.d2xx;
    if (ft.FtOpened) return true;

    if (GetFTDeviceCount(ctx) != ftstatus::kOk) return false;
    bool found = false;
    for (uint32_t i = 0; i < d.FtDevCount; ++i) {
        if (GetFTDeviceDescription(ctx, i) == ftstatus::kOk && d.FtDevDescr == d.FtDeviceDesc) {
            GetFTDeviceSerial(ctx, i);
            found = true;
            break;
        }
    }
    if (!found) return false;

    ft.FtOpened = false;
    if (Open_USB_Device_By_Device_Description(ctx, d.FtDeviceDesc) != ftstatus::kOk) return false;
    if (UsbQueueStatus(ctx) != ftstatus::kOk) return false;
    ft.FtOpened = true;

    UsbSetBitMode(ctx, kBitBangMask, kFtModeSyncBitBang);
    UsbSetLatency(ctx, 1);
    UsbSetTimeouts(ctx, 5000, 5000);
    UsbSetBaudRate(ctx);

    // How many queue-status calls make a millisecond: the waits count them.
    const uint32_t t0 = ctx.TickMs();
    uint32_t polls = 0;
    for (;;) {
        UsbQueueStatus(ctx);
        if (ctx.TickMs() - t0 >= kCalibrationMs) break;
        ++polls;
    }
    // At least one poll per millisecond: where a single call takes longer than
    // that, the waits must still last their time rather than vanish.
    ft.FtPollsPerMs = std::max<uint32_t>(polls / kCalibrationMs, 1);
    return true;
}

} // namespace mrk
