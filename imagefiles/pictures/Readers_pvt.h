/// Opening an image file with the image library, and telling when what it
/// read is not the whole file: the library reports some errors only on the
/// reader, after a read that says it succeeded, and says nothing at all of
/// a fixed-layout file that is cut short.
#pragma once

#include <OpenImageIO/imageio.h>

#include <functional>
#include <memory>
#include <string>

namespace quorvel::imagefiles::pictures {

namespace OIIO = OIIO_NAMESPACE;

/// The file opened by the one reader that its extension names or, when
/// the name names no format, by the reader whose signature its first bytes
/// carry. Throws HostError, naming the file, when that reader refuses it:
/// no other reader is tried, since one that half understands a file
/// another refused may abort the process.
std::unique_ptr<OIIO::ImageInput> OpenReader(const std::string& name, const OIIO::ImageSpec& hints);

/// Runs `read` on the reader; throws HostError, in the library's words and
/// naming `what` of the file, when it failed, threw, or left an error on
/// the reader.
void CheckRead(OIIO::ImageInput& in, const std::function<bool()>& read, const std::string& what);

/// Throws HostError when a file of a format whose reader does not notice a
/// short file is shorter than the pixels its header promises.
void CheckLength(const std::string& name, const std::string& file_format);

}  // namespace quorvel::imagefiles::pictures
