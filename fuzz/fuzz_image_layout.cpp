// Fuzz target: which pixels of an image file the tool renders, chosen from
// the file's headers alone (PlanLayer), on headers of any shape: one part or
// more than the tool takes, channels named like layers or not at all, too
// many of them, windows anywhere and of any size, empty or inverted, deep
// parts, volumes and mip levels, with any --layer and --part. A refusal is a
// HostError; a plan must name channels of a flat part and a frame within the
// tool's size that holds both windows, the display window being the file's
// own or, when it has none, the data window.
//
// The input: a choice byte (bit 0 a layer follows, bit 1 a part follows,
// bit 2 the part as the text of a number), then parts until the input ends.
// Each part: a byte (bit 0 deep, bits 1-7 how many more copies of the part),
// name, view, channel count (one byte, or two when the first has its top bit
// set), the channels' names, alpha index, data and display windows (x, y,
// width, height), volume depth, mip levels. Past the input's end every byte
// reads as zero, so a short input still makes whole headers.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "frames/HostError.h"
#include "imagefiles/ImageLayout.h"

namespace {

using namespace quorvel::frames;
using namespace quorvel::imagefiles;

/// Names that headers hold: the unnamed layer, named layers, grey, a channel
/// of no colour, and names that read as part indexes.
constexpr const char* kWords[] = {"",        "R",      "G",      "B",         "A",           "Y",       "Z",
                                  "left.R",  "left.G", "left.B", "left.A",    "right.R",     "right.G", "right.B",
                                  "right.A", "left",   "right",  "disparity", "disparity.X", ".R",      "0",
                                  "1",       "-1",     "R.R"};

/// Parts and channels enough to pass the tool's limits, and no more: all
/// the headers of an input stay within a few megabytes.
constexpr std::size_t kPartCap = std::size_t(kMaxParts) + 1;
constexpr std::size_t kChannelCap = std::size_t(kMaxChannels) + 1;
constexpr std::size_t kChannelBudget = 4 * std::size_t(kMaxChannels);

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool done() const { return pos_ >= size_; }

    std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }

    /// -64..63 in one byte; with its top bit set, any int in the next four.
    int Int() {
        const std::uint8_t b = Byte();
        if ((b & 0x80) == 0) return int(b & 0x3F) - int(b & 0x40);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t(Byte()) << (8 * i);
        return std::bit_cast<std::int32_t>(v);
    }

    /// One of the words; with its top bit set, up to 15 bytes of the input.
    std::string Name() {
        const std::uint8_t b = Byte();
        if ((b & 0x80) == 0) return kWords[b % std::size(kWords)];
        const std::size_t n = std::min<std::size_t>(b & 15, size_ - pos_);
        std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += n;
        return s;
    }

    Window Rect() {
        Window w;
        w.x = Int();
        w.y = Int();
        w.width = Int();
        w.height = Int();
        return w;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

bool Holds(const Window& outer, const Window& inner) {
    return std::int64_t(outer.x) <= inner.x && std::int64_t(outer.y) <= inner.y &&
           std::int64_t(outer.x) + outer.width >= std::int64_t(inner.x) + inner.width &&
           std::int64_t(outer.y) + outer.height >= std::int64_t(inner.y) + inner.height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    LayerChoice choice;
    const std::uint8_t asked = in.Byte();
    if (asked & 1) choice.layer = in.Name();
    if (asked & 2) choice.part = (asked & 4) ? std::to_string(in.Int()) : in.Name();

    std::vector<PartHeader> parts;
    std::size_t channels = 0;
    do {
        const std::uint8_t flags = in.Byte();
        PartHeader part;
        part.deep = (flags & 1) != 0;
        part.name = in.Name();
        part.view = in.Name();
        std::size_t count = in.Byte();
        if (count & 0x80) count = (count & 0x7F) << 8 | in.Byte();
        count = std::min(count, kChannelCap);
        for (std::size_t c = 0; c < count; ++c) part.channels.push_back(in.Name());
        part.alpha_channel = in.Int();
        part.data = in.Rect();
        part.display = in.Rect();
        part.volume_depth = in.Int();
        part.mip_levels = in.Int();
        for (std::size_t copies = 1 + (flags >> 1u); copies > 0; --copies) {
            if (parts.size() == kPartCap || channels + count > kChannelBudget) break;
            channels += count;
            parts.push_back(part);
        }
    } while (!in.done() && parts.size() < kPartCap && channels < kChannelBudget);

    LayerPlan plan;
    try {
        plan = PlanLayer("fuzzed-file", parts, choice);
    } catch (const HostError&) {
        return 0;
    }

    if (plan.part < 0 || std::size_t(plan.part) >= parts.size()) __builtin_trap();
    const PartHeader& part = parts[std::size_t(plan.part)];
    if (part.deep) __builtin_trap();
    const int n = int(part.channels.size());
    const auto channel = [n](int c) { return c >= 0 && c < n; };
    if (!channel(plan.red) || !channel(plan.green) || !channel(plan.blue)) __builtin_trap();
    if (plan.alpha != -1 && !channel(plan.alpha)) __builtin_trap();
    // The layer asked for is the one rendered; an empty name asks for the unnamed R, G, B.
    if (choice.layer) {
        const std::string prefix = choice.layer->empty() ? "" : *choice.layer + ".";
        const auto& names = part.channels;
        if (names[std::size_t(plan.red)] != prefix + "R" || names[std::size_t(plan.green)] != prefix + "G" ||
            names[std::size_t(plan.blue)] != prefix + "B") {
            __builtin_trap();
        }
    }
    if (plan.data != part.data) __builtin_trap();
    if (plan.display != (part.display.empty() ? part.data : part.display)) __builtin_trap();
    if (plan.frame.width <= 0 || plan.frame.height <= 0 || plan.frame.width > kMaxSide ||
        plan.frame.height > kMaxSide) {
        __builtin_trap();
    }
    if (!Holds(plan.frame, plan.data) || !Holds(plan.frame, plan.display)) __builtin_trap();
    return 0;
}
