// Placeholder USB engine: no Surtan transport yet, so every operation leaves
// the call to the LPT side and FtOpen finds no device.
#include "transport/FtFunkc.h"

#include "core/Context.h"

namespace mrk {

bool FtPutSample(Context&) { return false; }
bool FtSetClk(Context&, uint8_t) { return false; }
bool FtSetDat(Context&, uint8_t) { return false; }
bool FtSetVpp(Context&, uint8_t) { return false; }
bool SetMark(Context&, uint8_t) { return false; }
bool FtDelay(Context&, uint16_t) { return false; }
void FtClkPulse(Context&) {}
uint8_t FtGetDat(Context&) { return 0; }
uint8_t FtReadByte(Context&) { return 0xFF; }
void FtClockByteIn(Context&) {}
void FtEnable(Context&) {}
uint32_t FtWrite(Context&) { return 0; }
bool FtOpen(Context&) { return false; }

} // namespace mrk
