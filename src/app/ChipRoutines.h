#pragma once
// The protocol routines as the station runs them: each is handed the line the
// interface indicator names, the chip, the image bytes, the service line and the
// host it uses, out of the station's context. The commands of both front ends
// call these.
#include <cstdint>

#include "icsp/BootLink.h"
#include "icsp/ConfigId.h"
#include "icsp/Icsp.h"
#include "icsp/OpenProgrammer.h"
#include "icsp/ProgramMemory.h"

namespace mrk {

struct Context;

// Finds the programmer and identifies the chip; sets the interface and chip indicators.
[[nodiscard]] bool OpenProgrammer(Context& ctx);

[[nodiscard]] bool ReadConfigWords(Context& ctx);
// Writes the image's ConfigWrite.
[[nodiscard]] bool WriteConfigWords(Context& ctx);
[[nodiscard]] bool ReadIdWords(Context& ctx);
[[nodiscard]] bool WriteIdWords(Context& ctx, uint16_t w1, uint16_t w2, uint16_t w3);
[[nodiscard]] bool EraseChip(Context& ctx, void (*clearLog)(Context&) = nullptr);
[[nodiscard]] bool ReadDevIdPlain(Context& ctx);

[[nodiscard]] bool WriteBoot(Context& ctx);
// The range the compare-range toggle (SpeedButton21) names on USB; the boot
// region or the whole memory on LPT.
[[nodiscard]] bool ReadBoot(Context& ctx);
[[nodiscard]] bool ReadAll(Context& ctx);
// The range the compare-range toggle names.
[[nodiscard]] bool CompareChip(Context& ctx);

[[nodiscard]] LinkResult WriteUpdate(Context& ctx);
[[nodiscard]] bool SendLoaderByte(Context& ctx, uint8_t byte);

} // namespace mrk
