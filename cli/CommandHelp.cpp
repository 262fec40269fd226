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

/// The usage line's command ("quorvel-host render") in bold, the rest plain.
std::string RoffUsage(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space);
    return "\\fB" + RoffEscaped("quorvel-host " + command) + "\\fR" + RoffEscaped(rest);
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

std::string ManualHead(const CommandHelp& help) {
    std::string out = ".SH " + ManualSection(help.name) + "\n.nf\n";
    for (const std::string& line : help.usage) out += RoffUsage(line) + "\n";
    return out + ".fi\n.PP\n" + RoffEscaped(help.summary) + "\n";
}

std::string ManualOptions(const CommandHelp& help) {
    std::string out;
    for (const GroupHelp& group : help.groups) {
        out += std::string(".SS \"") + GroupTitle(group.group) + "\"\n";
        for (const OptionHelp& option : group.options) {
            std::vector<std::string> names;
            for (const std::string& name : option.names) names.push_back("\\fB" + RoffEscaped(name) + "\\fR");
            out += ".TP\n" + Joined(names, ", ") +
                   (option.value.empty() ? "" : " \\fI" + RoffEscaped(option.value) + "\\fR") + "\n" +
                   RoffEscaped(option.help) + "\n";
        }
    }
    if (!help.note.empty()) out += ".PP\n" + RoffEscaped(help.note) + "\n";
    return out;
}

std::string ManualSynopsis(const std::vector<CommandHelp>& commands) {
    std::string out = ".nf\n";
    for (const CommandHelp& help : commands) {
        for (const std::string& line : help.usage) out += RoffUsage(line) + "\n";
    }
    return out + ".fi\n";
}

std::string RoffEscaped(const std::string& text) {
    std::string out;
    bool line_start = true;
    for (const char c : text) {
        // A line that begins with a dot or an apostrophe would be a request.
        if (line_start && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\') {
            out += "\\e";
        } else if (c == '-') {
            // A hyphen is a minus sign, as options are typed.
            out += "\\-";
        } else {
            out += c;
        }
        line_start = c == '\n';
    }
    // The note ends in a line break, which the paragraph does not need.
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

}  // namespace quorvel::cli
