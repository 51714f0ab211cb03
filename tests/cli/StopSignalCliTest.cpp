// Ctrl+C or SIGTERM during a run on the module is the window's "СТОП": the run
// ends at its next step boundary, says so, leaves a stopped record, no
// temporary file, and the exit status the shell expects; a second one ends it at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "cli/RunMrkprog.h"
#include "cli/StopSignals.h"

extern char** environ;

namespace mrk::test {
namespace {

struct Spawned {
    pid_t pid = 0;
    std::filesystem::path out, err;
};

Spawned Start(const TempDir& dir, const std::string& args) {
    Spawned s{0, dir.Path() / "out.txt", dir.Path() / "err.txt"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, s.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, s.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string script = "cd '" + dir.Path().string() + "' && exec '" MRKPROG_PATH "' " + args;
    const char* argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    EXPECT_EQ(posix_spawn(&s.pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return s;
}

// Waits until the program's log shows `line`; false if it ended or the time ran out first.
bool WaitForLine(const Spawned& s, const std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(s.out).find(line) != std::string::npos) return true;
        int status = 0;
        if (waitpid(s.pid, &status, WNOHANG) == s.pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool TempFilesIn(const std::filesystem::path& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".tmp" || e.path().filename().string().find(".tmp") != std::string::npos) return true;
    return false;
}

TEST(StopSignal, AStopSignalEndsTheRunAtAStepBoundaryAndRecordsIt) {
    // The update on a module with its boot loader (the bench's factory one), the
    // cycle on a blank module kept in a file.
    struct Case {
        const char* command;
        const char* startedLine; // once this is logged the run is on the module
        int signal;
    } cases[] = {{"write-update", "успешно открыт", SIGINT},
                 {"--module m.hex cycle 321", "Конфигурация OK", SIGTERM},
                 {"--module m.hex cycle 322", "Прогр. OK", SIGINT}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        TempDir dir;
        std::ofstream(dir.Path() / "mrkprog.ini")
            << "[Form_Param]\nEdit2=" MRK_FIRMWARE_DIR "/boot-4620.hex\nEdit5=" MRK_FIRMWARE_DIR "/boot-452.hex\n"
            // The bench's runs journalled where the station's reader looks.
            << "[Journal]\nBench=1\n";
        const Spawned s = Start(dir, std::string("--bench virtual-lpt ") + c.command);
        ASSERT_TRUE(WaitForLine(s, c.startedLine)) << ReadAll(s.out) << ReadAll(s.err);
        kill(s.pid, c.signal);
        int status = 0;
        waitpid(s.pid, &status, 0);
        const std::string out = ReadAll(s.out), err = ReadAll(s.err);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal itself:\n" << out << err;
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal) << out << err;
        EXPECT_NE(out.find("Остановлено: программу прервали"), std::string::npos) << out;
        EXPECT_NE(err.find("mrkprog: остановлено по SIG"), std::string::npos) << err;
        EXPECT_FALSE(TempFilesIn(dir.Path())) << "a temporary file left beside the module file";
        if (std::string(c.command).find("--module") != std::string::npos) {
            EXPECT_TRUE(std::filesystem::exists(dir.Path() / "m.hex")) << "the module file is saved as after any run";
        }
        const auto list = RunMrkprog("journal list", dir.Path());
        EXPECT_TRUE(list.Has("остановлена")) << list.out << list.err;
    }
}

// The first signal only asks for the stop; the second ends the program as
// the signal's default action does (a child process stands in for it).
TEST(StopSignal, TheFirstSignalAsksTheSecondEndsAtOnce) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        cli::CatchStopSignals();
        raise(SIGINT);
        if (cli::StopSignal() != SIGINT) _exit(3);
        raise(SIGINT);
        _exit(4); // still running after the second: wrong
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT)
        << (WIFEXITED(status) ? "exited with " + std::to_string(WEXITSTATUS(status)) : std::string("other"));
}

} // namespace
} // namespace mrk::test
