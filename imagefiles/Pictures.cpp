#include <dlfcn.h>
#include <unistd.h>

#include <array>
#include <string>
#include <system_error>
#include <vector>

#include "frames/HostError.h"
#include "frames/InstalledLayout.h"
#include "imagefiles/PictureLibrary.h"

namespace quorvel::imagefiles {

namespace {

constexpr const char* kFileName = "quorvel-pictures.so";

/// The folder of the running program.
std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

const PictureLibrary& Load() {
    std::vector<std::filesystem::path> candidates;
    if (const std::filesystem::path folder = ProgramFolder(); !folder.empty()) {
        candidates.push_back(folder / kFileName);
        candidates.push_back((folder / frames::kInstalledFilesFolder / kFileName).lexically_normal());
    }
#ifdef QUORVEL_PICTURES_BUILD_PATH
    // Test programs live in a folder of the build tree of their own.
    candidates.emplace_back(QUORVEL_PICTURES_BUILD_PATH);
#endif
    std::string tried;
    for (const std::filesystem::path& path : candidates) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) {
            tried += (tried.empty() ? "" : ", ") + path.string();
            continue;
        }
        // Never closed: what it returns lives as long as the program.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            throw frames::HostError("cannot load " + path.string() + ": " + (why != nullptr ? why : "unknown error"));
        }
        using Entry = const PictureLibrary* (*)(int);
        auto entry = reinterpret_cast<Entry>(::dlsym(handle, "QuorvelPictureLibrary"));
        if (entry == nullptr) throw frames::HostError(path.string() + " is not the tool's picture library");
        const PictureLibrary* library = entry(PictureLibrary::kInterfaceVersion);
        if (library == nullptr) throw frames::HostError(path.string() + " was built for another version of the tool");
        return *library;
    }
    throw frames::HostError(std::string("cannot read or write image files or draw pictures: ") + kFileName +
                            " is missing (looked for " + tried + ")");
}

}  // namespace

const PictureLibrary& Pictures() {
    static const PictureLibrary& library = Load();
    return library;
}

}  // namespace quorvel::imagefiles
