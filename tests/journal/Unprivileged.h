#pragma once
// Runs a check as an ordinary user. File permissions do not hold for root,
// and the tests run as root in CI: there the check runs in a child process
// that has become "nobody".
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace mrk::test {

// The check's result: true when it held. Under root it runs in a forked child.
inline bool AsUnprivileged(const std::function<bool()>& check) {
    if (geteuid() != 0) return check();
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) return false;
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace mrk::test
