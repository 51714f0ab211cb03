#include "FuzzTargets.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "app/ImageAccess.h"
#include "core/Context.h"
#include "core/Host.h"
#include "image/ConfigMask.h"
#include "image/CrpCodec.h"
#include "image/EncipheredLoad.h"
#include "image/HexReader.h"
#include "image/ImageKey.h"
#include "sim/ModuleHex.h"
#include "sim/VirtualModule.h"

namespace mrk::fuzz {

namespace {

void Require(bool holds) {
    if (!holds) std::abort();
}

const Rc6Table& ImageTable() {
    static const Rc6Table table = [] {
        Rc6Table S{};
        Rc6KeySetup(kImageKey, S);
        return S;
    }();
    return table;
}

// One folder for this process's temporary files, removed at exit (by the
// destructor of the static that names it, so the name outlives its use).
struct WorkFolder {
    WorkFolder() {
        path = (std::filesystem::temp_directory_path() / "mrk-fuzz-XXXXXX").string();
        if (!::mkdtemp(path.data())) std::abort();
    }
    ~WorkFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

const std::string& WorkDir() {
    static const WorkFolder folder;
    return folder.path;
}

void SetChip(Context& ctx, bool is4620) {
    ctx.SetChipIndicators(is4620, !is4620);
    ctx.prog.ChipWords = is4620 ? 0x8000 : 0x4000;
    ctx.prog.BootWords = is4620 ? 0x400 : 0x180;
}

} // namespace

void HexReader(const uint8_t* data, size_t size) {
    NullHost host;
    Context ctx(host);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    // Any outcome will do; the fuzzer looks for crashes and reads out of bounds.
    (void)ReadHexText(ctx.image, ctx.host, in, ConfigRecords::Store, "fuzz.hex");
}

void CrpLoad(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> text(data, size);
    const bool is4620 = size % 2 == 0;
    const std::string temp = WorkDir() + "/image.tmp";

    // A boot image through the whole enciphered path equals the text read as HEX.
    NullHost host;
    Context viaCrp(host), viaHex(host);
    SetChip(viaCrp, is4620);
    SetChip(viaHex, is4620);
    const std::vector<uint8_t> crp = CrpEncipher(ImageTable(), text);
    const int r = LoadEnciphered(ImageLoadOf(viaCrp), crp, temp, ImageKind::BootLoader);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    const int h = ReadHexText(viaHex.image, viaHex.host, in, ConfigRecords::Drop, "fuzz.hex");
    if (h == 0) MaskConfigWrite(viaHex.image);
    Require(r == h);
    Require(viaCrp.image.BuffEt == viaHex.image.BuffEt);
    Require(viaCrp.image.ConfigWrite == viaHex.image.ConfigWrite);

    // As an update: scrambled and summed; and the raw bytes taken as a .CRP file.
    Context update(host);
    SetChip(update, is4620);
    // Any outcome will do here: the loads must only survive what they are given.
    (void)LoadEnciphered(ImageLoadOf(update), crp, temp, ImageKind::Update);
    Context raw(host);
    SetChip(raw, !is4620);
    (void)LoadEnciphered(ImageLoadOf(raw), text, temp, ImageKind::Update);
    // Every load removes its temporary file.
    std::error_code ec;
    Require(!std::filesystem::exists(temp, ec));
}

void ModuleHex(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (auto chip : {sim::ChipModel::PIC18F452, sim::ChipModel::PIC18F4620}) {
        const sim::ChipTraits& traits = sim::ChipTraits::For(chip);
        sim::ModuleMemory memory(traits, 0x07);
        std::string error;
        if (!sim::LoadModuleHexText(text, memory, error)) {
            Require(!error.empty());
            continue;
        }
        // What the file gave saves and loads back unchanged.
        const std::string saved = sim::ModuleHexText(memory);
        sim::ModuleMemory again(traits, 0x07);
        Require(sim::LoadModuleHexText(saved, again, error));
        Require(again == memory);
    }
}

void Decipher(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> in(data, size);
    const std::vector<uint8_t> plain = CrpDecipher(ImageTable(), in);
    Require(plain.size() == size);
    const std::vector<uint8_t> back = CrpEncipher(ImageTable(), plain);
    Require(std::equal(back.begin(), back.end(), data, data + size));
}

const std::vector<Target>& Targets() {
    static const std::vector<Target> targets = {
        {"hex_reader", HexReader},
        {"crp_load", CrpLoad},
        {"module_hex", ModuleHex},
        {"decipher", Decipher},
    };
    return targets;
}

} // namespace mrk::fuzz
