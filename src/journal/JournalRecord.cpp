#include "journal/JournalRecord.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>

namespace mrk::journal {

const char* RunKindName(RunKind k) { return k == RunKind::Cycle ? "cycle" : "update"; }

std::optional<RunKind> RunKindFromName(const std::string& name) {
    if (name == "cycle") return RunKind::Cycle;
    if (name == "update") return RunKind::Update;
    return std::nullopt;
}

std::string UtcNow() { return UtcText(std::chrono::system_clock::now()); }

std::string UtcText(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buf;
}

std::string NewUid() {
    auto seeded = [] {
        std::random_device rd;
        std::seed_seq seq{rd(), rd(), rd(), rd(), rd(), rd()};
        return std::mt19937_64(seq);
    };
    static thread_local std::mt19937_64 gen = seeded();
    // A forked process would go on with its parent's sequence: the same uids twice.
    static thread_local pid_t owner = getpid();
    if (getpid() != owner) {
        owner = getpid();
        gen = seeded();
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%016llx%016llx", static_cast<unsigned long long>(gen()),
                  static_cast<unsigned long long>(gen()));
    return buf;
}

} // namespace mrk::journal
