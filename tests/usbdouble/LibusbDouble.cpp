// A stand-in for libusb-1.0 that shows libftdi1 one FT232R on the bus: the
// virtual bench's Surtan and module behind it. Loaded in place of the system's
// libusb (LD_LIBRARY_PATH), it lets the real libftdi1 and the program's libftdi
// driver run unmodified against the bench's chip model at the USB level.
//
// The bench comes from the environment when libusb_init is first called:
//   MRK_USBDOUBLE_CHIP    452 or 4620 (default 4620)
//   MRK_USBDOUBLE_MODULE  the module's memory, Intel HEX: loaded when it exists,
//                         saved whenever the device is closed and at exit
//   MRK_USBDOUBLE_REPORT  where to write the chip's counters at exit
//   MRK_USBDOUBLE_LOG     where to note control requests this double does not model
//   MRK_USBDOUBLE_TRACE   set: note every transfer and control request there too
// Time: what the host spends between calls (its own sleeps included) passes on
// the bench's clock as well; what the chip spends inside a call is bench time only.
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimClock.h"
#include "sim/VirtualFtdi.h"
#include "sim/VirtualModule.h"

struct libusb_context {
    int unused = 0;
};
struct libusb_device {
    int refs = 0;
};
struct libusb_device_handle {
    libusb_device* dev = nullptr;
};

namespace {

using namespace mrk;

constexpr uint16_t kFtdiVendor = 0x0403;
constexpr uint16_t kFt232rProduct = 0x6001;
constexpr uint16_t kFt232rRelease = 0x0600;
constexpr uint8_t kEpIn = 0x81;
constexpr uint8_t kEpOut = 0x02;
constexpr int kPacket = 64;
constexpr int kPacketData = 62;
// The FT232R's transmit and receive buffers.
constexpr int kInFlight = 128 + 256;
// The two status bytes ahead of every IN packet: modem lines (CTS, DSR), line status (transmitter empty).
constexpr uint8_t kModemStatus = 0x31;
constexpr uint8_t kLineStatus = 0x60;

// FTDI vendor requests as libftdi1 sends them.
enum Request : uint8_t {
    kReset = 0x00,
    kSetBaudRate = 0x03,
    kPollModemStatus = 0x05,
    kSetLatency = 0x09,
    kGetLatency = 0x0A,
    kSetBitMode = 0x0B,
    kReadPins = 0x0C,
};

// The bench's Surtan wired to its module, as on the virtual USB bench.
struct UsbBench {
    sim::SimClock clock;
    std::unique_ptr<sim::VirtualModule> module;
    std::unique_ptr<sim::VirtualFtdi> ftdi;
    sim::SimClock& Clock() { return clock; }
    sim::VirtualModule* Module() { return module.get(); }
    sim::VirtualFtdi& Ftdi() { return *ftdi; }
};

struct Double {
    std::unique_ptr<UsbBench> bench;
    std::string modulePath, reportPath, logPath;
    libusb_context ctx;
    libusb_device device;
    libusb_device_handle handle;
    FtHandleValue chip = nullptr;
    std::vector<libusb_transfer*> pending;
    std::vector<libusb_transfer*> cancelled;
    std::deque<uint8_t> readBack; // clocked and sent, not yet in an IN transfer
    std::chrono::steady_clock::time_point lastCall = std::chrono::steady_clock::now();
    int contexts = 0;
    int blocks = 0; // the most blocks the module's boot loader took since a reset

