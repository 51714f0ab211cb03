#include "journal/RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>

namespace mrk::journal {

namespace {

// Uids are hex; anything else is never a file name here.
bool PlainUid(const std::string& uid) {
    if (uid.empty() || uid.size() > 64) return false;
    for (char c : uid)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string Folder(const std::string& journalFile) { return journalFile + "-runs"; }

} // namespace

RunLock::RunLock(const std::string& journalFile, const std::string& uid) {
    if (!PlainUid(uid)) return;
    std::error_code ec;
    // Its own folder only: a journal's folder that is missing stays missing (and is named).
    std::filesystem::create_directory(Folder(journalFile), ec);
    path_ = Folder(journalFile) + "/" + uid;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RunLock::~RunLock() { Release(); }

RunLock::RunLock(RunLock&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

RunLock& RunLock::operator=(RunLock&& other) noexcept {
    if (this != &other) {
        Release();
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

void RunLock::Release() {
    if (fd_ < 0) return;
    // Removed while still locked: nobody takes a lock on a file about to go.
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
}

bool RunLock::Alive(const std::string& journalFile, const std::string& uid) {
    if (!PlainUid(uid)) return false;
    const std::string path = Folder(journalFile) + "/" + uid;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

} // namespace mrk::journal
