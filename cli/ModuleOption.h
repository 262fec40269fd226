/// How every subcommand finds the module: --module PATH, a positional path
/// where the subcommand takes one, or the module built beside the tool.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "Args.h"
#include "Host.h"
#include "ModuleFile.h"

namespace quorvel::cli {

inline OptionDef ModuleOptionDef() {
    return {"module", "PATH", "the module file (default: VT_Quorvel.aex beside this tool)"};
}

std::filesystem::path ResolveModulePath(const std::string& argv0, const Args& args,
                                        const std::optional<std::string>& positional = std::nullopt);

/// --host: "ae" (the default) or "premiere".
sim::HostApp ParseHostApp(const std::optional<std::string>& value);

/// Turns the host's problem list (suites not handed back, objects leaked)
/// into one warning line each on stderr; true when there were any.
bool ReportHostProblems(const sim::Host& host);

}  // namespace quorvel::cli
