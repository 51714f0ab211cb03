#include "image/EncipheredLoad.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/Context.h"
#include "image/ConfigMask.h"
#include "image/CrpCodec.h"
#include "image/EmbeddedImages.h"
#include "image/HexLoad.h"
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

std::string InTempDir(const Context& ctx, const std::string& path) {
    if (ctx.image.TempDir.empty()) return path;
    return (fs::path(ctx.image.TempDir) / fs::path(path).filename()).string();
}

// The deciphered text in its temporary file, deleted however the load ends. Only
// a file this load created is deleted (never, say, a folder of that name).
class TempFile {
public:
    explicit TempFile(std::string path) : path_(std::move(path)) {}
    ~TempFile() {
        std::error_code ec;
        if (created_) fs::remove(path_, ec);
    }
    const std::string& path() const { return path_; }

    bool Write(const std::vector<uint8_t>& bytes) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        created_ = true;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return !out.fail();
    }

private:
    std::string path_;
    bool created_ = false;
};

} // namespace

std::string CrpTempPath(const Context& ctx, const std::string& crpPath) {
    return InTempDir(ctx, WithTmpEnding(crpPath));
}

std::string ResourceTempPath(const Context& ctx) {
    return InTempDir(ctx, WithTmpEnding("KvzVer.RES"));
}

int LoadEnciphered(Context& ctx, std::span<const uint8_t> source, const std::string& tempPath,
                   uint8_t kind) {
    ctx.image.ImageKey = kImageKey;
    Rc6KeySetup(ctx.image.ImageKey, ctx.image.S);
    const std::vector<uint8_t> text = CrpDecipher(ctx.image.S, source);

    TempFile temp(tempPath);
    errno = 0;
    if (!temp.Write(text)) {
        ShowWriteError(ctx, temp.path());
        return -1;
    }
    {
        std::ifstream in;
        if (!OpenForReading(ctx, temp.path(), in)) return -1;
        const auto config = kind == 0 ? ConfigRecords::Store : ConfigRecords::Drop;
        if (ReadHexText(ctx, in, config, temp.path()) != 0) return -1;
    }
    if (kind == 0) BuffEtToCry(ctx);
    MaskConfigWrite(ctx.image);
    return 0;
}

int ExecuteCRPtoHex(Context& ctx, uint8_t kind) {
    const std::string& path = ImagePath(ctx, kind);
    std::ifstream in;
    if (!OpenForReading(ctx, path, in)) return -1;
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        ShowReadError(ctx, path);
        return -1;
    }
    return LoadEnciphered(ctx, bytes, CrpTempPath(ctx, path), kind);
}

int ExecuteResurse(Context& ctx, uint8_t kind) {
    const auto image = FindImageResource(ctx.Is4620() ? "DATAARRAY1" : "DATAARRAY");
    if (!image) return -1;
    return LoadEnciphered(ctx, *image, ResourceTempPath(ctx), kind);
}

} // namespace mrk
