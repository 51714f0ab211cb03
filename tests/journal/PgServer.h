#pragma once
// A private PostgreSQL server for the journal tests: a cluster made in a
// temporary folder, listening only on a Unix socket in that folder (no TCP),
// run as an unprivileged user (initdb and postgres refuse root: under root the
// server runs as "nobody" through runuser), stopped and removed at the end.
// Without the server programs the tests that need it are skipped with a reason.
// The benchmarks use it too.
#include <string>

namespace mrk::test {

class PgServer {
public:
    // The one server of this test run, started on first use; null when it cannot
    // be (SkipReason says why).
    static PgServer* Shared();
    static const std::string& SkipReason();

    // A fresh empty database for one test, and the connection string that names it.
    std::string NewDatabase();
    // The same server for a user that must log in with a password.
    std::string ConninfoWithPassword(const std::string& db, const std::string& password) const;
    static constexpr const char* kRightPassword = "right-password";
    std::string Conninfo(const std::string& db) const;
    const std::string& SocketDir() const { return dir_; }

    bool Stop();
    bool Start();
    // Every process of the server stopped (SIGSTOP) and let go on (SIGCONT): a server
    // that keeps its connections open and answers nothing.
    bool Freeze();
    void Thaw();
    ~PgServer();

private:
    PgServer() = default;
    bool Init(std::string& why);
    int RunAsOwner(const std::string& command) const;
    std::string bin_, dir_;
    bool running_ = false;
    int databases_ = 0;
};

} // namespace mrk::test
