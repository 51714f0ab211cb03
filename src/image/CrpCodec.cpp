#include "image/CrpCodec.h"

namespace mrk {

std::vector<uint8_t> CrpDecipher(const Rc6Table& S, std::span<const uint8_t> in) {
    std::vector<uint8_t> out(in.begin(), in.end());
    const size_t whole = in.size() / 4 * 4;
    for (size_t p = 0; p < whole; p += 4) {
        const uint32_t block = uint32_t(in[p]) | uint32_t(in[p + 1]) << 8 |
                               uint32_t(in[p + 2]) << 16 | uint32_t(in[p + 3]) << 24;
        Rc6DecryptBlock(S, block, &out[p]);
    }
    return out;
}

std::vector<uint8_t> CrpEncipher(const Rc6Table& S, std::span<const uint8_t> in) {
    std::vector<uint8_t> out(in.begin(), in.end());
    const size_t whole = in.size() / 4 * 4;
    for (size_t p = 0; p < whole; p += 4) {
        const uint32_t block = Rc6EncryptBlock(S, &in[p]);
        for (int k = 0; k < 4; ++k) out[p + k] = static_cast<uint8_t>(block >> (8 * k));
    }
    return out;
}

} // namespace mrk