    sim::VirtualFtdi& Chip() { return bench->Ftdi(); }
};

Double* g = nullptr;

const char* Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void Log(const std::string& line) {
    if (!g || g->logPath.empty()) return;
    if (FILE* f = std::fopen(g->logPath.c_str(), "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void SaveModule() {
    if (!g || !g->bench || g->modulePath.empty() || !g->bench->Module()) return;
    std::string error;
    if (!g->bench->Module()->SaveHex(g->modulePath, error)) Log("module not saved: " + error);
}

void WriteReport() {
    if (!g || g->reportPath.empty()) return;
    auto& c = g->Chip();
    if (FILE* f = std::fopen(g->reportPath.c_str(), "w")) {
        std::fprintf(f, "round_trips %llu\nwrites %llu\nreads %llu\nsamples %llu\nsim_ms %llu\nblocks %d\n",
                     static_cast<unsigned long long>(c.RoundTrips()), static_cast<unsigned long long>(c.Writes()),
                     static_cast<unsigned long long>(c.Reads()), static_cast<unsigned long long>(c.Samples()),
                     static_cast<unsigned long long>(g->bench->Clock().Now() / sim::kMs),
                     g->blocks);
        std::fclose(f);
    }
}

void AtExit() {
    SaveModule();
    WriteReport();
}

void MakeBench() {
    if (g) return;
    g = new Double;
    sim::VirtualModule::Options m;
    m.chip = std::string(Env("MRK_USBDOUBLE_CHIP")) == "452" ? sim::ChipModel::PIC18F452 : sim::ChipModel::PIC18F4620;
    m.revision = 0x07; // as the virtual bench's module
    g->modulePath = Env("MRK_USBDOUBLE_MODULE");
    g->reportPath = Env("MRK_USBDOUBLE_REPORT");
    g->logPath = Env("MRK_USBDOUBLE_LOG");
    g->bench = std::make_unique<UsbBench>();
    g->bench->module = std::make_unique<sim::VirtualModule>(m);
    g->bench->ftdi = std::make_unique<sim::VirtualFtdi>(g->bench->clock, g->bench->module.get(), sim::VirtualFtdiOptions{});
    g->Chip().SetReadAhead(false); // libftdi1 reads only when it is asked to
    if (!g->modulePath.empty() && g->bench->Module()) {
        if (FILE* f = std::fopen(g->modulePath.c_str(), "r")) {
            std::fclose(f);
            std::string error;
            if (!g->bench->Module()->LoadHex(g->modulePath, error)) Log("module not loaded: " + error);
        }
    }
    std::atexit(AtExit);
}

// The host's time since its last call passes on the bench's clock.
void CatchUp() {
    const auto now = std::chrono::steady_clock::now();
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now - g->lastCall).count();
    if (ns > 0) g->bench->Clock().Advance(static_cast<sim::Nanos>(ns));
}
void Leave() { g->lastCall = std::chrono::steady_clock::now(); }

bool Present() {
    uint32_t n = 0;
    return g->Chip().ListCount(n) == ftstatus::kOk && n > 0;
}

bool OpenChip() {
    if (g->chip) return true;
    char desc[kFtDescriptionSize] = {};
    if (g->Chip().ListDescription(0, desc) != ftstatus::kOk) return false;
    if (g->Chip().OpenByDescription(desc, g->chip) != ftstatus::kOk) return false;
    g->Chip().SetReadAhead(false);
    return true;
}

// Data bytes an IN transfer of `length` bytes holds behind the status bytes of its packets.
int DataCapacity(int length) { return length / kPacket * kPacketData + std::max(0, length % kPacket - 2); }

// Fills an IN buffer with read-back in packets of 2 status bytes and up to 62
// data bytes; with no read-back, one packet of status only.
int FillIn(uint8_t* buf, int length) {
    int at = 0;
    do {
        if (length - at < 2) break;
        buf[at++] = kModemStatus;
        buf[at++] = kLineStatus;
        int n = 0;
        while (n < kPacketData && at < length && !g->readBack.empty()) {
            buf[at++] = g->readBack.front();
            g->readBack.pop_front();
            ++n;
        }
        if (n < kPacketData) break;
    } while (at < length && !g->readBack.empty());
    return at;
}

void TakeReadBack(const uint8_t* data, uint32_t n) { g->readBack.insert(g->readBack.end(), data, data + n); }

// One bulk OUT with, when given, the bulk IN under way beside it.
libusb_transfer_status RunOut(uint8_t* out, int size, int& written, int timeoutMs, int inTimeoutMs) {
    auto& c = g->Chip();
    if (!OpenChip()) return LIBUSB_TRANSFER_NO_DEVICE;
    c.SetTimeouts(g->chip, static_cast<uint32_t>(inTimeoutMs), static_cast<uint32_t>(timeoutMs));
    uint32_t took = 0, got = 0;
    FtStatus st = ftstatus::kOk;
    if (inTimeoutMs >= 0 && c.BitMode() == kFtModeSyncBitBang) {
        // Every sample clocked comes back, but the write ends once the chip has
        // taken it: up to a transmit and a receive buffer of its read-back may
        // still be on the way, for the read that stays under way after it.
        const int want = std::max(1, size - kInFlight);
        std::vector<uint8_t> back(static_cast<size_t>(want));
        st = c.BulkOutIn(g->chip, out, static_cast<uint32_t>(size), took, back.data(), static_cast<uint32_t>(want), got);
        g->blocks = std::max(g->blocks, g->bench->Module() ? g->bench->Module()->BootLoaderBlocks() : 0);
        TakeReadBack(back.data(), got);
        if (std::getenv("MRK_USBDOUBLE_TRACE"))
            Log("outin " + std::to_string(size) + " took " + std::to_string(took) + " got " + std::to_string(got) +
                " st " + std::to_string(st) + " t " + std::to_string(g->bench->Clock().Now() / 1000) + " to " +
                std::to_string(timeoutMs) + "/" + std::to_string(inTimeoutMs));
    } else {
        st = c.BulkOut(g->chip, out, static_cast<uint32_t>(size), took);
    }
    written = static_cast<int>(took);
    if (!Present()) return LIBUSB_TRANSFER_NO_DEVICE;
    return st == ftstatus::kOk && written == size ? LIBUSB_TRANSFER_COMPLETED : LIBUSB_TRANSFER_TIMED_OUT;
}

// One bulk IN alone: what was kept back first, otherwise one transfer from the chip.
libusb_transfer_status RunIn(uint8_t* buf, int length, int& actual, int timeoutMs) {
    auto& c = g->Chip();
    if (!OpenChip()) return LIBUSB_TRANSFER_NO_DEVICE;
    if (g->readBack.empty()) {
        c.SetTimeouts(g->chip, static_cast<uint32_t>(timeoutMs), c.WriteTimeoutMs());
        std::vector<uint8_t> back(static_cast<size_t>(DataCapacity(length)));
        uint32_t got = 0;
        if (c.BulkIn(g->chip, back.data(), static_cast<uint32_t>(back.size()), got) != ftstatus::kOk || !Present())
            return LIBUSB_TRANSFER_NO_DEVICE;
        TakeReadBack(back.data(), got);
        if (std::getenv("MRK_USBDOUBLE_TRACE"))
            Log("in " + std::to_string(length) + " got " + std::to_string(got) + " t " +
                std::to_string(g->bench->Clock().Now() / 1000));
    }
    actual = FillIn(buf, length);
    return LIBUSB_TRANSFER_COMPLETED;
}

void Complete(libusb_transfer* t, libusb_transfer_status st, int actual) {
    t->status = st;
    t->actual_length = actual;
    g->pending.erase(std::remove(g->pending.begin(), g->pending.end(), t), g->pending.end());
}

libusb_transfer* Pending(uint8_t endpoint) {
    for (auto* t : g->pending)
        if (t->endpoint == endpoint) return t;
    return nullptr;
}

// Runs what is under way; calls the callbacks of what ended, the OUT first.
void RunTransfers() {
    std::vector<libusb_transfer*> done;
    for (auto* t : g->cancelled) {
        if (std::find(g->pending.begin(), g->pending.end(), t) == g->pending.end()) continue;
        Complete(t, LIBUSB_TRANSFER_CANCELLED, 0);
        done.push_back(t);
    }
    g->cancelled.clear();
    libusb_transfer* out = Pending(kEpOut);
    libusb_transfer* in = Pending(kEpIn);
    if (out) {
        int written = 0;
        const auto st = RunOut(out->buffer, out->length, written, static_cast<int>(out->timeout),
                               in ? static_cast<int>(in->timeout) : -1);
        Complete(out, st, written);
        done.push_back(out);
        if (in && (!g->readBack.empty() || st != LIBUSB_TRANSFER_COMPLETED)) {
            Complete(in, st == LIBUSB_TRANSFER_NO_DEVICE ? st : LIBUSB_TRANSFER_COMPLETED,
                     g->readBack.empty() ? 0 : FillIn(in->buffer, in->length));
            done.push_back(in);
        }
    } else if (in) {
        int actual = 0;
        const auto st = RunIn(in->buffer, in->length, actual, static_cast<int>(in->timeout));
        Complete(in, st, actual);
        done.push_back(in);
    }
    for (auto* t : done) {
        if (t->callback) t->callback(t);
    }
}

} // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx) {
    MakeBench();
    ++g->contexts;
    if (ctx) *ctx = &g->ctx;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_exit(libusb_context*) {
    if (!g) return;
    SaveModule();
    WriteReport();
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
    CatchUp();
    const bool present = Present();
    Leave();
    auto** l = static_cast<libusb_device**>(std::calloc(2, sizeof(libusb_device*)));
    if (!l) return LIBUSB_ERROR_NO_MEM;
    if (present) {
        l[0] = &g->device;
        ++g->device.refs;
    }
    *list = l;
    return present ? 1 : 0;
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unrefDevices) {
    if (!list) return;
    if (unrefDevices)
        for (auto** d = list; *d; ++d) --(*d)->refs;
    std::free(list);
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* dev) {
    ++dev->refs;
    return dev;
}
void LIBUSB_CALL libusb_unref_device(libusb_device* dev) {
    if (dev) --dev->refs;
}
uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device*) { return 1; }
uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device*) { return 2; }

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device*, libusb_device_descriptor* d) {
    std::memset(d, 0, sizeof *d);
    d->bLength = LIBUSB_DT_DEVICE_SIZE;
    d->bDescriptorType = LIBUSB_DT_DEVICE;
    d->bcdUSB = 0x0200;
    d->bMaxPacketSize0 = 8;
    d->idVendor = kFtdiVendor;
    d->idProduct = kFt232rProduct;
    d->bcdDevice = kFt232rRelease;
    d->iManufacturer = 1;
    d->iProduct = 2;
    d->iSerialNumber = 3;
    d->bNumConfigurations = 1;
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_get_config_descriptor(libusb_device*, uint8_t index, libusb_config_descriptor** config) {
    if (index != 0) return LIBUSB_ERROR_NOT_FOUND;
    // One block: the configuration, its one interface, its one setting, its two bulk endpoints.
    struct Block {
        libusb_config_descriptor config;
        libusb_interface interface;
        libusb_interface_descriptor setting;
        libusb_endpoint_descriptor endpoints[2];
    };
    auto* b = static_cast<Block*>(std::calloc(1, sizeof(Block)));
    if (!b) return LIBUSB_ERROR_NO_MEM;
    for (int i = 0; i < 2; ++i) {
        auto& e = b->endpoints[i];
        e.bLength = LIBUSB_DT_ENDPOINT_SIZE;
        e.bDescriptorType = LIBUSB_DT_ENDPOINT;
        e.bEndpointAddress = i == 0 ? kEpIn : kEpOut;
        e.bmAttributes = LIBUSB_TRANSFER_TYPE_BULK;
        e.wMaxPacketSize = kPacket;
    }
    b->setting.bLength = LIBUSB_DT_INTERFACE_SIZE;
    b->setting.bDescriptorType = LIBUSB_DT_INTERFACE;
    b->setting.bNumEndpoints = 2;
    b->setting.bInterfaceClass = LIBUSB_CLASS_VENDOR_SPEC;
    b->setting.bInterfaceSubClass = 0xFF;
    b->setting.bInterfaceProtocol = 0xFF;
    b->setting.iInterface = 2;
    b->setting.endpoint = b->endpoints;
    b->interface.altsetting = &b->setting;
    b->interface.num_altsetting = 1;
    b->config.bLength = LIBUSB_DT_CONFIG_SIZE;
    b->config.bDescriptorType = LIBUSB_DT_CONFIG;
    b->config.wTotalLength = LIBUSB_DT_CONFIG_SIZE + LIBUSB_DT_INTERFACE_SIZE + 2 * LIBUSB_DT_ENDPOINT_SIZE;
    b->config.bNumInterfaces = 1;
    b->config.bConfigurationValue = 1;
    b->config.bmAttributes = 0xA0;
    b->config.MaxPower = 45;
    b->config.interface = &b->interface;
    *config = &b->config;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_free_config_descriptor(libusb_config_descriptor* config) { std::free(config); }

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** handle) {
    CatchUp();
    const bool present = Present();
    Leave();
    if (!present) return LIBUSB_ERROR_NO_DEVICE;
    g->handle.dev = dev;
    *handle = &g->handle;
    return LIBUSB_SUCCESS;
}

void LIBUSB_CALL libusb_close(libusb_device_handle*) {
    g->pending.clear();
    SaveModule();
}

int LIBUSB_CALL libusb_get_configuration(libusb_device_handle*, int* config) {
    *config = 1;
    return LIBUSB_SUCCESS;
}
int LIBUSB_CALL libusb_set_configuration(libusb_device_handle*, int config) {
    return config == 1 || config == -1 ? LIBUSB_SUCCESS : LIBUSB_ERROR_NOT_FOUND;
}
int LIBUSB_CALL libusb_claim_interface(libusb_device_handle*, int number) {
    if (number != 0) return LIBUSB_ERROR_NOT_FOUND;
    CatchUp();
    const bool ok = OpenChip();
    Leave();
    return ok ? LIBUSB_SUCCESS : LIBUSB_ERROR_NO_DEVICE;
}
int LIBUSB_CALL libusb_release_interface(libusb_device_handle*, int) { return LIBUSB_SUCCESS; }
int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle*, int) { return LIBUSB_ERROR_NOT_FOUND; }
int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle*, int) { return LIBUSB_SUCCESS; }

