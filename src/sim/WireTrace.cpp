#include "sim/WireTrace.h"

#include <algorithm>
#include <cstring>

#include "transport/SurtanChoice.h"

namespace mrk::sim {

namespace {

constexpr uint64_t kPrime = 0x100000001b3ull;

class TracedPortBackend : public PortBackend {
public:
    TracedPortBackend(PortBackend& port, WireTrace& trace) : port_(port), trace_(trace) {}
    std::optional<uint8_t> In(uint16_t port) override {
        const std::optional<uint8_t> v = port_.In(port);
        trace_.Record('I', port, v.value_or(0xFF));
        return v;
    }
    void Out(uint16_t port, uint8_t value) override {
        port_.Out(port, value);
        trace_.Record('O', port, value);
    }
    std::string Describe() const override { return port_.Describe(); }

private:
    PortBackend& port_;
    WireTrace& trace_;
};

// A Surtan chosen by serial number is opened by it through the traced device too.
class TracedDevice : public FtDevice, public FtSerialOpen {
public:
    TracedDevice(std::unique_ptr<FtDevice> device, WireTrace& trace) : d_(std::move(device)), trace_(trace) {}

    [[nodiscard]] FtStatus ListCount(uint32_t& count) override {
        const FtStatus st = d_->ListCount(count);
        trace_.Record('c', st, count);
        return st;
    }
    [[nodiscard]] FtStatus ListDescription(uint32_t index, char* buffer) override {
        const FtStatus st = d_->ListDescription(index, buffer);
        trace_.Record('d', st, index, reinterpret_cast<const uint8_t*>(buffer), strnlen(buffer, kFtDescriptionSize));
        return st;
    }
    [[nodiscard]] FtStatus ListSerial(uint32_t index, char* buffer) override {
        const FtStatus st = d_->ListSerial(index, buffer);
        trace_.Record('s', st, index, reinterpret_cast<const uint8_t*>(buffer), strnlen(buffer, kFtDescriptionSize));
        return st;
    }
    [[nodiscard]] FtStatus OpenByDescription(const char* description, FtHandleValue& handle) override {
        const FtStatus st = d_->OpenByDescription(description, handle);
        trace_.Record('o', st, handle != nullptr, reinterpret_cast<const uint8_t*>(description), std::strlen(description));
        return st;
    }
    [[nodiscard]] FtStatus OpenBySerial(const char* serial, FtHandleValue& handle) override {
        const FtStatus st = mrk::OpenBySerial(*d_, serial, handle);
        trace_.Record('n', st, handle != nullptr, reinterpret_cast<const uint8_t*>(serial), std::strlen(serial));
        return st;
    }
    [[nodiscard]] FtStatus SetBitMode(FtHandleValue h, uint8_t mask, uint8_t mode) override {
        const FtStatus st = d_->SetBitMode(h, mask, mode);
        trace_.Record('b', st, uint64_t{mask} << 8 | mode);
        return st;
    }
    [[nodiscard]] FtStatus SetLatencyTimer(FtHandleValue h, uint8_t ms) override {
        const FtStatus st = d_->SetLatencyTimer(h, ms);
        trace_.Record('l', st, ms);
        return st;
    }
    [[nodiscard]] FtStatus SetTimeouts(FtHandleValue h, uint32_t readMs, uint32_t writeMs) override {
        const FtStatus st = d_->SetTimeouts(h, readMs, writeMs);
        trace_.Record('t', st, uint64_t{readMs} << 32 | writeMs);
        return st;
    }
    [[nodiscard]] FtStatus SetBaudRate(FtHandleValue h, uint32_t baud) override {
        const FtStatus st = d_->SetBaudRate(h, baud);
        trace_.Record('r', st, baud);
        return st;
    }
    [[nodiscard]] FtStatus Purge(FtHandleValue h, uint32_t mask) override {
        const FtStatus st = d_->Purge(h, mask);
        trace_.Record('p', st, mask);
        return st;
    }
    [[nodiscard]] FtStatus GetQueueStatus(FtHandleValue h, uint32_t& rxBytes) override {
        const FtStatus st = d_->GetQueueStatus(h, rxBytes);
        trace_.Record('q', st, rxBytes);
        return st;
    }
    [[nodiscard]] FtStatus Write(FtHandleValue h, const uint8_t* data, uint32_t count, uint32_t& written) override {
        const FtStatus st = d_->Write(h, data, count, written);
        trace_.Record('W', st, uint64_t{count} << 32 | written, data, count);
        return st;
    }
    [[nodiscard]] FtStatus Read(FtHandleValue h, uint8_t* data, uint32_t count, uint32_t& read) override {
        const FtStatus st = d_->Read(h, data, count, read);
        trace_.Record('R', st, uint64_t{count} << 32 | read, data, std::min(read, count));
        return st;
    }
    [[nodiscard]] FtStatus Close(FtHandleValue h) override {
        const FtStatus st = d_->Close(h);
        trace_.Record('x', st, 0);
        return st;
    }
    std::string Name() const override { return d_->Name(); }
    std::string Problem() const override { return d_->Problem(); }

private:
    std::unique_ptr<FtDevice> d_;
    WireTrace& trace_;
};

} // namespace

void WireTrace::Mix(uint64_t v) {
    for (int i = 0; i < 8; ++i) {
        digest_ ^= (v >> (8 * i)) & 0xFF;
        digest_ *= kPrime;
    }
}

void WireTrace::Record(char kind, uint64_t a, uint64_t b, const uint8_t* data, size_t n) {
    ++events_;
    Mix(static_cast<uint8_t>(kind));
    Mix(clock_.Now());
    Mix(a);
    Mix(b);
    Mix(n);
    for (size_t i = 0; i < n; ++i) {
        digest_ ^= data[i];
        digest_ *= kPrime;
    }
}

void WireTrace::Clear() {
    digest_ = kOffset;
    events_ = 0;
}

std::unique_ptr<PortBackend> TracedPort(PortBackend& port, WireTrace& trace) {
    return std::make_unique<TracedPortBackend>(port, trace);
}

std::unique_ptr<FtDevice> TracedFtDevice(std::unique_ptr<FtDevice> device, WireTrace& trace) {
    return std::make_unique<TracedDevice>(std::move(device), trace);
}

} // namespace mrk::sim
