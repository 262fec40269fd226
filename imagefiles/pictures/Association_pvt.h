/// Whether an image file's colour is premultiplied by its alpha, decided as
/// the hosts interpret footage: by the header where it says, by what the
/// image library does with the format, else guessed from the pixels.
#pragma once

#include <string>

namespace quorvel::sim::pictures {

/// Formats whose files say nothing of alpha association, and whose readers
/// take colour as premultiplied; every other format with alpha stores
/// straight colour, but for TIFF, which says which it holds.
bool StoresPremultiplied(const std::string& file_format);

}  // namespace quorvel::sim::pictures
