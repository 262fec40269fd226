#include "imagefiles/Npy.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "frames/HostError.h"
#include "imagefiles/NpyHeader.h"

namespace quorvel::imagefiles {

namespace {

const char kMagic[] = "\x93NUMPY";

const char* Descr(frames::PixelLayout layout) {
    switch (layout) {
        case frames::PixelLayout::ARGB8:
        case frames::PixelLayout::BGRA8:
            return "|u1";
        case frames::PixelLayout::ARGB16:
            return "<u2";
        case frames::PixelLayout::BGRA32f:
            return "<f4";
    }
    return "|u1";
}

}  // namespace

frames::World ReadNpy(const std::filesystem::path& path, bool premiere, const FrameCheck& before_allocating) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw frames::HostError("cannot open " + path.string());
    return ReadNpy(in, path.string(), premiere, before_allocating);
}

frames::World ReadNpy(std::istream& in, const std::string& name, bool premiere, const FrameCheck& before_allocating) {
    char magic[8];
    if (!in.read(magic, 8) || std::memcmp(magic, kMagic, 6) != 0) throw frames::HostError(name + " is not a .npy file");
    const int major = static_cast<unsigned char>(magic[6]);
    std::uint32_t header_length = 0;
    if (major == 1) {
        unsigned char b[2];
        if (!in.read(reinterpret_cast<char*>(b), 2)) throw frames::HostError(name + ": truncated .npy header");
        header_length = b[0] | b[1] << 8;
    } else if (major == 2 || major == 3) {
        unsigned char b[4];
        if (!in.read(reinterpret_cast<char*>(b), 4)) throw frames::HostError(name + ": truncated .npy header");
        header_length = std::uint32_t(b[0] | b[1] << 8 | b[2] << 16) | std::uint32_t(b[3]) << 24;
    } else {
        throw frames::HostError(name + ": unsupported .npy version " + std::to_string(major));
    }
    if (header_length > kMaxNpyHeader) throw frames::HostError(name + ": .npy header too long");
    std::string text(header_length, '\0');
    if (!in.read(text.data(), header_length)) throw frames::HostError(name + ": truncated .npy header");

    const NpyHeader header = ParseNpyHeader(text, name);
    const std::string& descr = header.descr;
    if (header.fortran_order) {
        throw frames::HostError(name + ": Fortran-ordered arrays are not supported; save in C order");
    }
    const std::vector<std::int64_t>& shape = header.shape;
    std::string dims;
    for (std::int64_t dim : shape) dims += (dims.empty() ? "" : ", ") + std::to_string(dim);
    if (shape.size() != 3 || shape[2] != 4) {
        throw frames::HostError(name + ": expected an array of shape (height, width, 4), got (" + dims + ")");
    }
    if (shape[0] > kMaxNpySide || shape[1] > kMaxNpySide) throw frames::HostError(name + ": frame too large");
    for (std::int64_t dim : shape) {
        if (dim <= 0) throw frames::HostError(name + ": empty array (" + dims + ")");
    }

    frames::PixelLayout layout;
    if (descr == "|u1" || descr == "<u1" || descr == "u1") {
        layout = premiere ? frames::PixelLayout::BGRA8 : frames::PixelLayout::ARGB8;
    } else if (descr == "<u2") {
        layout = frames::PixelLayout::ARGB16;
    } else if (descr == "<f4") {
        layout = frames::PixelLayout::BGRA32f;
    } else {
        throw frames::HostError(name + ": unsupported dtype '" + descr + "' (use uint8, uint16 or float32)");
    }
    if (before_allocating) before_allocating(layout, int(shape[1]), int(shape[0]));
    frames::World world(layout, int(shape[1]), int(shape[0]));
    const std::size_t row = std::size_t(world.width()) * frames::BytesPerPixel(layout);
    for (int y = 0; y < world.height(); ++y) {
        if (!in.read(reinterpret_cast<char*>(world.Row(y)), std::streamsize(row))) {
            throw frames::HostError(name + ": truncated pixel data");
        }
    }
    if (in.peek() != std::ifstream::traits_type::eof()) {
        throw frames::HostError(name + ": more data than its shape (" + dims + ") holds");
    }
    if (layout == frames::PixelLayout::ARGB16) {
        for (int y = 0; y < world.height(); ++y) {
            const auto* p = reinterpret_cast<const std::uint16_t*>(world.Row(y));
            for (std::size_t i = 0; i < std::size_t(world.width()) * 4; ++i) {
                if (p[i] > PF_MAX_CHAN16) {
                    throw frames::HostError(name + ": 16-bit value " + std::to_string(p[i]) +
                                            " above the host's maximum of 32768");
                }
            }
        }
    }
    return world;
}

void WriteNpy(const std::filesystem::path& path, const frames::World& world) {
    std::string header = std::string("{'descr': '") + Descr(world.layout()) + "', 'fortran_order': False, 'shape': (" +
                         std::to_string(world.height()) + ", " + std::to_string(world.width()) + ", 4), }";
    // Pad so the data starts on a 64-byte boundary, ending the header with a newline.
    const std::size_t total = 10 + header.size() + 1;
    header.append((64 - total % 64) % 64, ' ');
    header += '\n';
    // Through stdio, which keeps the system's reason for a failed write.
    const auto fail = [&] {
        throw frames::HostError("cannot write " + path.string() + ": " +
                                std::generic_category().message(errno != 0 ? errno : EIO));
    };
    errno = 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.string().c_str(), "wb"), &std::fclose);
    if (!out) fail();
    const auto put = [&](const void* bytes, std::size_t size) {
        if (std::fwrite(bytes, 1, size, out.get()) != size) fail();
    };
    put(kMagic, 6);
    const char version[2] = {1, 0};
    put(version, 2);
    const char length[2] = {char(header.size() & 0xFF), char(header.size() >> 8)};
    put(length, 2);
    put(header.data(), header.size());
    // Row by row, from the world itself: no second copy of the frame.
    const std::size_t row = std::size_t(world.width()) * frames::BytesPerPixel(world.layout());
    for (int y = 0; y < world.height(); ++y) put(world.Row(y), row);
    if (std::fflush(out.get()) != 0) fail();
    // Closed here, where the last of the bytes may yet find the disk full.
    if (std::fclose(out.release()) != 0) fail();
}

ChannelType NpyChannelType(frames::PixelLayout layout) {
    switch (BytesPerPixel(layout)) {
        case 4:
            return ChannelType::UInt8;
        case 8:
            return ChannelType::UInt16;
        default:
            return ChannelType::Float;
    }
}

}  // namespace quorvel::imagefiles
