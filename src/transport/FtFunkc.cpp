// The USB sample engine: line changes become samples of the eight-pin image,
// queued in FtOutBuff and sent, clocked and read back in one transfer.
#include "transport/Surtan.h"

#include <algorithm>
#include <cstring>

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

void SetBit(Surtan& su, uint8_t bit, bool on) {
    auto& b = su.ft.FtOutByte;
    b = static_cast<uint8_t>(on ? (b | bit) : (b & ~bit));
}

// One sample of the current pin image; past the end of the buffer the sample
// lands in the last slot uncounted and the overflow is reported.
void Append(Surtan& su) {
    auto& ft = su.ft;
    su.d2xx.FtOutBuff[ft.FTIndxOutBuff] = ft.FtOutByte;
    if (ft.FTIndxOutBuff < kFtMaxSamples) ++ft.FTIndxOutBuff;
    else su.host().Okno(Format("Ошибка переполнения =%d", static_cast<int>(ft.FTIndxOutBuff)));
}

void Samples(Surtan& su, int n) {
    for (int i = 0; i < n; ++i) Append(su);
}

void Clk(Surtan& su, uint8_t level) {
    SetBit(su, kPinClkLow, (level & 1) == 0);
    Append(su);
}

void Mark(Surtan& su, uint8_t level) {
    SetBit(su, kPinMark, (level & 1) != 0);
    Append(su);
}

void Dat(Surtan& su, uint8_t level) {
    SetBit(su, kPinPgdOut, (level & 1) != 0);
    Append(su);
}

// Polls the receive queue until it holds at least `want` bytes, or the poll
// budget of about 4 ms runs out, or the device stops answering (false).
bool WaitQueue(Surtan& su, uint32_t& polls, uint32_t want, bool untilEmpty) {
    auto& d = su.d2xx;
    const uint32_t budget = 4 * su.ft.FtPollsPerMs;
    while (untilEmpty ? d.FT_Q_Bytes > 0 : d.FT_Q_Bytes < want) {
        const FtStatus st = UsbQueueStatus(su.d2xx, su.host());
        ++polls;
        if (st != ftstatus::kOk) return false;
        if (polls > budget) break;
    }
    return true;
}

// Read-back data bytes in one full-speed USB packet (64 less two status bytes):
// the FTDI chip sends a full one at once, any other only when its latency
// timer runs out.
constexpr uint32_t kReadBackPacket = kFtReadBackPacket;

// Repeats the pin image as it stands until the read-back of the samples owed
// and queued ends on a whole packet, so that it comes back without waiting for
// the latency timer. The pins only hold their levels a few microseconds longer,
// as if the host had sent its next change that much later: nothing changes on
// them. (The chip's packet starts with the transfer: everything before it was
// read back, but a VPP change's read-back still owed, which is counted.)
void PadToPacket(Surtan& su, uint32_t owed) {
    const uint32_t total = owed + su.ft.FTIndxOutBuff;
    const uint32_t pad = (kReadBackPacket - total % kReadBackPacket) % kReadBackPacket;
    if (pad < su.RoomLeft()) Samples(su, static_cast<int>(pad));
}

// One send of the queued samples; its read-back is taken by Collect.
struct Sent {
    uint32_t earlier = 0; // read-back owed to earlier sends, ahead of this one's
    uint32_t count = 0;   // samples of this send
    bool sent = false;    // every sample taken by the device
    bool answered = true; // every call answered
    uint32_t polls = 0;   // queue-status polls the write passes spent
};

// Waits (bounded) for the read-back owed to a VPP change and takes it.
bool TakeOwed(Surtan& su) {
    auto& d = su.d2xx;
    const uint32_t owed = su.ft.FtUnread;
    su.ft.FtUnread = 0;
    if (owed == 0) return true;
    d.FT_Q_Bytes = 0;
    uint32_t polls = 0;
    const bool answered = WaitQueue(su, polls, owed, false);
    const uint32_t r = UsbRead(su.d2xx, su.host(), owed);
    return answered && d.lastStatus == ftstatus::kOk && r == owed;
}

