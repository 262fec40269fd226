#include <iostream>

#include "Commands.h"
#include "ModuleOption.h"

namespace quorvel::cli {

namespace {

const std::vector<OptionDef> kOptions = {
    ModuleOptionDef(),
    {"host", "ae|premiere", "which host to play (default ae)"},
    {"help", "", "show this help"},
};

constexpr const char* kUsage =
    "usage: quorvel-host about [--module PATH] [--host ae|premiere]\n"
    "\n"
    "Sends the about command and prints the text the host would show.\n\n";

}  // namespace

sim::HostApp ParseHostApp(const std::optional<std::string>& value) {
    if (!value || *value == "ae") return sim::HostApp::AfterEffects;
    if (*value == "premiere") return sim::HostApp::Premiere;
    throw UsageError("--host must be ae or premiere, not '" + *value + "'");
}

int RunAbout(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const Args args(argv, kOptions);
    if (args.Has("help")) {
        std::cout << kUsage << OptionsHelp(kOptions);
        return 0;
    }
    if (!args.positional().empty()) throw UsageError("about takes no arguments");
    const sim::LoadedModule module(ResolveModulePath(ctx.argv0, args));
    sim::Host::Options options;
    options.app = ParseHostApp(args.Get("host"));
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
