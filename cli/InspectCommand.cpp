#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/Commands.h"
#include "cli/ModuleOption.h"
#include "frames/HostError.h"
#include "imagefiles/AtomicFile.h"
#include "modulefiles/ModuleFile.h"

namespace quorvel::cli {

namespace {

constexpr const char* kUsage = "inspect [MODULE] [options]";

void PrintPeImage(std::ostream& out, const modulefiles::PeImage& image) {
    out << "format:      " << image.Summary() << "\n";
    out << "exports:     " << image.exports().size() << "\n";
    for (const modulefiles::PeExport& e : image.exports()) {
        char line[64];
        std::snprintf(line, sizeof line, "  @%-4u rva 0x%08X  ", e.ordinal, e.rva);
        out << line << e.name << (e.forwarded ? " (forwarded)" : "") << "\n";
    }
    out << "imports:     " << image.imports().size() << "\n";
    for (const std::string& dll : image.imports()) out << "  " << dll << "\n";
    out << "resources:   " << image.resources().size() << "\n";
    for (const modulefiles::PeResource& r : image.resources()) {
        out << "  type " << r.type.Text() << "  id " << r.name.Text() << "  language " << r.language << "  " << r.size
            << " bytes\n";
    }
}

}  // namespace

int RunInspect(const ToolContext& ctx, const std::vector<std::string>& argv) {
    std::optional<std::string> module_path;
    std::optional<std::string> descriptor_out;
    std::vector<std::string> positional;
    CommandLine line(ctx, kUsage);
    AddModuleOption(line, module_path);
    line.Group(OptionGroup::Output);
    line.Value("descriptor-out", "PATH", "also write the descriptor's raw bytes to PATH",
               [&](const std::string& v) { descriptor_out = v; });
    line.Positional("MODULE", positional, 1);
    if (!line.Parse(argv, std::cout)) return 0;
    const std::filesystem::path path = ResolveModulePath(
        ctx.argv0, module_path, positional.empty() ? std::nullopt : std::optional<std::string>(positional.front()));

    // Everything is read and checked before anything is printed: a bad
    // module gives one line on stderr and nothing on stdout.
    const modulefiles::ModuleFormat format = modulefiles::DetectModuleFormat(path);
    const std::vector<std::uint8_t> bytes = modulefiles::ReadDescriptorBytes(path);
    const modulefiles::Descriptor d = modulefiles::DecodeDescriptor(bytes);
    modulefiles::ValidateDescriptor(d);
    std::optional<modulefiles::PeImage> image;
    if (format == modulefiles::ModuleFormat::Pe) image.emplace(modulefiles::ReadPeImage(path));

    std::string entry_line;
    if (modulefiles::CanLoadHere(format)) {
        const modulefiles::LoadedModule module(path);
        entry_line = "entry point: " + module.descriptor().EntryPointName() + " found";
    } else {
        const std::string name = d.EntryPointName();
        const auto& exports = image->exports();
        const bool exported = std::any_of(exports.begin(), exports.end(), [&](const modulefiles::PeExport& e) {
            return e.name == name && !e.forwarded;
        });
        if (!exported) throw frames::HostError(path.string() + " does not export its entry point '" + name + "'");
        entry_line = "entry point: " + name + " exported (not loaded: a module for another system)";
    }

    if (const auto& out_path = descriptor_out) {
        imagefiles::WriteAtomically(*out_path, [&](const std::filesystem::path& temp) {
            std::ofstream out(temp, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            if (!out.flush()) throw frames::HostError("cannot write " + temp.string());
        });
    }

    std::ostringstream out;
    out << "module:      " << path.string() << " (" << std::filesystem::file_size(path) << " bytes)\n";
    if (image) {
        PrintPeImage(out, *image);
    } else {
        out << "format:      ELF\n";
    }
    out << "descriptor:  " << bytes.size() << " bytes, " << d.properties.size() << " properties\n";
    for (const modulefiles::DescriptorProperty& p : d.properties) {
        char line[64];
        std::snprintf(line, sizeof line, "  @%-4u '%s' %3zu bytes  ", p.offset, p.KeyText().c_str(), p.data.size());
        out << line << p.ValueText() << "\n";
    }
    out << entry_line << "\n";
    std::cout << out.str();
    return 0;
}

}  // namespace quorvel::cli
