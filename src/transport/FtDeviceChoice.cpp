#include "transport/FtDeviceChoice.h"

#include "transport/D2xxLibrary.h"
#include "transport/LibftdiDevice.h"
#include "transport/Surtan.h"

namespace mrk {

FallbackFtDevice::FallbackFtDevice(std::unique_ptr<FtDevice> primary,
                                   std::function<std::unique_ptr<FtDevice>()> makeSecondary)
    : primary_(std::move(primary)), makeSecondary_(std::move(makeSecondary)), active_(primary_.get()) {}

FtStatus FallbackFtDevice::ListCount(uint32_t& count) {
    uint32_t n = 0;
    const FtStatus st = primary_->ListCount(n);
    if (st == ftstatus::kOk && n > 0) {
        active_ = primary_.get();
        count = n;
        return st;
    }
    if (!secondaryTried_ && makeSecondary_) {
        secondaryTried_ = true;
        secondary_ = makeSecondary_();
    }
    if (secondary_) {
        uint32_t m = 0;
        if (secondary_->ListCount(m) == ftstatus::kOk && m > 0) {
            active_ = secondary_.get();
            count = m;
            return ftstatus::kOk;
        }
    }
    active_ = primary_.get();
    if (st == ftstatus::kOk) count = n;
    return st;
}

std::unique_ptr<FtDevice> MakeD2xxDevice(const std::string& path) {
    D2xxApi api;
    void* lib = nullptr;
    std::string error;
    if (!LoadD2xxApi(path, api, lib, error)) return std::make_unique<MissingFtDevice>(error);
    return std::make_unique<D2xxLibraryDevice>(api, lib);
}

std::unique_ptr<FtDevice> MakeLibftdiDevice() {
    return std::make_unique<LibftdiDevice>(MakeLibftdiCalls());
}

std::unique_ptr<FtDevice> MakeLibftdiDevice(std::unique_ptr<LibftdiCalls> calls, std::function<uint64_t()> nowMs) {
    return std::make_unique<LibftdiDevice>(std::move(calls), std::move(nowMs));
}

void InstallUsbDriver(Surtan& surtan, const std::string& which) {
    if (which == "d2xx") {
        surtan.UseDevice(MakeD2xxDevice(kD2xxLibraryName));
        return;
    }
    surtan.UseDevice(std::make_unique<FallbackFtDevice>(MakeLibftdiDevice(), [] {
        // Not installed is the usual case here: then only libftdi1 is asked.
        auto d = MakeD2xxDevice(kD2xxLibraryName);
        return d->Name() == "none" ? nullptr : std::move(d);
    }));
}

} // namespace mrk
