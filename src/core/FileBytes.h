#pragma once
// Whole-file reads and writes that never throw and never leave a half-written file.
#include <cstdint>
#include <functional>
#include <string_view>
#include <span>
#include <string>
#include <vector>

namespace mrk {

// Reads a regular file whole. A folder, a device or a pipe is refused (it could
// block or never end). On failure gives false and the errno value in `err`.
bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes, int& err);

// Writes `bytes` to a new file beside `path` and renames it over `path`, so a
// failed write leaves the earlier file whole. An existing file keeps its
// permissions; a link is followed to the file it names. On failure gives false
// and the errno value in `err`; no temporary file is left behind.
bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, int& err);
// The same for text.
bool ReplaceFile(const std::string& path, const std::string& text, int& err);
// The same, written piece by piece (an export of any length in little memory):
// fill gets a writer for the next bytes (false when they could not be written)
// and returns false to give up, which leaves the earlier file as it was.
using ByteWriter = std::function<bool(std::string_view)>;
bool ReplaceFileWith(const std::string& path, const std::function<bool(const ByteWriter&)>& fill, int& err);

// What went wrong, for a message: the system's text, or "not a regular file"
// for a device or a pipe.
std::string FileErrorText(int err);

// Whether a file beside `path` can be created (and removes it again): tells
// before a run whether its result could be saved.
bool CanReplaceFile(const std::string& path, int& err);

} // namespace mrk
