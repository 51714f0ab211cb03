#pragma once
// Runs the mrkprog program and collects its exit code, stdout and stderr.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace mrk::test {

struct RunResult {
    int code = -1;
    std::string out, err;
    bool Has(const std::string& s) const { return out.find(s) != std::string::npos; }
    bool ErrHas(const std::string& s) const { return err.find(s) != std::string::npos; }
};

inline std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// Runs a shell line that starts mrkprog (`run`), its output kept in dir.
inline RunResult RunShell(const std::string& run, const std::filesystem::path& dir) {
    const auto out = dir / "stdout.txt", err = dir / "stderr.txt";
    const std::string cmd = run + " >'" + out.string() + "' 2>'" + err.string() + "'";
    RunResult r;
    const int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = ReadAll(out);
    r.err = ReadAll(err);
    return r;
}

// Runs mrkprog in dir (or in cwd when given), its output kept in dir.
inline RunResult RunMrkprog(const std::string& args, const std::filesystem::path& dir,
                            const std::filesystem::path& cwd = {}) {
    return RunShell("cd '" + (cwd.empty() ? dir : cwd).string() + "' && '" MRKPROG_PATH "' " + args, dir);
}

// The same in dir with environment assignments ("NAME=value ...") for the program.
inline RunResult RunMrkprogWithEnv(const std::string& env, const std::string& args, const std::filesystem::path& dir) {
    return RunShell("cd '" + dir.string() + "' && env " + env + " '" MRKPROG_PATH "' " + args, dir);
}

// A fresh folder per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/mrkprog-test-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Both benches with both chips, for end-to-end runs named "virtual_lpt_452" and so on.
inline auto BenchesAndChips() {
    return ::testing::Combine(::testing::Values("virtual-lpt", "virtual-usb"), ::testing::Values("452", "4620"));
}
struct BenchAndChipName {
    template <class Info>
    std::string operator()(const Info& info) const {
        std::string n = std::string(std::get<0>(info.param)) + "_" + std::get<1>(info.param);
        for (auto& ch : n)
            if (ch == '-') ch = '_';
        return n;
    }
};

} // namespace mrk::test
