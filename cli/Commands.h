/// The host tool's commands. Each takes the arguments after its name and
/// returns the process exit status: 0 on success, 1 when the module reports
/// a failure, 2 for bad input.
#pragma once

#include <string>
#include <vector>

#include "cli/CommandHelp.h"

namespace quorvel::cli {

struct ToolContext {
    std::string argv0;
    /// The command being run, as the table of commands gives it.
    const CommandInfo* command = nullptr;
    /// Set while the manual page is made: --help leaves the command's
    /// description here instead of printing it.
    std::vector<CommandHelp>* manual = nullptr;
};

int RunInspect(const ToolContext& ctx, const std::vector<std::string>& args);
int RunAbout(const ToolContext& ctx, const std::vector<std::string>& args);
int RunParams(const ToolContext& ctx, const std::vector<std::string>& args);
int RunRender(const ToolContext& ctx, const std::vector<std::string>& args);
int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& args);
int RunDrag(const ToolContext& ctx, const std::vector<std::string>& args);
int RunHandles(const ToolContext& ctx, const std::vector<std::string>& args);
int RunKeys(const ToolContext& ctx, const std::vector<std::string>& args);
/// --version: the tool's version, and the module's as its about text gives it.
int RunVersion(const ToolContext& ctx, const std::vector<std::string>& args);

/// A command of the table: what its help says of it, and what runs it.
struct Command {
    CommandInfo info;
    int (*run)(const ToolContext& ctx, const std::vector<std::string>& args);
};

/// The hidden command the build makes the manual page with: every command
/// in `commands` described into the template's places for them.
int RunManualPage(const ToolContext& ctx, const std::vector<std::string>& args,
                  const std::vector<const Command*>& commands);

}  // namespace quorvel::cli
