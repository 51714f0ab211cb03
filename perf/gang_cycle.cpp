// The gang run: four automatic cycles on four virtual Surtans at once against one
// cycle on one, as mrkprog runs them (one process per programmer). Reported as
// counters: the time on the bench's clock (the programmers' own time: each Surtan
// and module is hardware of its own, so the gang's time is its slowest member's),
// its ratio to one cycle (the target is at most 1.2), the host's CPU per Surtan
// and per second of bench time (the share of a core one programmer keeps busy;
// the bench's simulation of the chip and module is included, so it is an upper
// bound for the program's own share), and the wall time on this machine.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Scratch {
    Scratch() {
        char tmpl[] = "/tmp/mrk-gang-bench-XXXXXX";
        dir = mkdtemp(tmpl);
        std::ofstream(dir / "mrkprog.ini") << "[Form_Param]\nEdit2=" MRK_FIRMWARE_DIR "/boot-4620.hex\nEdit5=" MRK_FIRMWARE_DIR
                                              "/boot-452.hex\nConfigChip=261\n[Journal]\nStation=G\n";
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

double CpuOfChildren() {
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Runs a gang of n Surtans (a gang of one is one cycle) and reads its summary.
struct GangRun {
    double wall = 0, cpu = 0, benchMax = 0;
    int ok = 0;
};
GangRun Run(int n, int firstNumber) {
    Scratch s;
    std::string serials, numbers;
    for (int i = 1; i <= n; ++i) {
        serials += (i > 1 ? "," : "") + std::string("VRT0000") + std::to_string(i);
        numbers += " " + std::to_string(firstNumber + i);
    }
    const std::string out = (s.dir / "out.txt").string();
    const std::string cmd = "cd '" + s.dir.string() + "' && '" MRKPROG_PATH "' --bench virtual-usb --module 'm-{serial}.hex' gang --programmers " +
                            serials + " cycle" + numbers + " > '" + out + "' 2>&1";
    const double cpu0 = CpuOfChildren();
    const auto t0 = std::chrono::steady_clock::now();
    const int rc = std::system(cmd.c_str());
    GangRun r;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.cpu = CpuOfChildren() - cpu0;
    std::ifstream f(out);
    std::stringstream text;
    text << f.rdbuf();
    const std::string summary = text.str();
    static const std::regex member(R"(: номер \d+, OK, код 0, [0-9.]+ с \(стенд ([0-9.]+) с\))");
    for (auto it = std::sregex_iterator(summary.begin(), summary.end(), member); it != std::sregex_iterator(); ++it) {
        ++r.ok;
        r.benchMax = std::max(r.benchMax, std::stod((*it)[1]));
    }
    if (rc != 0) r.ok = 0;
    return r;
}

void GangOfFour(benchmark::State& state) {
    GangRun one, four;
    for (auto _ : state) {
        one = Run(1, 100);
        four = Run(4, 200);
    }
    if (one.ok != 1 || four.ok != 4) state.SkipWithError("a cycle did not end OK");
    state.counters["bench_s_one"] = one.benchMax;
    state.counters["bench_s_four"] = four.benchMax;
    state.counters["bench_ratio"] = one.benchMax > 0 ? four.benchMax / one.benchMax : 0;
    state.counters["wall_s_one"] = one.wall;
    state.counters["wall_s_four"] = four.wall;
    state.counters["cpu_s_per_surtan"] = four.cpu / 4;
    state.counters["cpu_s_one"] = one.cpu;
    // A core's share one Surtan keeps busy while its module is programmed.
    state.counters["core_per_surtan"] = four.benchMax > 0 ? four.cpu / 4 / four.benchMax : 0;
}

BENCHMARK(GangOfFour)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
