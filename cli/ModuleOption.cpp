#include "ModuleOption.h"

#include <iostream>

namespace quorvel::cli {

std::filesystem::path ResolveModulePath(const std::string& argv0, const Args& args,
                                        const std::optional<std::string>& positional) {
    if (const auto module = args.Get("module")) {
        if (positional) throw UsageError("give the module either as --module or as an argument, not both");
        return *module;
    }
    if (positional) return *positional;
    return sim::DefaultModulePath(argv0.c_str());
}

bool ReportHostProblems(const sim::Host& host) {
    for (const std::string& problem : host.problems()) std::cerr << "quorvel-host: host check: " << problem << "\n";
    return !host.problems().empty();
}

}  // namespace quorvel::cli
