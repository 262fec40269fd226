/// The module as a file on disk: its descriptor, read before anything of it
/// is loaded, and the loaded library with its entry point.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ModuleDescriptor.h"
#include "PF_Host.h"

namespace quorvel::sim {

/// The raw descriptor bytes of a module file (ELF section ".pipl"). Throws
/// HostError when the file is missing, is not a module, or has no descriptor.
std::vector<std::uint8_t> ReadDescriptorBytes(const std::filesystem::path& path);

/// A loaded module. Reads and validates the descriptor first, then loads the
/// library and finds the entry point by the name the descriptor gives.
class LoadedModule {
public:
    explicit LoadedModule(const std::filesystem::path& path);
    ~LoadedModule();

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const Descriptor& descriptor() const { return descriptor_; }
    const std::vector<std::uint8_t>& descriptor_bytes() const { return descriptor_bytes_; }
    PF_EntryPointFunc entry() const { return entry_; }

private:
    std::filesystem::path path_;
    std::vector<std::uint8_t> descriptor_bytes_;
    Descriptor descriptor_;
    void* handle_ = nullptr;
    PF_EntryPointFunc entry_ = nullptr;
};

/// The module built beside the running program, where the build puts it.
std::filesystem::path DefaultModulePath(const char* argv0);

}  // namespace quorvel::sim
