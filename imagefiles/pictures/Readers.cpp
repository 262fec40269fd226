#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "frames/HostError.h"
#include "imagefiles/FixedLayout.h"
#include "imagefiles/pictures/Readers_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

/// The reader the file name's extension names, by the library's own list
/// ("openexr:exr,sxr;tiff:tif,tiff;..."); empty when none does.
std::string ReaderOfExtension(const std::string& name) {
    std::string ext = std::filesystem::path(name).extension().string();
    if (ext.size() < 2) return "";
    ext = ext.substr(1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    const std::string list = OIIO::get_string_attribute("extension_list");
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find(';', at), list.size());
        const std::string entry = list.substr(at, end - at);
        const std::size_t colon = entry.find(':');
        if (colon != std::string::npos) {
            const std::string extensions = "," + entry.substr(colon + 1) + ",";
            if (extensions.find("," + ext + ",") != std::string::npos) return entry.substr(0, colon);
        }
        at = end + 1;
    }
    return "";
}

}  // namespace

std::unique_ptr<OIIO::ImageInput> OpenReader(const std::string& name, const OIIO::ImageSpec& hints) {
    // Made by the format's name, not the file's: made from an existing
    // file, and opened there, the library tries every other reader when
    // the one the name selects refuses it. Only a name that selects none
    // is left to the library, which then looks at the file's signature.
    const std::string reader = ReaderOfExtension(name);
    std::unique_ptr<OIIO::ImageInput> in = OIIO::ImageInput::create(reader.empty() ? name : reader, false);
    if (!in) throw frames::HostError("cannot read " + name + ": " + FirstLine(OIIO::geterror(), "not an image file"));
    OIIO::ImageSpec header;
    bool opened = false;
    try {
        opened = in->open(name, header, hints);
    } catch (const std::exception& e) {
        // Some readers let the standard library's exceptions out of a
        // damaged header (a vector sized by a negative count).
        throw frames::HostError("cannot read " + name + ": " + FirstLine(e.what(), "unreadable image"));
    }
    // What opening left on the reader is an error too: a progressive
    // JPEG's missing scans are found there.
    const std::string error = in->geterror();
    if (!opened || !error.empty()) {
        throw frames::HostError("cannot read " + name + ": " + FirstLine(error, "unreadable image"));
    }
    return in;
}

void CheckRead(OIIO::ImageInput& in, const std::function<bool()>& read, const std::string& what) {
    // Some readers return success and leave the error on the reader (a
    // JPEG's missing rows); geterror() also clears it for the next read.
    bool done = false;
    try {
        done = read();
    } catch (const std::exception& e) {
        throw frames::HostError("cannot read " + what + ": " + FirstLine(e.what(), "unreadable pixels"));
    }
    const std::string error = in.geterror();
    if (done && error.empty()) return;
    throw frames::HostError("cannot read " + what + ": " + FirstLine(error, "unreadable pixels"));
}

void CheckLength(const std::string& name, const std::string& file_format) {
    FixedLayout layout;
    if (file_format == "dpx") {
        layout = FixedLayout::Dpx;
    } else if (file_format == "cineon") {
        layout = FixedLayout::Cineon;
    } else {
        return;
    }
    // A pipe's bytes would be taken from the reader: only files are checked.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return;
    std::array<std::uint8_t, kFixedLayoutHeaderBytes> header{};
    std::ifstream file(std::filesystem::path(name), std::ios::binary);
    file.read(reinterpret_cast<char*>(header.data()), std::streamsize(header.size()));
    const std::size_t got = std::size_t(file.gcount());
    const std::uintmax_t length = std::filesystem::file_size(name, ec);
    const std::optional<std::uint64_t> promised = PromisedLength(layout, std::span(header.data(), got));
    if (ec || !promised || length >= *promised) return;
    throw frames::HostError("cannot read " + name + ": the file is cut short: its header promises " +
                            std::to_string(*promised) + " bytes of header and pixels, and it has " +
                            std::to_string(length));
}

}  // namespace quorvel::imagefiles::pictures
