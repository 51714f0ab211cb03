#pragma once
// A bare-hands ICSP programmer for the virtual module's tests: drives the three
// lines directly, following the chip maker's published programming document, with its
// own simulated time.
#include <cstdint>
#include <vector>

#include "sim/VirtualModule.h"

namespace mrk::sim::test {

class ModuleProbe {
public:
    explicit ModuleProbe(VirtualModule& module) : m_(module) {}

    Nanos Now() const { return t_; }
    ProgrammerPins& Pins() { return p_; }

    // Moves time on by `after`, then puts the pins on the module.
    void Apply(Nanos after = kUs) {
        t_ += after;
        m_.Drive(t_, p_);
    }
    void Wait(Nanos d) { Apply(d); }
    bool Pgd() { return PgdLevel(t_, p_, &m_); }
    void SetPgd(bool high) {
        p_.pgdPulledLow = !high;
        Apply();
    }
    void SetClock(bool high, Nanos after = kUs) {
        p_.pgcHigh = high;
        Apply(after);
    }

    // PGC and PGD low, MCLR from low to VPP; the first clock follows after `settle`.
    void Enter(Nanos settle = 100 * kUs) {
        p_ = {Mclr::Low, false, true};
        Apply();
        p_.mclr = Mclr::Vpp;
        Apply(10 * kUs);
        t_ += settle;
    }
    void Exit() {
        p_.pgcHigh = false;
        p_.pgdPulledLow = true;
        Apply();
        p_.mclr = Mclr::Vdd;
        Apply();
    }

    // One clock carrying `bit`: data first, then PGC high for `high`, then low.
    void Clock(bool bit, Nanos high = kUs) {
        p_.pgdPulledLow = !bit;
        Apply();
        SetClock(true);
        SetClock(false, high);
    }
    // The 4-bit command, LSB first; the fourth clock held high for `fourthHigh`.
    void Command(uint8_t cmd, Nanos fourthHigh = kUs) {
        for (int i = 0; i < 4; ++i) Clock((cmd >> i) & 1, i == 3 ? fourthHigh : kUs);
    }
    void Operand(uint16_t w) {
        for (int i = 0; i < 16; ++i) Clock((w >> i) & 1);
        p_.pgdPulledLow = true;
        Apply();
    }
    void Core(uint16_t word) {
        Command(0x0);
        Operand(word);
    }
    void SetTblptr(uint32_t a) {
        Core(static_cast<uint16_t>(0x0E00 | (a & 0xFF)));
        Core(0x6EF6);
        Core(static_cast<uint16_t>(0x0E00 | ((a >> 8) & 0xFF)));
        Core(0x6EF7);
        Core(static_cast<uint16_t>(0x0E00 | ((a >> 16) & 0xFF)));
        Core(0x6EF8);
    }

    enum class Sample { BeforeRise, WhileHigh, AfterFall };
    // Table read (or shift out TABLAT): 8 clocks with PGD held low, then 8 clocks
    // with PGD released, sampled at `when`.
    uint8_t ReadByte(uint8_t cmd = 0x9, Sample when = Sample::WhileHigh) {
        Command(cmd);
        for (int i = 0; i < 8; ++i) Clock(false);
        p_.pgdPulledLow = false;
        Apply();
        uint8_t value = 0;
        for (int i = 0; i < 8; ++i) {
            if (when == Sample::BeforeRise && Pgd()) value |= static_cast<uint8_t>(1u << i);
            SetClock(true);
            Apply(kUs / 2);
            if (when == Sample::WhileHigh && Pgd()) value |= static_cast<uint8_t>(1u << i);
            SetClock(false);
            if (when == Sample::AfterFall && Pgd()) value |= static_cast<uint8_t>(1u << i);
        }
        p_.pgdPulledLow = true;
        Apply();
        return value;
    }
    std::vector<uint8_t> Read(uint32_t a, size_t n) {
        SetTblptr(a);
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n; ++i) out.push_back(ReadByte());
        return out;
    }

    // EEPGD = 1 and CFGS = 0 (flash, ID) or 1 (configuration).
    void SelectFlash() {
        Core(0x8EA6);
        Core(0x9CA6);
    }
    void SelectConfig() {
        Core(0x8EA6);
        Core(0x8CA6);
    }
    // NOP whose 4th clock is the programming pulse.
    void ProgramPulse(Nanos high = 1200 * kUs) {
        Command(0x0, high);
        Operand(0x0000);
    }
    // Words from `a` through the write buffer: 1101 for all but the last, 1111 for it.
    void WriteWords(uint32_t a, const std::vector<uint16_t>& words, Nanos pulse = 1200 * kUs) {
        SetTblptr(a);
        for (size_t i = 0; i < words.size(); ++i) {
            Command(i + 1 < words.size() ? 0xD : 0xF);
            Operand(words[i]);
        }
        ProgramPulse(pulse);
    }
    // Row erase: WREN, FREE, WR, then a NOP whose 4th clock starts the erase and whose
    // operand follows `wait` later.
    void RowErase(uint32_t a, Nanos wait = 2 * kMs) {
        SetTblptr(a);
        Core(0x84A6);
        Core(0x88A6);
        Core(0x82A6);
        Command(0x0);
        Wait(wait);
        Operand(0x0000);
        Core(0x94A6);
    }
    // Erase-control write, NOP, then the next command's 4 clocks and `wait` with no clock.
    void BulkErase(uint16_t control, Nanos wait = 20 * kMs) {
        SetTblptr(0x3C0004);
        Command(0xC);
        Operand(control);
        Core(0x0000);
        Command(0x0);
        Wait(wait);
        Operand(0x0000);
    }
    void WriteConfigByte(uint32_t a, uint8_t value) {
        SetTblptr(a);
        Command(0xF);
        Operand((a & 1) ? static_cast<uint16_t>(value << 8) : value);
        ProgramPulse();
    }

private:
    VirtualModule& m_;
    Nanos t_ = 0;
    ProgrammerPins p_{Mclr::Vdd, false, false};
};

} // namespace mrk::sim::test
