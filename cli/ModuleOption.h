/// How every command finds the module and which host it plays: --module
/// PATH, a positional path where the command takes one, or the module built
/// beside the tool; --host ae or premiere.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "simhost/Host.h"

namespace quorvel::cli {

void AddModuleOption(CommandLine& line, std::optional<std::string>& module);

std::filesystem::path ResolveModulePath(const std::string& argv0, const std::optional<std::string>& module,
                                        const std::optional<std::string>& positional = std::nullopt);

/// --host: "ae" (the default) or "premiere".
CLI::Option* AddHostOption(CommandLine& line, sim::HostApp& app, const std::string& help);

/// Turns the host's problem list (suites not handed back, objects leaked)
/// into one warning line each on stderr; true when there were any.
bool ReportHostProblems(const sim::Host& host);

}  // namespace quorvel::cli
