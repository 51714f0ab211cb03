// Firmware image loads: a full 64 KB Intel HEX file, a .CRP file the size of the
// embedded update images, and the update scrambling alone.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "app/ImageAccess.h"
#include "core/Context.h"
#include "image/CrpCodec.h"
#include "image/EncipheredLoad.h"
#include "image/HexLoad.h"
#include "image/ImageKey.h"
#include "image/Scramble.h"

namespace {

namespace fs = std::filesystem;

// HEX text of 16-byte records covering [from, from + bytes).
std::string HexText(unsigned from, unsigned bytes) {
    std::string text;
    char buf[64];
    for (unsigned a = from; a < from + bytes; a += 16) {
        std::snprintf(buf, sizeof buf, ":10%04X00", a & 0xFFFF);
        std::string line = buf;
        unsigned sum = 0x10 + ((a >> 8) & 0xFF) + (a & 0xFF);
        for (unsigned k = 0; k < 16; ++k) {
            const unsigned b = (a + k * 7) & 0xFF;
            std::snprintf(buf, sizeof buf, "%02X", b);
            line += buf;
            sum += b;
        }
        std::snprintf(buf, sizeof buf, "%02X\n", (0x100 - sum % 256) % 256);
        text += line + buf;
    }
    return text + ":00000001FF\n";
}

struct Fixture {
    Fixture() : ctx(host) {
        dir = fs::temp_directory_path() / ("mrk-perf-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        ctx.image.TempDir = dir.string();
    }
    ~Fixture() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    mrk::NullHost host;
    mrk::Context ctx;
    fs::path dir;
};

void FullHexLoad(benchmark::State& state) {
    Fixture f;
    const std::string path = (f.dir / "full.hex").string();
    const std::string text = HexText(0, 0x10000);
    std::ofstream(path) << text;
    f.ctx.image.UpdatePath = path;
    for (auto _ : state) {
        if (mrk::ExecuteHex(ImageLoadOf(f.ctx), mrk::ImageKind::Update) != 0) state.SkipWithError("load failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(FullHexLoad)->Unit(benchmark::kMillisecond);

void CrpLoadOfEmbeddedImageSize(benchmark::State& state) {
    Fixture f;
    // About 86 KB of HEX text, like the embedded update images, above the boot region.
    const std::string text = HexText(0x0800, 0x7A00);
    mrk::Rc6Table S{};
    mrk::Rc6KeySetup(mrk::kImageKey, S);
    const auto crp = mrk::CrpEncipher(S, std::vector<uint8_t>(text.begin(), text.end()));
    const std::string path = (f.dir / "update.crp").string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(crp.data()),
                                                static_cast<std::streamsize>(crp.size()));
    f.ctx.image.UpdatePath = path;
    state.counters["crp_bytes"] = static_cast<double>(crp.size());
    for (auto _ : state) {
        if (mrk::ExecuteCRPtoHex(ImageLoadOf(f.ctx), mrk::ImageKind::Update) != 0) state.SkipWithError("load failed");
    }
}
BENCHMARK(CrpLoadOfEmbeddedImageSize)->Unit(benchmark::kMillisecond);

void BuffEtToCry(benchmark::State& state) {
    Fixture f;
    for (unsigned x = 0; x < 0x10000; ++x) f.ctx.image.BuffEt[x] = static_cast<uint8_t>(x * 13);
    for (auto _ : state) {
        mrk::BuffEtToCry(f.ctx.image, TargetChipOf(f.ctx));
        benchmark::DoNotOptimize(f.ctx.image.BuffEt.data());
    }
}
BENCHMARK(BuffEtToCry)->Unit(benchmark::kMicrosecond);

} // namespace
