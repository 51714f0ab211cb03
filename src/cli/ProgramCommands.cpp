// Commands that program and read the chip over ICSP.
#include <cctype>

#include "app/ChipOperations.h"
#include "app/ImageAccess.h"
#include "app/MainCommands.h"
#include "app/PlainControls.h"
#include "cli/CommandTable.h"
#include "cli/ConfigDescribe.h"
#include "config/ConfigEditor.h"
#include "config/ConfigWords.h"
#include "core/FileBytes.h"
#include "core/IntelHexWriter.h"
#include "core/StandardStreams.h"
#include "core/Format.h"

namespace mrk::cli {

namespace {

class BootCommand : public Command {
public:
    void Setup(CLI::App&) override {}
    int Run(Session& s) override {
        if (!EnsureOpened(s)) return 1;
        return WriteBootRegion(s.ctx).Ok() ? 0 : 1;
    }
};

class ReadCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_flag("--all", all_, "Whole program memory instead of the boot region");
        app.add_option("--out", out_, "Save what was read as Intel HEX (- for standard output)");
    }
    bool WritesStandardOutput() const override { return IsStandardStream(out_) || out_ == "/dev/stdout"; }
    int Run(Session& s) override {
        if (!EnsureOpened(s)) return 1;
        const MemoryReadOutcome read = ReadProgramMemory(s.ctx, all_);
        // Half a read is not the chip's memory: nothing is saved. What was read
        // is said as the window's pages mark it: up to the word where it stopped.
        if (!read.Ok()) {
            std::fflush(stdout);
            std::fprintf(stderr, "mrkprog read: %s%s\n",
                         Format("прочитано %u слов из %u, остальные не прочитаны", read.wordsRead, read.words).c_str(),
                         out_.empty() ? "" : "; ничего не записано");
            return 1;
        }
        if (!out_.empty()) {
            // Written beside the target and renamed: a failed write keeps the earlier file.
            // Standard output, a pipe or a device takes the text where it is.
            const std::string text = ToIntelHex(read.memory);
            const std::string where = IsStandardStream(out_) ? "стандартный вывод" : out_;
            if (int err = 0; !WriteFileOrOutput(out_, text, err)) {
                std::fprintf(stderr, "mrkprog: не удалось записать %s: %s\n", where.c_str(), FileErrorText(err).c_str());
                return 1;
            }
            std::fprintf(WritesStandardOutput() ? stderr : stdout, "%s\n",
                         Format("Прочитано %u слов, записано в %s", read.words, where.c_str()).c_str());
        }
        return 0;
    }

private:
    bool all_ = false;
    std::string out_;
};

class CompareCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_flag("--all", all_, "Whole program memory instead of the boot region");
    }
    int Run(Session& s) override {
        if (!EnsureOpened(s)) return 1;
        return CompareProgramMemory(s.ctx, all_).Ok() ? 0 : 1;
    }

private:
    bool all_ = false;
};

class EraseCommand : public Command {
public:
    void Setup(CLI::App&) override {}
    int Run(Session& s) override {
        if (!EnsureOpened(s)) return 1;
        if (!EraseWholeChip(s.ctx).Ok()) return 1;
        std::printf("Память очищена.\n");
        return 0;
    }
};

class ConfigCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("action", action_, "read, write or describe")->required()->check(CLI::IsMember({"read", "write", "describe"}));
        app.add_option("register", register_, "describe: CONFIG1L .. CONFIG7H or all")->check(CheckDescribedRegister);
        app.add_option("--preset", preset_, "0: as loaded, 1: no protection, 2: code protection")
            ->check(CLI::Range(0, 2));
    }
    bool WorksOnChip() const override { return action_ != "describe"; }
    std::string Problem(const std::vector<std::string>& earlier) override {
        if (action_ != "describe" && !register_.empty()) return "config: регистр указывается только с describe";
        if (action_ != "write") return {};
        for (const auto& name : earlier)
            if (name == "load-boot" || name == "load-update" || name == "write-update") return {};
        return "конфигурация не загружена: перед config write выполните load-boot ФАЙЛ (или load-update)";
    }
    int Run(Session& s) override {
        if (action_ == "describe") return DescribeConfig(s, register_.empty() ? "all" : register_);
        if (!register_.empty()) {
            std::fprintf(stderr, "mrkprog config: регистр указывается только с describe\n");
            return 2;
        }
        if (action_ == "write" && !s.configLoaded) {
            // Without an image there is nothing sound to write: a stray byte can
            // lock the configuration (WRTC) or the code for good.
            std::fprintf(stderr, "mrkprog: конфигурация не загружена: перед config write выполните "
                                 "load-boot ФАЙЛ (или load-update)\n");
            return 2;
        }
        if (!EnsureOpened(s)) return 1;
        if (action_ == "read") {
            const ConfigReadOutcome read = ReadConfiguration(s.ctx);
            if (!read.Ok()) return 1;
            // As the configuration window lists them: fourteen bytes, then the device ID.
            for (size_t k = 0; k < kConfigReadLabels.size(); ++k) {
                const uint8_t v = k < 14 ? read.bytes[k] : (k == 14 ? read.devId1 : read.devId2);
                std::printf("%s%s\n", kConfigReadLabels[k], ByteStrToBin(v).c_str());
            }
            return 0;
        }
        const ConfigWriteOutcome written = WriteConfiguration(s.ctx, static_cast<ConfigPreset>(preset_)); // 0, 1, 2 in order
        s.host.Okno(written.message);
        return written.Ok() ? 0 : 1;
    }

