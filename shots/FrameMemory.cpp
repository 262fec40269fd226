#include "shots/FrameMemory.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "shots/ShotError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace quorvel::shots {

namespace {

#ifndef _WIN32
std::optional<std::uint64_t> ReadNumberFile(const char* path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text == "max") return std::nullopt;
    try {
        return std::stoull(text);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<std::uint64_t> MemInfoAvailable() {
    std::ifstream in("/proc/meminfo");
    std::string line;
    while (std::getline(in, line)) {
        std::uint64_t kb = 0;
        if (std::sscanf(line.c_str(), "MemAvailable: %" SCNu64 " kB", &kb) == 1) return kb * 1024;
    }
    return std::nullopt;
}

/// What the control group (version 2) this process runs in still allows.
std::optional<std::uint64_t> CgroupRemaining() {
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("0::", 0) != 0) continue;
        const std::string folder = "/sys/fs/cgroup" + line.substr(3);
        const auto limit = ReadNumberFile((folder + "/memory.max").c_str());
        const auto used = ReadNumberFile((folder + "/memory.current").c_str());
        if (!limit) return std::nullopt;
        return *limit > used.value_or(0) ? *limit - used.value_or(0) : 0;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> AddressSpaceLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    return std::uint64_t(limit.rlim_cur);
}
#endif

}  // namespace

std::optional<std::uint64_t> AvailableMemory() {
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) return std::nullopt;
    return std::min<std::uint64_t>(status.ullAvailPhys + status.ullAvailPageFile / 2, status.ullAvailVirtual);
#else
    std::optional<std::uint64_t> least;
    for (const std::optional<std::uint64_t>& v : {MemInfoAvailable(), CgroupRemaining(), AddressSpaceLimit()}) {
        if (v) least = least ? std::min(*least, *v) : *v;
    }
    return least;
#endif
}

std::string BytesText(std::uint64_t bytes) {
    const char* units[] = {"bytes", "kB", "MB", "GB", "TB"};
    double value = double(bytes);
    int unit = 0;
    while (value >= 1000 && unit < 4) value /= 1000, ++unit;
    std::ostringstream out;
    out.precision(unit == 0 ? 0 : value < 10 ? 2 : value < 100 ? 1 : 0);
    out << std::fixed << value << " " << units[unit];
    return out.str();
}

void CheckFramesFit(frames::PixelLayout layout, int width, int height, int row_padding, int frames,
                    const frames::Message& what, std::uint64_t stored_bytes) {
    const std::uint64_t frame =
        (std::uint64_t(width) * frames::BytesPerPixel(layout) + std::uint64_t(row_padding)) * std::uint64_t(height) +
        stored_bytes;
    const std::uint64_t needed = frame * std::uint64_t(frames);
    const std::optional<std::uint64_t> available = AvailableMemory();
    if (!available || needed <= *available) return;
    throw ShotError("a " + std::to_string(width) + "x" + std::to_string(height) + " frame in " +
                    std::string(frames::LayoutName(layout)) + " takes " + BytesText(frame) + "; " + what + " need" +
                    (frames == 1 ? "s " : " ") + BytesText(needed) + ", and this machine can give " +
                    BytesText(*available));
}

}  // namespace quorvel::shots
