#include <cstdio>

#include "imagefiles/pictures/OutputFile_pvt.h"
#include "imagefiles/pictures/OutputHeader_pvt.h"
#include "imagefiles/pictures/StoredPixels_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace {

/// Puts `bytes` at `offset` in a written file: for a field its writer
/// fills otherwise than the header says. Returns the failure's errno, or 0.
int PutField(const std::filesystem::path& path, long offset, const std::string& bytes) {
    return PutBytes(path, bytes.data(), bytes.size(), offset);
}

}  // namespace

void EraseStaleAttributes(OIIO::ImageSpec& header) {
    for (const char* name : {"oiio:SHA-1", "oiio:AverageColor", "oiio:ConstantColor", "oiio:subimages", "textureformat",
                             "openexr:levelmode", "openexr:roundingmode", "tiff:subfiletype"}) {
        header.erase_attribute(name);
    }
}

void StampHeader(OIIO::ImageSpec& h, const std::string& file_format, const ImageStamp& stamp) {
    h.attribute("Software", stamp.software);
    h.attribute("DateTime", stamp.date_time);
    const char* key = file_format == "fits" ? "History" : "Exif:ImageHistory";
    const std::string earlier = h.get_string_attribute(key);
    h.attribute(key, earlier.empty() ? stamp.history : earlier + "\n" + stamp.history);
}

void FitHeaderToWriter(OIIO::ImageSpec& h, const WriterRules& rules, const ImageFormat* like,
                       std::vector<std::string>& notes) {
    const std::string format = rules.format;
    if (format != "openexr" && !h.channelformats.empty()) {
        // Channels of several data formats: EXR alone writes them as they
        // are; TIFF refuses them and others write files their readers
        // garble or hang on. All take the widest, which holds every value.
        h.set_format(h.format);
        h.channelformats.clear();
    }
    const std::string of =
        like != nullptr && like->stored ? " of " + static_cast<const StoredImage*>(like->stored.get())->path : "";
    const int orientation = h.get_int_attribute("Orientation", 1);
    // The DPX writer swaps or scrambles every orientation but the first two.
    if (orientation != 1 && !(rules.orientation || (format == "dpx" && orientation == 2))) {
        h.erase_attribute("Orientation");
        notes.push_back(format + " files do not keep the orientation " + std::to_string(orientation) + of +
                        ": the pixels are written as stored, without it");
    }
    if (format != "tiff") return;
    if (h.get_string_attribute("tiff:ColorSpace") == "CMYK") {
        // The library reads the inks as RGB, which is what was rendered;
        // told CMYK, the writer would store red, green, blue and alpha as inks.
        h.erase_attribute("tiff:ColorSpace");
        h.erase_attribute("tiff:PhotometricInterpretation");
        notes.push_back("the CMYK inks" + of + " are written as RGB, the colour the image library reads them as");
    }
    bool half = false, all_bytes = true;
    for (int c = 0; c < h.nchannels; ++c) {
        half = half || h.channelformat(c) == OIIO::TypeDesc::HALF;
        all_bytes = all_bytes && h.channelformat(c) == OIIO::TypeDesc::UINT8;
    }
    // Without it the writer widens half to float.
    if (half) h.attribute("tiff:half", 1);
    const std::string compression = h.get_string_attribute("compression");
    if (compression.rfind("jpeg", 0) == 0 && !(all_bytes && h.nchannels == 3)) {
        // The writer would fall back to zip without a word.
        h.attribute("compression", "zip");
        notes.push_back("tiff files compress with jpeg three 8-bit channels only: the " + std::to_string(h.nchannels) +
                        " channels" + of + " are compressed with zip");
    }
}

int DateRlaFile(const std::filesystem::path& path, const std::string& date_time) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(date_time.c_str(), "%d:%d:%d %d:%d:%d", &year, &month, &day, &hour, &minute, &second) != 6 ||
        month < 1 || month > 12) {
        return 0;
    }
    char field[20] = {};
    std::snprintf(field, sizeof field, "%s %02d %02d:%02d %04d", kMonths[month - 1], day, hour, minute, year);
    return PutField(path, 528, std::string(field, sizeof field));
}

int ClearSgiName(const std::filesystem::path& path) { return PutField(path, 24, std::string(80, '\0')); }

}  // namespace quorvel::imagefiles::pictures
