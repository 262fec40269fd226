#include <iostream>

#include "cli/Commands.h"
#include "cli/ModuleOption.h"
#include "modulefiles/ModuleFile.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage =
    "usage: quorvel-host about [--module PATH] [--host ae|premiere]\n"
    "\n"
    "Sends the about command and prints the text the host would show.\n\n";

}  // namespace

int RunAbout(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    sim::Host::Options options;
    CommandLine line(kUsage);
    AddModuleOption(line, module_path);
    AddHostOption(line, options.app, "which host to play (default ae)");
    if (!line.Parse(argv, std::cout)) return 0;
    const sim::LoadedModule module(ResolveModulePath(ctx.argv0, module_path));
    sim::Host host(module.entry(), options);
    const PF_Err err = host.About();
    if (err != PF_Err_NONE) {
        std::cerr << "quorvel-host: the module answered the about command with error " << err << "\n";
        return 1;
    }
    std::string text = host.out_data().return_msg;
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    std::cout << text << "\n";
    return ReportHostProblems(host) ? 1 : 0;
}

}  // namespace quorvel::cli
