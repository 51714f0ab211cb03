#include "image/EncipheredLoad.h"

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/FileBytes.h"
#include "core/Sha256.h"
#include "image/ConfigMask.h"
#include "image/CrpCodec.h"
#include "image/EmbeddedImages.h"
#include "image/HexReader.h"
#include "image/ImageKey.h"
#include "image/IoErrors.h"
#include "image/Scramble.h"

namespace mrk {

namespace fs = std::filesystem;

namespace {

std::string WithTmpEnding(std::string name) {
    name.replace(name.size() >= 3 ? name.size() - 3 : 0, 3, "tmp");
    return name;
}

std::string InTempDir(const FirmwareImages& images, const std::string& path) {
    if (images.TempDir.empty()) return path;
    return (fs::path(images.TempDir) / fs::path(path).filename()).string();
}

// The deciphered text in its temporary file. The file is created new (never an
// existing file, never through a link); when its name is taken, a unique name
// beside it is used. It is read back through the descriptor that wrote it, and
// deleted at the end only while its name still leads to that same file.
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        if (fd_ < 0) return;
        struct stat mine {}, named {};
        if (::fstat(fd_, &mine) == 0 && ::lstat(path_.c_str(), &named) == 0 && mine.st_dev == named.st_dev &&
            mine.st_ino == named.st_ino)
            ::unlink(path_.c_str());
        ::close(fd_);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    // The name in use: the one asked for, or the unique one taken instead.
    const std::string& path() const { return path_; }

    // Creates the file; false with errno set when it cannot be made.
    bool Create() {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd_ >= 0 || errno != EEXIST) return fd_ >= 0;
        // "NAME.tmp" is taken: "NAME.XXXXXX.tmp" beside it.
        const std::string stem = path_.substr(0, path_.size() >= 3 ? path_.size() - 3 : 0);
        std::string unique = stem + "XXXXXX.tmp";
        fd_ = ::mkostemps(unique.data(), 4, O_CLOEXEC);
        if (fd_ >= 0) path_ = unique;
        return fd_ >= 0;
    }

    bool Write(const std::vector<uint8_t>& bytes) {
        const uint8_t* p = bytes.data();
        size_t n = bytes.size();
        while (n > 0) {
            const ssize_t w = ::write(fd_, p, n);
            if (w < 0 && errno == EINTR) continue;
            if (w < 0) return false;
            p += w;
            n -= static_cast<size_t>(w);
        }
        return true;
    }

    // Everything this load wrote, read back from the file.
    bool ReadBack(std::string& text) {
        if (::lseek(fd_, 0, SEEK_SET) != 0) return false;
        text.clear();
        char chunk[65536];
        for (;;) {
            const ssize_t r = ::read(fd_, chunk, sizeof chunk);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return false;
            if (r == 0) return true;
            text.append(chunk, static_cast<size_t>(r));
        }
    }

private:
    std::string path_;
    int fd_ = -1;
};

} // namespace

std::string CrpTempPath(const FirmwareImages& images, const std::string& crpPath) {
    return InTempDir(images, WithTmpEnding(crpPath));
}

std::string ResourceTempPath(const FirmwareImages& images) {
    return InTempDir(images, WithTmpEnding("KvzVer.RES"));
}

int LoadEnciphered(const ImageLoad& load, std::span<const uint8_t> source, const std::string& tempPath,
                   ImageKind kind) {
    FirmwareImages& images = load.images;
    images.ImageKey = kImageKey;
    Rc6KeySetup(images.ImageKey, images.S);
    const std::vector<uint8_t> text = CrpDecipher(images.S, source);

    TempFile temp(tempPath);
    if (!temp.Create() || !temp.Write(text)) {
        ShowWriteError(load.host, temp.path(), errno);
        return -1;
    }
    {
        std::string written;
        if (!temp.ReadBack(written)) {
            ShowReadError(load.host, temp.path(), errno);
            return -1;
        }
        std::istringstream in(std::move(written));
        const auto config = kind == ImageKind::Update ? ConfigRecords::Store : ConfigRecords::Drop;
        if (ReadHexText(images, load.host, in, config, temp.path()) != 0) return -1;
    }
    if (kind == ImageKind::Update) BuffEtToCry(images, load.chip);
    MaskConfigWrite(images);
    return 0;
}

int ExecuteCRPtoHex(const ImageLoad& load, ImageKind kind) {
    FirmwareImages& images = load.images;
    const std::string& path = images.PathOf(kind, load.chip.is4620);
    const bool boot = kind == ImageKind::BootLoader;
    std::vector<uint8_t> bytes;
    if (boot) images.BootSha256.clear();
    if (int err = 0; !ReadRegularFile(path, bytes, err)) {
        ShowReadError(load.host, path, err);
        return -1;
    }
    const int rc = LoadEnciphered(load, bytes, CrpTempPath(images, path), kind);
    // The fingerprint of the very bytes loaded.
    if (rc == 0 && boot) images.BootSha256 = Sha256Hex(bytes);
    return rc;
}

int ExecuteResurse(const ImageLoad& load, ImageKind kind) {
    const auto image = FindImageResource(load.chip.is4620 ? "DATAARRAY1" : "DATAARRAY");
    if (!image) return -1;
    return LoadEnciphered(load, *image, ResourceTempPath(load.images), kind);
}

} // namespace mrk
