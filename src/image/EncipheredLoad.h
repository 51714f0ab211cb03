#pragma once
// Loading enciphered images: a .CRP file or an embedded image is deciphered into
// a temporary HEX file, read back with the HEX reader, and the temporary file is
// deleted. A kind-0 (update) load is then scrambled and given its two sums.
#include <cstdint>
#include <span>
#include <string>

#include "image/ImageLoad.h"

namespace mrk {

// The update file, or the boot-loader file of the chip. Configuration records
// count only for the update.
// 0 on success, -1 on a bad line or a file error (shown in a message box).
[[nodiscard]] int ExecuteCRPtoHex(const ImageLoad& load, ImageKind kind);

// The embedded image of the current chip: "DATAARRAY1" for the PIC18F4620,
// "DATAARRAY" otherwise. -1 also when the program carries no such image.
[[nodiscard]] int ExecuteResurse(const ImageLoad& load, ImageKind kind);

// Where the deciphered text of a .CRP file goes: its own path with the last three
// characters replaced by "tmp" (in TempDir, when one is set).
std::string CrpTempPath(const FirmwareImages& images, const std::string& crpPath);
// Where the deciphered text of an embedded image goes: KvzVer.tmp in the current
// directory (or in TempDir).
std::string ResourceTempPath(const FirmwareImages& images);

// The common part: deciphers source into tempPath and reads it as HEX text.
[[nodiscard]] int LoadEnciphered(const ImageLoad& load, std::span<const uint8_t> source, const std::string& tempPath,
                                 ImageKind kind);

} // namespace mrk
