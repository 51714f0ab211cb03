#include <gtest/gtest.h>

#include <string>

#include "core/Sha256.h"

namespace mrk {
namespace {

std::span<const uint8_t> Bytes(const std::string& s) {
    return std::span(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

// The examples of the Secure Hash Standard, and the million-'a' message.
TEST(Sha256, KnownDigests) {
    const std::pair<std::string, const char*> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& [message, digest] : cases) EXPECT_EQ(Sha256Hex(Bytes(message)), digest) << message.substr(0, 20);
}

} // namespace
} // namespace mrk
