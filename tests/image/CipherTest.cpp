// The image cipher Rc6w8r8b10, its inverse and the enciphered file format.
// The fixed values below were worked out once by hand from the cipher's
// definition (key schedule, rounds, capped rotations), not by this code.
#include <gtest/gtest.h>

#include <numeric>

#include "image/CrpCodec.h"
#include "image/Rc6w8r8b10.h"

namespace mrk::test {
namespace {

TEST(Rotations, CountIsCappedAtSevenNotReducedModuloEight) {
    const uint8_t left[] = {0x81, 0x03, 0x06, 0x0C, 0x18, 0x30, 0x60, 0xC0, 0xC0, 0xC0};
    const uint8_t right[] = {0x81, 0xC0, 0x60, 0x30, 0x18, 0x0C, 0x06, 0x03, 0x03, 0x03};
    for (uint8_t n = 0; n < 10; ++n) {
        EXPECT_EQ(Rotl8(0x81, n), left[n]) << int(n);
        EXPECT_EQ(Rotr8(0x81, n), right[n]) << int(n);
    }
    EXPECT_EQ(Rotl8(0x81, 255), 0xC0);
    EXPECT_EQ(Rotr8(0x81, 16), 0x03);
}

struct Vector {
    Rc6Key key;
    Rc6Table S;
    // enciphered block -> deciphered block
    std::vector<std::pair<std::array<uint8_t, 4>, std::array<uint8_t, 4>>> blocks;
};

const std::vector<Vector>& Vectors() {
    static const std::vector<Vector> v = {
        {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {0xFB, 0x54, 0x0C, 0xBD, 0xEF, 0x81, 0xF8, 0xC3, 0xA2, 0x80,
          0x14, 0xB1, 0x77, 0x36, 0xF9, 0xE4, 0x3F, 0xA6, 0x2D, 0x9A},
         {{{0x00, 0x00, 0x00, 0x00}, {0x29, 0xC4, 0xEF, 0xB7}},
          {{0x3A, 0x31, 0x30, 0x30}, {0x1C, 0x66, 0xEB, 0x9E}},
          {{0xFF, 0xFF, 0xFF, 0xFF}, {0x88, 0x7B, 0xD2, 0x9C}}}},
        {{0x5A, 0x3C, 0x96, 0xE1, 0x07, 0x7B, 0xD2, 0x4F, 0x8E, 0x19},
         {0x1F, 0x62, 0x8D, 0xBB, 0xD8, 0x76, 0x7B, 0xC9, 0xFB, 0xEE,
          0xF8, 0x20, 0xA7, 0x4F, 0xE6, 0xA7, 0xA1, 0x7C, 0xD7, 0x02},
         {{{0x00, 0x00, 0x00, 0x00}, {0x50, 0x27, 0x36, 0x39}},
          {{0x01, 0x23, 0x45, 0x67}, {0x7B, 0x39, 0x18, 0x2D}}}},
        {{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'},
         {0xE9, 0x79, 0x14, 0xBE, 0xFA, 0x36, 0x04, 0x90, 0xA3, 0x31,
          0x48, 0x86, 0x29, 0x3F, 0x3E, 0x78, 0xC4, 0x9A, 0x4E, 0xC4},
         {{{0x3A, 0x31, 0x30, 0x30}, {0xBF, 0x61, 0xCF, 0x06}},
          {{0x01, 0x23, 0x45, 0x67}, {0xF2, 0x05, 0x23, 0x57}}}},
    };
    return v;
}

uint32_t Le(const std::array<uint8_t, 4>& b) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

TEST(Rc6, KeyScheduleMatchesWorkedValues) {
    for (const auto& v : Vectors()) {
        Rc6Table S{};
        Rc6KeySetup(v.key, S);
        EXPECT_EQ(S, v.S);
    }
}

TEST(Rc6, DecryptAndEncryptMatchWorkedBlocks) {
    for (const auto& v : Vectors()) {
        for (const auto& [cipher, plain] : v.blocks) {
            std::array<uint8_t, 4> out{};
            Rc6DecryptBlock(v.S, Le(cipher), out.data());
            EXPECT_EQ(out, plain);
            EXPECT_EQ(Rc6EncryptBlock(v.S, plain.data()), Le(cipher));
        }
    }
}

TEST(Rc6, EncryptIsTheExactInverseForEveryBlockPattern) {
    Rc6Table S{};
    Rc6KeySetup(Vectors()[1].key, S);
    // A spread of blocks, including every value of each byte position.
    for (uint32_t n = 0; n < 0x40000; ++n) {
        const uint32_t in = n * 0x9E3779B1u;
        uint8_t out[4];
        Rc6DecryptBlock(S, in, out);
        ASSERT_EQ(Rc6EncryptBlock(S, out), in) << std::hex << in;
    }
}

TEST(CrpFormat, CompleteBlocksAreEncipheredAndAShortTailIsPlain) {
    Rc6Table S{};
    Rc6KeySetup(Vectors()[0].key, S);
    for (size_t tail = 0; tail < 4; ++tail) {
        std::vector<uint8_t> text(16 + tail);
        std::iota(text.begin(), text.end(), uint8_t{0x30});
        const auto crp = CrpEncipher(S, text);
        ASSERT_EQ(crp.size(), text.size());
        for (size_t k = 0; k < tail; ++k) EXPECT_EQ(crp[16 + k], text[16 + k]) << "tail stays plain";
        EXPECT_NE(std::vector<uint8_t>(crp.begin(), crp.begin() + 16),
                  std::vector<uint8_t>(text.begin(), text.begin() + 16));
        EXPECT_EQ(CrpDecipher(S, crp), text) << "length 16+" << tail;
    }
    EXPECT_TRUE(CrpDecipher(S, {}).empty());
}

TEST(CrpFormat, FirstBlockDeciphersToTheWorkedValue) {
    const auto& v = Vectors()[0];
    const std::vector<uint8_t> crp = {0x3A, 0x31, 0x30, 0x30, 0x41};
    const auto text = CrpDecipher(v.S, crp);
    EXPECT_EQ(text, (std::vector<uint8_t>{0x1C, 0x66, 0xEB, 0x9E, 0x41}));
}

} // namespace
} // namespace mrk::test
