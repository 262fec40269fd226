// The manual page, made at build time from the template's prose and from
// the commands themselves: each is asked for its help, which it describes
// from its declarations, so that the page lists the options --help lists,
// in the same words.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <optional>
#include <set>
#include <string_view>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"

namespace quorvel::cli {

namespace {

/// What the page says of itself, in place of the template's own comments.
constexpr std::string_view kMadeBy =
    ".\\\" Made by the build (quorvel-host manual-page) from man/quorvel-host.1.in and\n"
    ".\\\" the commands' declarations: edit those, not this.\n";

/// Template lines that stand for what the commands say of themselves.
constexpr std::string_view kCommandMark = ".\\\" @command ";
constexpr std::string_view kSynopsisMark = ".\\\" @synopsis";
constexpr std::string_view kVersionMark = "@VERSION@";

std::string WithVersion(std::string text) {
    for (auto at = text.find(kVersionMark); at != std::string::npos; at = text.find(kVersionMark, at)) {
        text.replace(at, kVersionMark.size(), QUORVEL_VERSION);
    }
    return text;
}

}  // namespace

int RunManualPage(const ToolContext& ctx, const std::vector<std::string>& argv,
                  const std::vector<const Command*>& commands) {
    std::optional<std::string> template_path;
    std::optional<std::string> out;
    CommandLine line(ctx, "manual-page --template PATH --out PATH");
    line.Group(OptionGroup::Input);
    line.Value("template", "PATH", "the page's prose, with a line '.\\\" @command NAME' where each command goes",
               [&](const std::string& v) { template_path = v; });
    line.Group(OptionGroup::Output);
    line.Value("out", "PATH", "the manual page to write", [&](const std::string& v) { out = v; });
    if (!line.Parse(argv, std::cout)) return 0;
    if (!template_path || !out) throw UsageError("manual-page needs --template PATH and --out PATH");

    std::vector<CommandHelp> described;
    for (const Command* command : commands) {
        command->run(ToolContext{ctx.argv0, &command->info, &described}, {"--help"});
    }

    std::ifstream in(*template_path, std::ios::binary);
    if (!in) throw frames::HostError("cannot read " + *template_path);
    std::string page(kMadeBy);
    std::set<std::string> placed;
    // A command's options close its section, after the prose.
    std::string options;
    int number = 0;
    for (std::string text; std::getline(in, text);) {
        ++number;
        const std::string where = *template_path + ":" + std::to_string(number) + ": ";
        if (text.starts_with(kCommandMark) || text.starts_with(".SH ")) {
            page += options;
            options.clear();
        }
        if (text.starts_with(kCommandMark)) {
            const std::string name = text.substr(kCommandMark.size());
            const auto help =
                std::find_if(described.begin(), described.end(), [&](const CommandHelp& h) { return h.name == name; });
            if (help == described.end()) throw frames::HostError(where + "no command '" + name + "'");
            if (!placed.insert(name).second) throw frames::HostError(where + "'" + name + "' is placed twice");
            page += ManualHead(*help);
            options = ManualOptions(*help);
        } else if (text == kSynopsisMark) {
            page += ManualSynopsis(described);
        } else if (!text.starts_with(".\\\"")) {
            page += WithVersion(text) + "\n";
        }
    }
    if (in.bad()) throw frames::HostError("cannot read " + *template_path);
    page += options;
    // A command the page leaves out would be a command without a manual.
    for (const CommandHelp& help : described) {
        if (placed.count(help.name) == 0) {
            throw frames::HostError(*template_path + " has no place for the command '" + help.name + "'");
        }
    }
    imagefiles::WriteAtomically(*out, [&](const std::filesystem::path& temp) {
        std::ofstream file(temp, std::ios::binary);
        file << page;
        file.close();
        if (!file) throw frames::HostError("cannot write " + *out);
    });
    return 0;
}

}  // namespace quorvel::cli
