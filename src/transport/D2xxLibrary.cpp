#include "transport/D2xxLibrary.h"

#include <dlfcn.h>

#include <cstring>

namespace mrk {

namespace {

FtStatus Low32(D2xxApi::Status s) {
    return static_cast<FtStatus>(s & 0xFFFFFFFFul);
}

template <typename F>
bool Bind(void* lib, const char* name, F& fn, std::string& error) {
    void* sym = dlsym(lib, name);
    if (!sym) {
        error = std::string(kD2xxLibraryName) + ": нет функции " + name +
                ": это не библиотека FTDI D2XX или слишком старая её версия";
        return false;
    }
    fn = reinterpret_cast<F>(sym);
    return true;
}

// One text of the device at a list position: `what` picks description or serial number.
// With FT_LIST_BY_INDEX the first argument is the index itself.
FtStatus ListText(const D2xxApi& api, uint32_t index, uint32_t what, char* buffer) {
    char text[kFtDescriptionSize + 1] = {};
    const FtStatus st =
        Low32(api.ListDevices(reinterpret_cast<void*>(static_cast<uintptr_t>(index)), text, kFtListByIndex | what));
    if (st == ftstatus::kOk) std::memcpy(buffer, text, kFtDescriptionSize);
    return st;
}

} // namespace

bool LoadD2xxApi(const std::string& path, D2xxApi& api, void*& library, std::string& error) {
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* why = dlerror();
        error = "библиотека FTDI D2XX " + path + " не загружена (" + (why ? why : "причина неизвестна") +
                "). Установите драйвер D2XX для Linux от FTDI или выберите --usb-driver libftdi";
        return false;
    }
    D2xxApi a;
    const bool ok = Bind(library, "FT_ListDevices", a.ListDevices, error) &&
                    Bind(library, "FT_OpenEx", a.OpenEx, error) &&
                    Bind(library, "FT_SetBitMode", a.SetBitMode, error) &&
                    Bind(library, "FT_SetLatencyTimer", a.SetLatencyTimer, error) &&
                    Bind(library, "FT_SetTimeouts", a.SetTimeouts, error) &&
                    Bind(library, "FT_SetBaudRate", a.SetBaudRate, error) &&
                    Bind(library, "FT_Purge", a.Purge, error) &&
                    Bind(library, "FT_GetQueueStatus", a.GetQueueStatus, error) &&
                    Bind(library, "FT_Write", a.Write, error) && Bind(library, "FT_Read", a.Read, error);
    if (ok) a.Close = reinterpret_cast<D2xxApi::Status (*)(void*)>(dlsym(library, "FT_Close"));
    if (!ok) {
        dlclose(library);
        library = nullptr;
        return false;
    }
    api = a;
    return true;
}

D2xxLibraryDevice::D2xxLibraryDevice(const D2xxApi& api, void* library) : api_(api), library_(library) {}

D2xxLibraryDevice::~D2xxLibraryDevice() {
    // The device is never closed while the program runs; the library goes with it.
    if (library_) dlclose(library_);
}

FtStatus D2xxLibraryDevice::ListCount(uint32_t& count) {
    uint64_t n = 0;
    const FtStatus st = Low32(api_.ListDevices(&n, nullptr, kFtListNumberOnly));
    if (st == ftstatus::kOk) count = static_cast<uint32_t>(n);
    return st;
}

FtStatus D2xxLibraryDevice::ListDescription(uint32_t index, char* buffer) {
    return ListText(api_, index, kFtOpenByDescription, buffer);
}

FtStatus D2xxLibraryDevice::ListSerial(uint32_t index, char* buffer) {
    return ListText(api_, index, kFtOpenBySerialNumber, buffer);
}

FtStatus D2xxLibraryDevice::OpenByDescription(const char* description, FtHandleValue& handle) {
    void* h = nullptr;
    const FtStatus st = Low32(api_.OpenEx(const_cast<char*>(description), kFtOpenByDescription, &h));
    if (st == ftstatus::kOk) handle = h;
    return st;
}

FtStatus D2xxLibraryDevice::OpenBySerial(const char* serial, FtHandleValue& handle) {
    void* h = nullptr;
    const FtStatus st = Low32(api_.OpenEx(const_cast<char*>(serial), kFtOpenBySerialNumber, &h));
    if (st == ftstatus::kOk) handle = h;
    return st;
}

FtStatus D2xxLibraryDevice::Close(FtHandleValue h) {
    return api_.Close ? Low32(api_.Close(h)) : ftstatus::kOk;
}

FtStatus D2xxLibraryDevice::SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) {
    return Low32(api_.SetBitMode(h, mask, mode));
}

FtStatus D2xxLibraryDevice::SetLatencyTimer(FtHandleValue h, uint8_t ms) {
    return Low32(api_.SetLatencyTimer(h, ms));
}

FtStatus D2xxLibraryDevice::SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) {
    return Low32(api_.SetTimeouts(h, readMs, writeMs));
}

FtStatus D2xxLibraryDevice::SetBaudRate(FtHandleValue h, uint32_t baud) {
    return Low32(api_.SetBaudRate(h, baud));
}

FtStatus D2xxLibraryDevice::Purge(FtHandleValue h, uint32_t mask) {
    return Low32(api_.Purge(h, mask));
}

FtStatus D2xxLibraryDevice::GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) {
    uint64_t n = 0;
    const FtStatus st = Low32(api_.GetQueueStatus(h, &n));
    if (st == ftstatus::kOk) rxBytes = static_cast<uint32_t>(n);
    return st;
}

FtStatus D2xxLibraryDevice::Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) {
    uint64_t n = 0;
    const FtStatus st = Low32(api_.Write(h, const_cast<uint8_t*>(data), count, &n));
    written = static_cast<uint32_t>(n);
    return st;
}

FtStatus D2xxLibraryDevice::Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) {
    uint64_t n = 0;
    const FtStatus st = Low32(api_.Read(h, data, count, &n));
    read = static_cast<uint32_t>(n);
    return st;
}

} // namespace mrk
