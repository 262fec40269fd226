// Fuzz target: the option values that name frames and files, as typed on a
// command line or written in a farm's job file. The input is up to three
// lines: a file-name pattern, a frame list, and a value of the other kinds
// (number, pair, rate, size). Beyond not crashing, a frame list must come
// back ascending without repeats, and a pattern must name every frame.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "shots/FramePattern.h"
#include "shots/FrameRate.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace {

using namespace quorvel::shots;

template <typename F>
void Refusable(F&& f) {
    try {
        f();
    } catch (const ShotError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string line[3];
    std::size_t start = 0;
    for (int i = 0; i < 3 && start <= input.size(); ++i) {
        const std::size_t end = i == 2 ? input.size() : std::min(input.find('\n', start), input.size());
        line[i] = input.substr(start, end - start);
        start = end + 1;
    }
    Refusable([&] {
        const FramePattern pattern("--out", line[0]);
        if (!pattern.numbered()) return;
        for (int frame : {INT_MIN, -5, 0, 1001, INT_MAX}) {
            if (pattern.PathFor(frame).empty()) __builtin_trap();
        }
    });
    Refusable([&] {
        const std::vector<int> frames = ParseFrameList("--frames", line[1]);
        if (frames.size() > 10'000'000) __builtin_trap();
        for (std::size_t i = 1; i < frames.size(); ++i) {
            if (frames[i] <= frames[i - 1]) __builtin_trap();
        }
        (void)FrameRangesText(frames);
        // Any chunk is a run of the list's own frames, at most SIZE of them.
        Refusable([&] {
            const FrameChunk chunk = ParseFrameChunk("--chunk", line[2]);
            const std::vector<int> part = FramesOfChunk(frames, chunk);
            if (part.size() > std::size_t(chunk.size)) __builtin_trap();
            if (!part.empty() &&
                !std::equal(part.begin(), part.end(),
                            frames.begin() + std::ptrdiff_t(std::size_t(chunk.index) * std::size_t(chunk.size)))) {
                __builtin_trap();
            }
        });
    });
    Refusable([&] { (void)ParseNumber("--width", line[2]); });
    Refusable([&] { (void)ParseInt("--first", line[2]); });
    Refusable([&] { (void)ParsePair("--origin", line[2]); });
    Refusable([&] { (void)ParseRational("--scale", line[2]); });
    Refusable([&] { (void)ParseSize("--size", line[2]); });
    Refusable([&] { (void)ParseFrameRate("--fps", line[2]).FramesPerSecond(); });
    return 0;
}
