#pragma once
// A run in progress says so to the other processes of its station: it holds a
// lock on a small file named after its record for as long as it runs. The lock
// goes with the process (killed, lost power), so a record left unfinished by a
// dead run is told from one whose run is still going.
// (flock locks belong to the open file, not to the process: nothing else this
// process opens or closes can drop one, unlike the record locks SQLite uses.)
#include <string>

namespace mrk::journal {

class RunLock {
public:
    RunLock() = default;
    // Holds the lock of the run uid beside the journal file; nothing when it cannot.
    RunLock(const std::string& journalFile, const std::string& uid);
    ~RunLock();
    RunLock(RunLock&& other) noexcept;
    RunLock& operator=(RunLock&& other) noexcept;
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    bool Held() const { return fd_ >= 0; }
    void Release();

    // Whether a process of this station is running the record uid now.
    static bool Alive(const std::string& journalFile, const std::string& uid);

private:
    int fd_ = -1;
    std::string path_;
};

} // namespace mrk::journal
