// Program-memory read on USB: the samples of 32 words go out in one transfer.
#include "core/Context.h"
#include "icsp/ProgramMemory.h"

namespace mrk {

void FtReadChip(Context&) {}
void FtDecodeWords(Context&, uint32_t) {}

} // namespace mrk
