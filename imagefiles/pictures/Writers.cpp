#include <algorithm>

#include "frames/HostError.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

using T = ChannelType;

/// Measured on each writer with every layout (1, 2, 3, 4, 5 and 7
/// channels) and data format, read back with the library's readers: a layout marked false is refused, written
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
        // Half makes a corrupt file.
        {"rla", true, true, true, true, true, {T::UInt8, T::UInt16, T::Float}, false},
        // More than four channels, or half, make files its reader crashes on.
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

/// Writers the tool does not write with, and why.
struct Refusal {
    const char* format;
    const char* why;
};

const Refusal kRefused[] = {
    {"zfile", "zfile files hold one depth channel, not a colour picture"},
    {"null", "the null writer writes nothing"},
    {"term", "the terminal writer shows a picture, it writes no file"},
    // Its RGB comes back wrong at some sizes (65x65, 7x5), without an error.
    {"iff", "the image library's iff writer garbles some frame sizes without a word"},
};

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
        throw frames::HostError("cannot write " + path.string() + ": no image format for the extension '" +
                                path.extension().string() + "'");
    }
    if (RulesFor(out->format_name()) == nullptr) {
        std::string why = std::string(out->format_name()) + " files are not among those the tool writes";
        for (const Refusal& r : kRefused) {
            if (r.format == std::string(out->format_name())) why = r.why;
        }
        throw frames::HostError("cannot write " + path.string() + ": " + why);
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

}  // namespace quorvel::imagefiles::pictures
