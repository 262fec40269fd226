/// What an output's header says beyond its pixels: stale attributes taken
/// out, this write's stamp, what the writer cannot keep fitted to it, and
/// the fields some writers fill otherwise than the header says, put right
/// in the written file.
#pragma once

#include <OpenImageIO/imageio.h>

#include <filesystem>
#include <string>
#include <vector>

#include "imagefiles/ImageFormat.h"
#include "imagefiles/pictures/Writers_pvt.h"

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// Attributes that describe the pixels as they were, wrong once the matte
/// is on them, or a texture's levels, which the output no longer has.
void EraseStaleAttributes(OIIO::ImageSpec& header);

/// The file's own account of its making: the software and time of this
/// write, and its line after the input's history, where the format keeps
/// one (FITS as its HISTORY cards, most others as the Exif history).
void StampHeader(OIIO::ImageSpec& h, const std::string& file_format, const ImageStamp& stamp);

/// What of the input's header the writer keeps only when told, or cannot
/// keep: set so that it is kept, or taken out with a note, never lost
/// without a word nor written wrong.
void FitHeaderToWriter(OIIO::ImageSpec& h, const WriterRules& rules, const ImageFormat* like,
                       std::vector<std::string>& notes);

/// The RLA writer dates the file by the clock, whatever the header says:
/// its date field, 20 bytes at offset 528, takes the header's time in the
/// writer's own form ("Dec 31 07:30 2008").
/// Returns the failure's errno, or 0.
int DateRlaFile(const std::filesystem::path& path, const std::string& date_time);

/// Without a description the SGI writer leaves the header's image name,
/// 80 bytes at offset 24, as the memory held it: different bytes on every
/// run, and a name of noise for its reader. They are cleared.
/// Returns the failure's errno, or 0.
int ClearSgiName(const std::filesystem::path& path);

}  // namespace quorvel::imagefiles::pictures
