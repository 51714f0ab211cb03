#pragma once
// The parallel ports of the machine as the kernel lists them, and whether this
// program may drive a Kordel on each (and if not, why, in the operator's words).
#include <cstdint>
#include <string>
#include <vector>

namespace mrk {

class PpdevSystem;
class Kordel;

struct PortListing {
    std::string device;   // /dev/parportN
    long base = -1;       // base I/O address, -1 when the kernel does not say
    bool usable = false;
    std::string why;      // how it is reached, or why it cannot be
};

// Every port the kernel lists; each is opened and claimed for a moment and let
// go. none: why there are no ports at all (empty when there are some).
std::vector<PortListing> ListParallelPorts(PpdevSystem& sys, std::string& none);
// The same through the context's kernel calls (the real kernel unless a test put others in place).
std::vector<PortListing> ListParallelPorts(Kordel& kordel, std::string& none);

} // namespace mrk
