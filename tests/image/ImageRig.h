#pragma once
// Fresh images for the loaders, a scratch folder, and helpers to write
// HEX texts and to assemble PIC18 sources with gpasm.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "image/ImageLoad.h"
#include "image/LogControl.h"
#include "support/RecordingHost.h"

namespace mrk::test {

// The main window's log: cleared and held like the real one.
using LogHost = RecordingHost;

// A folder of its own for each test, removed afterwards.
class ScratchDir {
public:
    ScratchDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "mrkimg-XXXXXX").string();
        path_ = mkdtemp(tmpl.data());
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    // Files left in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string ReadText(const std::string& path) {
    const auto b = ReadBytes(path);
    return {b.begin(), b.end()};
}

// Assembles source (for the given gpasm processor name) into dir/name.hex; returns its path.
inline std::string Assemble(const ScratchDir& dir, const std::string& name, const std::string& source) {
    const std::string asmPath = dir / (name + ".asm"), hexPath = dir / (name + ".hex");
    WriteText(asmPath, source);
    const std::string cmd = std::string(MRK_GPASM) + " -q -o '" + hexPath + "' '" + asmPath + "' > '" +
                            (dir / (name + ".out")) + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << ReadText(dir / (name + ".out"));
    return hexPath;
}

// The images of one test, for a chip as the programmer open would identify it:
// what the loaders are handed, and nothing of the station around them.
struct ImageRig {
    explicit ImageRig(bool is4620 = true) { SetChip(is4620); }
    void SetChip(bool is4620) {
        chip.is4620 = is4620;
        chip.chipWords = is4620 ? 0x8000 : 0x4000;
        chip.bootWords = is4620 ? 0x400 : 0x180;
    }
    ImageLoad Load() { return {image, chip, host}; }
    std::array<uint8_t, 65540>& et() { return image.BuffEt; }
    std::array<uint8_t, 14>& cw() { return image.ConfigWrite; }
    uint16_t Word(uint32_t byteAddress) const {
        return static_cast<uint16_t>(image.BuffEt[byteAddress] | image.BuffEt[byteAddress + 1] << 8);
    }

    LogHost host;
    FirmwareImages image;
    TargetChip chip;
};

} // namespace mrk::test
