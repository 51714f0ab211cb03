#include "image/FileCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/Context.h"
#include "core/Format.h"
#include "core/StandardStreams.h"
#include "image/EncipheredLoad.h"
#include "image/HexLoad.h"
#include "image/LogControl.h"

namespace mrk {

namespace {

void FillProgramSpace(Context& ctx) {
    const size_t bytes = std::min<size_t>(2u * ctx.prog.ChipWords, 0x10000);
    std::fill_n(ctx.image.BuffEt.begin(), bytes, uint8_t{0xFF});
    ctx.image.BootImageLoaded = false;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return IsStandardStream(path) || (!path.empty() && std::filesystem::is_regular_file(path, ec));
}

// Picks the loader by extension; false (after the log line) for any other extension.
// Standard input ("-") carries HEX text: a .CRP is deciphered on its way in
// (mrkcrypt decipher F.crp - | mrkprog load-boot -).
bool LoadByExtension(Context& ctx, const std::string& path, uint8_t kind) {
    if (IsStandardStream(path)) return ExecuteHex(ctx, kind) == 0;
    const std::string ext = UpperExtension(path);
    if (ext == ".HEX") return ExecuteHex(ctx, kind) == 0;
    if (ext == ".CRP") return ExecuteCRPtoHex(ctx, kind) == 0;
    ctx.host.Okno("Неправильное расширение файла.");
    return false;
}

} // namespace

std::string UpperExtension(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

bool SpeedButton7Click(Context& ctx) {
    FillProgramSpace(ctx);
    if (ExecuteResurse(ctx, 0) != 0) {
        ctx.host.Label3("Ошибка загрузки");
        return false;
    }
    ctx.host.Label3(ctx.Is4620() ? "Загружен Файл Mrk4620Ver45" : "Загружен Файл MrkVer45");
    return true;
}

bool SpeedButton3Click(Context& ctx) {
    const std::string path = ImagePath(ctx, 1);
    ctx.image.BootSha256.clear();
    // A failed load may have left part of a boot region behind: not an image to write.
    ctx.image.BootImageLoaded = false;
    if (!FileExists(path)) {
        // (The label ends with the path below, as for any failed boot load.)
        ctx.host.Okno(Format("Файл %s не найден.", path.c_str()));
    } else if (LoadByExtension(ctx, path, 1)) {
        ctx.image.BootImageLoaded = true;
        ctx.image.ViewSource = 0;
        ctx.host.Okno(Format("Загружен файл %s.", path.c_str()));
        return true;
    }
    ctx.host.Label3(Format("Ошибка загрузки %s", path.c_str()));
    return false;
}

bool SpeedButton19Click(Context& ctx) {
    FillProgramSpace(ctx);
    const std::string path = ImagePath(ctx, 0);
    if (!FileExists(path)) {
        ctx.host.Okno(Format("Файл %s не найден.", path.c_str()));
        ctx.host.Label3("Ошибка загрузки");
        return false;
    }
    if (!LoadByExtension(ctx, path, 0)) {
        ctx.host.Label3(Format("Ошибка загрузки %s", path.c_str()));
        return false;
    }
    ClearOkno(ctx);
    ctx.image.ViewSource = 0;
    ctx.host.Label3(Format("Загружен Файл %s", path.c_str()));
    return true;
}

} // namespace mrk
