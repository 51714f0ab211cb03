// mrkcrypt: enciphers a HEX text into a .CRP file under the image key, and back.
// Firmware maintainers make .CRP files with it; the build makes the embedded images.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "image/CrpCodec.h"
#include "image/ImageKey.h"

namespace {

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"mrkcrypt: encipher a HEX text into a .CRP file under the image key, or decipher one",
                 "mrkcrypt"};
    std::string keyText;
    app.add_option("--key", keyText, "Image key, 20 hex digits (default: the key this build carries)");
    std::string in, out;
    auto* enc = app.add_subcommand("encipher", "HEX text -> .CRP");
    auto* dec = app.add_subcommand("decipher", ".CRP -> HEX text");
    for (auto* sub : {enc, dec}) {
        sub->add_option("input", in, "File to read")->required();
        sub->add_option("output", out, "File to write (replaced)")->required();
    }
    app.require_subcommand(1);
    CLI11_PARSE(app, argc, argv);

    mrk::Rc6Key key = mrk::kImageKey;
    if (!keyText.empty() && !mrk::ParseImageKey(keyText.c_str(), key)) {
        std::fprintf(stderr, "mrkcrypt: the key must be exactly 20 hexadecimal digits\n");
        return 2;
    }
    std::vector<uint8_t> bytes;
    if (!ReadFile(in, bytes)) {
        std::fprintf(stderr, "mrkcrypt: cannot read %s\n", in.c_str());
        return 1;
    }
    mrk::Rc6Table S;
    mrk::Rc6KeySetup(key, S);
    const auto result = enc->parsed() ? mrk::CrpEncipher(S, bytes) : mrk::CrpDecipher(S, bytes);
    if (!WriteFile(out, result)) {
        std::fprintf(stderr, "mrkcrypt: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
