/// Whether an image file's colour is premultiplied by its alpha, decided as
/// the hosts interpret footage: by the header where it says, straight where
/// the image library associates the format's pixels on a normal read, and
/// else guessed from the pixels; and how each format's writer is handed
/// colour.
#pragma once

#include <OpenImageIO/imageio.h>

#include <optional>
#include <string>

#include "imagefiles/ImageFormat.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// What decided a file's association, in words for a note.
struct Association {
    bool premultiplied = false;
    std::string why;
};

/// What the header of a part with alpha, opened with the hint to hand
/// over stored values, says of its colour; nothing when neither the header
/// nor the library says, and the pixels must tell.
std::optional<Association> AssociationOfHeader(const std::string& file_format, const OIIO::ImageSpec& header);

/// The guess from the pixels for a file that says nothing: colour above
/// alpha, beyond what the format's quantisation allows, in soft pixels
/// (alpha above 0 and below 1) is straight colour, which premultiplied colour never is.
class AssociationGuess {
public:
    /// `colour_type` is the data format of the layer's colour.
    explicit AssociationGuess(ChannelType colour_type);
    /// `n` pixels of stored red, green, blue and alpha.
    void Look(const float* rgba, int n);
    Association Verdict(const std::string& file_format) const;

private:
    double step_;    ///< the colour's quantisation step at 1
    bool relative_;  ///< real numbers: the step scales with the value
    long long seen_ = 0, above_ = 0;
};

/// Whether the rendered colour is written premultiplied by the new alpha:
/// OpenEXR always; a TIFF, or a DPX or Cineon of the input's own format,
/// as the input was; a DPX or Cineon from another format premultiplied, as
/// such files have always been written; every other format straight,
/// which is all their writers label or store.
bool WritesPremultiplied(const std::string& file_format, const ImageFormat* like, bool same_format);

/// Tells the image library how the colour handed to it stands to alpha,
/// so that it stores the values as given and labels them where the format
/// can (a TIFF's ExtraSamples); formats of straight colour would otherwise
/// have the library divide colour by alpha on the way out.
void MarkAssociation(OIIO::ImageSpec& header, bool premultiplied);

}  // namespace quorvel::imagefiles::pictures
