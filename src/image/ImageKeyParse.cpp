#include "image/ImageKey.h"

#include <cstddef>

namespace mrk {

bool ParseImageKey(const char* text, Rc6Key& key) {
    auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    Rc6Key k{};
    std::size_t i = 0;
    for (; i < 20 && text[i]; ++i) {
        const int d = digit(text[i]);
        if (d < 0) return false;
        k[i / 2] = static_cast<uint8_t>(k[i / 2] << 4 | d);
    }
    if (i != 20 || text[20] != '\0') return false;
    key = k;
    return true;
}

} // namespace mrk
