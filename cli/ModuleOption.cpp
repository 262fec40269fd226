#include "cli/ModuleOption.h"

#include <iostream>

#include "modulefiles/ModuleFile.h"

namespace quorvel::cli {

void AddModuleOption(CommandLine& line, std::optional<std::string>& module) {
    line.Group(OptionGroup::Host);
    line.Value("module", "PATH", "the module file (default: VT_Quorvel.aex beside this tool)",
               [&module](const std::string& v) { module = v; });
}

std::filesystem::path ResolveModulePath(const std::string& argv0, const std::optional<std::string>& module,
                                        const std::optional<std::string>& positional) {
    if (module) {
        if (positional) throw UsageError("give the module either as --module or as an argument, not both");
        return *module;
    }
    if (positional) return *positional;
    return modulefiles::DefaultModulePath(argv0.c_str());
}

CLI::Option* AddHostOption(CommandLine& line, sim::HostApp& app, const std::string& help) {
    line.Group(OptionGroup::Host);
    CLI::Option* host = line.Value("host", "ae|premiere", help, [&app](const std::string& v) {
        app = v == "ae" ? sim::HostApp::AfterEffects : sim::HostApp::Premiere;
    });
    CommandLine::OneOf(host, {"ae", "premiere"},
                       [](const std::string& v) { return "--host must be ae or premiere, not '" + v + "'"; });
    return host;
}

bool ReportHostProblems(const sim::Host& host) {
    for (const std::string& problem : host.problems()) std::cerr << "quorvel-host: host check: " << problem << "\n";
    return !host.problems().empty();
}

}  // namespace quorvel::cli
