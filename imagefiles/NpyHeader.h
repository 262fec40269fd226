/// The header of a .npy file: a Python dictionary literal such as
/// {'descr': '<u2', 'fortran_order': False, 'shape': (1080, 1920, 4), }.
/// Read by a small loop over the text, never by recursion, within limits no
/// array this tool writes or reads comes near.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::imagefiles {

struct NpyHeader {
    std::string descr;  ///< the dtype, such as "<u2"
    bool fortran_order = false;
    std::vector<std::int64_t> shape;  ///< each at least 0
};

/// The most dimensions a shape may list, and the longest text a header's
/// strings may hold: NumPy arrays have at most 64 dimensions.
inline constexpr std::size_t kMaxNpyDimensions = 64;
inline constexpr std::size_t kMaxNpyString = 256;

/// Reads the dictionary. Keys other than descr, fortran_order and shape
/// are passed over when their values are strings, booleans, numbers or
/// tuples of numbers. Throws HostError naming `file` and quoting at most a
/// short excerpt of what it could not read, for a malformed header, a
/// missing key, a negative or overlong dimension, or a shape longer than
/// kMaxNpyDimensions.
NpyHeader ParseNpyHeader(std::string_view text, const std::string& file);

}  // namespace quorvel::imagefiles
