#include "sim/ModuleBootLoader.h"

#include <algorithm>
#include <cstring>

namespace mrk::sim {

namespace {
constexpr char kMarker[] = "MRK-BOOT";
constexpr size_t kMarkerSize = sizeof(kMarker) - 1;
constexpr char kKey[] = "velmarto";
// 0x55, 0x56 .. 0x5C as they arrive, first bit in bit 0.
constexpr uint64_t kSyncPattern = 0x5C5B5A5958575655ull;

uint8_t RotateRight(uint8_t x) { return static_cast<uint8_t>((x >> 1) | (x << 7)); }
} // namespace

ModuleBootLoader::ModuleBootLoader(ModuleMemory& memory, const ModuleFaults& faults)
    : mem_(memory), faults_(faults) {}

bool ModuleBootLoader::HasMarker() const {
    const uint32_t end = mem_.Traits().loaderEnd;
    for (uint32_t a = 0; a + kMarkerSize <= end; ++a) {
        size_t i = 0;
        while (i < kMarkerSize && mem_.Peek(a + static_cast<uint32_t>(i)) == static_cast<uint8_t>(kMarker[i])) ++i;
        if (i == kMarkerSize) return true;
    }
    return false;
}

void ModuleBootLoader::Reset(Nanos, bool pgcHigh) {
    Stop();
    if (faults_.noBootLoader || !HasMarker()) return;
    ++runs_;
    state_ = State::Sync;
    pgcHigh_ = pgcHigh;
    bitTaken_ = pgcHigh; // a clock already high at reset is not a bit
    sync_ = 0;
    blocks_ = 0;
    address_ = mem_.Traits().loaderEnd;
    block_.clear();
    bitCount_ = 0;
    std::memcpy(key_.data(), kKey, key_.size());
    lastBlock_ = false;
}

void ModuleBootLoader::Reset(Nanos t, const ProgrammerPins& pins) {
    lines_ = pins;
    Reset(t, pins.pgcHigh);
}

void ModuleBootLoader::Lines(Nanos t, const ProgrammerPins& pins) {
    if (pins.pgcHigh != lines_.pgcHigh) {
        const bool level = !lines_.pgdPulledLow && Output(t).value_or(true);
        if (pins.pgcHigh) ClockRise(t, level);
        else ClockFall(t);
    }
    lines_ = pins;
}

void ModuleBootLoader::Stop() {
    state_ = State::Off;
    writePending_ = false;
    idWritePending_ = false; // a reset during the ID rewrite leaves the row erased
}

void ModuleBootLoader::Advance(Nanos t) {
    if (idWritePending_ && t >= busyUntil_) {
        idWritePending_ = false;
        mem_.Program(kIdBase, idWrite_.data(), idWrite_.size(), Writer::Self);
    }
    if (writePending_ && t >= busyUntil_) {
        writePending_ = false;
        WriteBlock();
    }
}

Nanos ModuleBootLoader::Scaled(Nanos d) const {
    return static_cast<Nanos>(static_cast<double>(d) * std::max(faults_.slowFlash, 0.0));
}

void ModuleBootLoader::InvalidateSums(Nanos t) {
    for (uint32_t i = 0; i < kIdSize; ++i) idWrite_[i] = mem_.Peek(kIdBase + i);
    idWrite_[0] = static_cast<uint8_t>(~idWrite_[0]);
    idWrite_[1] = static_cast<uint8_t>(~idWrite_[1]);
    mem_.EraseId();
    idWritePending_ = true;
    const Nanos busy = Scaled(mem_.Traits().selfEraseTime + mem_.Traits().selfWriteTime);
    busyUntil_ = t + busy;
    flashTime_ += busy;
}

void ModuleBootLoader::ClockRise(Nanos, bool pgd) {
    pgcHigh_ = true;
    if (bitTaken_ || (state_ != State::Sync && state_ != State::Receive)) return;
    bitTaken_ = true;
    if (state_ == State::Sync) {
        sync_ = (sync_ >> 1) | (uint64_t{pgd} << 63);
        return;
    }
    if (bitCount_ % 8 == 0) block_.push_back(0);
    if (pgd) block_.back() |= static_cast<uint8_t>(1u << (bitCount_ % 8));
    ++bitCount_;
}

void ModuleBootLoader::ClockFall(Nanos t) {
    const bool wasHigh = pgcHigh_;
    pgcHigh_ = false;
    bitTaken_ = false;
    const bool stopHere = faults_.stopAfterBlock >= 0 && (!faults_.stopFirstRunOnly || runs_ == 1);
    switch (state_) {
    case State::Sync:
        if (sync_ == kSyncPattern) {
            state_ = stopHere && faults_.stopAfterBlock == 0 ? State::Silent : State::Ready;
            InvalidateSums(t);
        }
        break;
    case State::Receive:
        if (bitCount_ == static_cast<int>(mem_.Traits().linkBlock) * 8) BlockReceived(t);
        break;
    case State::Ready:
        // A high phase that reached the end of the busy time carried the ready signal.
        if (wasHigh && t > busyUntil_) {
            state_ = lastBlock_ ? State::Done : State::Receive;
            block_.clear();
            bitCount_ = 0;
        }
        break;
    default: break;
    }
}

void ModuleBootLoader::BlockReceived(Nanos t) {
    const ChipTraits& chip = mem_.Traits();
    const uint32_t first = chip.loaderEnd;
    // Undo the update scrambling: erased groups of four pass as they are.
    for (size_t g = 0; g < block_.size(); g += 4) {
        const bool erased = std::all_of(block_.begin() + g, block_.begin() + g + 4, [](uint8_t b) { return b == 0xFF; });
        if (erased) continue;
        for (size_t i = g; i < g + 4; ++i) {
            const size_t k = (address_ + i - first) % key_.size();
            block_[i] ^= key_[k];
            key_[k] = RotateRight(key_[k]);
        }
    }
    ++blocks_;
    lastBlock_ = address_ + block_.size() >= chip.flashSize;

    Nanos busy = chip.selfWriteTime;
    if (address_ % kRowSize == 0) busy += chip.selfEraseTime;
    if (lastBlock_) busy += chip.selfEraseTime + chip.selfWriteTime;
    busyUntil_ = t + Scaled(busy);
    flashTime_ += Scaled(busy);
    writePending_ = true;

    const bool stopHere = faults_.stopAfterBlock >= 0 && (!faults_.stopFirstRunOnly || runs_ == 1);
    state_ = stopHere && blocks_ >= faults_.stopAfterBlock ? State::Silent : State::Ready;
}

void ModuleBootLoader::WriteBlock() {
    const ChipTraits& chip = mem_.Traits();
    // A protected row stays as it was, as on the chip; the sums tell the host.
    if (address_ % kRowSize == 0) (void)mem_.EraseRow(address_, Writer::Self);
    mem_.Program(address_, block_.data(), block_.size(), Writer::Self);
    address_ += static_cast<uint32_t>(block_.size());
    if (!lastBlock_) return;

    uint8_t sumEven = 0, sumOdd = 0;
    for (uint32_t a = chip.loaderEnd; a < chip.flashSize; ++a) {
        if (a % 2 == 0) sumEven = static_cast<uint8_t>(sumEven + mem_.Peek(a));
        else sumOdd = static_cast<uint8_t>(sumOdd + mem_.Peek(a));
    }
    std::array<uint8_t, kIdSize> id{};
    for (uint32_t i = 0; i < kIdSize; ++i) id[i] = mem_.Peek(kIdBase + i);
    id[0] = sumEven;
    id[1] = sumOdd;
    mem_.EraseId();
    mem_.Program(kIdBase, id.data(), id.size(), Writer::Self);
}

std::optional<bool> ModuleBootLoader::Output(Nanos t) const {
    if (state_ == State::Ready && pgcHigh_ && t >= busyUntil_) return false;
    return std::nullopt;
}

} // namespace mrk::sim
