#pragma once
// "-" names standard input or output wherever a program reads or writes a file,
// as in other command-line tools. An output that is not a regular file
// (/dev/stdout, a pipe, a terminal) is written where it is: a temporary file
// beside it and a rename cannot work there.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/FileBytes.h"

namespace mrk {

inline bool IsStandardStream(const std::string& path) { return path == "-"; }

// Whether `path` names standard output or another stream that takes bytes in place.
inline bool WritesToStream(const std::string& path) {
    if (IsStandardStream(path)) return true;
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
}

// A file read whole, or standard input up to `maxBytes` (EFBIG beyond).
inline bool ReadFileOrInput(const std::string& path, std::vector<uint8_t>& bytes, int& err,
                            size_t maxBytes = kMaxInputFileBytes) {
    if (!IsStandardStream(path)) return ReadRegularFile(path, bytes, err, maxBytes);
    bytes.clear();
    uint8_t chunk[16384];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0;) {
        if (bytes.size() + n > maxBytes) {
            err = EFBIG;
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    if (std::ferror(stdin)) {
        err = errno ? errno : EIO;
        return false;
    }
    return true;
}

// A file replaced whole (ReplaceFile), or the bytes written to standard output or the stream named.
inline bool WriteFileOrOutput(const std::string& path, std::span<const uint8_t> bytes, int& err) {
    if (!WritesToStream(path)) return ReplaceFile(path, bytes, err);
    std::FILE* f = IsStandardStream(path) ? stdout : std::fopen(path.c_str(), "wb");
    if (!f) {
        err = errno;
        return false;
    }
    errno = 0;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fflush(f) == 0;
    if (!written) err = errno ? errno : EIO;
    if (f != stdout && std::fclose(f) != 0 && written) {
        err = errno;
        return false;
    }
    return written;
}

inline bool WriteFileOrOutput(const std::string& path, const std::string& text, int& err) {
    return WriteFileOrOutput(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), err);
}

} // namespace mrk
