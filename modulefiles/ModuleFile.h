/// The module as a file on disk: its descriptor, read before anything of it
/// is loaded, and the loaded library with its entry point.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "frames/InstalledLayout.h"
#include "host/PF_Host.h"
#include "modulefiles/ModuleDescriptor.h"
#include "modulefiles/PeImage.h"

namespace quorvel::modulefiles {

/// The two kinds of module file: a Linux shared object, which carries its
/// descriptor in the section ".pipl", and a Windows DLL, which carries it as
/// the resource "PIPL" 16000 (language 1033 preferred).
enum class ModuleFormat { Elf, Pe };

/// Where a Windows module keeps its descriptor: a resource whose type is the
/// name "PIPL", whose id is 16000, in US English.
inline constexpr std::string_view kDescriptorResourceType = "PIPL";
inline constexpr std::uint16_t kDescriptorResourceId = 16000;
inline constexpr std::uint16_t kDescriptorResourceLanguage = 1033;

/// The format of a module file, by its first bytes. Throws HostError when the
/// file is missing, is not a regular file, or is neither format.
ModuleFormat DetectModuleFormat(const std::filesystem::path& path);

/// Whether this system can load modules of `format` (read them it always can,
/// except ELF files on Windows).
bool CanLoadHere(ModuleFormat format);

/// A Windows module file read into memory and parsed. Throws HostError.
PeImage ReadPeImage(const std::filesystem::path& path);

/// The descriptor resource of a Windows module read as `image`; `name`
/// names the file in messages. Throws HostError when it has none.
std::vector<std::uint8_t> DescriptorResourceOf(const PeImage& image, const std::string& name);

#if !defined(_WIN32)
/// The descriptor section of a Linux module file held in `image`; `name`
/// names the file in messages. Throws HostError when the image is not ELF,
/// is damaged where the reader looks, or has no descriptor.
std::vector<std::uint8_t> DescriptorSectionOf(std::vector<std::uint8_t> image, const std::string& name);
#endif

/// The raw descriptor bytes of a module file. On Windows they are looked up
/// with the system's resource loader, and must agree with the file as read.
/// Throws HostError when the file is missing, is not a module, or has no
/// descriptor.
std::vector<std::uint8_t> ReadDescriptorBytes(const std::filesystem::path& path);

/// A loaded module. Reads and validates the descriptor first, then loads the
/// library and finds the entry point by the name the descriptor gives. Throws
/// HostError for a module this system cannot load (a Windows module on Linux).
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path);
    ~LoadedModule();

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const Descriptor& descriptor() const { return descriptor_; }
    const std::vector<std::uint8_t>& descriptor_bytes() const { return descriptor_bytes_; }
    PF_FilterProc entry() const { return entry_; }

private:
    std::filesystem::path path_;
    std::vector<std::uint8_t> descriptor_bytes_;
    Descriptor descriptor_;
    void* handle_ = nullptr;
    PF_FilterProc entry_ = nullptr;
};

/// The module beside the running program, where the build puts it, else in
/// the installed tree's folder for it; the first when neither exists.
std::filesystem::path DefaultModulePath(const char* argv0);

}  // namespace quorvel::modulefiles
