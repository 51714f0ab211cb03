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
uint8_t FtReadByte(Context& ctx);
void FtClockByteIn(Context& ctx);
void FtEnable(Context& ctx);
uint32_t FtWrite(Context& ctx);
bool FtOpen(Context& ctx);

} // namespace mrk
