#pragma once
// A scripted LPT port: records every access, answers status reads from a function.
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "transport/PortBackend.h"

namespace mrk::test {

struct PortAccess {
    bool write;
    uint16_t port;
    uint8_t value;
};

class FakePort : public PortBackend {
public:
    explicit FakePort(std::vector<PortAccess>& log) : log_(log) {}
    // Status byte for the n-th status read (n counts from 0), given the last data
    // byte written; none: the read fails.
    std::function<std::optional<uint8_t>(size_t n, uint8_t data)> status = [](size_t, uint8_t) { return 0x00; };

    std::optional<uint8_t> In(uint16_t port) override {
        const std::optional<uint8_t> v = port == 0x379 ? status(statusReads_++, data_) : 0xFF;
        log_.push_back({false, port, v.value_or(0xFF)});
        return v;
    }
    void Out(uint16_t port, uint8_t value) override {
        if (port == 0x378) data_ = value;
        log_.push_back({true, port, value});
    }
    std::string Describe() const override { return "fake port"; }

private:
    std::vector<PortAccess>& log_;
    uint8_t data_ = 0;
    size_t statusReads_ = 0;
};

} // namespace mrk::test