// Writes every queued sample (steps 1 to 3 of a transfer). A write taken whole
// is not waited for here: whoever collects waits for its read-back. followOwed:
// the samples may go out behind a VPP change whose read-back is still owed;
// otherwise that read-back is waited for first, as the change's own round trip.
// whole: the caller waits for the read-back at once; it ends on a whole packet.
Sent Send(Surtan& su, bool followOwed, bool whole = false) {
    auto& ft = su.ft;
    auto& d = su.d2xx;
    Sent s;
    if (!followOwed) s.answered = TakeOwed(su);
    s.earlier = ft.FtUnread;
    ft.FtUnread = 0;
    ++ft.FtWrites;
    if (whole) PadToPacket(su, s.earlier);

    s.count = ft.FTIndxOutBuff;
    std::memcpy(ft.FtOutCopy.data(), d.FtOutBuff.data(), s.count);

    // Stale read-back from an earlier transfer would be taken for this one's;
    // what is still owed to a VPP change is not stale.
    s.answered = UsbQueueStatus(su.d2xx, su.host()) == ftstatus::kOk && s.answered;
    if (s.earlier == 0 && d.FT_Q_Bytes != 0) s.answered = UsbPurgeRx(su.d2xx, su.host()) == ftstatus::kOk && s.answered;
    d.FT_Q_Bytes = 0;
    // Samples of this send clocked so far, as the receive queue shows them.
    const auto clocked = [&] { return d.FT_Q_Bytes > s.earlier ? d.FT_Q_Bytes - s.earlier : 0u; };

    uint32_t toWrite = s.count;
    for (int pass = 0; pass < kWritePasses; ++pass) {
        if (clocked() < ft.FTIndxOutBuff) {
            toWrite = ft.FTIndxOutBuff - clocked();
        } else {
            su.host().Okno(Format("Ошибка-1 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ",
                                 static_cast<int>(ft.FTIndxOutBuff), static_cast<int>(clocked())));
        }
        const uint32_t written = UsbWrite(su.d2xx, su.host(), toWrite);
        const bool writeFailed = d.lastStatus != ftstatus::kOk;
        if (written >= toWrite && !writeFailed) {
            s.sent = true;
            break;
        }

        // In synchronous bit-bang the receive queue grows by one byte per
        // sample put on the pins: wait until all of them went out.
        d.FT_Q_Bytes = 0;
        s.polls = 0;
        s.answered = WaitQueue(su, s.polls, s.earlier + ft.FTIndxOutBuff, false) && s.answered;

        // A device that fails its writes will not take the rest on a later pass.
        if (written >= toWrite || writeFailed) break;
        if (clocked() < ft.FTIndxOutBuff) {
            const uint32_t done = clocked();
            std::memmove(d.FtOutBuff.data(), ft.FtOutCopy.data() + done, ft.FTIndxOutBuff - done);
        } else {
            su.host().Okno(Format("Ошибка-2 FtWrite()->FTIndxOutBuff=%d < FT_Q_Bytes=%d ",
                                 static_cast<int>(ft.FTIndxOutBuff), static_cast<int>(clocked())));
        }
    }

    return s;
}

// Takes the read-back of a send and of the earlier sends it followed (steps 4
// to 6 of a transfer): afterwards FtInBuff holds this send's, and the result
// is whole only when all of it came back.
FtTransferResult Collect(Surtan& su, const Sent& s) {
    auto& ft = su.ft;
    auto& d = su.d2xx;
    bool answered = s.answered;
    uint32_t polls = s.polls;
    if (s.sent) {
        // The wait the write passes left out.
        d.FT_Q_Bytes = 0;
        polls = 0;
        answered = WaitQueue(su, polls, s.earlier + s.count, false) && answered;
    }
    // Samples that never went out never come back: a write left short is read
    // back as far as it got, not waited for until the read time-out.
    uint32_t toRead = s.count;
    if (!s.sent && UsbQueueStatus(su.d2xx, su.host()) == ftstatus::kOk)
        toRead = std::min(d.FT_Q_Bytes > s.earlier ? d.FT_Q_Bytes - s.earlier : 0u, toRead);
    if (s.earlier > 0) {
        // The VPP change's read-back comes first; it is checked, not kept.
        const uint32_t r0 = UsbRead(su.d2xx, su.host(), s.earlier);
        answered = d.lastStatus == ftstatus::kOk && r0 == s.earlier && answered;
    }
    const uint32_t r = UsbRead(su.d2xx, su.host(), toRead);
    answered = d.lastStatus == ftstatus::kOk && answered;
    answered = WaitQueue(su, polls, 0, true) && answered;
    // A transfer counts only whole: every sample put on the pins and every one
    // read back. Anything less (a device gone, writes that stay short) fails it,
    // and its read-back must not be taken for the chip's answer.
    const bool whole = s.sent && answered && r == s.count;
    ft.FtAnswered = whole;
    ft.FTIndxOutBuff = 0;
    return {r, whole};
}

