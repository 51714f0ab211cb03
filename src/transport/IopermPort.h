#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "transport/PortBackend.h"

namespace mrk {

// Raw port I/O with ioperm + inb/outb (x86 only, needs CAP_SYS_RAWIO).
std::unique_ptr<PortBackend> OpenIopermPort(uint16_t base, std::string& report);

} // namespace mrk
