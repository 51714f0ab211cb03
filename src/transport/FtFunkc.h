#pragma once
// The USB sample engine of the Surtan programmer (FTDI synchronous bit-bang).
// The line operations offer each call here first; the Ft* operations that
// return bool act only when the interface is USB and say whether they did.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "transport/LineLevel.h"

namespace mrk {

struct Context;

[[nodiscard]] bool FtPutSample(Context& ctx);
[[nodiscard]] bool FtSetClk(Context& ctx, uint8_t level);
[[nodiscard]] bool FtSetDat(Context& ctx, uint8_t level);
// Sends the change at once; its read-back is taken by the next delay or
// transfer, which fails if it did not come back whole.
[[nodiscard]] bool FtSetVpp(Context& ctx, uint8_t on);
[[nodiscard]] bool SetMark(Context& ctx, uint8_t level);
// Sends what is queued, takes its read-back, and from then on waits n div 100
// ms: the read-back proves the levels are on the pins, whatever the bus and
// the host's load did to the write. Answered only when the read-back came back
// whole and every poll of the wait answered.
[[nodiscard]] bool FtDelay(Context& ctx, uint16_t n);
void FtClkPulse(Context& ctx);
// PGD at the marked sample; no answer when the transfer did not come back whole.
[[nodiscard]] LineLevel FtGetDat(Context& ctx);
// The samples of one PGD read without its transfer (the first of them marked):
// a caller queues several behind other samples and learns, from one transfer,
// which of them first saw PGD low.
void FtQueueDatRead(Context& ctx);
constexpr uint32_t kFtDatReadSamples = 5;
struct FtDatReads {
    bool whole = false; // as FtTransfer says
    uint32_t reads = 0; // marked samples read back
    std::optional<uint32_t> firstLow; // the first read (from 0) that saw PGD low
};
// The transfer ends on a whole read-back packet: the lines held as the last
// read left them a few samples longer.
FtDatReads FtTransferDatReads(Context& ctx);
// The most samples one transfer holds, and how fast the programmer clocks them.
constexpr uint32_t kFtMaxSamples = 65535;
uint32_t FtSamplesPerMs();
// Samples that still fit in the transfer being queued.
uint32_t FtRoomLeft(const Context& ctx);
// Read-back bytes in one USB packet of the FTDI chip: a full one goes at once,
// any other at its latency timer.
constexpr uint32_t kFtReadBackPacket = 62;
// The 16-clock operand phase of a table read: transfer what is pending, queue
// the clocks with a marked sample after each of the last eight falling edges,
// transfer, decode the marked read-back bytes (least significant bit first).
// No byte when either transfer did not come back whole.
[[nodiscard]] std::optional<uint8_t> FtReadByte(Context& ctx);
// The same clocks without the transfers and without decoding (113 samples,
// eight of them marked): a caller queues many, then takes them with FtReadQueuedBytes.
void FtClockByteIn(Context& ctx);
// Transfers what is queued and decodes the marked read-back samples, eight to a
// byte, least significant bit first, into out[0..n-1]. False, with out left
// alone, when the transfer did not come back whole or did not carry n bytes.
[[nodiscard]] bool FtReadQueuedBytes(Context& ctx, uint8_t* out, size_t n);
void FtEnable(Context& ctx);
// Sends every queued sample and reads the read-back: afterwards bytes 0..r-1
// of ctx.d2xx.FtInBuff hold one byte per sample, in order (r = the result),
// each with the pins as they were just before that sample took effect.
uint32_t FtWrite(Context& ctx);
// The same transfer, with whether it came back whole: every sample taken by the
// device and read back, every call answered. Only a whole read-back holds the
// chip's answer.
struct FtTransferResult {
    uint32_t r = 0;
    bool whole = false;
};
[[nodiscard]] FtTransferResult FtTransfer(Context& ctx);
// Finds the programmer by its description, opens and configures it and
// measures the queue-status poll rate; true at once when already open.
[[nodiscard]] bool FtOpen(Context& ctx);

} // namespace mrk
