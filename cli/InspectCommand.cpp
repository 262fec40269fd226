#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "ModuleOption.h"

namespace quorvel::cli {

namespace {

const std::vector<OptionSpec> kSpecs = {
    ModuleOptionSpec(),
    {"help", "", "show this help"},
};

constexpr const char* kUsage =
    "usage: quorvel-host inspect [MODULE] [--module PATH]\n"
    "\n"
    "Reads the module file's descriptor, decodes its properties, then loads the\n"
    "module and looks up the entry point the descriptor names.\n\n";

}  // namespace

int RunInspect(const ToolContext& ctx, const std::vector<std::string>& argv) {
    const Args args(argv, kSpecs);
    if (args.Has("help")) {
        std::cout << kUsage << OptionsHelp(kSpecs);
        return 0;
    }
    if (args.positional().size() > 1) throw UsageError("inspect takes at most one module path");
    const auto positional =
        args.positional().empty() ? std::nullopt : std::optional<std::string>(args.positional().front());
    const std::filesystem::path path = ResolveModulePath(ctx.argv0, args, positional);

    const sim::LoadedModule module(path);
    const sim::Descriptor& d = module.descriptor();
    std::cout << "module:      " << path.string() << " (" << std::filesystem::file_size(path) << " bytes)\n";
    std::cout << "descriptor:  " << module.descriptor_bytes().size() << " bytes, " << d.properties.size()
              << " properties\n";
    for (const sim::DescriptorProperty& p : d.properties) {
        char line[64];
        std::snprintf(line, sizeof line, "  @%-4u '%s' %3zu bytes  ", p.offset, p.KeyText().c_str(), p.data.size());
        std::cout << line << p.ValueText() << "\n";
    }
    std::cout << "entry point: " << d.EntryPointName() << " found\n";
    return 0;
}

}  // namespace quorvel::cli
