#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "transport/PortBackend.h"

namespace mrk {

// Where the user stands with the group that owns the ports: in this login
// session's groups, in the account's groups (since a later login), and the user's name.
struct GroupMembership {
    bool inSession = false;
    bool inAccount = false;
    std::string user;
};

// The kernel calls the ppdev backend makes: the real ones, or a stand-in for tests.
class PpdevSystem {
public:
    virtual GroupMembership Membership(const std::string& group) const;
    virtual ~PpdevSystem() = default;
    virtual std::string ProcDir() const;      // where the kernel lists parallel ports
    virtual std::string DevicePath(int n) const;
    [[nodiscard]] virtual int Open(const std::string& path); // fd, or -1 with errno set
    [[nodiscard]] virtual int Ioctl(int fd, unsigned long request, void* arg); // 0, or -1 with errno set
    virtual void Close(int fd);
};
PpdevSystem& KernelPpdev();

// How long the claim may wait for a port another program holds. The kernel's
// claim sleeps until the port is free; start-up must not.
constexpr int kPpdevClaimLimitMs = 250;

struct PpdevOpenResult {
    std::unique_ptr<PortBackend> port; // null: no port access
    bool heldElsewhere = false;        // the port exists but another program holds it
};

// Finds /dev/parportN whose base I/O address equals base, opens and claims it
// (waiting at most claimLimitMs for the claim). `report` says what happened.
PpdevOpenResult OpenPpdev(uint16_t base, std::string& report, PpdevSystem& sys = KernelPpdev(),
                          int claimLimitMs = kPpdevClaimLimitMs);
std::unique_ptr<PortBackend> OpenPpdevPort(uint16_t base, std::string& report);

// What to do about a port the user may not open, in the operator's words.
std::string PortAccessAdvice(const GroupMembership& lp);

// The base address the kernel gives for parport N (from /proc/sys/dev/parport),
// or -1 if unknown. Exposed for tests with a fake /proc tree.
long ParportBaseAddress(const std::string& procDir, int n);

} // namespace mrk
