#include "config/ConfigBitDescriptions.h"

#include <array>

namespace mrk {

namespace {

constexpr std::array<std::string_view, kConfigRegisters> kNames = {
    "CONFIG1L", "CONFIG1H", "CONFIG2L", "CONFIG2H", "CONFIG3L", "CONFIG3H", "CONFIG4L",
    "CONFIG4H", "CONFIG5L", "CONFIG5H", "CONFIG6L", "CONFIG6H", "CONFIG7L", "CONFIG7H"};

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

} // namespace

std::string_view ConfigRegisterName(int index) {
    return index >= 0 && index < kConfigRegisters ? kNames[static_cast<size_t>(index)] : std::string_view{};
}

std::optional<int> ConfigRegisterIndex(std::string_view name) {
    const std::string u = Upper(name);
    for (int k = 0; k < kConfigRegisters; ++k)
        if (kNames[static_cast<size_t>(k)] == u) return k;
    return std::nullopt;
}

ConfigBitTables ParseConfigBitDescriptions(std::string_view text) {
    ConfigBitTables t;
    bool seen[kConfigRegisters][2] = {};
    std::vector<std::string>* into[2] = {nullptr, nullptr};
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        if (t.error.empty()) t.error = "line " + std::to_string(lineNo) + ": " + why;
    };
    while (!text.empty()) {
        const size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() != '[') {
            if (!into[0] && !into[1]) fail("a description line before the first [register]");
            for (auto* list : into)
                if (list) list->emplace_back(line);
            continue;
        }
        // [CONFIGxx] or [CONFIGxx PIC18F452|PIC18F4620]
        into[0] = into[1] = nullptr;
        if (line.back() != ']') {
            fail("unclosed heading");
            continue;
        }
        const std::string_view head = line.substr(1, line.size() - 2);
        const size_t sp = head.find(' ');
        const auto reg = ConfigRegisterIndex(head.substr(0, sp));
        if (!reg) {
            fail("unknown register in " + std::string(line));
            continue;
        }
        const std::string_view chip = sp == std::string_view::npos ? std::string_view{} : head.substr(sp + 1);
        bool for452 = chip.empty() || chip == "PIC18F452";
        bool for4620 = chip.empty() || chip == "PIC18F4620";
        if (!for452 && !for4620) {
            fail("unknown chip in " + std::string(line));
            continue;
        }
        const bool which[2] = {for452, for4620};
        for (int c = 0; c < 2; ++c) {
            if (!which[c]) continue;
            if (seen[*reg][c]) fail("a second list for " + std::string(line));
            seen[*reg][c] = true;
            into[c] = &t.lines[*reg][c];
        }
    }
    for (int r = 0; r < kConfigRegisters; ++r)
        for (int c = 0; c < 2; ++c)
            if (!seen[r][c] || t.lines[r][c].empty())
                fail(std::string(kNames[static_cast<size_t>(r)]) + (c ? " PIC18F4620" : " PIC18F452") +
                     ": no lines");
    return t;
}

const std::vector<std::string>& ConfigBitLines(int index, bool pic18f4620) {
    static const ConfigBitTables tables = ParseConfigBitDescriptions(ConfigBitDescriptionsText());
    static const std::vector<std::string> none;
    if (index < 0 || index >= kConfigRegisters) return none;
    return tables.lines[index][pic18f4620 ? 1 : 0];
}

} // namespace mrk
