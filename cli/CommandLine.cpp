#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <sstream>
#include <utility>

#include "shots/ValueText.h"

namespace quorvel::cli {

namespace {

/// Whether the option takes a value: a flag takes none.
bool TakesValue(const CLI::Option* option) { return option->get_expected_max() > 0; }

/// The options with a short name beside their long one, the same in every
/// command that has them.
constexpr std::pair<const char*, char> kShortNames[] = {{"out", 'o'}};

/// The option library's names for the option "--`name`": with its short
/// name, if it has one.
std::string Names(const std::string& name) {
    for (const auto& [long_name, short_name] : kShortNames) {
        if (name == long_name) return std::string("-") + short_name + ",--" + name;
    }
    return "--" + name;
}

/// The usage, a line at a time.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// `check`, a validator of the option library, refusing in this tool's
/// words. The refusal is thrown as it stands: the library would put its own
/// words before a message it is handed.
CLI::Validator Refusing(CLI::Validator check, Refusal refusal) {
    return CLI::Validator(
        [check = std::move(check), refusal = std::move(refusal)](std::string& text) {
            std::string seen = text;
            bool refused = false;
            try {
                refused = !check(seen).empty();
            } catch (const CLI::ValidationError&) {
                refused = true;
            }
            if (refused) throw UsageError(refusal(text));
            return std::string();
        },
        "");
}

}  // namespace

CommandLine::CommandLine(const ToolContext& ctx, const std::string& usage)
    : app_(std::make_unique<CLI::App>()), manual_(ctx.manual) {
    help_.name = ctx.command->name;
    help_.usage = Lines(usage);
    help_.summary = ctx.command->summary;
    help_.guide = ctx.command->guide;
    // Help is this tool's own flag, so that it prints this tool's text and
    // the command's exit status stays 0; strays are refused below, by name.
    // Declared first, it is set before any other option's value is checked,
    // so that a bad value does not stand in the way of the help.
    app_->set_help_flag();
    app_->allow_extras();
    Grouped(app_->add_flag("-h,--help", help_asked_, "show this help"));
}

CommandLine::~CommandLine() = default;

CLI::Option* CommandLine::Value(const std::string& name, const std::string& value_name, const std::string& help,
                                std::function<void(const std::string&)> store) {
    CLI::Option* option = Grouped(app_->add_option_function<std::string>(Names(name), std::move(store), help))
                              ->type_name(value_name)
                              ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    // The first check, so that a repeat is refused before anything is made
    // of either value.
    option->check(CLI::Validator(
        [option](std::string&) {
            if (option->count() > 1) throw UsageError("option '" + option->get_name() + "' given more than once");
            return std::string();
        },
        ""));
    return option;
}

CLI::Option* CommandLine::WholeNumber(const std::string& name, const std::string& value_name, const std::string& help,
                                      int min, int max, Refusal refusal, std::function<void(int)> store) {
    CLI::Option* option = Value(name, value_name, help, [name, store = std::move(store)](const std::string& v) {
        store(shots::ParseInt(name, v));
    });
    option->check(CLI::Validator(
        [name](std::string& text) {
            static_cast<void>(shots::ParseInt(name, text));
            return std::string();
        },
        ""));
    // A range of doubles, which reads the digits as the decimal number they
    // are: a range of ints would read a leading 0 as octal.
    option->check(Refusing(CLI::Range(double(min), double(max)), std::move(refusal)));
    return option;
}

CLI::Option* CommandLine::Values(const std::string& name, const std::string& value_name, const std::string& help,
                                 std::vector<std::string>& values) {
    // One value an occurrence: "--key a b" leaves b a stray, not a second key.
    return Grouped(app_->add_option(Names(name), values, help))
        ->type_name(value_name)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* CommandLine::Flag(const std::string& name, const std::string& help, bool& set) {
    CLI::Option* option = Grouped(app_->add_flag(Names(name)))->description(help)->disable_flag_override();
    then_.insert(then_.begin(), [option, name, &set] {
        if (option->count() > 1) throw UsageError("option '--" + name + "' given more than once");
        set = option->count() == 1;
    });
    return option;
}

CLI::Option* CommandLine::Positional(const std::string& value_name, std::vector<std::string>& values, int most) {
    auto store = [&values, value_name, most](const std::vector<std::string>& given) {
        if (given.size() > std::size_t(most)) {
            throw UsageError("at most " + std::to_string(most) + " " + value_name + " may be given");
        }
        values = given;
    };
    // All of them reach the store, which counts them.
    return app_->add_option_function<std::vector<std::string>>(value_name, store)
        ->type_name(value_name)
        ->expected(0, most)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void CommandLine::Needs(CLI::Option* option, CLI::Option* needed) { option->needs(needed); }

void CommandLine::Excludes(CLI::Option* option, CLI::Option* excluded) {
    option->excludes(excluded);
    excludes_.emplace_back(option, excluded);
}

void CommandLine::OneOf(CLI::Option* option, const std::vector<std::string>& names, Refusal refusal) {
    option->check(Refusing(CLI::IsMember(names), std::move(refusal)));
}

void CommandLine::NumberNames(CLI::Option* option, const std::map<std::string, int>& numbers) {
    // Without a description, which would join the value's name in the help.
    option->transform(CLI::Transformer(numbers).description(""));
}

bool CommandLine::Given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

std::string CommandLine::NameOf(const CLI::Option* option) { return option->get_name(); }

std::size_t CommandLine::Declared() const { return app_->get_options().size(); }

std::vector<CLI::Option*> CommandLine::DeclaredSince(std::size_t count) {
    std::vector<CLI::Option*> options = app_->get_options();
    return {options.begin() + std::ptrdiff_t(count), options.end()};
}

UsageError CommandLine::Explained(const CLI::Error& error, const std::string& last_read) const {
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        // Every count the options take is checked by their own declarations,
        // so the library refuses a count only while reading: at the option it
        // read last, a flag given a value or one whose value the line lacks.
        const CLI::Option* option = app_->get_option_no_throw(last_read.substr(0, last_read.find('=')));
        if (option != nullptr && option->nonpositional()) {
            const std::string quoted = "option '" + option->get_name() + "'";
            if (!TakesValue(option)) return UsageError(quoted + " takes no value");
            return UsageError(quoted + " needs a value " + option->get_type_name());
        }
    }
    if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
        // As the library looks: the options in their order, each one's needs.
        for (const CLI::Option* option : app_->get_options()) {
            if (!Given(option)) continue;
            for (const CLI::Option* needed : option->get_needs()) {
                if (!Given(needed)) return UsageError(NameOf(option) + " needs " + NameOf(needed));
            }
        }
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        // Named as declared: the option declared to exclude the other is the
        // one to drop.
        for (const auto& [option, excluded] : excludes_) {
            if (Given(option) && Given(excluded)) {
                return UsageError(NameOf(option) + " cannot be given with " + NameOf(excluded));
            }
        }
    }
    // Nothing this tool declares meets anything else; the library's own
    // words are better than none.
    return UsageError(error.what());
}

bool CommandLine::Parse(const std::vector<std::string>& args, std::ostream& help_out) {
    // The library reads from the back, taking each argument off as it reads
    // it: what is left says where it stopped.
    std::vector<std::string> unread(args.rbegin(), args.rend());
    try {
        app_->parse(unread);
    } catch (const CLI::Error& e) {
        if (!help_asked_) {
            const std::size_t read = args.size() - std::min(unread.size(), args.size());
            throw Explained(e, read > 0 ? args[read - 1] : std::string());
        }
    } catch (...) {
        // A value that did not parse does not stand in the way of the help.
        if (!help_asked_) throw;
    }
    if (help_asked_) {
        if (manual_ != nullptr) {
            manual_->push_back(Describe());
        } else {
            help_out << HelpText(Describe());
        }
        return false;
    }
    bool options_done = false;  // after "--", everything is an argument
    for (const std::string& stray : app_->remaining()) {
        if (stray == "--" && !options_done) {
            options_done = true;
            continue;
        }
        if (options_done) throw UsageError("unexpected argument '" + stray + "'");
        if (stray.size() >= 2 && stray[0] == '-' && stray[1] == '-') {
            throw UsageError("unknown option '" + stray.substr(0, stray.find('=')) + "'");
        }
        if (stray.size() >= 2 && stray[0] == '-') {
            throw UsageError("unknown option '" + stray + "' (options are written --name)");
        }
        throw UsageError("unexpected argument '" + stray + "'");
    }
    for (const auto& step : then_) step();
    return true;
}

CLI::Option* CommandLine::Grouped(CLI::Option* option) const { return option->group(GroupTitle(group_)); }

CommandHelp CommandLine::Describe() const {
    CommandHelp help = help_;
    // Positionals are in the usage; help comes last, as the usual footnote
    // to a list of options.
    const CLI::App& app = *app_;
    std::vector<const CLI::Option*> options =
        app.get_options([](const CLI::Option* option) { return option->nonpositional(); });
    std::stable_partition(options.begin(), options.end(),
                          [](const CLI::Option* option) { return !option->check_lname("help"); });
    for (const OptionGroup group : kOptionGroups) {
        GroupHelp listed{group, {}};
        for (const CLI::Option* option : options) {
            if (option->get_group() != GroupTitle(group)) continue;
            OptionHelp entry;
            for (const std::string& name : option->get_snames()) entry.names.push_back("-" + name);
            for (const std::string& name : option->get_lnames()) entry.names.push_back("--" + name);
            if (TakesValue(option)) entry.value = option->get_type_name();
            entry.help = option->get_description();
            listed.options.push_back(std::move(entry));
        }
        if (!listed.options.empty()) help.groups.push_back(std::move(listed));
    }
    return help;
}

}  // namespace quorvel::cli
