#include "icsp/ReadyForecast.h"

#include <algorithm>

namespace mrk {

namespace {
// Before any block was seen: about two milliseconds of polls (seven samples each).
constexpr uint32_t kFirstGuess = 700;
} // namespace

ReadyForecast::ReadyForecast(uint32_t blockSize) : blockSize_(std::max<uint32_t>(blockSize, 1)) {}

uint32_t ReadyForecast::Slot(uint32_t address) const {
    return (address % kEraseRowBytes) / blockSize_;
}

uint32_t ReadyForecast::PollsFor(uint32_t address) const {
    uint32_t polls = polls_[Slot(address)];
    // A place in the row not seen yet: the longest seen anywhere.
    if (polls == 0) polls = *std::max_element(polls_.begin(), polls_.end());
    if (polls == 0) polls = kFirstGuess;
    // A little more, for the chip's own timing drifting from block to block.
    return polls + polls / 32 + 8;
}

void ReadyForecast::Learn(uint32_t address, uint32_t polls) {
    polls_[Slot(address)] = std::max<uint32_t>(polls, 1);
}

} // namespace mrk
