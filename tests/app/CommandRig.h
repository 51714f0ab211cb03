#pragma once
// A main window without the window: a virtual bench, a recording host, plain
// controls, the demo boot loader on disk as the parameters window names it, and
// a fixed date for the identity stamp.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "core/Context.h"
#include "icsp/BenchRig.h" // ChipName, the programmer's traffic
#include "sim/Bench.h"
#include "sim/FactoryBootLoader.h"
#include "support/RecordingHost.h"

namespace mrk::test {

// A recording host that can act when a given log line or indicator text appears,
// as an operator (or a fault) would in the middle of a command.
class HookedHost : public RecordingHost {
public:
    std::function<void(const std::string&)> onLine;
    std::function<void(const std::string&)> onStaticText1;
    std::vector<std::string> all;         // every line logged, whatever was cleared since
    std::vector<std::string> staticTexts; // every StaticText1 text, in order

    void Okno(const std::string& line) override {
        RecordingHost::Okno(line);
        all.push_back(line);
        if (onLine) onLine(line);
    }
    void StaticText1(const std::string& t) override {
        RecordingHost::StaticText1(t);
        staticTexts.push_back(t);
        if (onStaticText1) onStaticText1(t);
    }
    bool EverLogged(const std::string& line) const { return std::find(all.begin(), all.end(), line) != all.end(); }
};

class ScratchDir {
public:
    ScratchDir() {
        char tmpl[] = "/tmp/mrk-app-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

struct CommandRig {
    explicit CommandRig(const sim::BenchOptions& o) : bench(o), ctx(host) {
        bench.Install(ctx);
        ctx.image.TempDir = dir.Path().string();
        ctx.commands.Today = [] {
            using namespace std::chrono;
            return year_month_day{year{2026}, month{5}, day{15}};
        };
        for (auto chip : {sim::ChipModel::PIC18F4620, sim::ChipModel::PIC18F452}) {
            const auto path = dir.Path() / (chip == sim::ChipModel::PIC18F4620 ? "boot-4620.hex" : "boot-452.hex");
            std::ofstream(path) << sim::FactoryBootLoaderHex(chip);
            (chip == sim::ChipModel::PIC18F4620 ? ctx.image.BootPath4620 : ctx.image.BootPath452) = path.string();
        }
    }
    static sim::BenchOptions Blank(sim::ChipModel chip, sim::BenchKind kind) {
        sim::BenchOptions o;
        o.chip = chip;
        o.kind = kind;
        return o;
    }
    static sim::BenchOptions Factory(sim::ChipModel chip, sim::BenchKind kind) {
        auto o = Blank(chip, kind);
        o.factoryBootLoader = true;
        return o;
    }
    sim::VirtualModule& Module() { return *bench.Module(); }
    uint16_t IdWord(int k) {
        const uint32_t a = 0x200000 + 2u * static_cast<uint32_t>(k);
        return static_cast<uint16_t>(Module().Peek(a) | Module().Peek(a + 1) << 8);
    }
    // Lets the module finish flash work still under way.
    void Settle() { Module().Settle(bench.Clock().Now() + 100 * sim::kMs); }
    bool Locked() const { return ctx.commands.ButtonsLocked; }

    sim::Bench bench;
    HookedHost host;
    Context ctx;
    PlainControls ui;
    ScratchDir dir;
};

inline const char* KindName(sim::BenchKind k) { return k == sim::BenchKind::VirtualLpt ? "LPT" : "USB"; }

} // namespace mrk::test