private:
    std::string action_;
    std::string register_;
    int preset_ = 0;
};

// Hexadecimal digits only (no sign, no spaces, no prefix), at most 0xFFFF.
bool ParseWord(const std::string& text, uint16_t& word) {
    if (text.empty()) return false;
    uint32_t v = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        v = v * 16 + static_cast<uint32_t>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                                      : std::toupper(c) - 'A' + 10);
        if (v > 0xFFFF) return false;
    }
    word = static_cast<uint16_t>(v);
    return true;
}

class IdCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_option("action", action_, "read or write")->required()->check(CLI::IsMember({"read", "write"}));
        app.add_option("words", words_, "ID words 1 2 3 (hexadecimal) for write")->expected(0, 3);
    }
    std::string Problem(const std::vector<std::string>&) override {
        if (action_ != "write") return {};
        if (words_.size() != 3) return "id write: нужны три слова W1 W2 W3";
        for (int k = 0; k < 3; ++k)
            if (!ParseWord(words_[k], w_[k])) return "не 16-битное шестнадцатеричное слово: '" + words_[k] + "'";
        return {};
    }
    int Run(Session& s) override {
        if (!Problem({}).empty()) return 2;
        if (!EnsureOpened(s)) return 1;
        if (action_ == "read") {
            const IdReadOutcome read = ReadIdentity(s.ctx);
            if (!read.Ok()) return 1;
            std::printf("%s\n", read.message.c_str());
            return 0;
        }
        // Word 1 is the module's factory number: reserved on the line like a cycle's.
        return WriteIdentity(s.ctx, w_[0], w_[1], w_[2], true).Ok() ? 0 : 1;
    }

private:
    std::string action_;
    std::vector<std::string> words_;
    uint16_t w_[3] = {};
};

class DevIdCommand : public Command {
public:
    void Setup(CLI::App&) override {}
    int Run(Session& s) override {
        if (!EnsureOpened(s)) return 1;
        const DevIdOutcome read = ReadDeviceId(s.ctx);
        if (!read.Ok()) return 1;
        std::printf("%s\n", read.message.c_str());
        return 0;
    }
};

// The update button: the update image for the chip, streamed to the module's
// boot loader, then the checksum the boot loader leaves in ID word 0.
class WriteUpdateCommand : public Command {
public:
    void Setup(CLI::App& app) override {
        app.add_flag("--production", production_, "Production mode (the log is not cleared, a missing "
                                                  "programmer does not end the command at once)");
    }
    int Run(Session& s) override {
        s.ctx.commands.Obnovl = !production_;
        PlainControls ui;
        const UpdateOutcome update = SpeedButton4Click(s.ctx, ui, Ctl::SpeedButton4);
        s.opened = s.opened || s.ctx.ind.Prog4520 || s.ctx.ind.CheckBox2;
        return update.Ok() ? 0 : 1;
    }

private:
    bool production_ = false;
};

} // namespace

void RegisterProgramCommands(CommandTable& t) {
    t.Add({"boot", "Write the boot region from the loaded boot image, with verify", 0,
           [] { return std::make_unique<BootCommand>(); }});
    t.Add({"read", "Read program memory into the chip buffer [--all] [--out FILE.hex]", 0,
           [] { return std::make_unique<ReadCommand>(); }});
    t.Add({"compare", "Read and compare with the reference image [--all]", 0,
           [] { return std::make_unique<CompareCommand>(); }});
    t.Add({"erase", "Erase the whole chip and its protection", 0, [] { return std::make_unique<EraseCommand>(); }});
    t.Add({"config", "Configuration bytes: config read | config write [--preset 0|1|2] | config describe [CONFIG1L..CONFIG7H|all]", 1,
           [] { return std::make_unique<ConfigCommand>(); }});
    t.Add({"id", "ID locations: id read | id write W1 W2 W3", 1, [] { return std::make_unique<IdCommand>(); }});
    t.Add({"write-update", "Write the built-in update through the module's boot loader and check its sum", 0,
           [] { return std::make_unique<WriteUpdateCommand>(); }, true, true});
    t.Add({"update", "The update button as the window runs it (same as write-update) [--production]", 0,
           [] { return std::make_unique<WriteUpdateCommand>(); }, true, true});
    t.Add({"devid", "Read the device ID", 0, [] { return std::make_unique<DevIdCommand>(); }});
}

} // namespace mrk::cli
