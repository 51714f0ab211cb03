#pragma once
#include <memory>
#include <string>

#include "transport/PortBackend.h"

namespace mrk {

class PpdevSystem;

// Variables of the port-access module: the backend that executes PortIn/PortOut
// and, when none could be opened, why (shown on request, never at start).
struct DirectPortVars {
    std::unique_ptr<PortBackend> backend;
    std::string openReport; // what opening the port found, one line per attempt
    PpdevSystem* ppdev = nullptr; // kernel calls for ppdev; null: the real kernel
};

} // namespace mrk
