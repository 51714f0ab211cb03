#pragma once
// The USB sample engine of the Surtan programmer (FTDI synchronous bit-bang).
// The line operations offer each call here first; the Ft* operations that
// return bool act only when the interface is USB and say whether they did.
#include <cstdint>

namespace mrk {

struct Context;

bool FtPutSample(Context& ctx);
bool FtSetClk(Context& ctx, uint8_t level);
bool FtSetDat(Context& ctx, uint8_t level);
bool FtSetVpp(Context& ctx, uint8_t on);
bool SetMark(Context& ctx, uint8_t level);
bool FtDelay(Context& ctx, uint16_t n);
void FtClkPulse(Context& ctx);
uint8_t FtGetDat(Context& ctx);
// The 16-clock operand phase of a table read: transfer what is pending, queue
// the clocks with a marked sample after each of the last eight falling edges,
// transfer, decode the marked read-back bytes (least significant bit first).
uint8_t FtReadByte(Context& ctx);
// The same clocks without the transfers and without decoding (113 samples,
// eight of them marked): a caller queues many and decodes FtInBuff itself.
void FtClockByteIn(Context& ctx);
void FtEnable(Context& ctx);
// Sends every queued sample and reads the read-back: afterwards bytes 0..r-1
// of ctx.d2xx.FtInBuff hold one byte per sample, in order (r = the result),
// each with the pins as they were just before that sample took effect.
uint32_t FtWrite(Context& ctx);
// Finds the programmer by its description, opens and configures it and
// measures the queue-status poll rate; true at once when already open.
bool FtOpen(Context& ctx);

} // namespace mrk
