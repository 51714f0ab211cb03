// Firmware image commands: load the update and the boot loader, list memory pages,
// show the update's check bytes.
#include <cstdio>

#include "app/ImageAccess.h"
#include "cli/CommandTable.h"
#include "image/CalCrc.h"
#include "image/FileCommands.h"
#include "image/MemoryListing.h"

namespace mrk::cli {

namespace {

void AddTempDirOption(CLI::App& app, std::string& dir) {
    app.add_option("--temp-dir", dir, "Folder for the deciphered temporary file (default: beside the "
                                      ".CRP file, or the current directory)");
}

class LoadUpdateCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("file", file_, "Update file, .HEX or .CRP (default: the image built in for --chip)");
        AddTempDirOption(app, tempDir_);
    }
    int Run(Session& s) override {
        if (!tempDir_.empty()) s.ctx.image.TempDir = tempDir_;
        if (file_.empty()) return LoadEmbeddedUpdate(ImageLoadOf(s.ctx)) ? 0 : 1;
        s.ctx.image.UpdatePath = file_;
        return LoadUpdateFile(ImageLoadOf(s.ctx)) ? 0 : 1;
    }

private:
    std::string file_, tempDir_;
};

class LoadBootCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("file", file_, "Boot-loader file, .HEX or .CRP")->required();
        AddTempDirOption(app, tempDir_);
    }
    int Run(Session& s) override {
        if (!tempDir_.empty()) s.ctx.image.TempDir = tempDir_;
        (s.ctx.Is4620() ? s.ctx.image.BootPath4620 : s.ctx.image.BootPath452) = file_;
        return LoadBootLoaderFile(ImageLoadOf(s.ctx)) ? 0 : 1;
    }

private:
    std::string file_, tempDir_;
};

class ViewCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("--source", source_, "ref: the reference image, chip: what was read from the chip "
                                            "(default: the buffer the last load or read chose)")
            ->check(CLI::IsMember({"ref", "chip"}));
        app.add_option("--page", page_, "Quarter of program memory, 0..3")->check(CLI::Range(0, 3));
    }
    int Run(Session& s) override {
        const MemorySource source = source_.empty()          ? s.ctx.image.ViewSource
                                    : source_ == "chip" ? MemorySource::Chip
                                                        : MemorySource::Reference;
        Okno_1_2_Str(s.ctx.host, s.ctx.image, s.ctx.prog.ChipWords, source, page_);
        return 0;
    }

private:
    std::string source_;
    unsigned page_ = 0;
};

class CrcCommand : public Command {
public:
    void Setup(CLI::App&) override {}
    int Run(Session& s) override {
        const std::string text = CalCrcText(s.ctx.image, TargetChipOf(s.ctx));
        s.ctx.host.Label2(text);
        std::printf("%s\n", text.c_str());
        return 0;
    }
};

} // namespace

void RegisterImageCommands(CommandTable& t) {
    t.Add({"load-update", "Load the update: FILE (.HEX/.CRP), or the image built in for the chip", 0,
           [] { return std::make_unique<LoadUpdateCommand>(); }, false});
    t.Add({"load-boot", "Load the boot-loader file FILE (.HEX/.CRP) over the update", 1,
           [] { return std::make_unique<LoadBootCommand>(); }, false});
    t.Add({"view", "List a page of memory: --source ref|chip --page 0..3", 0,
           [] { return std::make_unique<ViewCommand>(); }, false});
    t.Add({"crc", "Show the update region's check bytes (d0 d1)", 0,
           [] { return std::make_unique<CrcCommand>(); }, false});
}

} // namespace mrk::cli
