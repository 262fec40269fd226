/// One command's options, each declared once: its name, its value's name,
/// its help, and where its value goes, parsed there by the function that
/// knows its type. What a value may be (a range, a set of names) and the
/// relations between options (needs, excludes) are stated on the
/// declaration, with the words a refusal is told in; the help text and the
/// command's section of the manual page are made from the declarations, each
/// option listed in the group current when it was declared. Every problem
/// with the command line is reported as a UsageError: one line, exit status 2.
#pragma once

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/CommandHelp.h"
#include "cli/Commands.h"

// The option library stays inside CommandLine.cpp: its header is large, and
// the commands only hand its options around.
namespace CLI {
class App;
class Error;
class Option;
}  // namespace CLI

namespace quorvel::cli {

/// Bad command-line input: reported as one line, exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// What a refused value is told, made from the value as given.
using Refusal = std::function<std::string(const std::string& value)>;

class CommandLine {
public:
    /// The command `ctx` runs; `usage` holds its usage lines, each as it
    /// follows "quorvel-host " (from the command's name on).
    CommandLine(const ToolContext& ctx, const std::string& usage);
    ~CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    /// An option taken at most once, whose text `store` turns into its
    /// setting (throwing, with the option's name, when it cannot).
    CLI::Option* Value(const std::string& name, const std::string& value_name, const std::string& help,
                       std::function<void(const std::string&)> store);
    /// An option taking a whole number from `min` to `max`: other text is
    /// refused as shots::ParseInt refuses it, a number outside the range
    /// with `refusal`.
    CLI::Option* WholeNumber(const std::string& name, const std::string& value_name, const std::string& help, int min,
                             int max, Refusal refusal, std::function<void(int)> store);
    /// An option that may be repeated; every value in order.
    CLI::Option* Values(const std::string& name, const std::string& value_name, const std::string& help,
                        std::vector<std::string>& values);
    /// An option without a value.
    CLI::Option* Flag(const std::string& name, const std::string& help, bool& set);
    /// Up to `most` arguments that are not options; without a declaration,
    /// any is refused.
    CLI::Option* Positional(const std::string& value_name, std::vector<std::string>& values, int most);

    /// The group the options declared from here on are listed in (at first
    /// Host, where --help is).
    void Group(OptionGroup group) { group_ = group; }

    /// How many options are declared, and those declared since such a
    /// count: to treat a group declared elsewhere as one.
    std::size_t Declared() const;
    std::vector<CLI::Option*> DeclaredSince(std::size_t count);

    /// Runs once the whole line is read and every option stored: for checks
    /// and settings that need several options.
    void Then(std::function<void()> step) { then_.push_back(std::move(step)); }

    /// Reads the arguments after the command's name. Returns false, having
    /// printed the help to `help_out` (or, while the manual page is made,
    /// left the description with it), when --help was given.
    bool Parse(const std::vector<std::string>& args, std::ostream& help_out);

    /// Relations, stated with the declarations: `option` only beside
    /// `needed`; `option` never beside `excluded` (and refused by name when
    /// both are given).
    static void Needs(CLI::Option* option, CLI::Option* needed);
    void Excludes(CLI::Option* option, CLI::Option* excluded);

    /// The values `option` takes, any other refused with `refusal`.
    static void OneOf(CLI::Option* option, const std::vector<std::string>& names, Refusal refusal);
    /// Names that stand for numbers, such as a popup's choices: a name
    /// reaches the option's store as its number, any other text as given.
    static void NumberNames(CLI::Option* option, const std::map<std::string, int>& numbers);

    /// Whether the option was given, and its name as written ("--size").
    static bool Given(const CLI::Option* option);
    static std::string NameOf(const CLI::Option* option);

    /// Text printed after the option groups, as it stands: what this build
    /// leaves out.
    void Note(const std::string& text) { help_.note += text; }
    /// The usage, the command's sentence and the options, as declared.
    CommandHelp Describe() const;

private:
    /// The option library's refusal of the line, in this tool's words.
    /// `last_read` is the argument it was reading when it stopped.
    UsageError Explained(const CLI::Error& error, const std::string& last_read) const;

    /// `option` listed in the current group.
    CLI::Option* Grouped(CLI::Option* option) const;

    std::unique_ptr<CLI::App> app_;
    /// What the help says besides the options.
    CommandHelp help_;
    OptionGroup group_ = OptionGroup::Host;
    std::vector<CommandHelp>* manual_ = nullptr;
    bool help_asked_ = false;
    std::vector<std::function<void()>> then_;
    /// Each exclusion as declared: the first never beside the second.
    std::vector<std::pair<const CLI::Option*, const CLI::Option*>> excludes_;
};

}  // namespace quorvel::cli
