#include "journal/PgServer.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <signal.h>
#include <sstream>
#include <vector>

#include "journal/PgConnection.h"

namespace mrk::test {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSuperUser = "mrk";
constexpr const char* kPasswordUser = "clerk";
constexpr const char* kPassword = PgServer::kRightPassword;

std::string FindServerBin() {
    std::string best;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec)) {
        const auto bin = e.path() / "bin";
        if (fs::exists(bin / "initdb") && fs::exists(bin / "pg_ctl") && bin.string() > best) best = bin.string();
    }
    return best;
}

// Stopped and removed when the program ends.
std::unique_ptr<PgServer>& Instance() {
    static std::unique_ptr<PgServer> server;
    return server;
}

std::string& Reason() {
    static std::string reason;
    return reason;
}

} // namespace

const std::string& PgServer::SkipReason() { return Reason(); }

PgServer* PgServer::Shared() {
    static bool tried = false;
    if (!tried) {
        tried = true;
        std::unique_ptr<PgServer> s(new PgServer);
        std::string why;
        if (s->Init(why)) Instance() = std::move(s);
        else Reason() = "PostgreSQL tests skipped: " + why;
    }
    return Instance().get();
}

int PgServer::RunAsOwner(const std::string& command) const {
    // The cluster belongs to "nobody" when the tests run as root.
    const std::string full = geteuid() == 0 ? "runuser -u nobody -- " + command : command;
    const int status = std::system((full + " >>'" + dir_ + "/server.log' 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool PgServer::Init(std::string& why) {
    bin_ = FindServerBin();
    if (bin_.empty()) {
        why = "no PostgreSQL server programs (initdb, pg_ctl) under /usr/lib/postgresql; install 'postgresql'";
        return false;
    }
    char tmpl[] = "/tmp/mrk-pg-XXXXXX";
    if (!mkdtemp(tmpl)) {
        why = "cannot make a temporary folder";
        return false;
    }
    dir_ = tmpl;
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody || chown(dir_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
            why = "running as root, and the user 'nobody' to run the server is missing";
            return false;
        }
    }
    if (RunAsOwner("'" + bin_ + "/initdb' -D '" + dir_ + "/data' -U " + kSuperUser +
                   " -A trust -N -E UTF8 --locale=C.UTF-8") != 0) {
        why = "initdb failed (see " + dir_ + "/server.log)";
        return false;
    }
    // The superuser comes in without a password; everyone else must give one.
    {
        std::ofstream hba(dir_ + "/data/pg_hba.conf", std::ios::trunc);
        hba << "local all " << kSuperUser << " trust\nlocal all all scram-sha-256\n";
    }
    if (!Start()) {
        why = "the server did not start (see " + dir_ + "/server.log)";
        return false;
    }
    const std::string psql = "'" + bin_ + "/psql' -q -v ON_ERROR_STOP=1 '" + Conninfo("postgres") + "' -c ";
    if (RunAsOwner(psql + "\"CREATE ROLE " + kPasswordUser + " LOGIN PASSWORD '" + kPassword + "'\"") != 0) {
        why = "cannot create the test role (see " + dir_ + "/server.log)";
        return false;
    }
    return true;
}

bool PgServer::Start() {
    if (running_) return true;
    running_ = RunAsOwner("'" + bin_ + "/pg_ctl' -D '" + dir_ + "/data' -l '" + dir_ + "/postgres.log' -w -t 60" +
                          " -o \"-c listen_addresses='' -k '" + dir_ + "' -c fsync=off -c max_connections=40\" start") == 0;
    return running_;
}

bool PgServer::Stop() {
    if (!running_) return true;
    running_ = RunAsOwner("'" + bin_ + "/pg_ctl' -D '" + dir_ + "/data' -m fast -w stop") != 0;
    return !running_;
}

namespace {

// The postmaster (first line of postmaster.pid) and its children.
std::vector<pid_t> ServerProcesses(const std::string& dataDir) {
    std::vector<pid_t> pids;
    std::ifstream pidFile(dataDir + "/postmaster.pid");
    pid_t master = 0;
    if (!(pidFile >> master) || master <= 0) return pids;
    pids.push_back(master);
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        std::ifstream stat(e.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        if (rest >> state >> ppid && ppid == master) pids.push_back(pid_t(std::stol(e.path().filename().string())));
    }
    return pids;
}

} // namespace

bool PgServer::Freeze() {
    const auto pids = ServerProcesses(dir_ + "/data");
    for (pid_t p : pids) ::kill(p, SIGSTOP);
    return !pids.empty();
}

void PgServer::Thaw() {
    for (pid_t p : ServerProcesses(dir_ + "/data")) ::kill(p, SIGCONT);
}

PgServer::~PgServer() {
    Thaw();
    if (running_) RunAsOwner("'" + bin_ + "/pg_ctl' -D '" + dir_ + "/data' -m immediate -w stop");
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
}

std::string PgServer::Conninfo(const std::string& db) const {
    return "host=" + dir_ + " dbname=" + db + " user=" + kSuperUser;
}

std::string PgServer::ConninfoWithPassword(const std::string& db, const std::string& password) const {
    return "host=" + dir_ + " dbname=" + db + " user=" + kPasswordUser + " password=" + password;
}

std::string PgServer::NewDatabase() {
    // A schema of its own per test is much cheaper than a database of its own.
    const std::string name = "t" + std::to_string(++databases_);
    try {
        journal::PgConnection admin(Conninfo("postgres"));
        admin.Exec("CREATE SCHEMA " + name + " AUTHORIZATION " + kPasswordUser);
    } catch (const std::exception&) {
        return {};
    }
    return Conninfo("postgres") + " options='-c search_path=" + name + "'";
}

} // namespace mrk::test
