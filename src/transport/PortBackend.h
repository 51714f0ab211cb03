#pragma once
#include <cstdint>
#include <string>

namespace mrk {

// Executes byte-wide port input/output at I/O addresses: real hardware through
// ppdev or ioperm, or the virtual Kordel programmer of the bench.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    virtual uint8_t In(uint16_t port) = 0;
    virtual void Out(uint16_t port, uint8_t value) = 0;
    virtual std::string Describe() const = 0;
};

} // namespace mrk
