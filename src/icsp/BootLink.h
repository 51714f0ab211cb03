#pragma once
// The update link to the module's boot loader: reset, synchronisation bytes,
// then blocks of the update region, each acknowledged by the boot loader
// pulling PGD low.
#include <cstdint>
#include <functional>
#include <span>

#include "core/Host.h"
#include "icsp/Chip.h"
#include "transport/Line.h"

namespace mrk {

// Milliseconds on the station's clock (the bench's own on the bench).
using TickMsFn = std::function<uint32_t()>;

// Both say whether the programmer answered while the byte went out (on USB the
// samples are only queued: the next transfer tells).
[[nodiscard]] bool SendLoaderByte(Line& line, uint8_t byte);
[[nodiscard]] bool FtSendLoaderByte(Line& line, uint8_t byte);

// How one run of the link ended.
enum class LinkResult {
    Sent,           // every block acknowledged
    NoLoader,       // no boot loader answered the synchronisation
    BlockLost,      // a block went unacknowledged in every attempt
    ProgrammerLost, // the programmer stopped answering; nothing more was sent and
                    // no ready was believed after that
};
// Streams BuffEt's update region; logs its own result lines.
// reference: the image whose update region goes out (BuffEt, with the sums past it).
[[nodiscard]] LinkResult WriteUpdate(Line& line, const Chip& chip, Host& host, std::span<const uint8_t> reference,
                                     const TickMsFn& tickMs);

constexpr int kUpdateAttempts = 5;
constexpr int kReadyPolls = 65001;
// On USB a ready wait ends after the time its 65001 polls take on the Kordel
// (measured on the virtual LPT bench, perf/ready_wait_lpt): after the
// synchronisation (four handshakes per poll) and after a block (two).
constexpr uint32_t kUsbSyncReadyMs = 3120;
constexpr uint32_t kUsbBlockReadyMs = 1560;

enum class LoaderReady { Ready, NotReady, NoAnswer };
// On USB the first polls of a wait can go out in one transfer with what is
// queued before them (a block): the lines see the same polls, the host learns
// their answer from the read-back.
struct QueuedPolls {
    uint32_t queue = 0; // polls to send in that first transfer
    uint32_t took = 0;  // on Ready: polls' time until ready (past the queue, reckoned by the clock)
};
// Raises PGC, releases PGD and polls for the boot loader pulling PGD low:
// kReadyPolls polls, each followed by afterEachHigh handshakes; on USB at most
// usbLimitMs milliseconds. Ends at the first read or handshake the programmer
// did not answer.
[[nodiscard]] LoaderReady WaitLoaderReady(Line& line, const TickMsFn& tickMs, int settle, int afterEachHigh, uint32_t usbLimitMs,
                            QueuedPolls* queued = nullptr);

} // namespace mrk
