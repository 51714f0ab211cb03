// mrkcrypt: enciphers a HEX text into a .CRP file under the image key, and back.
// Firmware maintainers make .CRP files with it; the build makes the embedded images.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "core/FileBytes.h"
#include "core/StandardStreams.h"
#include "image/CrpCodec.h"
#include "image/ImageKey.h"

namespace {

int RunProgram(int argc, char** argv) {
    CLI::App app{"mrkcrypt: encipher a HEX text into a .CRP file under the image key, or decipher one",
                 "mrkcrypt"};
    app.set_version_flag("--version", "mrkcrypt " MRK_VERSION);
    std::string keyText;
    app.add_option("--key", keyText, "Image key, 20 hex digits (default: the key this build carries)");
    std::string in, out;
    auto* enc = app.add_subcommand("encipher", "HEX text -> .CRP");
    auto* dec = app.add_subcommand("decipher", ".CRP -> HEX text");
    for (auto* sub : {enc, dec}) {
        sub->add_option("input", in, "File to read, - for standard input")->required();
        sub->add_option("output", out, "File to write (replaced), - for standard output")->required();
    }
    app.require_subcommand(1);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end with 0, a wrong command line with 2 (as mrkprog).
        return app.exit(e) == 0 ? 0 : 2;
    }

    mrk::Rc6Key key = mrk::kImageKey;
    if (!keyText.empty() && !mrk::ParseImageKey(keyText.c_str(), key)) {
        std::fprintf(stderr, "mrkcrypt: ключ — ровно 20 шестнадцатеричных цифр\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    int err = 0;
    if (!mrk::ReadFileOrInput(in, bytes, err)) {
        std::fprintf(stderr, "mrkcrypt: не удалось прочитать %s: %s\n", in == "-" ? "стандартный ввод" : in.c_str(), mrk::FileErrorText(err).c_str());
        return 1;
    }
    mrk::Rc6Table S;
    mrk::Rc6KeySetup(key, S);
    const auto result = enc->parsed() ? mrk::CrpEncipher(S, bytes) : mrk::CrpDecipher(S, bytes);
    // Written beside the output and renamed over it: a failed write keeps the earlier file.
    if (!mrk::WriteFileOrOutput(out, result, err)) {
        std::fprintf(stderr, "mrkcrypt: не удалось записать %s: %s\n", out == "-" ? "стандартный вывод" : out.c_str(), mrk::FileErrorText(err).c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Whatever escapes ends the run with a message and a failure exit, never with an abort.
    int rc = 70;
    try {
        rc = RunProgram(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mrkcrypt: внутренняя ошибка: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "mrkcrypt: внутренняя ошибка неизвестного рода\n");
    }
    // Help or version text that never reached stdout is a failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "mrkcrypt: вывод не записан: %s\n", std::strerror(errno));
        if (rc == 0) rc = 1;
    }
    return rc;
}
