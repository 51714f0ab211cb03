#pragma once
// The enciphered update images compiled into the program, found by name:
// "DATAARRAY" (PIC18F452) and "DATAARRAY1" (PIC18F4620).
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace mrk {

std::optional<std::span<const uint8_t>> FindImageResource(std::string_view name);

} // namespace mrk
