#pragma once
// File errors of the loaders reach the user in an error message box, as any
// failed file operation of the main window does; the load then fails.
#include <string>

namespace mrk {

struct Context;

void ShowReadError(Context& ctx, const std::string& path);
void ShowWriteError(Context& ctx, const std::string& path);
// The same with the system's error number given rather than taken from errno.
void ShowReadError(Context& ctx, const std::string& path, int err);
void ShowWriteError(Context& ctx, const std::string& path, int err);

} // namespace mrk