int LIBUSB_CALL libusb_get_string_descriptor_ascii(libusb_device_handle*, uint8_t index, unsigned char* data,
                                                   int length) {
    char text[kFtDescriptionSize] = {};
    std::string s;
    if (index == 1) {
        s = "FTDI";
    } else if (index == 2 || index == 3) {
        const auto st = index == 2 ? g->Chip().ListDescription(0, text) : g->Chip().ListSerial(0, text);
        if (st != ftstatus::kOk) return LIBUSB_ERROR_IO;
        s = text;
    } else {
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    if (length <= 0) return LIBUSB_ERROR_INVALID_PARAM;
    const int n = std::min(static_cast<int>(s.size()), length - 1);
    std::memcpy(data, s.data(), static_cast<size_t>(n));
    data[n] = 0;
    return n;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle*, uint8_t requestType, uint8_t request, uint16_t value,
                                        uint16_t index, unsigned char* data, uint16_t length, unsigned int) {
    CatchUp();
    struct LeaveOnReturn {
        ~LeaveOnReturn() { Leave(); }
    } leave;
    if (!OpenChip()) return LIBUSB_ERROR_NO_DEVICE;
    auto& c = g->Chip();
    const bool in = (requestType & LIBUSB_ENDPOINT_IN) != 0;
    FtStatus st = ftstatus::kOk;
    int answer = 0;
    switch (request) {
    case kReset:
        // 0: reset; 1: drop what the host sent and the chip did not take; 2: drop the chip's read-back.
        if (value == 0 || value == 2) {
            st = c.Purge(g->chip, kFtPurgeRx);
            g->readBack.clear();
        }
        if (value == 0 || value == 1) st = c.Purge(g->chip, 2);
        break;
    case kSetBaudRate: {
        // FT232R divisor: 14 bits of whole part, 3 bits of eighths in a scrambled order.
        static const double kFraction[8] = {0, 0.5, 0.25, 0.125, 0.375, 0.625, 0.75, 0.875};
        const uint32_t whole = value & 0x3FFF;
        const uint32_t frac = (value >> 14) | ((index & 1u) << 2);
        double divisor = whole + kFraction[frac];
        if (whole == 0 && frac == 0) divisor = 1;         // 3 MBd
        else if (whole == 1 && frac == 0) divisor = 1.5;  // 2 MBd
        st = c.SetBaudRate(g->chip, static_cast<uint32_t>(3'000'000.0 / divisor + 0.5));
        break;
    }
    case kSetLatency:
        st = c.SetLatencyTimer(g->chip, static_cast<uint8_t>(value & 0xFF));
        break;
    case kGetLatency:
        if (length >= 1) data[0] = c.Latency();
        answer = 1;
        break;
    case kSetBitMode:
        st = c.SetBitMode(g->chip, static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8));
        break;
    case kPollModemStatus: {
        uint32_t unused = 0;
        st = c.GetQueueStatus(g->chip, unused);
        if (length >= 2) {
            data[0] = kModemStatus;
            data[1] = kLineStatus;
        }
        answer = 2;
        break;
    }
    case kReadPins:
        if (length >= 1) data[0] = c.PinLatch();
        answer = 1;
        break;
    default:
        Log("control request " + std::to_string(request) + " value " + std::to_string(value) + " index " +
            std::to_string(index) + " accepted");
        if (in) std::memset(data, 0, length);
        answer = in ? length : 0;
        break;
    }
    if (std::getenv("MRK_USBDOUBLE_TRACE"))
        Log("control " + std::to_string(request) + " " + std::to_string(value) + " t " +
            std::to_string(g->bench->Clock().Now() / 1000));
    if (!Present()) return LIBUSB_ERROR_NO_DEVICE;
    if (st != ftstatus::kOk) return LIBUSB_ERROR_PIPE;
    return in ? std::min<int>(answer, length) : 0;
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle*, unsigned char endpoint, unsigned char* data, int length,
                                     int* transferred, unsigned int timeout) {
    CatchUp();
    int actual = 0;
    libusb_transfer_status st = LIBUSB_TRANSFER_ERROR;
    if (endpoint == kEpOut) st = RunOut(data, length, actual, static_cast<int>(timeout), -1);
    else if (endpoint == kEpIn) st = RunIn(data, length, actual, static_cast<int>(timeout));
    Leave();
    if (transferred) *transferred = actual;
    switch (st) {
    case LIBUSB_TRANSFER_COMPLETED: return LIBUSB_SUCCESS;
    case LIBUSB_TRANSFER_TIMED_OUT: return LIBUSB_ERROR_TIMEOUT;
    case LIBUSB_TRANSFER_NO_DEVICE: return LIBUSB_ERROR_NO_DEVICE;
    default: return LIBUSB_ERROR_INVALID_PARAM;
    }
}

