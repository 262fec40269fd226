// Image files as other programs write them, through quorvel-host render:
// files cut short, files a reader refuses, association said by the header
// or guessed from the pixels, and each writer handed every layout the tool
// makes. Files are made with the image library, or byte by byte where its
// writers cannot make the variant, and outputs are read back with it.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;
using OIIO::TypeDesc;

/// The first part of a file as the library hands it over with the values
/// as stored, as float.
struct Image {
    std::string format;
    OIIO::ImageSpec header;
    std::vector<float> pixels;

    float At(int x, int y, int c) const {
        return pixels[(std::size_t(y - header.y) * std::size_t(header.width) + std::size_t(x - header.x)) *
                          std::size_t(header.nchannels) +
                      std::size_t(c)];
    }
};

/// An opened file's header: the one place the library's accessor is named.
const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }

Image Read(const fs::path& path) {
    Image image;
    OIIO::ImageSpec hints;
    hints.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &hints);
    EXPECT_TRUE(in) << OIIO::geterror();
    if (!in) return image;
    image.format = in->format_name();
    image.header = HeaderOf(*in);
    image.pixels.resize(image.header.image_pixels() * std::size_t(image.header.nchannels));
    EXPECT_TRUE(in->read_image(0, 0, 0, image.header.nchannels, TypeDesc::FLOAT, image.pixels.data()))
        << in->geterror();
    return image;
}

using PixelValue = std::function<float(int x, int y, int c)>;

/// Writes `header`'s pixels, value(x, y, c), as given: the writer is told
/// the colour is straight so that it stores the values unchanged.
void Write(const fs::path& path, OIIO::ImageSpec header, const PixelValue& value) {
    header.attribute("oiio:UnassociatedAlpha", 1);
    std::vector<float> pixels;
    for (int y = 0; y < header.height; ++y)
        for (int x = 0; x < header.width; ++x)
            for (int c = 0; c < header.nchannels; ++c) pixels.push_back(value(x, y, c));
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    ASSERT_TRUE(out->open(path.string(), header)) << out->geterror();
    ASSERT_TRUE(out->write_image(TypeDesc::FLOAT, pixels.data())) << out->geterror();
    ASSERT_TRUE(out->close()) << out->geterror();
}

OIIO::ImageSpec Header(int width, int height, std::vector<std::string> names, TypeDesc type) {
    OIIO::ImageSpec header(width, height, int(names.size()), type);
    header.channelnames = std::move(names);
    header.alpha_channel = -1;
    for (int c = 0; c < header.nchannels; ++c) {
        if (header.channelnames[std::size_t(c)] == "A") header.alpha_channel = c;
    }
    return header;
}

std::string Bytes(const fs::path& path) { return Slurp(path); }
void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

ToolResult Render(const fs::path& in, const fs::path& out, std::vector<std::string> options = {}) {
    std::vector<std::string> args = {"render", "--in", in.string(), "--out", out.string()};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args);
}

/// No file of the render's, finished or temporary, is left in the folder.
void ExpectNothingWritten(const ScratchDir& dir, const std::string& out) {
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name != out && name.find(".tmp-") == std::string::npos) << name << " was left behind";
    }
}

// --- Files cut short or refused ---

/// Soft colour and alpha in 8-bit steps, varying over the frame.
float Soft(int x, int y, int c) { return float((x * 7 + y * 13 + c * 50) % 200 + 30) / 255.0f; }

struct DamagedCase {
    const char* name;
    const char* file;
    std::function<void(const fs::path&)> make;
    const char* says;  ///< in the one line of the refusal
};

void PrintTo(const DamagedCase& c, std::ostream* os) { *os << c.name; }

/// A file the library wrote, cut to `keep` of its length.
std::function<void(const fs::path&)> Cut(OIIO::ImageSpec header, double keep,
                                         std::vector<std::pair<const char*, const char*>> attributes = {}) {
    return [=](const fs::path& path) mutable {
        for (const auto& [name, value] : attributes) header.attribute(name, value);
        Write(path, header, Soft);
        std::string bytes = Bytes(path);
        bytes.resize(std::size_t(double(bytes.size()) * keep));
        Put(path, bytes);
    };
}

/// A PSD whose layer and mask section claims more bytes than the file has,
/// before a valid merged image. Its reader refuses it; no other reader may
/// be tried on it.
void DamagedPsd(const fs::path& path) {
    std::string b = "8BPS";
    const auto u16 = [&b](unsigned v) { b += char(v >> 8), b += char(v & 0xff); };
    const auto u32 = [&](unsigned v) { u16(v >> 16), u16(v & 0xffff); };
    u16(1);
    b.append(6, '\0');
    u16(3), u32(8), u32(8), u16(8), u16(3);  // 3 channels, 8x8, 8 bits, RGB
    u32(0), u32(0);                          // colour mode data, image resources
    u32(0x7ffffff0);                         // the layer and mask section
    u32(0x7fffffe0);
    b.append(40, '\x5a');
    u16(0);
    b.append(3 * 64, '\x80');
    Put(path, b);
}

class DamagedFile : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFile, IsRefusedInOneLineAndNothingIsWritten) {
    const DamagedCase& c = GetParam();
    ScratchDir dir;
    c.make(dir / c.file);
    const ToolResult r = Render(dir / c.file, dir / "out.png");
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(c.file), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    ExpectNothingWritten(dir, "out.png");
}

