#pragma once
// Byte-wide port input/output on the LPT registers.
#include <cstdint>
#include <memory>

#include "transport/DirectPortVars.h"
#include "transport/PortBackend.h"

namespace mrk {

struct Context;

// One byte-wide output/input instruction. Without port access an input reads
// 0xFF (as an unmapped port does) and an output goes nowhere.
void PortOut(Context& ctx, uint16_t port, uint8_t value);
uint8_t PortIn(Context& ctx, uint16_t port);

// Start-up step: obtain port access for the port at AdrLpt. On Linux this is
// "open and claim /dev/parportN whose base is AdrLpt", else raw ioperm on x86.
// Silent: what happened is kept in directPort.openReport. The port follows
// AdrLpt: the first access after a change opens the port at the new address.
void InstallGiveIo(Context& ctx);
// Shut-down step: release the port.
void RemoveGiveIo(Context& ctx);
// Puts a given backend in place (the virtual bench, tests). It sees every
// address, as the I/O bus does, so it needs no reopening when AdrLpt changes.
void UsePortBackend(Context& ctx, std::unique_ptr<PortBackend> backend);
// Replaces how InstallGiveIo opens the port at a base address (a bench with
// its ports at given addresses, tests), then opens the one at AdrLpt.
void UsePortOpener(Context& ctx, PortOpener opener);

} // namespace mrk
