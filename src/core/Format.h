#pragma once
// printf-style formatting for the system's messages. Hex fields in the
// messages print capital digits: callers write "%X", "%03X", "%04X".
#include <string>

namespace mrk {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

} // namespace mrk
