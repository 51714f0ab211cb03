#include <gtest/gtest.h>

#include <fstream>

#include "journal/JournalRig.h"
#include "journal/Sha256.h"

namespace mrk::journal {
namespace {

struct Vector {
    std::string message;
    size_t repeat;
    const char* digest;
};

// The examples of the Secure Hash Standard, and the million-'a' message.
TEST(Sha256, KnownDigests) {
    const Vector cases[] = {
        {"", 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 1,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrs"
         "mnopqrstnopqrstu",
         1, "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"a", 1000000, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        Sha256 h;
        for (size_t i = 0; i < c.repeat; ++i) h.Update(c.message);
        EXPECT_EQ(ToHex(h.Final()), c.digest) << c.message.substr(0, 20) << " x" << c.repeat;
    }
}

TEST(Sha256, SplitUpdatesGiveTheSameDigest) {
    std::string text(200, '\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = char(i * 7);
    const auto whole = Sha256Hex(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    for (size_t cut : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 128u}) {
        Sha256 h;
        h.Update(text.substr(0, cut));
        h.Update(text.substr(cut));
        EXPECT_EQ(ToHex(h.Final()), whole) << "cut at " << cut;
    }
}

TEST(Sha256, OfFileAndOfMissingFile) {
    test::JournalDir dir;
    std::ofstream(dir.File("boot.hex"), std::ios::binary) << "abc";
    std::string error;
    EXPECT_EQ(Sha256OfFile(dir.File("boot.hex"), error),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256OfFile(dir.File("absent.hex"), error), "");
    EXPECT_NE(error.find("absent.hex"), std::string::npos);
}

} // namespace
} // namespace mrk::journal
