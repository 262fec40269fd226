/// The host tool's commands. Each takes the arguments after its name and
/// returns the process exit status: 0 on success, 1 when the module reports
/// a failure, 2 for bad input.
#pragma once

#include <string>
#include <vector>

namespace quorvel::cli {

struct ToolContext {
    std::string argv0;
};

int RunInspect(const ToolContext& ctx, const std::vector<std::string>& args);
int RunAbout(const ToolContext& ctx, const std::vector<std::string>& args);
int RunParams(const ToolContext& ctx, const std::vector<std::string>& args);
int RunRender(const ToolContext& ctx, const std::vector<std::string>& args);
int RunOverlay(const ToolContext& ctx, const std::vector<std::string>& args);
int RunDrag(const ToolContext& ctx, const std::vector<std::string>& args);
int RunHandles(const ToolContext& ctx, const std::vector<std::string>& args);
int RunKeys(const ToolContext& ctx, const std::vector<std::string>& args);

}  // namespace quorvel::cli