const OIIO::ImageSpec kRgb = Header(96, 64, {"R", "G", "B"}, TypeDesc::UINT8);
const OIIO::ImageSpec kRgba10 = [] {
    OIIO::ImageSpec h = Header(96, 64, {"R", "G", "B", "A"}, TypeDesc::UINT16);
    h.attribute("oiio:BitsPerSample", 10);
    return h;
}();

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedFile,
    ::testing::Values(DamagedCase{"JpegCut", "cut.jpg", Cut(kRgb, 0.5), "Premature end of JPEG file"},
                      DamagedCase{"TiffStripsCut", "cut.tif", Cut(kRgb, 0.6, {{"compression", "none"}}), "TIFF"},
                      DamagedCase{"DpxCut", "cut.dpx", Cut(kRgba10, 0.6), "cut short"},
                      DamagedCase{"DpxCutToTheLastRow", "cut.dpx", Cut(kRgba10, 0.99), "cut short"},
                      DamagedCase{"TargaCut", "cut.tga",
                                  Cut(Header(96, 64, {"R", "G", "B", "A"}, TypeDesc::UINT8), 0.6), "end of file"},
                      DamagedCase{"PsdWithADamagedLayerSection", "damaged.psd", DamagedPsd, "cannot read"}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Association ---

/// Straight colour and soft alpha: colour above alpha in most soft pixels.
float StraightColour(int x, int y, int c) { return float((x * 5 + y * 11 + c * 60) % 160 + 90) / 255.0f; }
float SoftAlpha(int x, int y) { return float((x + 3 * y) % 9 + 1) / 10.0f; }

/// A file of straight or premultiplied colour, however the format labels it.
using MakeAssociated = std::function<void(const fs::path&, bool premultiplied)>;

PixelValue Colour(bool premultiplied) {
    return [premultiplied](int x, int y, int c) {
        if (c == 3) return SoftAlpha(x, y);
        return premultiplied ? StraightColour(x, y, c) * SoftAlpha(x, y) : StraightColour(x, y, c);
    };
}

MakeAssociated Written(TypeDesc type, std::vector<std::pair<const char*, const char*>> attributes = {}) {
    return [=](const fs::path& path, bool premultiplied) {
        OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A"}, type);
        for (const auto& [name, value] : attributes) header.attribute(name, value);
        Write(path, header, Colour(premultiplied));
    };
}

/// A Targa as the library writes it (alpha type 3, straight), its extension
/// area's alpha type then set to `alpha_type`, or the extension area and
/// footer cut off (a version 1 file) when it is 0.
MakeAssociated Targa(int alpha_type) {
    return [alpha_type](const fs::path& path, bool premultiplied) {
        Written(TypeDesc::UINT8, {{"compression", "none"}})(path, premultiplied);
        std::string bytes = Bytes(path);
        if (alpha_type == 0) {
            bytes.resize(18 + std::size_t(std::uint8_t(bytes[0])) + 40 * 30 * 4);
        } else {
            std::uint32_t extension = 0;
            std::memcpy(&extension, bytes.data() + bytes.size() - 26, 4);  // little-endian, as the machine
            bytes.at(extension + 494) = char(alpha_type);
        }
        Put(path, bytes);
    };
}

struct AssociationCase {
    const char* name;
    const char* file;
    MakeAssociated make;
    bool premultiplied;  ///< what the file holds
    const char* says;    ///< in the note on stderr; empty: no note of association
};

void PrintTo(const AssociationCase& c, std::ostream* os) { *os << c.name; }

class Association : public ::testing::TestWithParam<AssociationCase> {};

TEST_P(Association, IsTheFilesAndTheOutputHoldsItsColourTimesAlpha) {
    const AssociationCase& c = GetParam();
    ScratchDir dir;
    c.make(dir / c.file, c.premultiplied);
    // A matte that leaves alpha as it is: an EXR then holds the straight
    // colour times the file's alpha, whatever the file's association.
    const ToolResult r = Render(dir / c.file, dir / "out.exr", {"--composite", "add", "--opacity", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    if (*c.says) {
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.err.find("premultiplied"), std::string::npos) << r.err;
    }
    const Image out = Read(dir / "out.exr");
    ASSERT_EQ(out.header.nchannels, 4);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const float a = out.At(x, y, 3);
            if (std::abs(a - SoftAlpha(x, y)) > 1.0f / 255.0f) ++wrong;
            for (int ch = 0; ch < 3; ++ch) {
                const float expected = StraightColour(x, y, ch) * SoftAlpha(x, y);
                if (std::abs(out.At(x, y, ch) - expected) > 2.5f / 255.0f && wrong++ == 0) {
                    first = std::to_string(out.At(x, y, ch)) + " for " + std::to_string(expected);
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "the first: " << first;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Association,
    ::testing::Values(
        AssociationCase{"TargaSaysStraight", "in.tga", Targa(3), false, ""},
        AssociationCase{"TargaSaysPremultiplied", "in.tga", Targa(4), true, ""},
        AssociationCase{"TargaWithoutExtensionStraight", "in.tga", Targa(0), false, "read as straight"},
        AssociationCase{"TargaWithoutExtensionPremultiplied", "in.tga", Targa(0), true, "read as premultiplied"},
        AssociationCase{"BmpStraight", "in.bmp", Written(TypeDesc::UINT8), false, "read as straight"},
        AssociationCase{"BmpPremultiplied", "in.bmp", Written(TypeDesc::UINT8), true, "read as premultiplied"},
        AssociationCase{"DpxStraight", "in.dpx", Written(TypeDesc::UINT16), false, "read as straight"},
        AssociationCase{"DpxPremultiplied", "in.dpx", Written(TypeDesc::UINT16), true, "read as premultiplied"},
        AssociationCase{"TiffUnassociated", "in.tif", Written(TypeDesc::UINT8), false, ""},
        AssociationCase{"PngStraight", "in.png", Written(TypeDesc::UINT16), false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
