#pragma once
// The main window's three firmware loads, without the window: each reports in
// Label3 and the log and returns whether the load succeeded.
#include <string>

namespace mrk {

struct Context;

// The embedded update image of the current chip, over a BuffEt refilled with 0xFF.
[[nodiscard]] bool SpeedButton7Click(Context& ctx);
// The boot-loader file of the current chip (Edit2 / Edit5), laid over BuffEt.
[[nodiscard]] bool SpeedButton3Click(Context& ctx);
// The update file (Edit1), over a BuffEt refilled with 0xFF.
[[nodiscard]] bool SpeedButton19Click(Context& ctx);

// The file name's extension from its last point on, upper-cased (".HEX"); empty
// when the name has no point.
std::string UpperExtension(const std::string& path);

} // namespace mrk
