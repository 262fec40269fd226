#include "cli/CommandHelp.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace quorvel::cli {

namespace {

/// Names no wider than this share their line with the help; wider ones
/// (--falloff with its six curves) have it on the lines below, so that the
/// help keeps some 50 columns however long a value's name is.
constexpr std::size_t kNamesWidth = 24;
constexpr std::size_t kIndent = 2;
constexpr std::size_t kGap = 2;

std::string Joined(const std::vector<std::string>& parts, const std::string& between) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : between) + part;
    return out;
}

std::string NamesText(const OptionHelp& option) {
    return Joined(option.names, ", ") + (option.value.empty() ? "" : " " + option.value);
}

}  // namespace

const char* GroupTitle(OptionGroup group) {
    switch (group) {
        case OptionGroup::Input:
            return "Input";
        case OptionGroup::Controls:
            return "The effect's controls";
        case OptionGroup::Shot:
            return "Shot";
        case OptionGroup::Output:
            return "Output";
        case OptionGroup::View:
            return "View";
        case OptionGroup::Host:
            return "Host";
    }
    return "";
}

std::vector<std::string> Wrap(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (!lines.empty() && lines.back().size() + 1 + word.size() <= width) {
            lines.back() += " " + word;
        } else {
            lines.push_back(word);
        }
    }
    return lines;
}

std::string ManualSection(const std::string& command) {
    std::string section = command.substr(command.find_first_not_of('-'));
    for (char& c : section) c = char(std::toupper(static_cast<unsigned char>(c)));
    return section;
}

std::string HelpText(const CommandHelp& help) {
    std::string out;
    for (std::size_t i = 0; i < help.usage.size(); ++i) {
        out += std::string(i == 0 ? "usage: " : "       ") + "quorvel-host " + help.usage[i] + "\n";
    }
    out += "\n";
    for (const std::string& line : Wrap(help.summary, kHelpWidth)) out += line + "\n";

    std::size_t widest = 0;
    for (const GroupHelp& group : help.groups) {
        for (const OptionHelp& option : group.options) {
            const std::size_t width = NamesText(option).size();
            if (width <= kNamesWidth) widest = std::max(widest, width);
        }
    }
    const std::size_t column = kIndent + widest + kGap;
    const std::string margin(column, ' ');
    for (const GroupHelp& group : help.groups) {
        out += std::string("\n") + GroupTitle(group.group) + ":\n";
        for (const OptionHelp& option : group.options) {
            const std::string names = std::string(kIndent, ' ') + NamesText(option);
            std::vector<std::string> lines = Wrap(option.help, kHelpWidth - column);
            if (names.size() + kGap > column || lines.empty()) {
                out += names + "\n";
            } else {
                out += names + std::string(column - names.size(), ' ') + lines.front() + "\n";
                lines.erase(lines.begin());
            }
            for (const std::string& line : lines) out += margin + line + "\n";
        }
    }
    if (!help.note.empty()) out += "\n" + help.note + (help.note.back() == '\n' ? "" : "\n");
    return out + "\nMore: quorvel-host(1), " + ManualSection(help.name) + "; docs/tool.md, " + help.guide + "\n";
}

}  // namespace quorvel::cli
