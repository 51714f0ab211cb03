#pragma once
#include <cstdint>
#include <string>

namespace mrk {

// Variables of the FTDI D2XX wrapper.
struct D2xxVars {
    std::string FtDeviceDesc = "Surtan";
};

} // namespace mrk
