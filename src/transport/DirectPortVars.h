#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transport/PortBackend.h"

namespace mrk {

// Opens the port whose base I/O address is `base`; null (and why, in report) if none.
using PortOpener = std::function<std::unique_ptr<PortBackend>(uint16_t base, std::string& report)>;
class PpdevSystem;

// Variables of the port-access module: the backend that executes PortIn/PortOut
// and, when none could be opened, why (shown on request, never at start).
struct DirectPortVars {
    std::unique_ptr<PortBackend> backend;
    std::string openReport; // what opening the port found, one line per attempt
    // A port opened by InstallGiveIo serves one base address: when AdrLpt changes,
    // the next access opens the port at the new address.
    bool followsAdrLpt = false;
    uint16_t openedFor = 0;
    // How InstallGiveIo opens a port; empty: ppdev, then raw ioperm.
    PortOpener openPort;
    PpdevSystem* ppdev = nullptr; // kernel calls for ppdev; null: the real kernel
};

} // namespace mrk
