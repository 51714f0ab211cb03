#pragma once
// SHA-256 of bytes in memory (OpenSSL's EVP), as lower-case hex: the fingerprint
// of the boot-loader file the journal records.
#include <cstdint>
#include <span>
#include <string>

namespace mrk {

std::string Sha256Hex(std::span<const uint8_t> data);

} // namespace mrk
