// quorvel-npy-compare A.npy B.npy: whether two frames hold the same values,
// read with the simulated host's own .npy reader. Identical: exit 0, says
// nothing. Different: one line on stdout naming how many values differ and
// the first by pixel and channel (in the file's channel order), with both
// values, exit 1. A file the reader refuses: one line on stderr, exit 2.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "frames/HostError.h"
#include "imagefiles/Npy.h"

namespace {

using quorvel::frames::PixelLayout;
using quorvel::frames::World;

const char* Descr(PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB16:
            return "<u2";
        case PixelLayout::BGRA32f:
            return "<f4";
        default:
            return "|u1";
    }
}

std::string Shape(const World& w) {
    return "(" + std::to_string(w.height()) + ", " + std::to_string(w.width()) + ", 4) " + Descr(w.layout());
}

// One value as the file holds it; a float also as its bits.
std::string Value(const std::uint8_t* p, PixelLayout layout) {
    switch (layout) {
        case PixelLayout::ARGB16: {
            std::uint16_t v;
            std::memcpy(&v, p, sizeof v);
            return std::to_string(v);
        }
        case PixelLayout::BGRA32f: {
            float f;
            std::uint32_t bits;
            std::memcpy(&f, p, sizeof f);
            std::memcpy(&bits, p, sizeof bits);
            char text[64];
            const auto end = std::to_chars(text, text + sizeof text, f).ptr;
            char hex[16];
            std::snprintf(hex, sizeof hex, " %08x", unsigned(bits));
            return std::string(text, end) + hex;
        }
        default:
            return std::to_string(*p);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvel-npy-compare A.npy B.npy\n");
        return 2;
    }
    try {
        const World a = quorvel::imagefiles::ReadNpy(argv[1], false);
        const World b = quorvel::imagefiles::ReadNpy(argv[2], false);
        if (a.layout() != b.layout() || a.width() != b.width() || a.height() != b.height()) {
            std::printf("shapes differ: %s against %s\n", Shape(a).c_str(), Shape(b).c_str());
            return 1;
        }
        const std::size_t size = quorvel::frames::BytesPerPixel(a.layout()) / 4;
        const std::size_t per_row = std::size_t(a.width()) * 4;
        std::size_t count = 0;
        std::size_t first = 0;
        for (int y = 0; y < a.height(); ++y) {
            for (std::size_t i = 0; i < per_row; ++i) {
                if (std::memcmp(a.Row(y) + i * size, b.Row(y) + i * size, size) != 0) {
                    if (count++ == 0) first = std::size_t(y) * per_row + i;
                }
            }
        }
        if (count == 0) return 0;
        const int y = int(first / per_row);
        const std::size_t i = first % per_row;
        std::printf("%zu of %zu values differ, the first at x=%zu y=%d channel %zu (%s): %s against %s\n", count,
                    per_row * std::size_t(a.height()), i / 4, y, i % 4, Descr(a.layout()),
                    Value(a.Row(y) + i * size, a.layout()).c_str(), Value(b.Row(y) + i * size, b.layout()).c_str());
        return 1;
    } catch (const quorvel::frames::HostError& e) {
        std::fprintf(stderr, "quorvel-npy-compare: %s\n", e.what());
        return 2;
    }
}
