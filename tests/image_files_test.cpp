// Image files as other programs write them, through quorvel-host render:
// files cut short, files a reader refuses, association said by the header
// or guessed from the pixels, and each writer handed every layout the tool
// makes. Files are made with the image library, or byte by byte where its
// writers cannot make the variant, and outputs are read back with it.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
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

using Attributes = std::vector<std::pair<const char*, const char*>>;

/// Sets each attribute, numbers as the library's integer attributes.
void SetAttributes(OIIO::ImageSpec& header, const Attributes& attributes) {
    for (const auto& [name, value] : attributes) {
        if (std::isdigit(static_cast<unsigned char>(value[0]))) {
            header.attribute(name, std::atoi(value));
        } else {
            header.attribute(name, value);
        }
    }
}

std::vector<std::string> RgbNames() { return {"R", "G", "B"}; }

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
std::function<void(const fs::path&)> Cut(OIIO::ImageSpec header, double keep, Attributes attributes = {}) {
    return [=](const fs::path& path) mutable {
        SetAttributes(header, attributes);
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

/// A PSD whose layer count is -32768: its reader sizes a vector by it.
void PsdOfNegativeLayers(const fs::path& path) {
    std::string b = "8BPS";
    const auto u16 = [&b](unsigned v) { b += char(v >> 8), b += char(v & 0xff); };
    const auto u32 = [&](unsigned v) { u16(v >> 16), u16(v & 0xffff); };
    u16(1);
    b.append(6, '\0');
    u16(3), u32(8), u32(8), u16(8), u16(3);
    u32(0), u32(0);
    u32(2 + 64 + 4), u32(2 + 64);  // the layer and mask section, its layer info
    u16(0x8000);
    b.append(64, '\0');
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
    ::testing::Values(
        DamagedCase{"JpegCut", "cut.jpg", Cut(kRgb, 0.5), "Premature end of JPEG file"},
        DamagedCase{"TiffStripsCut", "cut.tif", Cut(kRgb, 0.6, {{"compression", "none"}}), "TIFF"},
        DamagedCase{"DpxCut", "cut.dpx", Cut(kRgba10, 0.6), "cut short"},
        DamagedCase{"DpxCutToTheLastRow", "cut.dpx", Cut(kRgba10, 0.995), "cut short"},
        DamagedCase{"LittleEndianDpxCut", "cut.dpx", Cut(kRgba10, 0.6, {{"oiio:Endian", "little"}}), "cut short"},
        DamagedCase{"TargaCut", "cut.tga", Cut(Header(96, 64, {"R", "G", "B", "A"}, TypeDesc::UINT8), 0.6),
                    "end of file"},
        DamagedCase{"ProgressiveJpegCut", "cut.jpg",
                    Cut(Header(256, 256, {"R", "G", "B"}, TypeDesc::UINT8), 0.5, {{"jpeg:progressive", "1"}}),
                    "Premature end of JPEG file"},
        DamagedCase{"PsdWithADamagedLayerSection", "damaged.psd", DamagedPsd, "cannot read"},
        DamagedCase{"PsdOfNegativeLayers", "layers.psd", PsdOfNegativeLayers, "cannot read"},
        // Refused by the reader its name selects; no other is tried.
        DamagedCase{"JpegNamedPsd", "plate.psd",
                    [](const fs::path& path) {
                        Write(path.parent_path() / "plate.jpg", kRgb, Soft);
                        fs::rename(path.parent_path() / "plate.jpg", path);
                    },
                    "cannot read"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Signature, AFileWhoseNameNamesNoFormatIsReadByTheReaderItsBytesSelect) {
    ScratchDir dir;
    Write(dir / "plate.png", kRgb, Soft);
    fs::rename(dir / "plate.png", dir / "plate.take3");
    const ToolResult r = Render(dir / "plate.take3", dir / "out.png");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(DamagedFrame, StopsTheShotNamingTheFrameAndItsFile) {
    ScratchDir dir;
    Write(dir / "shot.0001.jpg", kRgb, Soft);
    Cut(kRgb, 0.5)(dir / "shot.0002.jpg");
    const ToolResult r =
        RunTool({"render", "--frames", "1-2", "--in", dir.str("shot.%04d.jpg"), "--out", dir.str("out.%04d.png")});
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("frame 2: cannot read " + dir.str("shot.0002.jpg") + ": JPEG error"), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.0002.png"));
}

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

// --- Every writer, every layout ---

/// One input of each layout the tool renders from, and each data format.
struct Layout {
    const char* name;
    std::vector<std::string> channels;
};

const Layout kLayouts[] = {{"grey", {"Y"}},
                           {"grey-alpha", {"Y", "A"}},
                           {"rgb", {"R", "G", "B"}},
                           {"rgba", {"R", "G", "B", "A"}},
                           {"many", {"R", "G", "B", "A", "Z", "mask.R", "mask.G"}}};
const TypeDesc kTypes[] = {TypeDesc::UINT8, TypeDesc::UINT16, TypeDesc::HALF, TypeDesc::FLOAT};

/// The extension of every writer the image library has; the tool takes a
/// name with any of them or refuses it before the render.
std::vector<std::string> WriterExtensions() {
    std::vector<std::string> extensions;
    const std::string writers = "," + std::string(OIIO::get_string_attribute("output_format_list")) + ",";
    const std::string list = OIIO::get_string_attribute("extension_list");  // "format:ext,ext;format:..."
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find(';', at), list.size());
        const std::string entry = list.substr(at, end - at);
        const std::size_t colon = entry.find(':');
        if (colon != std::string::npos && writers.find("," + entry.substr(0, colon) + ",") != std::string::npos) {
            extensions.push_back(entry.substr(colon + 1, entry.find(',', colon) - colon - 1));
        }
        at = end + 1;
    }
    return extensions;
}

class EveryWriter : public ::testing::TestWithParam<std::string> {};

/// Writes and reads back the file QUORVEL_PROBE_FILE of the 8-bit channels
/// QUORVEL_PROBE_CHANNELS ("Y" or "R,G,B"), for WritesItsOwn, which runs it
/// in a program of its own.
TEST(WriterProbe, DISABLED_WritesAFileItsReaderReadsBack) {
    const char* file = std::getenv("QUORVEL_PROBE_FILE");
    const char* channels = std::getenv("QUORVEL_PROBE_CHANNELS");
    ASSERT_TRUE(file != nullptr && channels != nullptr);
    const OIIO::ImageSpec header =
        Header(32, 32, std::string(channels) == "Y" ? std::vector<std::string>{"Y"} : RgbNames(), TypeDesc::UINT8);
    auto out = OIIO::ImageOutput::create(file);
    const std::vector<float> pixels(header.image_pixels() * std::size_t(header.nchannels), 0.5f);
    ASSERT_TRUE(out && out->open(file, header) && out->write_image(TypeDesc::FLOAT, pixels.data()) && out->close());
    auto in = OIIO::ImageInput::open(file);
    std::vector<float> back(pixels.size() * 2);
    ASSERT_TRUE(in && HeaderOf(*in).nchannels == header.nchannels &&
                in->read_image(0, 0, 0, header.nchannels, TypeDesc::FLOAT, back.data()));
}

/// Whether the library's writer makes a file of `channels` that its reader
/// reads back whole. Tried in a program of its own: some writers overrun
/// their buffers or abort on layouts they do not take, and some make files
/// their reader refuses.
bool WritesItsOwn(const fs::path& path, const std::string& channels) {
    const std::string command = "QUORVEL_PROBE_FILE=" + ShellQuote(path.string()) +
                                " QUORVEL_PROBE_CHANNELS=" + ShellQuote(channels) + " " +
                                ShellQuote(fs::read_symlink("/proc/self/exe").string()) +
                                " --gtest_also_run_disabled_tests"
                                " --gtest_filter=WriterProbe.DISABLED_WritesAFileItsReaderReadsBack >/dev/null 2>&1";
    const bool made = std::system(command.c_str()) == 0;
    if (!made) fs::remove(path);
    return made;
}

/// Each writer gets every layout and data format from an EXR, its
/// own grey and RGB files where its writer makes them, and the tool's own
/// output of each layout again: the render is written and opens, or is
/// refused in one line with nothing written; never a signal.
TEST_P(EveryWriter, TakesEveryLayoutOrRefusesItWithoutAbort) {
    const std::string ext = GetParam();
    ScratchDir dir;
    std::vector<fs::path> inputs;
    for (const Layout& layout : kLayouts) {
        for (TypeDesc type : kTypes) {
            // The data formats meet the writer's per channel: every one with
            // four channels and more, the integer and the real end with fewer.
            if (layout.channels.size() < 4 && type != TypeDesc::UINT8 && type != TypeDesc::FLOAT) continue;
            const fs::path exr = dir / (std::string(layout.name) + "-" + std::string(type.c_str()) + ".exr");
            Write(exr, Header(32, 32, layout.channels, type), Soft);
            inputs.push_back(exr);
        }
        const fs::path own_file = dir / (std::string(layout.name) + "-own." + ext);
        const std::size_t n = layout.channels.size();
        if ((n == 1 || n == 3) && WritesItsOwn(own_file, n == 1 ? "Y" : "R,G,B")) inputs.push_back(own_file);
    }
    for (const Layout& layout : kLayouts) inputs.push_back(dir / (std::string(layout.name) + "-uint8-out." + ext));
    for (const fs::path& in : inputs) {
        if (!fs::exists(in)) continue;  // the tool refused that layout
        const std::string out = in.stem().string() + "-out." + ext;
        const ToolResult r = Render(in, dir / out, {"--composite", "add"});
        ASSERT_TRUE(r.status == 0 || r.status == 2) << in.filename() << " to " << out << ": status " << r.status << "\n"
                                                    << r.err;
        if (r.status == 0) {
            EXPECT_TRUE(OIIO::ImageInput::open((dir / out).string())) << out << ": " << OIIO::geterror();
        } else {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_FALSE(fs::exists(dir / out));
        }
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
    }
    // Every writer the tool writes colour with takes RGBA in some form;
    // it refuses those of depth, of no file, and the one that garbles.
    const bool writes = ext != "null" && ext != "term" && ext != "zfile" && ext != "iff";
    EXPECT_EQ(fs::exists(dir / ("rgba-uint8-out." + ext)), writes) << ext;
}

INSTANTIATE_TEST_SUITE_P(Writers, EveryWriter, ::testing::ValuesIn(WriterExtensions()),
                         [](const auto& info) { return info.param; });

// --- A format's own rules ---

struct FormatCase {
    const char* name;
    const char* in;
    std::function<void(const fs::path&)> make;
    const char* out;
    std::vector<std::string> options;
    const char* says;  ///< in a note; empty: no note needed
    std::function<void(const Image& out)> check;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

std::function<void(const fs::path&)> Made(std::vector<std::string> channels, TypeDesc type,
                                          std::vector<std::pair<const char*, const char*>> attributes = {},
                                          int bits = 0) {
    return [=](const fs::path& path) {
        OIIO::ImageSpec header = Header(40, 32, channels, type);
        SetAttributes(header, attributes);
        if (bits != 0) header.attribute("oiio:BitsPerSample", bits);
        Write(path, header, Soft);
    };
}

std::function<void(const Image&)> Holds(std::vector<std::string> channels, const char* type, int bits = 0) {
    return [=](const Image& out) {
        EXPECT_EQ(out.header.channelnames, channels);
        EXPECT_EQ(std::string(out.header.format.c_str()), type);
        if (bits != 0) {
            EXPECT_EQ(out.header.get_int_attribute("oiio:BitsPerSample"), bits);
        }
    };
}

std::function<void(const Image&)> Attribute(const char* name, std::string value) {
    return [=](const Image& out) { EXPECT_EQ(out.header.get_string_attribute(name), value) << name; };
}

std::function<void(const Image&)> Orientation(int value) {
    return [=](const Image& out) { EXPECT_EQ(out.header.get_int_attribute("Orientation", 1), value); };
}

class FormatRules : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatRules, AreFollowedAndWhatCannotBeKeptIsNamed) {
    const FormatCase& c = GetParam();
    ScratchDir dir;
    c.make(dir / c.in);
    std::vector<std::string> options = {"--composite", "add", "--width", "10", "--height", "10"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const ToolResult r = Render(dir / c.in, dir / c.out, options);
    ASSERT_EQ(r.status, 0) << r.err;
    if (*c.says) {
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    const Image out = Read(dir / c.out);
    c.check(out);
    // The matte is on the output wherever it has alpha.
    if (out.header.alpha_channel >= 0) {
        EXPECT_EQ(out.At(20, 16, out.header.alpha_channel), 1.0f);
    }
}

const std::vector<std::string> kY = {"Y"}, kYA = {"Y", "A"}, kRgb3 = {"R", "G", "B"}, kRgba4 = {"R", "G", "B", "A"};

INSTANTIATE_TEST_SUITE_P(
    Files, FormatRules,
    ::testing::Values(
        FormatCase{"GreyDpx8",
                   "in.dpx",
                   Made(kY, TypeDesc::UINT8),
                   "out.dpx",
                   {},
                   "do not hold grey with alpha",
                   Holds(kRgba4, "uint8")},
        FormatCase{"GreyDpx10",
                   "in.dpx",
                   Made(kY, TypeDesc::UINT16, {}, 10),
                   "out.dpx",
                   {},
                   "do not hold grey",
                   Holds(kRgba4, "uint16", 10)},
        FormatCase{"GreyDpx16",
                   "in.dpx",
                   Made(kY, TypeDesc::UINT16),
                   "out.dpx",
                   {},
                   "do not hold grey",
                   Holds(kRgba4, "uint16")},
        FormatCase{"GreyPngToExr", "in.png", Made(kY, TypeDesc::UINT8), "out.exr", {}, "", Holds(kYA, "half")},
        FormatCase{"GreyPngToPng", "in.png", Made(kY, TypeDesc::UINT16), "out.png", {}, "", Holds(kYA, "uint16")},
        FormatCase{"JpegToJpeg",
                   "in.jpg",
                   Made(kRgb3, TypeDesc::UINT8),
                   "out.jpg",
                   {},
                   "matted over black",
                   Holds(kRgb3, "uint8")},
        FormatCase{"HdrToHdr",
                   "in.hdr",
                   Made(kRgb3, TypeDesc::FLOAT),
                   "out.hdr",
                   {},
                   "matted over black",
                   Holds(kRgb3, "float")},
        FormatCase{"JpegInTiff",
                   "in.tif",
                   Made(kRgb3, TypeDesc::UINT8, {{"compression", "jpeg"}}),
                   "out.tif",
                   {},
                   "compressed with zip",
                   Attribute("compression", "zip")},
        FormatCase{"RleTarga",
                   "in.tga",
                   Made(kRgba4, TypeDesc::UINT8, {{"compression", "rle"}}),
                   "out.tga",
                   {},
                   "",
                   Attribute("compression", "rle")},
        FormatCase{"HalfTiff",
                   "in.tif",
                   Made(kRgba4, TypeDesc::HALF, {{"tiff:half", "1"}}),
                   "out.tif",
                   {},
                   "",
                   Holds(kRgba4, "half")},
        FormatCase{"TiffAskedHalf",
                   "in.tif",
                   Made(kRgba4, TypeDesc::UINT8),
                   "out.tif",
                   {"--out-format", "half"},
                   "",
                   Holds(kRgba4, "half")},
        FormatCase{"CmykTiff",
                   "in.tif",
                   Made(kRgb3, TypeDesc::UINT8, {{"tiff:ColorSpace", "CMYK"}}),
                   "out.tif",
                   {},
                   "CMYK",
                   Attribute("tiff:ColorSpace", "")},
        FormatCase{"OrientationKept",
                   "in.tif",
                   Made(kRgba4, TypeDesc::UINT8, {{"Orientation", "6"}}),
                   "out.tif",
                   {},
                   "",
                   Orientation(6)},
        FormatCase{"OrientationDropped",
                   "in.tif",
                   Made(kRgba4, TypeDesc::UINT8, {{"Orientation", "6"}}),
                   "out.png",
                   {},
                   "orientation 6",
                   Orientation(1)},
        FormatCase{"TargaPremultipliedWrittenStraight",
                   "in.tga",
                   [](const fs::path& path) { Targa(4)(path, true); },
                   "out.tga",
                   {},
                   "",
                   [](const Image& out) {
                       EXPECT_EQ(out.header.get_int_attribute("targa:alpha_type"), 3);
                       EXPECT_NEAR(out.At(0, 0, 0), StraightColour(0, 0, 0), 2.0 / 255.0);
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