// The wait of a delay, from the moment the read-back proved its samples on the
// pins: counted queue-status calls, each of which must answer, and the clock
// as the floor (the poll rate was measured once, at open: calls that got
// faster since would cut programming pulses and erase waits short).
bool WaitOnPins(Surtan& su, uint32_t ms) {
    // The clock's readings are rounded down: the proof may have come up to a
    // microsecond after the reading.
    const uint64_t end = su.TickUs() + 1 + uint64_t{ms} * 1000;
    const uint64_t polls = static_cast<uint64_t>(ms) * su.ft.FtPollsPerMs + 1;
    for (uint64_t i = 0; i < polls; ++i)
        if (UsbQueueStatus(su.d2xx, su.host()) != ftstatus::kOk) return false;
    if (ms == 0) return true;
    while (su.TickUs() < end)
        if (UsbQueueStatus(su.d2xx, su.host()) != ftstatus::kOk) return false;
    return true;
}

// Two samples, PGC high, two samples, PGC low, two samples.
void ClkPulseSamples(Surtan& su) {
    Samples(su, 2);
    Clk(su, 1);
    Samples(su, 2);
    Clk(su, 0);
    Samples(su, 2);
}

} // namespace

void Surtan::PutSample() {
    Append(*this);
}

void Surtan::SetClk(uint8_t level) {
    Clk(*this, level);
}

void Surtan::SetDat(uint8_t level) {
    Dat(*this, level);
}

void Surtan::SetMark(uint8_t level) {
    Mark(*this, level);
}

// Only queued: the next transfer tells whether the programmer took it.
bool Surtan::Handshake() {
    Append(*this);
    return true;
}

bool Surtan::SetVpp(uint8_t on) {
    Surtan& su = *this;
    SetBit(su, kPinVpp, (on & 1) != 0);
    Append(su);
    // The change goes out at once; its read-back stays owed, so that a delay
    // straight after it takes it during its wait rather than a round trip
    // before it. Anything else that sends waits for it first, as before.
    const Sent s = Send(su, false);
    if (!s.sent || !s.answered) {
        Collect(su, s);
        return ft.FtAnswered;
    }
    ft.FtUnread = s.count;
    ft.FTIndxOutBuff = 0;
    ft.FtAnswered = true;
    return true;
}

bool Surtan::Delay(uint16_t n) {
    Surtan& su = *this;
    // Right behind a VPP change (nothing queued since) the delay's sample holds
    // the new level and may follow it at once.
    const bool afterVpp = ft.FtUnread > 0 && ft.FTIndxOutBuff == 0;
    Append(su);
    // A host cannot tell from the moment it wrote when its samples reach the
    // pins: the bus delivers a write up to a frame later, more under load, and
    // the host itself may be held up between reading its clock and writing.
    // Only the read-back proves that a sample was clocked. So the wait starts
    // once every sample of the transfer is back: the level they set has been
    // on the pins at least since then, and the next change goes out after the
    // wait. A stall of the chip, a late bus or a slow host only lengthen it.
    // The transfer ends on a whole read-back packet, which the chip sends at
    // once: the proof costs only the transfer's own time.
    const Sent s = Send(su, afterVpp, true);
    const FtTransferResult t = Collect(su, s);
    // A device that did not take the transfer, or did not give it back whole,
    // is not waited on.
    if (!t.whole) return false;
    // n is in 10 us units; the wait counts queue-status calls, whole milliseconds only.
    const uint32_t ms = n / 100;
    ft.FtDelayMs += ms;
    // Gone in the middle of the wait: the delay did not happen as asked.
    if (!WaitOnPins(su, ms)) ft.FtAnswered = false;
    return ft.FtAnswered;
}

// Only queued: the next transfer tells whether the programmer took it.
bool Surtan::ClkPulse() {
    ClkPulseSamples(*this);
    return true;
}

void Surtan::Enable() {
    SetBit(*this, kPinEnable, true);
}

FtTransferResult Surtan::Transfer() {
    return Collect(*this, Send(*this, false));
}

void Surtan::QueueDatRead() {
    Mark(*this, 1);
    SetBit(*this, kPinMark, false);
    Samples(*this, kFtDatReadSamples - 1);
}

DatReads Surtan::TakeDatReads() {
    Surtan& su = *this;
    // The lines held as the last read left them until the read-back ends on a
    // whole packet, which comes back at once, as they would be held while the
    // host waited for a short one at the latency timer.
    const FtTransferResult t = Collect(su, Send(su, false, true));
    DatReads reads;
    reads.whole = t.whole;
    if (!t.whole) return reads;
    const auto& in = su.d2xx.FtInBuff;
    for (uint32_t i = 0; i < t.r; ++i) {
        if (!(in[i] & kPinMark)) continue;
        if (!(in[i] & kPinPgdIn) && !reads.firstLow) reads.firstLow = reads.reads;
        ++reads.reads;
    }
    return reads;
}

