#include <algorithm>
#include <cmath>

#include "imagefiles/pictures/Association_pvt.h"

namespace quorvel::imagefiles::pictures {

std::optional<Association> AssociationOfHeader(const std::string& file_format, const OIIO::ImageSpec& header) {
    const bool unassociated = header.get_int_attribute("oiio:UnassociatedAlpha", 0) != 0;
    if (file_format == "openexr") return Association{true, "OpenEXR colour is premultiplied"};
    if (file_format == "tiff") {
        // The reader marks ExtraSamples 2 as unassociated; 1 is associated.
        if (unassociated || header.get_int_attribute("tiff:UnassociatedAlpha", 0) != 0) {
            return Association{false, "its ExtraSamples tag says unassociated alpha"};
        }
        return Association{true, "its ExtraSamples tag says associated alpha"};
    }
    if (file_format == "targa") {
        // The TGA 2.0 extension area's attributes type; a file without it
        // is multiplied by the library whatever it holds, which says nothing.
        const int type = header.get_int_attribute("targa:alpha_type", 0);
        if (type == 3) return Association{false, "its alpha type says straight"};
        if (type == 4) return Association{true, "its alpha type says premultiplied"};
        return std::nullopt;
    }
    if (file_format == "png") return Association{false, "PNG colour is straight"};
    // A document's merged image is straight, though the library does not
    // mark it as it marks the layers.
    if (file_format == "psd") return Association{false, "PSD colour is straight"};
    // Icons are straight, and the library marks only those holding a PNG.
    if (file_format == "ico") return Association{false, "icon colour is straight"};
    // The library hands WebP colour over premultiplied, whatever is asked.
    if (file_format == "webp") return Association{true, "the image library reads WebP colour premultiplied"};
    if (unassociated || header.get_int_attribute(file_format + ":UnassociatedAlpha", 0) != 0) {
        return Association{false, "the image library reads it as straight colour"};
    }
    return std::nullopt;
}

AssociationGuess::AssociationGuess(ChannelType colour_type) {
    switch (colour_type) {
        case ChannelType::UInt8:
            step_ = 1.0 / 255.0, relative_ = false;
            break;
        case ChannelType::UInt10:
            step_ = 1.0 / 1023.0, relative_ = false;
            break;
        case ChannelType::UInt12:
            step_ = 1.0 / 4095.0, relative_ = false;
            break;
        case ChannelType::UInt16:
            step_ = 1.0 / 65535.0, relative_ = false;
            break;
        case ChannelType::Half:
            step_ = 1.0 / 1024.0, relative_ = true;
            break;
        case ChannelType::Float:
        case ChannelType::Other:
            step_ = 1.0 / (1 << 20), relative_ = true;
            break;
    }
}

void AssociationGuess::Look(const float* rgba, int n) {
    for (int i = 0; i < n; ++i) {
        const float* p = rgba + 4 * i;
        const double a = p[3];
        if (!(a < 1.0) || !(a > 0.0)) continue;  // soft pixels only: colour under alpha 0 may be anything
        ++seen_;
        const double colour = std::max({double(p[0]), double(p[1]), double(p[2])});
        // A writer that rounds colour and alpha each to its own nearest
        // step may put colour one step above alpha.
        const double allowed = a + (relative_ ? step_ * std::max(1.0, colour) : step_);
        if (colour > allowed) ++above_;
    }
}

Association AssociationGuess::Verdict(const std::string& file_format) const {
    const std::string intro = file_format + " files do not say whether colour is premultiplied: ";
    if (above_ > 0) {
        return Association{false, intro + "colour exceeds alpha in " + std::to_string(above_) + " of its " +
                                      std::to_string(seen_) + " soft pixels, so it is read as straight"};
    }
    if (seen_ == 0) {
        return Association{true, intro + "no pixel is soft, so it is read as premultiplied"};
    }
    return Association{true, intro + "colour never exceeds alpha in its " + std::to_string(seen_) +
                                 " soft pixels, so it is read as premultiplied"};
}

bool WritesPremultiplied(const std::string& file_format, const ImageFormat* like, bool same_format) {
    if (file_format == "openexr") return true;
    if (file_format == "tiff") return like != nullptr && like->premultiplied;
    if (file_format == "dpx" || file_format == "cineon") {
        return same_format && like != nullptr ? like->premultiplied : true;
    }
    return false;
}

void MarkAssociation(OIIO::ImageSpec& header, bool premultiplied) {
    if (premultiplied) {
        header.erase_attribute("oiio:UnassociatedAlpha");
    } else {
        header.attribute("oiio:UnassociatedAlpha", 1);
    }
}

}  // namespace quorvel::imagefiles::pictures
