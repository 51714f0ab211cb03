// Every input kept in a fuzz target's corpus (the seeds, and each input that once
// found a fault) goes through the target again: a fault that comes back stops
// the test binary, as it stopped the fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FuzzTargets.h"

namespace mrk::fuzz {
// Test names and traces show the target by its name.
inline void PrintTo(const Target& t, std::ostream* os) { *os << t.name; }
} // namespace mrk::fuzz

namespace mrk {
namespace {

namespace fs = std::filesystem;

class CorpusReplay : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(CorpusReplay, EveryKeptInputRunsThrough) {
    const fuzz::Target& target = GetParam();
    const fs::path dir = fs::path(MRK_FUZZ_CORPUS) / target.name;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    int inputs = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        target.run(bytes.data(), bytes.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0) << "a target keeps at least its seeds";
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay, ::testing::ValuesIn(fuzz::Targets()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace mrk
