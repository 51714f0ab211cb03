#pragma once
// File errors of the loaders reach the user in an error message box, as any
// failed file operation of the main window does; the load then fails.
#include <string>

namespace mrk {

class Host;

void ShowReadError(Host& host, const std::string& path);
void ShowWriteError(Host& host, const std::string& path);
// The same with the system's error number given rather than taken from errno.
void ShowReadError(Host& host, const std::string& path, int err);
void ShowWriteError(Host& host, const std::string& path, int err);

} // namespace mrk
