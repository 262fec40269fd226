/// What each of the image library's writers takes, as measured on it: the
/// channel layouts it writes faithfully (some assert and abort the process
/// on others), the data formats it stores, the compressions it names and
/// what of a header it keeps. Every output is planned against this before
/// anything reaches a writer.
#pragma once

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imagefiles/ImageFormat.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

struct WriterRules {
    const char* format;
    bool grey;            ///< one channel
    bool grey_alpha;      ///< grey and alpha
    bool rgb;             ///< red, green, blue
    bool alpha;           ///< red, green, blue and alpha
    bool extra_channels;  ///< more channels than those
    /// The data formats it stores as asked, for --out-format and the
    /// nearest choice; a format asked of it outside them comes back another.
    std::vector<ChannelType> types;
    bool orientation;  ///< stores every Orientation as given
    /// The smallest side it writes a readable file of: smaller ones it
    /// writes without complaint and its reader refuses.
    int least_side = 1;
};

/// The rules of the writer for `file_format`; null for a writer the tool
/// does not write colour with (depth files, the terminal, nothing at all).
const WriterRules* RulesFor(const std::string& file_format);

/// The writer for the file name's extension. Throws HostError when no
/// writer has it, or it is one the tool does not write colour with.
std::unique_ptr<OIIO::ImageOutput> OutputFor(const std::filesystem::path& path);

/// The writer's rules for an output file name, which OutputFor accepted.
const WriterRules& RulesOf(const OIIO::ImageOutput& out);

/// The data format among those the writer stores nearest to `wanted`:
/// real numbers go to the widest real or integer type held, integers to
/// the nearest size.
ChannelType NearestHeldType(const WriterRules& rules, ChannelType wanted);

/// The compressions each format that has a choice writes, as the image
/// library names them; a level may follow after a colon.
struct Compressions {
    const char* format;
    std::vector<std::string> names;
};
const std::vector<Compressions>& KnownCompressions();

}  // namespace quorvel::imagefiles::pictures
