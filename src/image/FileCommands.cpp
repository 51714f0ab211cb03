#include "image/FileCommands.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "core/Format.h"
#include "core/Host.h"
#include "core/StandardStreams.h"
#include "image/EncipheredLoad.h"
#include "image/HexLoad.h"
#include "image/LogControl.h"

namespace mrk {

namespace {

void FillProgramSpace(const ImageLoad& load) {
    const size_t bytes = std::min<size_t>(2u * load.chip.chipWords, 0x10000);
    std::fill_n(load.images.BuffEt.begin(), bytes, uint8_t{0xFF});
    load.images.BootImageLoaded = false;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return IsStandardStream(path) || (!path.empty() && std::filesystem::is_regular_file(path, ec));
}

// Picks the loader by extension; false (after the log line) for any other extension.
// Standard input ("-") carries HEX text: a .CRP is deciphered on its way in
// (mrkcrypt decipher F.crp - | mrkprog load-boot -).
bool LoadByExtension(const ImageLoad& load, const std::string& path, ImageKind kind) {
    if (IsStandardStream(path)) return ExecuteHex(load, kind) == 0;
    const std::string ext = UpperExtension(path);
    if (ext == ".HEX") return ExecuteHex(load, kind) == 0;
    if (ext == ".CRP") return ExecuteCRPtoHex(load, kind) == 0;
    load.host.Okno("Неправильное расширение файла.");
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

bool LoadEmbeddedUpdate(const ImageLoad& load) {
    FillProgramSpace(load);
    if (ExecuteResurse(load, ImageKind::Update) != 0) {
        load.host.Label3("Ошибка загрузки");
        return false;
    }
    load.host.Label3(load.chip.is4620 ? "Загружен Файл Mrk4620Ver45" : "Загружен Файл MrkVer45");
    return true;
}

bool LoadBootLoaderFile(const ImageLoad& load) {
    FirmwareImages& images = load.images;
    const std::string path = images.BootPath(load.chip.is4620);
    images.BootSha256.clear();
    // A failed load may have left part of a boot region behind: not an image to write.
    images.BootImageLoaded = false;
    if (!FileExists(path)) {
        // (The label ends with the path below, as for any failed boot load.)
        load.host.Okno(Format("Файл %s не найден.", path.c_str()));
    } else if (LoadByExtension(load, path, ImageKind::BootLoader)) {
        images.BootImageLoaded = true;
        images.ViewSource = MemorySource::Reference;
        load.host.Okno(Format("Загружен файл %s.", path.c_str()));
        return true;
    }
    load.host.Label3(Format("Ошибка загрузки %s", path.c_str()));
    return false;
}

bool LoadUpdateFile(const ImageLoad& load) {
    FillProgramSpace(load);
    const std::string path = load.images.UpdatePath;
    if (!FileExists(path)) {
        load.host.Okno(Format("Файл %s не найден.", path.c_str()));
        load.host.Label3("Ошибка загрузки");
        return false;
    }
    if (!LoadByExtension(load, path, ImageKind::Update)) {
        load.host.Label3(Format("Ошибка загрузки %s", path.c_str()));
        return false;
    }
    ClearOkno(load.host);
    load.images.ViewSource = MemorySource::Reference;
    load.host.Label3(Format("Загружен Файл %s", path.c_str()));
    return true;
}

} // namespace mrk
