#pragma once
#include <cstdint>

namespace mrk {

// What a read of a programming line brings back. A programmer that did not
// answer (no echo from the Kordel's delay line, a Surtan transfer that failed
// or came back short) gives no level at all: the pin's resting value would read
// as a level, and a low PGD is the boot loader's "ready".
enum class LineLevel : uint8_t { Low, High, NoAnswer };

[[nodiscard]] inline LineLevel LevelOf(bool high) { return high ? LineLevel::High : LineLevel::Low; }

} // namespace mrk
