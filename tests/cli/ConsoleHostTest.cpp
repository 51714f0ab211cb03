// The command line's face: progress bars only on a terminal, each taken off
// the line when its command ends, none in a pipe; the status label in words.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/ConsoleHost.h"

namespace mrk::cli {
namespace {

// What a terminal received, read from its master side.
std::string Drain(int master) {
    std::string text;
    char buf[4096];
    pollfd p{master, POLLIN, 0};
    while (poll(&p, 1, 100) > 0) {
        const ssize_t n = read(master, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<size_t>(n));
    }
    return text;
}

// Two commands' worth of gauge moves, as an update and a cycle make them.
void TwoCommands(ConsoleHost& h) {
    h.GaugeMax(100);
    h.GaugePos(0);
    h.GaugePos(50);
    h.GaugePos(99);
    h.Okno("Запись закончена.");
    h.EndProgress();
    h.GaugeMax(10);
    h.GaugePos(0); // set back to the start: not drawn
    h.EndProgress();
}

TEST(ConsoleHost, ProgressBarsOnATerminalAreTakenOffTheLine) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    std::FILE* terminal = fdopen(slave, "w");
    ASSERT_NE(terminal, nullptr);
    std::FILE* log = std::tmpfile();
    {
        ConsoleHost h(false, log, terminal);
        TwoCommands(h);
    }
    std::fflush(terminal);
    const std::string seen = Drain(master);
    std::fclose(terminal);
    close(master);
    EXPECT_NE(seen.find("]  50%"), std::string::npos) << seen;
    EXPECT_EQ(seen.find("]   0%"), std::string::npos) << "a bar at its start is no progress: " << seen;
    // The one bar drawn is cleared (carriage return, erase line) and nothing follows it.
    const std::string clear = "\r\033[K";
    ASSERT_GE(seen.size(), clear.size());
    EXPECT_EQ(seen.substr(seen.size() - clear.size()), clear) << seen;
    EXPECT_EQ(seen.find('\n'), std::string::npos) << "no bar line is left behind: " << seen;
    std::fclose(log);
}

TEST(ConsoleHost, NothingButTheLogWhenPiped) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::FILE* piped = fdopen(fds[1], "w");
    std::FILE* log = std::tmpfile();
    {
        ConsoleHost h(false, log, piped);
        TwoCommands(h);
        h.Label3("Загружен Файл app.hex");
    }
    std::fclose(piped);
    const std::string seen = Drain(fds[0]);
    close(fds[0]);
    EXPECT_EQ(seen, "") << "no progress bar in a pipe";
    std::rewind(log);
    char buf[256] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, log);
    std::fclose(log);
    EXPECT_EQ(std::string(buf, n), "Запись закончена.\nЗагружен Файл app.hex\n") << "the label's text, not its name";
}

} // namespace
} // namespace mrk::cli
