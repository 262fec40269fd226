#include "AtomicFile.h"

#include <unistd.h>

#include <atomic>
#include <string>
#include <system_error>

#include "HostError.h"

namespace quorvel::sim {

void WriteAtomically(const std::filesystem::path& target,
                     const std::function<void(const std::filesystem::path& temp)>& write) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        throw HostError("cannot write " + target.string() + ": folder " + folder.string() + " does not exist");
    }
    // Keep the extension last: image writers pick the format by it.
    const std::filesystem::path temp =
        folder / (".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                  target.filename().string());
    try {
        write(temp);
    } catch (...) {
        std::filesystem::remove(temp, ec);
        throw;
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw HostError("cannot write " + target.string() + ": " + ec.message());
    }
}

}  // namespace quorvel::sim
