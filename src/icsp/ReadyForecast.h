#pragma once
// How many ready polls to send behind an update block on USB, where each
// transfer read back costs a round trip: enough to cover the flash time the
// block will take, foretold by what the blocks at the same place in their
// 64-byte erase row took before (a row's first block also erases it), learnt
// as the update goes. Too few costs a round trip more; too many, a little idle
// clocking on the lines after the module is ready.
#include <array>
#include <cstdint>

namespace mrk {

class ReadyForecast {
public:
    explicit ReadyForecast(uint32_t blockSize);
    // Polls to queue behind the block that starts at address.
    uint32_t PollsFor(uint32_t address) const;
    // The block at address was ready after this many polls' time.
    void Learn(uint32_t address, uint32_t polls);

private:
    static constexpr uint32_t kEraseRowBytes = 64;
    uint32_t Slot(uint32_t address) const;

    uint32_t blockSize_;
    // By block within the row; 0: none seen there yet.
    std::array<uint32_t, kEraseRowBytes> polls_{};
};

} // namespace mrk
