// The module's boot loader on the programming lines: synchronisation, ready
// signal, scrambled blocks, flash write and the sums in ID word 0.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/ModuleProbe.h"
#include "sim/VirtualModule.h"

namespace mrk::sim::test {
namespace {

struct Geometry {
    uint32_t first, end, block;
};

Geometry GeometryOf(ChipModel chip) {
    return chip == ChipModel::PIC18F452 ? Geometry{0x300, 0x8000, 8} : Geometry{0x800, 0x10000, 64};
}

// An update region with code here and there, some groups partly erased.
std::vector<uint8_t> PlainUpdate(const Geometry& g) {
    std::vector<uint8_t> plain(g.end - g.first, 0xFF);
    for (size_t x = 0; x < plain.size(); x += 0x300) {
        for (size_t i = 0; i < 24 && x + i < plain.size(); ++i) plain[x + i] = static_cast<uint8_t>(x / 0x300 + i * 13);
    }
    plain[0x41] = 0x00; // a group with only one programmed byte
    plain.back() = 0x12;
    return plain;
}

// The update scrambling: groups of four erased bytes stay, the others are XORed
// with the rolling key "velmarto", each key byte rotated right after use.
std::vector<uint8_t> Scramble(std::vector<uint8_t> bytes) {
    uint8_t key[8];
    std::memcpy(key, "velmarto", 8);
    bool scramble = false;
    for (size_t x = 0; x < bytes.size(); ++x) {
        if (x % 4 == 0) {
            scramble = !(bytes[x] == 0xFF && bytes[x + 1] == 0xFF && bytes[x + 2] == 0xFF && bytes[x + 3] == 0xFF);
        }
        if (scramble) {
            bytes[x] ^= key[x % 8];
            key[x % 8] = static_cast<uint8_t>((key[x % 8] >> 1) | (key[x % 8] << 7));
        }
    }
    return bytes;
}

// The host side of the link, on bare lines.
class Link {
public:
    explicit Link(VirtualModule& m) : m_(m), p_(m) {}

