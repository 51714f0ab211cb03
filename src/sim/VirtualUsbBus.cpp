#include "sim/VirtualUsbBus.h"

namespace mrk::sim {

std::vector<VirtualFtdi*> VirtualUsbBus::Present() const {
    std::vector<VirtualFtdi*> out;
    for (VirtualFtdi* c : chips_) {
        uint32_t n = 0;
        if (c->ListCount(n) == ftstatus::kOk && n > 0) out.push_back(c);
    }
    return out;
}

FtStatus VirtualUsbBus::ListCount(uint32_t& count) {
    count = static_cast<uint32_t>(Present().size());
    return ftstatus::kOk;
}

FtStatus VirtualUsbBus::ListDescription(uint32_t index, char* buffer) {
    const auto on = Present();
    if (index >= on.size()) return ftstatus::kDeviceNotFound;
    return on[index]->ListDescription(0, buffer);
}

FtStatus VirtualUsbBus::ListSerial(uint32_t index, char* buffer) {
    const auto on = Present();
    if (index >= on.size()) return ftstatus::kDeviceNotFound;
    return on[index]->ListSerial(0, buffer);
}

FtStatus VirtualUsbBus::OpenByDescription(const char* description, FtHandleValue& handle) {
    FtStatus last = ftstatus::kDeviceNotFound;
    // As the vendor's driver does: the first device of that description that is not in use.
    for (VirtualFtdi* c : Present()) {
        last = c->OpenByDescription(description, handle);
        if (last == ftstatus::kOk) return last;
    }
    return last;
}

FtStatus VirtualUsbBus::OpenBySerial(const char* serial, FtHandleValue& handle) {
    for (VirtualFtdi* c : Present())
        if (c->Serial() == serial) return c->OpenBySerial(serial, handle);
    return ftstatus::kDeviceNotFound;
}

} // namespace mrk::sim
