#pragma once
// Lends a port backend owned elsewhere (by the bench, by a test) to a context.
#include "transport/PortBackend.h"

namespace mrk {

class PortBackendRef : public PortBackend {
public:
    explicit PortBackendRef(PortBackend& target) : t_(target) {}
    [[nodiscard]] std::optional<uint8_t> In(uint16_t port) override { return t_.In(port); }
    void Out(uint16_t port, uint8_t value) override { t_.Out(port, value); }
    std::string Describe() const override { return t_.Describe(); }

private:
    PortBackend& t_;
};

} // namespace mrk
