#pragma once
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "transport/FtDevice.h"

namespace mrk {

constexpr size_t kFtBufferSize = 65536;

// USB traffic as the wrapper saw it, for benchmarks and tests.
struct UsbCounters {
    uint64_t writes = 0;       // FT_Write calls
    uint64_t reads = 0;        // FT_Read calls
    uint64_t queuePolls = 0;   // FT_GetQueueStatus calls
    uint64_t purges = 0;       // FT_Purge calls
    uint64_t bytesWritten = 0; // samples the device accepted
    uint64_t bytesRead = 0;    // read-back bytes received
};

// Variables of the FTDI D2XX wrapper.
struct D2xxVars {
    std::string FtDeviceDesc = "Surtan";
    FtHandleValue FtHandle = nullptr;
    uint32_t FtDevCount = 0;
    std::string FtDevDescr;
    std::string FtDevSerial; // of the programmer opened, for the journal; empty when the driver cannot tell
    uint32_t FT_Q_Bytes = 0;
    std::vector<uint8_t> FtInBuff = std::vector<uint8_t>(kFtBufferSize, 0);
    std::vector<uint8_t> FtOutBuff = std::vector<uint8_t>(kFtBufferSize, 0);

    // The driver underneath; none means no USB programmer can be found.
    std::unique_ptr<FtDevice> device;
    UsbCounters counters;
    FtStatus lastStatus = ftstatus::kOk; // of the last wrapper call
    // Error texts already shown since the last call that succeeded: a device
    // that went away fails every call, and one box per kind of failure is enough.
    std::set<std::string> shownErrors;
};

} // namespace mrk
