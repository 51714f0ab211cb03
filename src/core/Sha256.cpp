#include "core/Sha256.h"

#include <openssl/evp.h>

#include <cstdio>

namespace mrk {

std::string Sha256Hex(std::span<const uint8_t> data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &size, EVP_sha256(), nullptr) != 1) return {};
    std::string hex;
    char b[3];
    for (unsigned int i = 0; i < size; ++i) {
        std::snprintf(b, sizeof b, "%02x", digest[i]);
        hex += b;
    }
    return hex;
}

} // namespace mrk
