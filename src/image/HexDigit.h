#pragma once

namespace mrk {

// '0'..'9' and 'A'..'F' to 0..15; any other character comes back as its own code,
// so a stray character spoils the value instead of being rejected on its own.
[[nodiscard]] constexpr int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return static_cast<unsigned char>(c);
}

[[nodiscard]] constexpr bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

} // namespace mrk
