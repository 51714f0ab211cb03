#pragma once
// Whole-file reads and writes that never throw and never leave a half-written file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <span>
#include <string>
#include <vector>

namespace mrk {

// No file this program reads (HEX, .CRP, module or settings file) comes near
// this: the chips' whole memory is 64 KB, about 200 KB as HEX text.
constexpr size_t kMaxInputFileBytes = 4u << 20;

// Reads a regular file whole. A folder, a device or a pipe is refused (it could
// block or never end), and so is a file larger than `maxBytes` (EFBIG), before
// it is read. On failure gives false and the errno value in `err`.
[[nodiscard]] bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes, int& err,
                     size_t maxBytes = kMaxInputFileBytes);

// Writes `bytes` to a new file beside `path` and renames it over `path`, so a
// failed write leaves the earlier file whole. An existing file keeps its
// permissions; a link is followed to the file it names. The new file is
// ".NAME.tmp" beside the target, made new (never an existing file, never through
// a link); when that name is taken, a unique ".NAME.XXXXXX" is used and what was
// there is left alone. On failure gives false and the errno value in `err`; no
// temporary file is left behind.
[[nodiscard]] bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, int& err);
// The same for text.
[[nodiscard]] bool ReplaceFile(const std::string& path, const std::string& text, int& err);
// The same, written piece by piece (an export of any length in little memory):
// fill gets a writer for the next bytes (false when they could not be written)
// and returns false to give up, which leaves the earlier file as it was.
using ByteWriter = std::function<bool(std::string_view)>;
[[nodiscard]] bool ReplaceFileWith(const std::string& path, const std::function<bool(const ByteWriter&)>& fill, int& err);

// What went wrong, for a message: the system's text, "не обычный файл" for a
// device or a pipe, or the size limit for a file too large.
std::string FileErrorText(int err);

// The system's error text for errno `err`, in Russian where it is one a station meets.
std::string SystemErrorText(int err);

// Whether a file beside `path` can be created (and removes it again): tells
// before a run whether its result could be saved.
[[nodiscard]] bool CanReplaceFile(const std::string& path, int& err);

} // namespace mrk
