#pragma once
// The update link to the module's boot loader: reset, synchronisation bytes,
// then blocks of the update region, each acknowledged by the boot loader
// pulling PGD low.
#include <cstdint>

namespace mrk {

struct Context;

void SendLoaderByte(Context& ctx, uint8_t byte);
void FtSendLoaderByte(Context& ctx, uint8_t byte);

enum UpdateResult { kUpdateSent = 0, kUpdateNoLoader = 1, kUpdateBlockLost = 2 };
// Streams BuffEt's update region; logs its own result lines.
int WriteUpdate(Context& ctx);

constexpr int kUpdateAttempts = 5;
constexpr int kReadyPolls = 65001;

} // namespace mrk