libusb_transfer* LIBUSB_CALL libusb_alloc_transfer(int isoPackets) {
    if (isoPackets != 0) return nullptr;
    return static_cast<libusb_transfer*>(std::calloc(1, sizeof(libusb_transfer)));
}

void LIBUSB_CALL libusb_free_transfer(libusb_transfer* t) {
    if (!t) return;
    if (g) {
        g->pending.erase(std::remove(g->pending.begin(), g->pending.end(), t), g->pending.end());
        g->cancelled.erase(std::remove(g->cancelled.begin(), g->cancelled.end(), t), g->cancelled.end());
    }
    if (t->flags & LIBUSB_TRANSFER_FREE_BUFFER) std::free(t->buffer);
    std::free(t);
}

int LIBUSB_CALL libusb_submit_transfer(libusb_transfer* t) {
    if (t->type != LIBUSB_TRANSFER_TYPE_BULK || (t->endpoint != kEpIn && t->endpoint != kEpOut))
        return LIBUSB_ERROR_INVALID_PARAM;
    if (std::find(g->pending.begin(), g->pending.end(), t) != g->pending.end()) return LIBUSB_ERROR_BUSY;
    if (!Present()) return LIBUSB_ERROR_NO_DEVICE;
    g->pending.push_back(t);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_cancel_transfer(libusb_transfer* t) {
    if (std::find(g->pending.begin(), g->pending.end(), t) == g->pending.end()) return LIBUSB_ERROR_NOT_FOUND;
    g->cancelled.push_back(t);
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_timeout_completed(libusb_context*, struct timeval*, int* completed) {
    if (completed && *completed) return LIBUSB_SUCCESS;
    CatchUp();
    RunTransfers();
    Leave();
    return LIBUSB_SUCCESS;
}

int LIBUSB_CALL libusb_handle_events_timeout(libusb_context* ctx, struct timeval* tv) {
    return libusb_handle_events_timeout_completed(ctx, tv, nullptr);
}

} // extern "C"
