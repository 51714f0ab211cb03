#pragma once
// One section of the settings file as the station's settings reader takes it:
// for each key (its name in any case, as the private-profile functions compare
// names) the value of its first line.
#include <algorithm>
#include <cctype>
#include <map>
#include <string>

namespace mrk {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

using SettingsSection = std::map<std::string, std::string, NoCaseLess>;

} // namespace mrk
