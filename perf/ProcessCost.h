#pragma once
// What a benchmark's own process has spent: CPU time and resident memory.
#include <time.h>
#include <unistd.h>

#include <fstream>

namespace mrk::perf {

inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

inline double ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1024.0;
}

} // namespace mrk::perf
