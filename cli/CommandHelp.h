/// What a command's --help and its section of the manual page say, and the
/// two ways of printing it. Both are made from one CommandHelp, which
/// CommandLine makes from the command's option declarations: the help and
/// the manual list the same options in the same words.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel::cli {

/// The groups a command's options are listed in, in this order; a command
/// lists those it has.
enum class OptionGroup { Input, Controls, Shot, Output, View, Host };
inline constexpr OptionGroup kOptionGroups[] = {OptionGroup::Input,  OptionGroup::Controls, OptionGroup::Shot,
                                                OptionGroup::Output, OptionGroup::View,     OptionGroup::Host};

/// The group's heading: "Input", "The effect's controls"...
const char* GroupTitle(OptionGroup group);

/// A command as the tool's table of commands gives it.
struct CommandInfo {
    const char* name;       ///< "render"; "--version" for the version's line
    const char* arguments;  ///< what follows the name in the list of commands
    const char* summary;    ///< one sentence, for the list and the help
    const char* guide;      ///< the command's section of docs/tool.md
};

struct OptionHelp {
    std::vector<std::string> names;  ///< "-o", "--out"
    std::string value;               ///< the value's name; empty for a flag
    std::string help;
};

struct GroupHelp {
    OptionGroup group;
    std::vector<OptionHelp> options;
};

struct CommandHelp {
    std::string name;
    std::vector<std::string> usage;  ///< each line as it follows "quorvel-host "
    std::string summary;
    std::vector<GroupHelp> groups;  ///< in OptionGroup's order, none empty
    std::string note;               ///< what this build leaves out, as printed; often empty
    std::string guide;
};

/// The widest line the help prints.
constexpr std::size_t kHelpWidth = 80;

/// `text`'s words in lines of at most `width` columns (a longer word alone).
std::vector<std::string> Wrap(const std::string& text, std::size_t width);

/// The command's section of the manual page: its name without dashes, in
/// capitals ("RENDER", "VERSION").
std::string ManualSection(const std::string& command);

/// The --help text: usage, the sentence, the option groups, the note, and
/// where the manual says more.
std::string HelpText(const CommandHelp& help);

/// The command's section of the manual page, in roff: its head (the
/// section's heading, the usage and the sentence), which the page's prose
/// follows, then the option groups, the options as tagged paragraphs, and
/// the note.
std::string ManualHead(const CommandHelp& help);
std::string ManualOptions(const CommandHelp& help);

/// The usage lines of all of them, in roff, for the page's synopsis.
std::string ManualSynopsis(const std::vector<CommandHelp>& commands);

/// `text` for roff: backslashes and hyphens escaped, a leading control
/// character made plain.
std::string RoffEscaped(const std::string& text);

}  // namespace quorvel::cli
