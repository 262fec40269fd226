#include "cli/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <ostream>
#include <utility>

namespace quorvel::cli {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

/// The option a message of the option library is about: its messages start
/// with the option's name ("--width: 1 required W missing"), or with the
/// name without dashes for a flag given a value.
const CLI::Option* OptionOfMessage(const CLI::App& app, const std::string& message) {
    for (const CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name();
        if (name.empty()) continue;
        if (StartsWith(message, name + ":") || StartsWith(message, name + " ") ||
            StartsWith(message, name.substr(name.find_first_not_of('-')) + " ")) {
            return option;
        }
    }
    return nullptr;
}

/// The option library's messages in this tool's words.
UsageError Reworded(const CLI::App& app, const CLI::Error& error) {
    const std::string message = error.what();
    const CLI::Option* option = OptionOfMessage(app, message);
    if (option != nullptr && dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
        if (option->get_lnames().empty()) {
            return UsageError("at most " + std::to_string(option->get_expected_max()) + " " + option->get_type_name() +
                              " may be given");
        }
        const std::string quoted = "option '" + option->get_name() + "'";
        if (message.find("disallowed flag override") != std::string::npos)
            return UsageError(quoted + " takes no value");
        if (message.find("At Most") != std::string::npos) return UsageError(quoted + " given more than once");
        if (message.find("missing") != std::string::npos) {
            return UsageError(quoted + " needs a value " + option->get_type_name());
        }
    }
    if (dynamic_cast<const CLI::RequiresError*>(&error) != nullptr) {
        std::string text = message;
        text.replace(text.find(" requires "), 10, " needs ");
        return UsageError(text);
    }
    if (dynamic_cast<const CLI::ExcludesError*>(&error) != nullptr) {
        // "--in excludes --size": the library reports from the option
        // declared first; the one declared to exclude it is the one to drop.
        const auto at = message.find(" excludes ");
        return UsageError(message.substr(at + 10) + " cannot be given with " + message.substr(0, at));
    }
    return UsageError(message);
}

}  // namespace

CommandLine::CommandLine(std::string usage) : app_(std::make_unique<CLI::App>()), usage_(std::move(usage)) {
    // Help is this tool's own flag, so that it prints this tool's text and
    // the command's exit status stays 0; strays are refused below, by name.
    app_->set_help_flag();
    app_->allow_extras();
    app_->add_flag("-h,--help", help_, "show this help");
}

CommandLine::~CommandLine() = default;

CLI::Option* CommandLine::Value(const std::string& name, const std::string& value_name, const std::string& help,
                                std::function<void(const std::string&)> store) {
    return app_->add_option_function<std::string>("--" + name, std::move(store), help)->type_name(value_name);
}

CLI::Option* CommandLine::Values(const std::string& name, const std::string& value_name, const std::string& help,
                                 std::vector<std::string>& values) {
    // One value an occurrence: "--key a b" leaves b a stray, not a second key.
    return app_->add_option("--" + name, values, help)
        ->type_name(value_name)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* CommandLine::Flag(const std::string& name, const std::string& help, bool& set) {
    CLI::Option* option = app_->add_flag("--" + name)->description(help)->disable_flag_override();
    then_.insert(then_.begin(), [option, name, &set] {
        if (option->count() > 1) throw UsageError("option '--" + name + "' given more than once");
        set = option->count() == 1;
    });
    return option;
}

CLI::Option* CommandLine::Positional(const std::string& value_name, std::vector<std::string>& values, int most) {
    return app_->add_option(value_name, values)->type_name(value_name)->expected(0, most);
}

void CommandLine::Needs(CLI::Option* option, CLI::Option* needed) { option->needs(needed); }

void CommandLine::Excludes(CLI::Option* option, CLI::Option* excluded) { option->excludes(excluded); }

bool CommandLine::Given(const CLI::Option* option) { return option != nullptr && option->count() > 0; }

std::string CommandLine::NameOf(const CLI::Option* option) { return option->get_name(); }

std::size_t CommandLine::Declared() const { return app_->get_options().size(); }

std::vector<CLI::Option*> CommandLine::DeclaredSince(std::size_t count) {
    std::vector<CLI::Option*> options = app_->get_options();
    return {options.begin() + std::ptrdiff_t(count), options.end()};
}

bool CommandLine::Parse(const std::vector<std::string>& args, std::ostream& help_out) {
    try {
        app_->parse(std::vector<std::string>(args.rbegin(), args.rend()));
    } catch (const CLI::Error& e) {
        if (!help_) throw Reworded(*app_, e);
    } catch (...) {
        // A value that did not parse does not stand in the way of the help.
        if (!help_) throw;
    }
    if (help_) {
        help_out << Help();
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

std::string CommandLine::Help() const {
    std::vector<std::string> heads;
    std::vector<std::string> helps;
    // Help last, as the usual footnote to a list of options.
    std::vector<const CLI::Option*> options = std::as_const(*app_).get_options();
    std::rotate(options.begin(), options.begin() + 1, options.end());
    for (const CLI::Option* option : options) {
        if (option->get_lnames().empty()) continue;  // positionals are in the usage line
        const std::string name = "--" + option->get_lnames().front();
        heads.push_back(option->get_type_size() == 0 ? name : name + " " + option->get_type_name());
        helps.push_back(option->get_description());
    }
    std::size_t width = 0;
    for (const std::string& head : heads) width = std::max(width, head.size());
    std::string out = usage_ + extra_help_;
    for (std::size_t i = 0; i < heads.size(); ++i) {
        out += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ') + helps[i] + "\n";
    }
    return out;
}

}  // namespace quorvel::cli
