#pragma once
// The image cipher: RC6 family with 8-bit words, 8 rounds and a 10-byte key, with
// constants and rotation rules of its own. The program only deciphers; the
// encipher direction serves the mrkcrypt tool that makes .CRP files.
#include <array>
#include <cstdint>

namespace mrk {

using Rc6Key = std::array<uint8_t, 10>;
using Rc6Table = std::array<uint8_t, 20>;

// Rotations by min(n, 7) places: the count is capped, not reduced modulo 8.
constexpr uint8_t Rotl8(uint8_t x, uint8_t n) {
    const unsigned k = n < 7 ? n : 7;
    return static_cast<uint8_t>((x << k) | (x >> ((8 - k) & 7)));
}
constexpr uint8_t Rotr8(uint8_t x, uint8_t n) {
    const unsigned k = n < 7 ? n : 7;
    return static_cast<uint8_t>((x >> k) | (x << ((8 - k) & 7)));
}

void Rc6KeySetup(const Rc6Key& key, Rc6Table& S);

// in: the four enciphered bytes as a little-endian value (byte 0 lowest).
void Rc6DecryptBlock(const Rc6Table& S, uint32_t in, uint8_t out[4]);

// Exact inverse of Rc6DecryptBlock.
uint32_t Rc6EncryptBlock(const Rc6Table& S, const uint8_t in[4]);

} // namespace mrk
