#include "cli/GangRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "cli/StopSignals.h"

namespace mrk::cli {

namespace {

struct Running {
    pid_t pid = -1;
    int fd = -1;
    std::string pending; // a line not yet ended
    std::chrono::steady_clock::time_point started, ended;
};

// The first `width` characters of a UTF-8 line (the terminal's columns).
std::string Cut(const std::string& s, size_t width) {
    size_t chars = 0, i = 0;
    for (; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (chars == width) break;
            ++chars;
        }
    }
    return s.substr(0, i);
}

size_t TerminalWidth() {
    winsize w{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 10) return w.ws_col - 1;
    return 79;
}

std::string StatusLine(const GangMember& m) {
    std::string line = m.serial;
    if (!m.number.empty()) line += " №" + m.number;
    line += ": ";
    if (m.exitCode >= 0) line += m.result.empty() ? "не выполнен" : m.result;
    else line += m.last.empty() ? "запуск" : m.last;
    return line;
}

void Take(GangMember& m, const std::string& line, bool terminal) {
    if (line.rfind(kBenchClockLine, 0) == 0) {
        m.benchSeconds = std::atof(line.c_str() + std::strlen(kBenchClockLine)) / 1000.0;
        return;
    }
    static const std::string numberLine = "Заводской номер: ";
    if (line.rfind(numberLine, 0) == 0) m.number = line.substr(numberLine.size());
    if (line == "OK" || line == "X") m.result = line;
    else if (!line.empty()) m.last = line;
    if (line.rfind("mrkprog", 0) == 0 || line.rfind("USB: ", 0) == 0) m.lastError = line;
    if (!terminal) std::printf("[%s] %s\n", m.serial.c_str(), line.c_str());
}

pid_t Spawn(const std::string& program, const GangMember& m, int& fd) {
    int p[2];
    if (pipe2(p, O_CLOEXEC) != 0) return -1;
    const pid_t pid = fork();
    if (pid < 0) {
        close(p[0]);
        close(p[1]);
        return -1;
    }
    if (pid == 0) {
        dup2(p[1], STDOUT_FILENO);
        dup2(p[1], STDERR_FILENO);
        // Only the gang answers the terminal's Ctrl+C: it passes the stop on.
        setpgid(0, 0);
        setenv(kGangMemberVariable, "1", 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : m.args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        std::fprintf(stderr, "mrkprog gang: %s не запускается: %s\n", program.c_str(), std::strerror(errno));
        _exit(127);
    }
    close(p[1]);
    fd = p[0];
    return pid;
}

} // namespace

void RunGang(const std::string& program, std::vector<GangMember>& members) {
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    std::vector<Running> run(members.size());
    for (size_t i = 0; i < members.size(); ++i) {
        run[i].started = std::chrono::steady_clock::now();
        run[i].pid = Spawn(program, members[i], run[i].fd);
        if (run[i].pid < 0) {
            members[i].exitCode = 127;
            members[i].lastError = "mrkprog gang: процесс не запущен: " + std::string(std::strerror(errno));
        }
    }
    auto draw = [&](bool first) {
        if (!terminal) return;
        if (!first) std::printf("\x1b[%zuA", members.size());
        const size_t width = TerminalWidth();
        for (const auto& m : members) std::printf("\r%s\x1b[K\n", Cut(StatusLine(m), width).c_str());
        std::fflush(stdout);
    };
    draw(true);
    int forwarded = 0;
    size_t open = 0;
    for (const auto& r : run) open += r.fd >= 0;
    while (open > 0) {
        if (const int sig = StopSignal(); sig && sig != forwarded) {
            for (const auto& r : run)
                if (r.pid > 0) kill(r.pid, sig);
            forwarded = sig;
        }
        std::vector<pollfd> fds;
        std::vector<size_t> who;
        for (size_t i = 0; i < run.size(); ++i)
            if (run[i].fd >= 0) {
                fds.push_back({run[i].fd, POLLIN, 0});
                who.push_back(i);
            }
        if (poll(fds.data(), fds.size(), 200) < 0 && errno != EINTR) break;
        bool changed = false;
        for (size_t k = 0; k < fds.size(); ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Running& r = run[who[k]];
            char buf[4096];
            const ssize_t n = read(r.fd, buf, sizeof buf);
            if (n > 0) {
                r.pending.append(buf, static_cast<size_t>(n));
                for (auto nl = r.pending.find('\n'); nl != std::string::npos; nl = r.pending.find('\n')) {
                    std::string line = r.pending.substr(0, nl);
                    if (!line.empty() && line.back() == '\r') line.pop_back();
                    r.pending.erase(0, nl + 1);
                    Take(members[who[k]], line, terminal);
                    changed = true;
                }
            } else if (n == 0 || errno != EINTR) {
                if (!r.pending.empty()) Take(members[who[k]], r.pending, terminal);
                close(r.fd);
                r.fd = -1;
                r.ended = std::chrono::steady_clock::now();
                --open;
                changed = true;
            }
        }
        if (changed) draw(false);
    }
    for (size_t i = 0; i < run.size(); ++i) {
        if (run[i].pid <= 0) continue;
        int status = 0;
        rusage ru{};
        while (wait4(run[i].pid, &status, 0, &ru) < 0 && errno == EINTR) {
        }
        GangMember& m = members[i];
        m.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m.cpuSeconds = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                       static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
        m.wallSeconds = std::chrono::duration<double>(run[i].ended - run[i].started).count();
    }
    draw(false);
}

} // namespace mrk::cli
