#pragma once
// The "Cal CRC" check bytes: XOR of the update region's even (d0) and odd (d1) bytes.
#include <string>

namespace mrk {

struct Context;

struct XorCheck {
    unsigned d0, d1;
};
XorCheck UpdateXorCheck(const Context& ctx);
// "d0=%x d1=%x", as the service label shows it.
std::string CalCrcText(const Context& ctx);

} // namespace mrk
