#include "Args.h"

#include <algorithm>

namespace quorvel::cli {

Args::Args(const std::vector<std::string>& argv, const std::vector<OptionDef>& defs) {
    auto find = [&](const std::string& name) -> const OptionDef* {
        for (const OptionDef& def : defs) {
            if (def.name == name) return &def;
        }
        return nullptr;
    };
    bool options_done = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (options_done || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
            if (!options_done && arg.size() >= 2 && arg[0] == '-' && arg[1] != '-') {
                throw UsageError("unknown option '" + arg + "' (options are written --name)");
            }
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        std::string name = arg == "-h" ? "help" : arg.substr(2);
        std::optional<std::string> inline_value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inline_value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionDef* def = find(name);
        if (def == nullptr) throw UsageError("unknown option '--" + name + "'");
        std::string value;
        if (def->value_name.empty()) {
            if (inline_value) throw UsageError("option '--" + name + "' takes no value");
        } else if (inline_value) {
            value = *inline_value;
        } else {
            if (i + 1 >= argv.size()) throw UsageError("option '--" + name + "' needs a value " + def->value_name);
            value = argv[++i];
        }
        auto& slot = values_[name];
        if (!slot.empty() && !def->repeatable) throw UsageError("option '--" + name + "' given more than once");
        slot.push_back(value);
    }
}

std::optional<std::string> Args::Get(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end() || it->second.empty()) return std::nullopt;
    return it->second.back();
}

std::vector<std::string> Args::GetAll(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

std::string OptionsHelp(const std::vector<OptionDef>& defs) {
    std::size_t width = 0;
    std::vector<std::string> heads;
    for (const OptionDef& def : defs) {
        heads.push_back("--" + def.name + (def.value_name.empty() ? "" : " " + def.value_name));
        width = std::max(width, heads.back().size());
    }
    std::string out;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        out += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ') + defs[i].help + "\n";
    }
    return out;
}

}  // namespace quorvel::cli
