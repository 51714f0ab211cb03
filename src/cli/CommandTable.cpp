#include "cli/CommandTable.h"

namespace mrk::cli {

const CommandInfo* CommandTable::Find(const std::string& name) const {
    for (const auto& c : commands_)
        if (c.name == name) return &c;
    return nullptr;
}

namespace {

// Whether the option word takes the next word as its value in this command.
bool TakesValue(CLI::App& app, const std::string& word) {
    if (word.size() < 2 || word[0] != '-' || word.find('=') != std::string::npos) return false;
    const CLI::Option* o = nullptr;
    try {
        o = app.get_option_no_throw(word);
    } catch (...) {
        o = nullptr;
    }
    return o && o->get_type_size_max() > 0 && o->get_items_expected_max() > 0;
}

} // namespace

std::vector<Segment> SplitCommands(const CommandTable& table, const std::vector<std::string>& args,
                                   std::string& error) {
    std::vector<Segment> out;
    std::unique_ptr<Command> probe;
    std::unique_ptr<CLI::App> probeApp;
    int positionals = 0;
    bool expectValue = false;
    for (const auto& word : args) {
        const CommandInfo* named = table.Find(word);
        const bool needMore = !out.empty() && positionals < out.back().info->requiredPositionals;
        if (named && !expectValue && !needMore) {
            out.push_back({named, {}});
            probe = named->make();
            probeApp = std::make_unique<CLI::App>(named->help, named->name);
            probe->Setup(*probeApp);
            positionals = 0;
            continue;
        }
        if (out.empty()) {
            error = "неизвестная команда: " + word;
            return {};
        }
        out.back().args.push_back(word);
        if (expectValue) {
            expectValue = false;
        } else if (word.size() > 1 && word[0] == '-') { // a bare "-" is a file: standard input or output
            expectValue = TakesValue(*probeApp, word);
        } else {
            ++positionals;
        }
    }
    return out;
}

} // namespace mrk::cli
