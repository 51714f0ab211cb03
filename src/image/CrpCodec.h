#pragma once
// The enciphered file format (.CRP files and the embedded images alike): the HEX
// text cut from its first byte into 4-byte blocks, every complete block
// enciphered, a last block of 1-3 bytes stored plain. No header, no trailer.
#include <cstdint>
#include <span>
#include <vector>

#include "image/Rc6w8r8b10.h"

namespace mrk {

std::vector<uint8_t> CrpDecipher(const Rc6Table& S, std::span<const uint8_t> in);
std::vector<uint8_t> CrpEncipher(const Rc6Table& S, std::span<const uint8_t> in);

} // namespace mrk
