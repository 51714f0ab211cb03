#pragma once
// A context wired to a virtual bench, with the chip already identified.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/Context.h"
#include "app/ChipRoutines.h"
#include "sim/Bench.h"
#include "support/RecordingHost.h"

namespace mrk::test {

struct BenchRig {
    explicit BenchRig(sim::ChipModel chip, sim::BenchKind kind = sim::BenchKind::VirtualLpt)
        : BenchRig(Options(chip, kind)) {}
    explicit BenchRig(const sim::BenchOptions& o) : bench(o), ctx(host) {
        bench.Install(ctx);
        const bool opened = OpenProgrammer(ctx);
        EXPECT_TRUE(opened) << host.label2;
        host.log.clear();
        Module().ClearTrace();
    }
    static sim::BenchOptions Options(sim::ChipModel chip, sim::BenchKind kind) {
        sim::BenchOptions o;
        o.chip = chip;
        o.kind = kind;
        return o;
    }
    sim::VirtualModule& Module() { return *bench.Module(); }
    uint16_t ChipWord(uint32_t word) { return static_cast<uint16_t>(Module().Peek(2 * word) | Module().Peek(2 * word + 1) << 8); }
    void SetRefWord(uint32_t word, uint16_t v) {
        ctx.image.BuffEt[2 * word] = static_cast<uint8_t>(v);
        ctx.image.BuffEt[2 * word + 1] = static_cast<uint8_t>(v >> 8);
    }
    uint16_t ChipBuffWord(uint32_t word) const {
        return static_cast<uint16_t>(ctx.image.BuffChip[2 * word] | ctx.image.BuffChip[2 * word + 1] << 8);
    }
    bool Is4620() const { return ctx.Is4620(); }

    sim::Bench bench;
    RecordingHost host;
    Context ctx;
};

// The programmer's traffic so far: port accesses of the Kordel, transfers of the FTDI device.
inline uint64_t ProgrammerTraffic(sim::Bench& b, sim::BenchKind kind) {
    if (kind == sim::BenchKind::VirtualLpt) return b.Kordel().Reads() + b.Kordel().Writes();
    return b.Ftdi().Writes() + b.Ftdi().Reads();
}

// The bench's programmer pulled out once its traffic reaches `after`.
inline void UnplugProgrammerAfter(sim::BenchOptions& o, uint64_t after) {
    if (o.kind == sim::BenchKind::VirtualLpt) {
        o.kordelFault = sim::KordelFault::UnplugAfterAccesses;
        o.kordelUnplugAfter = after;
    } else {
        o.ftdi.fault = sim::FtdiFault::UnplugAfterTransfers;
        o.ftdi.unplugAfter = static_cast<uint32_t>(after);
    }
}

inline std::string Hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", v & 0xFFFF);
    return buf;
}

inline const char* ChipName(sim::ChipModel c) { return c == sim::ChipModel::PIC18F4620 ? "4620" : "452"; }

} // namespace mrk::test
