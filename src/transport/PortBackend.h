#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace mrk {

// Executes byte-wide port input/output at I/O addresses: real hardware through
// ppdev or ioperm, or the virtual Kordel programmer of the bench.
class PortBackend {
public:
    virtual ~PortBackend() = default;
    // The byte at the port, or none when the port could not be read (a port
    // taken away from under the program): no level is made up for it.
    [[nodiscard]] virtual std::optional<uint8_t> In(uint16_t port) = 0;
    virtual void Out(uint16_t port, uint8_t value) = 0;
    virtual std::string Describe() const = 0;
};

} // namespace mrk
