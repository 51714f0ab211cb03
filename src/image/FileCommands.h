#pragma once
// The main window's three firmware loads, without the window: each reports in
// the status line and the log and returns whether the load succeeded.
#include <string>

#include "image/ImageLoad.h"

namespace mrk {

// The embedded update image of the chip, over a BuffEt refilled with 0xFF.
[[nodiscard]] bool LoadEmbeddedUpdate(const ImageLoad& load);
// The boot-loader file of the chip, laid over BuffEt.
[[nodiscard]] bool LoadBootLoaderFile(const ImageLoad& load);
// The update file, over a BuffEt refilled with 0xFF.
[[nodiscard]] bool LoadUpdateFile(const ImageLoad& load);

// The file name's extension from its last point on, upper-cased (".HEX"); empty
// when the name has no point.
std::string UpperExtension(const std::string& path);

} // namespace mrk
