#include "core/FileBytes.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mrk {

namespace fs = std::filesystem;

namespace {

// Closes a descriptor however the function ends.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const uint8_t* data, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// The file a write to `path` should replace: the target of a link, else path itself.
std::string Target(const std::string& path, int& err) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) return path;
    const fs::path real = fs::weakly_canonical(path, ec);
    if (ec) {
        err = ec.value();
        return {};
    }
    return real.string();
}

// Creates a new, empty file beside `target` (its name starts with a point and the
// target's name). Gives the descriptor and the name, or -1 with errno set.
int CreateBeside(const std::string& target, std::string& name) {
    const fs::path p(target);
    const std::string stem = (p.parent_path() / ("." + p.filename().string())).string();
    name = stem + ".tmp";
    // Exclusive and not through a link: whatever was planted at the name stays untouched.
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
    name = stem + ".XXXXXX";
    return ::mkostemp(name.data(), O_CLOEXEC);
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

} // namespace

bool ReadRegularFile(const std::string& path, std::vector<uint8_t>& bytes, int& err, size_t maxBytes) {
    // Non-blocking open: a named pipe without a writer must not hang the program.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0) {
        err = errno;
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        err = errno;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        err = S_ISDIR(st.st_mode) ? EISDIR : ENODEV;
        return false;
    }
    // Refused by its size before a byte is read; a file still growing is cut off
    // at the limit below rather than read on.
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        err = EFBIG;
        return false;
    }
    bytes.clear();
    bytes.reserve(static_cast<size_t>(st.st_size));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t r = ::read(fd.get(), chunk, sizeof chunk);
        if (r < 0) {
            if (errno == EINTR) continue;
            err = errno;
            return false;
        }
        if (r == 0) break;
        if (bytes.size() + static_cast<size_t>(r) > maxBytes) {
            err = EFBIG;
            bytes.clear();
            return false;
        }
        bytes.insert(bytes.end(), chunk, chunk + r);
    }
    return true;
}

bool ReplaceFile(const std::string& path, std::span<const uint8_t> bytes, int& err) {
    return ReplaceFileWith(
        path,
        [&](const ByteWriter& write) {
            return write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        },
        err);
}

bool ReplaceFileWith(const std::string& path, const std::function<bool(const ByteWriter&)>& fill, int& err) {
    err = 0;
    const std::string target = Target(path, err);
    if (target.empty()) return false;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        err = S_ISDIR(old.st_mode) ? EISDIR : ENODEV;
        return false;
    }
    std::string temp;
    Fd fd(CreateBeside(target, temp));
    if (fd.get() < 0) {
        err = errno;
        return false;
    }
    const mode_t mode = existed ? (old.st_mode & 07777) : NewFileMode();
    int writeErr = 0;
    const ByteWriter write = [&](std::string_view piece) {
        if (WriteAll(fd.get(), reinterpret_cast<const uint8_t*>(piece.data()), piece.size())) return true;
        writeErr = errno;
        return false;
    };
    const bool modeSet = ::fchmod(fd.get(), mode) == 0;
    int fillErr = modeSet ? 0 : errno;
    const bool filled = modeSet && fill(write);
    if (modeSet && !filled) fillErr = writeErr ? writeErr : ECANCELED;
    if (!filled || ::fsync(fd.get()) != 0 || ::close(fd.release()) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        err = fillErr ? fillErr : errno;
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool ReplaceFile(const std::string& path, const std::string& text, int& err) {
    return ReplaceFile(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()), err);
}

std::string SystemErrorText(int err) {
    // The operator reads Russian; the C library speaks the machine's locale, often English.
    static const struct {
        int err;
        const char* text;
    } kTexts[] = {
        {ENOENT, "нет такого файла или папки"},
        {EACCES, "нет доступа"},
        {EPERM, "операция не разрешена"},
        {EISDIR, "это папка"},
        {ENOTDIR, "часть пути — не папка"},
        {ENOSPC, "на диске нет места"},
        {EDQUOT, "превышена дисковая квота"},
        {EROFS, "файловая система только для чтения"},
        {EEXIST, "файл уже есть"},
        {ENAMETOOLONG, "слишком длинное имя"},
        {ELOOP, "слишком много символических ссылок"},
        {EIO, "ошибка ввода-вывода"},
        {EBUSY, "устройство занято"},
        {ENXIO, "нет такого устройства"},
        {ENODEV, "нет такого устройства"},
        {ENOSYS, "не поддерживается системой"},
        {EMFILE, "слишком много открытых файлов"},
        {ENFILE, "слишком много открытых файлов"},
        {ETXTBSY, "файл занят"},
        {EINVAL, "недопустимый аргумент"},
        {ECANCELED, "операция прервана"},
    };
    for (const auto& t : kTexts)
        if (t.err == err) return t.text;
    return std::strerror(err);
}

std::string FileErrorText(int err) {
    if (err == ENODEV) return "не обычный файл";
    if (err == EFBIG)
        return "больше " + std::to_string(kMaxInputFileBytes >> 20) +
               " МБ: файлов такого размера для этих кристаллов не бывает";
    return SystemErrorText(err);
}

bool CanReplaceFile(const std::string& path, int& err) {
    err = 0;
    const std::string target = Target(path, err);
    if (target.empty()) return false;
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) {
        err = S_ISDIR(old.st_mode) ? EISDIR : ENODEV;
        return false;
    }
    std::string temp;
    const int fd = CreateBeside(target, temp);
    if (fd < 0) {
        err = errno;
        return false;
    }
    ::close(fd);
    ::unlink(temp.c_str());
    return true;
}

} // namespace mrk
