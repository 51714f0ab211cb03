#pragma once
// What is attached to the station: every FTDI device (description, serial
// number, whether it is a Surtan and whether it is the one chosen) and every
// parallel port (whether a Kordel can be driven on it, and why not). On the
// virtual bench, the bench's own programmers.
#include <string>
#include <vector>

#include "transport/PortListing.h"

namespace mrk {

class Station;

struct UsbListing {
    std::string description;
    std::string serial;
    bool surtan = false;  // described exactly as the Surtan programmer
    bool chosen = false;  // the one this program uses
    std::string problem;  // why its strings could not be read
};

struct ProgrammerListing {
    bool bench = false;
    std::string usbDriver;          // the driver that listed the USB devices
    std::vector<UsbListing> usb;
    std::string usbError;           // why the USB bus could not be listed
    std::vector<PortListing> ports; // real ports, or the bench's Kordel
    std::string portsNone;          // why there are no ports
};

// Lists what the station's drivers see. The station's own port is let go for
// the listing (so that it is listed as it is) and taken again afterwards.
ProgrammerListing ListProgrammers(Station& station);

} // namespace mrk
