#include <iostream>

#include "cli/Commands.h"
#include "cli/ModuleOption.h"
#include "frames/HostError.h"
#include "modulefiles/ModuleFile.h"

namespace quorvel::cli {

namespace {

/// The text the host shows for the about command, its carriage returns as
/// line breaks; empty, with the error on stderr, when the module fails it.
std::string AboutText(sim::Host& host) {
    if (const PF_Err err = host.About(); err != PF_Err_NONE) {
        std::cerr << "quorvel-host: the module answered the about command with error " << err << "\n";
        return "";
    }
    std::string text = host.out_data().return_msg;
    for (char& c : text) {
        if (c == '\r') c = '\n';
    }
    return text;
}

}  // namespace

int RunAbout(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    sim::Host::Options options;
    CommandLine line(ctx, "about [options]");
    AddModuleOption(line, module_path);
    AddHostOption(line, options.app, "which host to play (default ae)");
    if (!line.Parse(argv, std::cout)) return 0;
    const modulefiles::LoadedModule module(ResolveModulePath(ctx.argv0, module_path));
    sim::Host host(module.entry(), options);
    const std::string text = AboutText(host);
    if (text.empty()) return 1;
    std::cout << text << "\n";
    return ReportHostProblems(host) ? 1 : 0;
}

int RunVersion(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    CommandLine line(ctx, "--version [--module PATH]");
    AddModuleOption(line, module_path);
    if (!line.Parse(argv, std::cout)) return 0;
    std::cout << "quorvel-host " QUORVEL_VERSION "\n";
    // The tool's version stands whatever becomes of the module's: the
    // question is often asked of an installation that lacks it.
    const std::filesystem::path path = ResolveModulePath(ctx.argv0, module_path);
    std::string module_line;
    try {
        const modulefiles::LoadedModule module(path);
        sim::Host host(module.entry(), sim::Host::Options{});
        // The about text's first line is the module's name and version.
        const std::string text = AboutText(host);
        module_line = text.empty() ? "its about command failed, " + path.string()
                                   : text.substr(0, text.find('\n')) + ", " + path.string();
        ReportHostProblems(host);
    } catch (const frames::HostError& e) {
        module_line = std::string("not loaded: ") + e.what();
    }
    std::cout << "module: " << module_line << "\n";
    return 0;
}

}  // namespace quorvel::cli
