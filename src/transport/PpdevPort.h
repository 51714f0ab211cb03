#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "transport/PortBackend.h"

namespace mrk {

// Finds /dev/parportN whose base I/O address equals base, opens and claims it.
// On failure returns null and says why in `report`; on success `report` names the port.
std::unique_ptr<PortBackend> OpenPpdevPort(uint16_t base, std::string& report);

// The base address the kernel gives for parport N (from /proc/sys/dev/parport),
// or -1 if unknown. Exposed for tests with a fake /proc tree.
long ParportBaseAddress(const std::string& procDir, int n);

} // namespace mrk
