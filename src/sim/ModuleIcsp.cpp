#include "sim/ModuleIcsp.h"

#include <algorithm>

namespace mrk::sim {

namespace {
constexpr Nanos kP12EntryToClock = 2 * kUs;
constexpr Nanos kP9Programming = 1 * kMs;
constexpr Nanos kRowEraseTime = 1 * kMs;
// PGD output becomes valid this long after the clock edge that asks for it.
constexpr Nanos kOutputDelay = 10;

constexpr uint32_t kTblptrMask = 0x3FFFFF;
constexpr uint32_t kEraseControl = 0x3C0004;
constexpr uint32_t kEraseControl2 = 0x3C0005;
constexpr uint32_t kWriteMode = 0x3C0006;

// EECON1 bits.
constexpr uint8_t kEepgd = 0x80;
constexpr uint8_t kCfgs = 0x40;
constexpr uint8_t kFree = 0x10;
constexpr uint8_t kWren = 0x04;
constexpr uint8_t kWr = 0x02;

constexpr int kCommandBits = 4;
constexpr int kInstructionBits = 20;
constexpr int kReadTakesPgd = kCommandBits + 8 - 1; // falling edge of the 8th operand clock
} // namespace

ModuleIcsp::ModuleIcsp(ModuleMemory& memory, ChipModel chip, size_t traceLimit)
    : mem_(memory), chip_(chip), traceLimit_(std::max<size_t>(traceLimit, 4)),
      buffer_(memory.Traits().writeBuffer, 0xFF) {}

void ModuleIcsp::Enter(Nanos t) {
    active_ = true;
    entryTime_ = t;
    clocked_ = false;
    pgcHigh_ = false;
    pos_ = 0;
    command_ = 0;
    operand_ = 0;
    out_ = {};
    w_ = 0;
    tblptr_ = 0;
    eecon1_ = 0;
    tablat_ = 0;
    std::fill(buffer_.begin(), buffer_.end(), uint8_t{0xFF});
    program_ = rowErase_ = bulkErase_ = Pending::None;
    bulkAfterNop_ = false;
    step_.reset();
}

void ModuleIcsp::EndStep(Nanos t) {
    if (!step_) return;
    step_->length = t - step_->start;
    if (steps_.size() >= traceLimit_) steps_.erase(steps_.begin(), steps_.begin() + static_cast<long>(traceLimit_ / 4));
    steps_.push_back(*step_);
    step_.reset();
}

void ModuleIcsp::Leave(Nanos t) {
    if (!active_) return;
    EndStep(t);
    Advance(t);
    active_ = false;
    out_ = {};
    program_ = rowErase_ = bulkErase_ = Pending::None;
}

void ModuleIcsp::Advance(Nanos t) {
    if (!active_) return;
    if (program_ == Pending::Running && pgcHigh_ && t >= pulseStart_ + kP9Programming) {
        ProgramNow();
        program_ = Pending::None;
    }
    if (rowErase_ == Pending::Running && t >= rowStart_ + kRowEraseTime) {
        (void)mem_.EraseRow(rowAddress_, Writer::Icsp); // a protected row stays, as on the chip
        rowErase_ = Pending::None;
    }
    if (bulkErase_ == Pending::Running && t >= bulkStart_ + mem_.Traits().bulkEraseTime) {
        mem_.EraseAll();
        bulkErase_ = Pending::None;
    }
}

bool ModuleIcsp::ClockRise(Nanos t, std::string& problem) {
    if (!active_) return true;
    if (!clocked_) {
        clocked_ = true;
        if (t < entryTime_ + kP12EntryToClock) {
            problem = "first clock came less than 2 us after MCLR reached VPP";
            Leave(t);
            return false;
        }
    }
    pgcHigh_ = true;
    riseTime_ = t;
    // An erase's wait lasts until the next clock.
    if (step_ && step_->kind != TimedStep::Kind::ProgrammingPulse) EndStep(t);
    // A further clock cuts a running erase short: nothing is erased.
    if (rowErase_ == Pending::Running) rowErase_ = Pending::None;
    if (bulkErase_ == Pending::Running) bulkErase_ = Pending::None;

    if (pos_ == kCommandBits - 1) {
        if (program_ == Pending::Armed) {
            program_ = Pending::Running;
            pulseStart_ = t;
            step_ = TimedStep{TimedStep::Kind::ProgrammingPulse, t, 0, kP9Programming};
        }
        if (rowErase_ == Pending::Armed) {
            rowErase_ = Pending::Running;
            rowStart_ = t;
            step_ = TimedStep{TimedStep::Kind::RowErase, t, 0, kRowEraseTime};
        }
    }
    // Table read output: bit j of the byte follows the rising edge of operand clock 9 + j;
    // the first clock of the next command releases the line.
    const int readBit = pos_ - (kReadTakesPgd + 1);
    if (readBit >= 0 && readBit < 8 && out_.after) {
        SetOutput(t, ((tablat_ >> readBit) & 1) != 0);
    } else if (pos_ == 0 && out_.after) {
        SetOutput(t, std::nullopt);
    }
    return true;
}

void ModuleIcsp::ClockFall(Nanos t, bool pgd) {
    if (!active_) return;
    pgcHigh_ = false;
    if (pos_ == kCommandBits - 1) {
        if (step_ && step_->kind == TimedStep::Kind::ProgrammingPulse) EndStep(t);
        // A pulse shorter than P9 programs nothing.
        if (program_ == Pending::Running) program_ = Pending::None;
        if (bulkErase_ == Pending::Armed && bulkAfterNop_) {
            bulkErase_ = Pending::Running;
            bulkStart_ = t;
            step_ = TimedStep{TimedStep::Kind::BulkErase, t, 0, mem_.Traits().bulkEraseTime};
        }
    }
    if (pos_ == 0) {
        command_ = 0;
        operand_ = 0;
        tblptrBefore_ = tblptr_;
    }
    if (pos_ < kCommandBits) {
        if (pgd) command_ |= static_cast<uint8_t>(1u << pos_);
    } else {
        if (pgd) operand_ |= static_cast<uint16_t>(1u << (pos_ - kCommandBits));
    }
    if (pos_ == kReadTakesPgd && ((command_ & 0x0C) == 0x08 || command_ == 0x02)) TableRead(t);
    if (++pos_ == kInstructionBits) {
        pos_ = 0;
        Complete(t);
    }
}

void ModuleIcsp::TableRead(Nanos t) {
    switch (command_) {
    case 0x08: tablat_ = mem_.IcspRead(tblptr_); break;
    case 0x09: tablat_ = mem_.IcspRead(tblptr_); tblptr_ = (tblptr_ + 1) & kTblptrMask; break;
    case 0x0A: tablat_ = mem_.IcspRead(tblptr_); tblptr_ = (tblptr_ - 1) & kTblptrMask; break;
    case 0x0B: tblptr_ = (tblptr_ + 1) & kTblptrMask; tablat_ = mem_.IcspRead(tblptr_); break;
    default: break; // 0010 shifts out TABLAT as it stands
    }
    // Until the first read clock the line carries the complement of bit 0, so a
    // programmer that samples before the rising edge gets the wrong bit.
    SetOutput(t, (tablat_ & 1) == 0);
}

void ModuleIcsp::Complete(Nanos t) {
    // The instruction after the erase-register write moves a bulk erase to its last step.
    if (bulkErase_ == Pending::Armed) bulkAfterNop_ = true;

    IcspRecord r{t, command_, operand_, tblptrBefore_, 0};
    switch (command_) {
    case 0x00: CoreInstruction(operand_); break;
    case 0x02:
    case 0x08:
    case 0x09:
    case 0x0A:
    case 0x0B: r.operand = tablat_; break;
    case 0x0C: TableWrite(operand_, false); break;
    case 0x0D:
        TableWrite(operand_, false);
        tblptr_ = (tblptr_ + 2) & kTblptrMask;
        break;
    case 0x0E:
        TableWrite(operand_, true);
        tblptr_ = (tblptr_ + 2) & kTblptrMask;
        break;
    case 0x0F: TableWrite(operand_, true); break;
    default: break; // reserved commands do nothing
    }
    r.tblptrAfter = tblptr_;
    Record(r);
}

void ModuleIcsp::CoreInstruction(uint16_t word) {
    const uint8_t op = static_cast<uint8_t>(word >> 8);
    const uint8_t arg = static_cast<uint8_t>(word);
    if (op == 0x0E) { // MOVLW
        w_ = arg;
        return;
    }
    switch (word) {
    case 0x6EF6: tblptr_ = (tblptr_ & 0x3FFF00) | w_; return;
    case 0x6EF7: tblptr_ = (tblptr_ & 0x3F00FF) | (uint32_t{w_} << 8); return;
    case 0x6EF8: tblptr_ = (tblptr_ & 0x00FFFF) | (uint32_t{w_ & 0x3Fu} << 16); return;
    case 0x6EA7: return; // EECON2 unlock bytes: accepted, not required over ICSP
    case 0x2AF6: // INCF TBLPTRL,F: the low byte alone wraps
        tblptr_ = (tblptr_ & 0x3FFF00) | ((tblptr_ + 1) & 0xFF);
        return;
    default: break;
    }
    // BSF / BCF EECON1 (0xA6), bit number in bits 9..11 of the word.
    if (arg == 0xA6 && (op & 0xF1) == 0x80) {
        const uint8_t bit = static_cast<uint8_t>(1u << ((op >> 1) & 7));
        eecon1_ |= bit;
        if (bit == kWr) {
            eecon1_ &= static_cast<uint8_t>(~kWr);
            const uint8_t rowErase = kEepgd | kFree | kWren;
            if ((eecon1_ & (rowErase | kCfgs)) == rowErase) {
                rowErase_ = Pending::Armed;
                rowAddress_ = tblptr_;
            }
        }
    } else if (arg == 0xA6 && (op & 0xF1) == 0x90) {
        eecon1_ &= static_cast<uint8_t>(~(1u << ((op >> 1) & 7)));
    }
    // Every other instruction: no effect on the bench.
}

void ModuleIcsp::TableWrite(uint16_t operand, bool startProgramming) {
    const uint32_t a = tblptr_;
    const uint8_t byte = static_cast<uint8_t>((a & 1) ? operand >> 8 : operand);
    if (a == kEraseControl) {
        const bool chipErase = chip_ == ChipModel::PIC18F452 ? byte == 0x80 : (byte == 0x8F || byte == 0x87);
        if (chipErase) {
            bulkErase_ = Pending::Armed;
            bulkAfterNop_ = false;
        }
        return;
    }
    if (a == kEraseControl2 || a == kWriteMode) return; // held, no effect on the bench
    if (eecon1_ & kCfgs) {
        if (!ModuleMemory::IsConfig(a)) return;
        if (startProgramming) {
            program_ = Pending::Armed;
            programConfig_ = true;
            programAddress_ = a;
            programConfigValue_ = byte;
        }
        return;
    }
    if (!(eecon1_ & kEepgd)) return; // data EEPROM: not part of the bench
    if (!mem_.IsFlash(a) && !ModuleMemory::IsId(a)) return;
    const uint32_t size = static_cast<uint32_t>(buffer_.size());
    const uint32_t offset = (a & ~1u) % size;
    buffer_[offset] = static_cast<uint8_t>(operand);
    buffer_[offset + 1] = static_cast<uint8_t>(operand >> 8);
    if (startProgramming) {
        program_ = Pending::Armed;
        programConfig_ = false;
        programAddress_ = a - a % size;
    }
}

void ModuleIcsp::ProgramNow() {
    if (programConfig_) {
        // Write-protected configuration stays as it was; the host's read-back sees it.
        (void)mem_.WriteConfig(programAddress_, programConfigValue_);
        return;
    }
    mem_.Program(programAddress_, buffer_.data(), buffer_.size(), Writer::Icsp);
    std::fill(buffer_.begin(), buffer_.end(), uint8_t{0xFF});
}

void ModuleIcsp::SetOutput(Nanos t, std::optional<bool> value) {
    out_.before = Output(t);
    out_.after = value;
    out_.validFrom = t + kOutputDelay;
}

std::optional<bool> ModuleIcsp::Output(Nanos t) const {
    if (!active_) return std::nullopt;
    return t >= out_.validFrom ? out_.after : out_.before;
}

void ModuleIcsp::Record(const IcspRecord& r) {
    if (trace_.size() >= traceLimit_) trace_.erase(trace_.begin(), trace_.begin() + traceLimit_ / 4);
    trace_.push_back(r);
}

} // namespace mrk::sim
