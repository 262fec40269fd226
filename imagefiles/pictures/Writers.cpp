#include <algorithm>

#include "frames/HostError.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::sim::pictures {

namespace {

using T = ChannelType;

/// Measured on each writer with every layout (1, 2, 3, 4, 5 and 7
/// channels) and data format: a layout marked false is refused, written
/// with channels dropped or added, or, for DPX of 2 or more than 4
/// channels, an assertion that aborts the process.
const std::vector<WriterRules>& AllRules() {
    static const std::vector<WriterRules> rules = {
        // format, grey, grey and alpha, RGB, RGBA, more channels, data formats, orientation, least side
        {"openexr", true, true, true, true, true, {T::Half, T::Float}, true},
        {"tiff", true, true, true, true, true, {T::UInt8, T::UInt16, T::Half, T::Float}, true},
        {"png", true, true, true, true, false, {T::UInt8, T::UInt16}, false},
        {"dpx", true, false, true, true, false, {T::UInt8, T::UInt10, T::UInt12, T::UInt16}, false},
        {"jpeg", true, false, true, false, false, {T::UInt8}, true},
        {"targa", true, false, true, true, false, {T::UInt8}, false},
        {"bmp", true, false, true, true, false, {T::UInt8}, false},
        {"sgi", true, true, true, true, true, {T::UInt8, T::UInt16}, false},
        {"rla", true, true, true, true, true, {T::UInt8, T::UInt16, T::Float}, false},
        {"iff", false, false, true, true, false, {T::UInt8, T::UInt16}, false},
        {"fits", true, true, true, true, false, {T::UInt8, T::Float}, true},
        {"hdr", false, false, true, false, false, {T::Float}, false},
        {"pnm", true, false, true, false, false, {T::UInt8}, false},
        {"jpeg2000", true, false, true, true, false, {T::UInt8, T::UInt16}, false, 32},
        {"webp", false, false, true, true, false, {T::UInt8}, false},
        {"heif", false, false, true, true, false, {T::UInt8}, false},
        {"gif", false, false, false, true, false, {T::UInt8}, false},
        {"ico", false, false, false, true, false, {T::UInt8}, false},
    };
    return rules;
}

}  // namespace

const WriterRules* RulesFor(const std::string& file_format) {
    for (const WriterRules& r : AllRules()) {
        if (file_format == r.format) return &r;
    }
    return nullptr;
}

std::unique_ptr<OIIO::ImageOutput> OutputFor(const std::filesystem::path& path) {
    auto out = OIIO::ImageOutput::create(path.string());
    if (!out) {
        throw HostError("cannot write " + path.string() + ": no image format for the extension '" +
                        path.extension().string() + "'");
    }
    if (RulesFor(out->format_name()) == nullptr) {
        throw HostError("cannot write " + path.string() + ": " + out->format_name() +
                        " files do not hold a colour picture the tool can write");
    }
    return out;
}

const WriterRules& RulesOf(const OIIO::ImageOutput& out) { return *RulesFor(out.format_name()); }

ChannelType NearestHeldType(const WriterRules& rules, ChannelType wanted) {
    std::vector<T> order;
    switch (wanted) {
        case T::UInt8:
            order = {T::UInt8, T::UInt16, T::Half, T::Float};
            break;
        case T::UInt10:
        case T::UInt12:
            order = {wanted, T::UInt16, T::Float, T::Half, T::UInt8};
            break;
        case T::UInt16:
            order = {T::UInt16, T::Float, T::Half, T::UInt8};
            break;
        case T::Half:
            order = {T::Half, T::Float, T::UInt16, T::UInt8};
            break;
        case T::Float:
        case T::Other:
            order = {T::Float, T::Half, T::UInt16, T::UInt8};
            break;
    }
    for (T t : order) {
        if (std::find(rules.types.begin(), rules.types.end(), t) != rules.types.end()) return t;
    }
    return rules.types.front();
}

const std::vector<Compressions>& KnownCompressions() {
    static const std::vector<Compressions> known = {
        {"openexr", {"none", "rle", "zip", "zips", "piz", "pxr24", "b44", "b44a", "dwaa", "dwab"}},
        {"tiff", {"none", "lzw", "zip", "packbits", "ccittrle", "jpeg"}},
        {"png", {"zip"}},
    };
    return known;
}

}  // namespace quorvel::sim::pictures
