#include "imagefiles/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "frames/HostError.h"

namespace quorvel::imagefiles {

namespace {

/// Temporary files are named ".tmp-PID-N-TARGET": hidden, unique to the
/// process and the write, and ending in the target's extension.
constexpr const char* kTemporaryPrefix = ".tmp-";

/// Reads the digits at `pos`, advancing past them and the dash after them.
std::optional<long> TakeNumberAndDash(const std::string& s, std::size_t& pos) {
    const std::size_t start = pos;
    long value = 0;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9' && pos - start < 18) value = value * 10 + (s[pos++] - '0');
    if (pos == start || pos >= s.size() || s[pos] != '-') return std::nullopt;
    ++pos;
    return value;
}

}  // namespace

std::optional<long> TemporaryFileOwner(const std::string& file_name, const std::string& target_name) {
    const std::string prefix = kTemporaryPrefix;
    if (file_name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    std::size_t pos = prefix.size();
    const std::optional<long> pid = TakeNumberAndDash(file_name, pos);
    if (!pid || !TakeNumberAndDash(file_name, pos)) return std::nullopt;
    if (file_name.compare(pos, std::string::npos, target_name) != 0) return std::nullopt;
    return pid;
}

void WriteAtomically(const std::filesystem::path& target,
                     const std::function<void(const std::filesystem::path& temp)>& write) {
    static std::atomic<unsigned> counter{0};
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        throw frames::HostError("cannot write " + target.string() + ": folder " + folder.string() + " does not exist");
    }
    // Keep the extension last: image writers pick the format by it.
    const std::filesystem::path temp = folder / (std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-" +
                                                 std::to_string(counter++) + "-" + target.filename().string());
    // Made here, so that a folder the user may not write in, or a file
    // system mounted read-only, is told as the system tells it.
    const int fd = ::open(temp.string().c_str(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd < 0) {
        throw frames::HostError("cannot write " + target.string() + ": " + std::generic_category().message(errno));
    }
    ::close(fd);
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
        throw frames::HostError("cannot write " + target.string() + ": " + ec.message());
    }
}

}  // namespace quorvel::imagefiles
