#pragma once
// Loading enciphered images: a .CRP file or an embedded image is deciphered into
// a temporary HEX file, read back with the HEX reader, and the temporary file is
// deleted. A kind-0 (update) load is then scrambled and given its two sums.
#include <cstdint>
#include <span>
#include <string>

namespace mrk {

struct Context;

// kind 0: the update file (Edit1); kind 1: the boot loader of the current chip
// (Edit2 / Edit5). Configuration records count only for kind 0.
// 0 on success, -1 on a bad line or a file error (shown in a message box).
[[nodiscard]] int ExecuteCRPtoHex(Context& ctx, uint8_t kind);

// The embedded image of the current chip: "DATAARRAY1" for the PIC18F4620,
// "DATAARRAY" otherwise. -1 also when the program carries no such image.
[[nodiscard]] int ExecuteResurse(Context& ctx, uint8_t kind);

// Where the deciphered text of a .CRP file goes: its own path with the last three
// characters replaced by "tmp" (in TempDir, when one is set).
std::string CrpTempPath(const Context& ctx, const std::string& crpPath);
// Where the deciphered text of an embedded image goes: KvzVer.tmp in the current
// directory (or in TempDir).
std::string ResourceTempPath(const Context& ctx);

// The common part: deciphers source into tempPath and reads it as HEX text.
[[nodiscard]] int LoadEnciphered(Context& ctx, std::span<const uint8_t> source, const std::string& tempPath,
                   uint8_t kind);

} // namespace mrk