uint32_t Surtan::RoomLeft() const {
    return kFtMaxSamples - std::min(ft.FTIndxOutBuff, kFtMaxSamples);
}

uint32_t FtSamplesPerMs() {
    // The bit-bang clock of the chip is sixteen times the baud rate set.
    return 16 * kSurtanBaudRate / 1000;
}

LineLevel Surtan::GetDat() {
    QueueDatRead();
    const FtTransferResult t = Transfer();
    if (!t.whole) return LineLevel::NoAnswer;
    const auto& in = d2xx.FtInBuff;
    for (uint32_t i = 0; i < t.r; ++i)
        if ((in[i] & (kPinMark | kPinPgdIn)) == (kPinMark | kPinPgdIn)) return LineLevel::High;
    return LineLevel::Low;
}

void Surtan::QueueByteIn() {
    Surtan& su = *this;
    // Eight clocks the chip ignores, the data output keeping its level.
    for (int i = 0; i < 8; ++i) ClkPulseSamples(su);
    // Release PGD to the chip, then eight clocks, each sampled after its falling edge.
    Dat(su, 0);
    for (int i = 0; i < 8; ++i) {
        Clk(su, 1);
        Samples(su, 2);
        Clk(su, 0);
        Mark(su, 1);
        Mark(su, 0);
    }
}

std::optional<uint8_t> Surtan::ReadByte() {
    // What was pending must reach the chip, or the byte read after it means nothing.
    if (!Transfer().whole) return std::nullopt;
    QueueByteIn();
    uint8_t result = 0;
    if (!TakeBytes(&result, 1)) return std::nullopt;
    return result;
}

bool Surtan::TakeBytes(uint8_t* out, size_t n) {
    const FtTransferResult t = Transfer();
    if (!t.whole) return false;
    const auto& in = d2xx.FtInBuff;
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

bool Surtan::Open() {
    Surtan& su = *this;
    auto& d = su.d2xx;
    if (ft.FtOpened) return true;

    if (GetFTDeviceCount(su.d2xx, su.host()) != ftstatus::kOk) return false;
    bool found = false;
    for (uint32_t i = 0; i < d.FtDevCount; ++i) {
        if (GetFTDeviceDescription(su.d2xx, su.host(), i) == ftstatus::kOk && d.FtDevDescr == d.FtDeviceDesc) {
            GetFTDeviceSerial(su.d2xx, i);
            found = true;
            break;
        }
    }
    if (!found) return false;

    ft.FtOpened = false;
    if (Open_USB_Device_By_Device_Description(su.d2xx, su.host(), d.FtDeviceDesc) != ftstatus::kOk) return false;
    if (UsbQueueStatus(su.d2xx, su.host()) != ftstatus::kOk) return false;

    // A device that is not in synchronous bit-bang at this rate and latency is
    // no programmer: whichever setting fails fails the open, says which one
    // (its own box named the call and the status) and lets the device go.
    const char* failed = nullptr;
    if (UsbSetBitMode(su.d2xx, su.host(), kBitBangMask, kFtModeSyncBitBang) != ftstatus::kOk) failed = "FT_SetBitMode";
    else if (UsbSetLatency(su.d2xx, su.host(), 1) != ftstatus::kOk) failed = "FT_SetLatencyTimer";
    else if (UsbSetTimeouts(su.d2xx, su.host(), 5000, 5000) != ftstatus::kOk) failed = "FT_SetTimeouts";
    else if (UsbSetBaudRate(su.d2xx, su.host()) != ftstatus::kOk) failed = "FT_SetBaudRate";
    if (failed) {
        su.host().Okno(std::string("Программатор Surtan не настроен: ") + failed + " не выполнен.");
        // Closing can only fail on a device already gone; the open has failed either way.
        (void)UsbClose(su.d2xx, su.host());
        return false;
    }
    ft.FtOpened = true;

    // How many queue-status calls make a millisecond: the waits count them.
    const uint32_t t0 = su.TickMs();
    uint32_t polls = 0;
    for (;;) {
        // Only the time a call takes counts here; a device gone meanwhile fails
        // the first transfer and says so there.
        (void)UsbQueueStatus(su.d2xx, su.host());
        if (su.TickMs() - t0 >= kCalibrationMs) break;
        ++polls;
    }
    // At least one poll per millisecond: where a single call takes longer than
    // that, the waits must still last their time rather than vanish.
    ft.FtPollsPerMs = std::max<uint32_t>(polls / kCalibrationMs, 1);
    return true;
}

} // namespace mrk
