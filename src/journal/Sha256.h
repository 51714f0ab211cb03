#pragma once
// SHA-256 (FIPS 180-4), for fingerprinting the boot-loader file in the journal.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace mrk::journal {

class Sha256 {
public:
    Sha256();
    void Update(std::span<const uint8_t> data);
    void Update(const std::string& text);
    std::array<uint8_t, 32> Final();

private:
    void Block(const uint8_t* p);
    std::array<uint32_t, 8> h_;
    std::array<uint8_t, 64> buf_{};
    size_t used_ = 0;
    uint64_t bits_ = 0;
};

std::string ToHex(std::span<const uint8_t> bytes);
std::string Sha256Hex(std::span<const uint8_t> data);
// The file's digest in lower-case hex; empty, with the reason in error, when it cannot be read.
std::string Sha256OfFile(const std::string& path, std::string& error);

} // namespace mrk::journal