    void Reset() {
        p_.Pins() = {Mclr::Low, false, true};
        p_.Apply();
        p_.Pins().mclr = Mclr::Vdd;
        p_.Apply(10 * kUs);
        p_.Wait(1 * kMs);
    }
    // A data bit 1 is PGD high (released), a 0 is PGD pulled low; sampled on PGC rising.
    void SendByte(uint8_t b) {
        for (int i = 0; i < 8; ++i) p_.Clock((b >> i) & 1);
        p_.Pins().pgdPulledLow = true;
        p_.Apply();
    }
    void Sync() {
        for (uint8_t b = 0x55; b <= 0x5C; ++b) SendByte(b);
    }
    // Raise PGC, release PGD and poll for the loader pulling it low.
    bool Ready(Nanos timeout = 20 * kMs) {
        p_.Pins().pgcHigh = false;
        p_.Pins().pgdPulledLow = true;
        p_.Apply();
        p_.SetClock(true);
        p_.SetPgd(true);
        bool ready = false;
        for (Nanos waited = 0; waited < timeout && !ready; waited += 10 * kUs) {
            ready = !p_.Pgd();
            if (!ready) p_.Wait(10 * kUs);
        }
        p_.SetClock(false);
        p_.SetPgd(false);
        return ready;
    }
    // Sends every block of `image`; returns how many were acknowledged.
    size_t SendAll(const std::vector<uint8_t>& image, uint32_t block) {
        size_t acknowledged = 0;
        for (size_t at = 0; at < image.size(); at += block) {
            for (size_t i = 0; i < block; ++i) SendByte(image[at + i]);
            if (!Ready()) break;
            ++acknowledged;
        }
        return acknowledged;
    }
    ModuleProbe& Probe() { return p_; }

private:
    VirtualModule& m_;
    ModuleProbe p_;
};

VirtualModule::Options ModuleWith(ChipModel chip, ModuleFaults faults = {}) {
    VirtualModule::Options o;
    o.chip = chip;
    o.faults = faults;
    return o;
}

void InstallBootLoader(VirtualModule& m, uint32_t at = 0x0100) {
    for (int i = 0; i < 8; ++i) m.Poke(at + i, static_cast<uint8_t>("MRK-BOOT"[i]));
}

class BootLoaderLink : public testing::TestWithParam<ChipModel> {};

TEST_P(BootLoaderLink, WritesTheDescrambledUpdateAndItsSumsIntoIdWordZero) {
    const Geometry g = GeometryOf(GetParam());
    VirtualModule m(ModuleWith(GetParam()));
    InstallBootLoader(m);
    for (uint32_t a = g.first; a < g.end; a += 5) m.Poke(a, 0x00); // old content to be erased
    const uint8_t id[8] = {0xAA, 0xBB, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    for (uint32_t i = 0; i < 8; ++i) m.Poke(0x200000 + i, id[i]);

    const std::vector<uint8_t> plain = PlainUpdate(g);
    Link link(m);
    link.Reset();
    EXPECT_TRUE(m.BootLoaderRunning());
    link.Sync();
    ASSERT_TRUE(link.Ready());
    EXPECT_EQ(link.SendAll(Scramble(plain), g.block), plain.size() / g.block);
    EXPECT_EQ(m.BootLoaderBlocks(), static_cast<int>(plain.size() / g.block));

    uint8_t sumEven = 0, sumOdd = 0;
    for (uint32_t a = g.first; a < g.end; ++a) {
        ASSERT_EQ(m.Peek(a), plain[a - g.first]) << std::hex << a;
        (a % 2 ? sumOdd : sumEven) += plain[a - g.first];
    }
    EXPECT_EQ(m.Peek(0x200000), sumEven);
    EXPECT_EQ(m.Peek(0x200001), sumOdd);
    for (uint32_t i = 2; i < 8; ++i) EXPECT_EQ(m.Peek(0x200000 + i), id[i]);
    EXPECT_EQ(m.Peek(0x0100), 'M'); // the boot region is left alone
}

TEST_P(BootLoaderLink, ATransferThatBreaksOffNeverLeavesTheOldSumsStanding) {
    // The module already holds this very update with its sums; the new transfer
    // stops after three blocks. Sums at the extremes of what programming (which
    // only clears bits) and erasing can produce are included.
    const Geometry g = GeometryOf(GetParam());
    const std::vector<uint8_t> plain = PlainUpdate(g);
    uint8_t sumEven = 0, sumOdd = 0;
    for (size_t x = 0; x < plain.size(); ++x) (x % 2 ? sumOdd : sumEven) += plain[x];
    struct Case {
        const char* name;
        uint8_t lo, hi;
    } cases[] = {{"the update's own sums", sumEven, sumOdd}, {"sums 0000", 0x00, 0x00}, {"sums FFFF", 0xFF, 0xFF}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualModule m(ModuleWith(GetParam()));
        InstallBootLoader(m);
        for (uint32_t a = g.first; a < g.end; ++a) m.Poke(a, plain[a - g.first]);
        const uint8_t id[8] = {c.lo, c.hi, 0x34, 0x12, 0x03, 0x74, 0x5A, 0xA5};
        for (uint32_t i = 0; i < 8; ++i) m.Poke(0x200000 + i, id[i]);

        Link link(m);
        link.Reset();
        link.Sync();
        ASSERT_TRUE(link.Ready());
        // Ready for the first block: ID word 0 has changed, no row is erased yet.
        EXPECT_FALSE(m.Peek(0x200000) == c.lo && m.Peek(0x200001) == c.hi);
        EXPECT_EQ(m.Peek(g.first), plain[0]);
        const std::vector<uint8_t> image = Scramble(plain);
        EXPECT_EQ(link.SendAll(std::vector<uint8_t>(image.begin(), image.begin() + 3 * g.block), g.block), 3u);
        link.Reset(); // the programmer gives up and the chip restarts
        m.Settle(link.Probe().Now() + 100 * kMs);

        EXPECT_FALSE(m.Peek(0x200000) == c.lo && m.Peek(0x200001) == c.hi)
            << std::hex << int(m.Peek(0x200000)) << " " << int(m.Peek(0x200001));
        for (uint32_t i = 2; i < 8; ++i) EXPECT_EQ(m.Peek(0x200000 + i), id[i]) << "module identity, byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, BootLoaderLink, testing::Values(ChipModel::PIC18F452, ChipModel::PIC18F4620));

TEST(VirtualModuleBootLoader, FindsTheSyncBytesAnywhereInTheBitStream) {
    VirtualModule m(ModuleWith(ChipModel::PIC18F4620));
    InstallBootLoader(m, 0x07F8);
    Link link(m);
    link.Reset();
    link.Probe().Clock(true);
    link.Probe().Clock(false);
    link.Probe().Clock(true);
    link.SendByte(0x55);
    link.SendByte(0x56);
    EXPECT_FALSE(link.Ready(1 * kMs)) << "not ready before the whole sequence";
    link.Sync();
    EXPECT_TRUE(link.Ready());
}

TEST(VirtualModuleBootLoader, HoldsPgdLowOnlyWhileAskedAndReleasesItForTheBlock) {
    VirtualModule m(ModuleWith(ChipModel::PIC18F452));
    InstallBootLoader(m);
    Link link(m);
    link.Reset();
    link.Sync();
    ModuleProbe& p = link.Probe();
    p.SetPgd(true);
    EXPECT_TRUE(p.Pgd()) << "PGC low: no signal yet";
    p.SetClock(true);
    EXPECT_TRUE(p.Pgd()) << "busy rewriting the ID locations after the synchronisation";
    p.Wait(4 * kMs); // erase and write, 2 ms each
    EXPECT_FALSE(p.Pgd()) << "PGC high: ready";
    p.SetClock(false);
    EXPECT_TRUE(p.Pgd()) << "released at the falling edge";
    p.SetClock(true);
    EXPECT_TRUE(p.Pgd()) << "this rising edge carries the first data bit";
}

struct SilentCase {
    const char* name;
    bool marker;
    ModuleFaults faults;
};

class SilentModule : public testing::TestWithParam<SilentCase> {};

TEST_P(SilentModule, NeverSignalsReady) {
    VirtualModule m(ModuleWith(ChipModel::PIC18F4620, GetParam().faults));
    if (GetParam().marker) InstallBootLoader(m);
    Link link(m);
    link.Reset();
    link.Sync();
    EXPECT_FALSE(link.Ready());
    for (int i = 0; i < 64; ++i) link.SendByte(0x00);
    EXPECT_FALSE(link.Ready());
    EXPECT_EQ(m.Peek(0x0800), 0xFF);
}

INSTANTIATE_TEST_SUITE_P(VirtualModule, SilentModule,
                         testing::Values(SilentCase{"NoMarker", false, {}},
                                         SilentCase{"NoBootLoaderFault", true, ModuleFaults{true, -1, false, 1.0}},
                                         SilentCase{"StopsAfterSync", true, ModuleFaults{false, 0, false, 1.0}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VirtualModuleBootLoader, StopsAnsweringAfterTheChosenBlock) {
    ModuleFaults faults;
    faults.stopAfterBlock = 3;
    VirtualModule m(ModuleWith(ChipModel::PIC18F452, faults));
    InstallBootLoader(m);
    const Geometry g = GeometryOf(ChipModel::PIC18F452);
    const std::vector<uint8_t> image = Scramble(PlainUpdate(g));
    Link link(m);
    for (int run = 0; run < 2; ++run) {
        link.Reset();
        link.Sync();
        ASSERT_TRUE(link.Ready());
        EXPECT_EQ(link.SendAll(std::vector<uint8_t>(image.begin(), image.begin() + 10 * g.block), g.block), 2u);
    }
    EXPECT_EQ(m.Peek(0x0300 + 2 * 8), PlainUpdate(g)[16]) << "the third block is still written";
}

TEST(VirtualModuleBootLoader, StopInTheFirstRunOnlyAnswersAfterTheNextReset) {
    ModuleFaults faults;
    faults.stopAfterBlock = 1;
    faults.stopFirstRunOnly = true;
    VirtualModule m(ModuleWith(ChipModel::PIC18F4620, faults));
    InstallBootLoader(m);
    const Geometry g = GeometryOf(ChipModel::PIC18F4620);
    const std::vector<uint8_t> image = Scramble(PlainUpdate(g));
    const std::vector<uint8_t> head(image.begin(), image.begin() + 4 * g.block);
    Link link(m);
    link.Reset();
    link.Sync();
    ASSERT_TRUE(link.Ready());
    EXPECT_EQ(link.SendAll(head, g.block), 0u);
    link.Reset();
    link.Sync();
    ASSERT_TRUE(link.Ready());
    EXPECT_EQ(link.SendAll(head, g.block), 4u);
}

TEST(VirtualModuleBootLoader, SlowFlashDelaysTheReadySignal) {
    for (double slow : {1.0, 4.0}) {
        ModuleFaults faults;
        faults.slowFlash = slow;
        VirtualModule m(ModuleWith(ChipModel::PIC18F4620, faults));
        InstallBootLoader(m);
        Link link(m);
        link.Reset();
        link.Sync();
        ASSERT_TRUE(link.Ready());
        for (int i = 0; i < 64; ++i) link.SendByte(0x00);
        EXPECT_EQ(link.Ready(5 * kMs), slow == 1.0) << slow;
    }
}

TEST(VirtualModuleBootLoader, WriteProtectedBlocksStayAndTheSumsShowIt) {
    VirtualModule m(ModuleWith(ChipModel::PIC18F4620));
    InstallBootLoader(m);
    m.Poke(0x30000A, 0x0D); // WRT1: 0x4000..0x7FFF
    for (uint32_t a = 0x4000; a < 0x8000; ++a) m.Poke(a, 0x00);
    const Geometry g = GeometryOf(ChipModel::PIC18F4620);
    const std::vector<uint8_t> plain = PlainUpdate(g);
    Link link(m);
    link.Reset();
    link.Sync();
    ASSERT_TRUE(link.Ready());
    link.SendAll(Scramble(plain), g.block);
    EXPECT_EQ(m.Peek(0x4000), 0x00);
    EXPECT_EQ(m.Peek(0x3FFF), plain[0x3FFF - g.first]);
    uint8_t sumEven = 0;
    for (uint32_t a = g.first; a < g.end; a += 2) sumEven += m.Peek(a);
    EXPECT_EQ(m.Peek(0x200000), sumEven);
}

TEST(VirtualModuleBootLoader, ProgrammingModeStopsIt) {
    VirtualModule m(ModuleWith(ChipModel::PIC18F4620));
    InstallBootLoader(m);
    Link link(m);
    link.Reset();
    EXPECT_TRUE(m.BootLoaderRunning());
    link.Probe().Enter();
    EXPECT_FALSE(m.BootLoaderRunning());
    EXPECT_TRUE(m.InProgrammingMode());
}

} // namespace
} // namespace mrk::sim::test
