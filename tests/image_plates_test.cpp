// Plates as a compositing pipeline hands them over (tiled and mip-mapped
// files, premultiplied HDR colour, 10- and 16-bit data, data windows apart
// from the display window, many channels, stereo parts), through
// quorvel-host render. Every input is made with the image library and every
// output read back with it, so what the tool keeps is checked against the
// library that owns the formats, never against the tool's own reading.
#include <OpenImageIO/imageio.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;
using OIIO::TypeDesc;

const TypeDesc kHalf = TypeDesc::HALF, kFloat = TypeDesc::FLOAT, kU16 = TypeDesc::UINT16;

/// One part of a file as the library holds it: its header and its data
/// window's pixels as float.
struct Plate {
    OIIO::ImageSpec header;
    std::vector<float> pixels;

    int Channel(const std::string& name) const {
        const auto& names = header.channelnames;
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? -1 : int(it - names.begin());
    }
    bool Holds(int x, int y) const {
        return x >= header.x && x < header.x + header.width && y >= header.y && y < header.y + header.height;
    }
    std::size_t Index(int x, int y, int c) const {
        return (std::size_t(y - header.y) * std::size_t(header.width) + std::size_t(x - header.x)) *
                   std::size_t(header.nchannels) +
               std::size_t(c);
    }
    /// The value at (x, y) in the file's coordinates.
    float At(int x, int y, int c) const { return pixels[Index(x, y, c)]; }
};

struct File {
    std::string format;  ///< the library's name of the file format
    std::vector<Plate> parts;
    int levels = 0;  ///< MIP levels of the first part
};

/// An opened file's header: the one place the library's accessor is named.
const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }

/// Every part of a file, level 0 of each, colour as stored.
File ReadFile(const fs::path& path) {
    File file;
    OIIO::ImageSpec hints;
    hints.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path.string(), &hints);
    EXPECT_TRUE(in) << OIIO::geterror();
    if (!in) return file;
    file.format = in->format_name();
    for (int part = 0; in->seek_subimage(part, 0); ++part) {
        Plate plate;
        plate.header = HeaderOf(*in);
        plate.pixels.resize(plate.header.image_pixels() * std::size_t(plate.header.nchannels));
        EXPECT_TRUE(in->read_image(part, 0, 0, plate.header.nchannels, TypeDesc::FLOAT, plate.pixels.data()))
            << in->geterror();
        file.parts.push_back(std::move(plate));
    }
    while (in->seek_subimage(0, file.levels)) ++file.levels;
    return file;
}

/// A header of named channels, each of its own type (one type: all of it);
/// "A" is the alpha, "Z" the depth.
OIIO::ImageSpec Header(int width, int height, std::vector<std::string> names, std::vector<TypeDesc> types) {
    OIIO::ImageSpec header(width, height, int(names.size()), types.front());
    header.channelnames = std::move(names);
    if (types.size() > 1) header.channelformats = std::move(types);
    header.alpha_channel = header.z_channel = -1;
    for (int c = 0; c < header.nchannels; ++c) {
        if (header.channelnames[std::size_t(c)] == "A") header.alpha_channel = c;
        if (header.channelnames[std::size_t(c)] == "Z") header.z_channel = c;
    }
    return header;
}

using PixelValue = std::function<float(int x, int y, int c)>;

/// A plate whose value at (x, y), in the file's coordinates, channel c, is
/// value(x, y, c).
Plate Filled(const OIIO::ImageSpec& header, const PixelValue& value) {
    Plate plate;
    plate.header = header;
    plate.pixels.resize(header.image_pixels() * std::size_t(header.nchannels));
    for (int y = header.y; y < header.y + header.height; ++y) {
        for (int x = header.x; x < header.x + header.width; ++x) {
            for (int c = 0; c < header.nchannels; ++c) plate.pixels[plate.Index(x, y, c)] = value(x, y, c);
        }
    }
    return plate;
}

void Write(const fs::path& path, const std::vector<Plate>& parts) {
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    std::vector<OIIO::ImageSpec> headers;
    for (const Plate& p : parts) headers.push_back(p.header);
    if (headers.size() == 1) {
        ASSERT_TRUE(out->open(path.string(), headers[0])) << out->geterror();
    } else {
        ASSERT_TRUE(out->open(path.string(), int(headers.size()), headers.data())) << out->geterror();
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            ASSERT_TRUE(out->open(path.string(), headers[i], OIIO::ImageOutput::AppendSubimage)) << out->geterror();
        }
        ASSERT_TRUE(out->write_image(TypeDesc::FLOAT, parts[i].pixels.data())) << out->geterror();
    }
    ASSERT_TRUE(out->close()) << out->geterror();
}

/// A tiled file with every MIP level down to 1x1, each level filled by `value`.
void WriteMipMapped(const fs::path& path, OIIO::ImageSpec header, const PixelValue& value) {
    header.attribute("textureformat", "Plain Texture");  // what asks the writer for levels
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    ASSERT_TRUE(out->open(path.string(), header)) << out->geterror();
    for (;;) {
        const Plate level = Filled(header, value);
        ASSERT_TRUE(out->write_image(TypeDesc::FLOAT, level.pixels.data())) << out->geterror();
        if (header.width == 1 && header.height == 1) break;
        header.width = header.full_width = std::max(1, header.width / 2);
        header.height = header.full_height = std::max(1, header.height / 2);
        ASSERT_TRUE(out->open(path.string(), header, OIIO::ImageOutput::AppendMIPLevel)) << out->geterror();
    }
    ASSERT_TRUE(out->close()) << out->geterror();
}

std::vector<std::string> TypesOf(const OIIO::ImageSpec& header) {
    std::vector<std::string> types;
    for (int c = 0; c < header.nchannels; ++c) types.push_back(header.channelformat(c).c_str());
    return types;
}

std::vector<int> DataWindow(const OIIO::ImageSpec& h) { return {h.x, h.y, h.width, h.height}; }
std::vector<int> DisplayWindow(const OIIO::ImageSpec& h) { return {h.full_x, h.full_y, h.full_width, h.full_height}; }

ToolResult Render(const fs::path& in, const fs::path& out, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {"render", "--in", in.string(), "--out", out.string()};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args);
}

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/// The matte added to the layer's alpha: opaque in a small ellipse at the
/// display window's centre, the alpha left as it was elsewhere, so that one
/// render has pixels of both kinds.
const std::vector<std::string> kAddedMatte = {"--composite", "add", "--width", "12", "--height", "8"};

/// Equal to the bit (NaN to any NaN).
bool Same(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

/// How many colour values fell in each case of the premultiplied rule.
struct Cases {
    int kept = 0, cleared = 0, emission = 0, scaled = 0;
};

/// The colour of premultiplied layer `layer` ("" or "left.") after the
/// matte, over the output's data window, against the input's (colour 0 and
/// alpha 0 where the input had no data; alpha 1 when it had no alpha): the
/// same bits where the alpha is unchanged, 0 where the new alpha is 0,
/// in × new alpha where the old alpha was 0 (emission), in × new / old
/// elsewhere. `tolerance` is the output data type's rounding at 1, relative
/// above 1.
Cases ExpectPremultipliedColour(const Plate& in, const Plate& out, const std::string& layer, double tolerance) {
    Cases cases;
    const int in_alpha = in.Channel(layer + "A"), out_alpha = out.Channel(layer + "A");
    for (const char* name : {"R", "G", "B", "A"}) {
        EXPECT_GE(out.Channel(layer + name), 0) << "no " << layer << name << " in the output";
        if (out.Channel(layer + name) < 0) return cases;
        EXPECT_TRUE(std::string(name) == "A" || in.Channel(layer + name) >= 0)
            << "no " << layer << name << " in the input";
        if (std::string(name) != "A" && in.Channel(layer + name) < 0) return cases;
    }
    int wrong = 0;
    std::ostringstream first;
    for (int y = out.header.y; y < out.header.y + out.header.height; ++y) {
        for (int x = out.header.x; x < out.header.x + out.header.width; ++x) {
            const bool data = in.Holds(x, y);
            const float ai = !data ? 0.0f : in_alpha < 0 ? 1.0f : in.At(x, y, in_alpha);
            const float ao = out.At(x, y, out_alpha);
            for (const char* name : {"R", "G", "B"}) {
                const int ci = in.Channel(layer + name), co = out.Channel(layer + name);
                const float vi = data ? in.At(x, y, ci) : 0.0f, vo = out.At(x, y, co);
                bool right = true;
                double expected = vi;
                if (ai == 0.0f && ao == 0.0f) {
                    // Unchanged and cleared at once: either reading holds.
                    right = Same(vi, vo) || vo == 0.0f;
                } else if (Same(ai, ao)) {
                    ++cases.kept;
                    right = Same(vi, vo);
                } else if (ao == 0.0f) {
                    ++cases.cleared;
                    expected = 0.0;
                    right = vo == 0.0f;
                } else {
                    ++(ai == 0.0f ? cases.emission : cases.scaled);
                    expected = ai == 0.0f ? double(vi) * ao : double(vi) * ao / ai;
                    right = std::isfinite(expected)
                                ? std::abs(vo - expected) <= tolerance * std::max(1.0, std::abs(expected))
                                : Same(float(expected), vo);
                }
                if (!right && wrong++ == 0) {
                    first << layer << name << " at (" << x << "," << y << "): in " << vi << " alpha " << ai << ", out "
                          << vo << " alpha " << ao << ", expected " << expected;
                }
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "colour values off the premultiplied rule; the first: " << first.str();
    return cases;
}

/// Values of two plates that differ (both over the same window).
int Differing(const Plate& a, const Plate& b, int channel_a, int channel_b) {
    int differing = 0;
    for (int y = a.header.y; y < a.header.y + a.header.height; ++y) {
        for (int x = a.header.x; x < a.header.x + a.header.width; ++x) {
            if (!b.Holds(x, y) || !Same(a.At(x, y, channel_a), b.At(x, y, channel_b))) ++differing;
        }
    }
    return differing;
}

/// A value of every kind a half holds exactly, varying over the frame.
float Ramp(int x, int y, int c) { return float((x * 7 + y * 3 + c * 40) % 256) / 256.0f; }

/// Alpha in quarters, never 0 or 1: the added matte changes it in the ellipse.
float Quarters(int x, int y) { return float(1 + (x + 2 * y) % 3) / 4.0f; }

// --- Tiles and MIP levels ---

struct TiledCase {
    const char* name;
    const char* file;
    TypeDesc type;
    const char* compression;
    int tile_width, tile_height;
    bool mip;
};

void PrintTo(const TiledCase& c, std::ostream* os) { *os << c.name; }

class TiledInput : public ::testing::TestWithParam<TiledCase> {};

TEST_P(TiledInput, RendersAsItsScanlineTwinAndStaysTiledOnOneLevel) {
    const TiledCase& c = GetParam();
    ScratchDir dir;
    const std::string ext = fs::path(c.file).extension().string();
    OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A"}, {c.type});
    header.attribute("compression", c.compression);
    const PixelValue value = [](int x, int y, int ch) { return ch == 3 ? Quarters(x, y) : Ramp(x, y, ch); };
    Write(dir / ("twin" + ext), {Filled(header, value)});
    header.tile_width = c.tile_width;
    header.tile_height = c.tile_height;
    header.tile_depth = 1;
    if (c.mip) {
        WriteMipMapped(dir / c.file, header, value);
    } else {
        Write(dir / c.file, {Filled(header, value)});
    }
    const File input = ReadFile(dir / c.file);
    ASSERT_EQ(input.parts.size(), 1u);
    ASSERT_EQ(input.parts[0].header.tile_width, c.tile_width) << "the library wrote no tiles";
    ASSERT_EQ(input.levels > 1, c.mip) << input.levels << " levels written";

    const ToolResult r = Render(dir / c.file, dir / ("out" + ext), kAddedMatte);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("mip levels") != std::string::npos, c.mip) << r.err;
    const ToolResult twin = Render(dir / ("twin" + ext), dir / ("twin-out" + ext), kAddedMatte);
    ASSERT_EQ(twin.status, 0) << twin.err;

    const File out = ReadFile(dir / ("out" + ext)), expected = ReadFile(dir / ("twin-out" + ext));
    ASSERT_EQ(out.parts.size(), 1u);
    ASSERT_EQ(expected.parts.size(), 1u);
    EXPECT_EQ(out.format, input.format);
    EXPECT_EQ(out.levels, 1);
    EXPECT_EQ(std::vector<int>({out.parts[0].header.tile_width, out.parts[0].header.tile_height}),
              std::vector<int>({c.tile_width, c.tile_height}));
    EXPECT_EQ(expected.parts[0].header.tile_width, 0) << "a scanline file came out tiled";
    const Plate &o = out.parts[0], &e = expected.parts[0];
    ASSERT_EQ(o.header.channelnames, e.header.channelnames);
    EXPECT_EQ(TypesOf(o.header), TypesOf(e.header));
    ASSERT_EQ(DataWindow(o.header), DataWindow(e.header));
    for (int ch = 0; ch < o.header.nchannels; ++ch)
        EXPECT_EQ(Differing(o, e, ch, ch), 0) << o.header.channelnames[std::size_t(ch)];
    EXPECT_EQ(o.At(20, 15, 3), 1.0f) << "the matte is missing";
}

INSTANTIATE_TEST_SUITE_P(Files, TiledInput,
                         ::testing::Values(TiledCase{"HalfExr", "plate.exr", kHalf, "zip", 16, 16, false},
                                           TiledCase{"SixteenBitTiff", "plate.tif", kU16, "lzw", 16, 16, false},
                                           TiledCase{"MipMappedFloatExr", "plate.exr", kFloat, "piz", 16, 8, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Premultiplied colour ---

TEST(PremultipliedExr, ColourFollowsTheNewAlphaExactlyOnTheFloatPath) {
    ScratchDir dir;
    const float levels[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    // A row of values a float path must carry untouched: NaN, infinity and
    // a negative colour, each opaque in the top-left corner.
    const auto corner = [](int x, int y) { return y == 0 && x < 3; };
    const auto alpha = [&](int x, int y) { return corner(x, y) ? 1.0f : levels[(x + 2 * y) % 5]; };
    const PixelValue value = [&](int x, int y, int c) {
        if (c == 3) return alpha(x, y);
        if (corner(x, y) && c == x) {
            const float odd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                 -2.5f};
            return odd[c];
        }
        // Straight colour up to 4, and 413.25 for a light source.
        const float straight =
            (x + y) % 11 == 0 && c == 0 ? 413.25f : 0.25f + float((x * 7 + y * 13 + c * 5) % 17) / 4.0f;
        const float a = alpha(x, y);
        return a == 0.0f ? straight : straight * a;  // alpha 0: emission, colour without coverage
    };
    Write(dir / "in.exr", {Filled(Header(40, 30, {"R", "G", "B", "A"}, {kFloat}), value)});
    const File input = ReadFile(dir / "in.exr");

    // The added matte at half opacity raises alpha inside the ellipse; the
    // created one clears it outside.
    const std::vector<std::string> mattes[] = {
        {"--composite", "add", "--opacity", "50", "--width", "16", "--height", "10"},
        {"--width", "16", "--height", "10"}};
    Cases all;
    for (const auto& matte : mattes) {
        const fs::path written = dir / ("out" + std::to_string(&matte - mattes) + ".exr");
        const ToolResult r = Render(dir / "in.exr", written, matte);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("pr32f"), std::string::npos) << r.out;
        const File out = ReadFile(written);
        ASSERT_EQ(out.parts.size(), 1u);
        EXPECT_EQ(TypesOf(out.parts[0].header), std::vector<std::string>(4, "float"));
        const Cases cases = ExpectPremultipliedColour(input.parts[0], out.parts[0], "", 1e-5);
        all.kept += cases.kept, all.cleared += cases.cleared, all.emission += cases.emission,
            all.scaled += cases.scaled;
    }
    EXPECT_GT(all.kept, 0);
    EXPECT_GT(all.cleared, 0);
    EXPECT_GT(all.emission, 0);
    EXPECT_GT(all.scaled, 0);

    const ToolResult ae = Render(dir / "in.exr", dir / "ae.exr", Joined({"--host", "ae"}, mattes[0]));
    ASSERT_EQ(ae.status, 0) << ae.err;
    EXPECT_NE(ae.out.find("ae16"), std::string::npos) << ae.out;
    EXPECT_NE(ae.err.find("clipped"), std::string::npos) << ae.err;
}

struct AssociationCase {
    const char* name;
    bool unassociated;
};

void PrintTo(const AssociationCase& c, std::ostream* os) { *os << c.name; }

class TiffAlpha : public ::testing::TestWithParam<AssociationCase> {};

TEST_P(TiffAlpha, AssociationIsKeptWithTheStoredValuesWhereAlphaIsUnchanged) {
    const bool unassociated = GetParam().unassociated;
    ScratchDir dir;
    OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A"}, {kU16});
    header.attribute("compression", "lzw");
    if (unassociated) header.attribute("oiio:UnassociatedAlpha", 1);
    const PixelValue value = [&](int x, int y, int c) {
        if (c == 3) return Quarters(x, y);
        const float straight = float((x * 977 + y * 331 + c * 4099) % 65536) / 65535.0f;  // odd values too
        return unassociated ? straight : straight * Quarters(x, y);
    };
    Write(dir / "in.tif", {Filled(header, value)});
    const File input = ReadFile(dir / "in.tif");
    ASSERT_EQ(input.parts[0].header.get_int_attribute("oiio:UnassociatedAlpha"), int(unassociated));

    const ToolResult r = Render(dir / "in.tif", dir / "out.tif", kAddedMatte);
    ASSERT_EQ(r.status, 0) << r.err;
    const File out = ReadFile(dir / "out.tif");
    ASSERT_EQ(out.parts.size(), 1u);
    const Plate &in = input.parts[0], &o = out.parts[0];
    EXPECT_EQ(out.format, "tiff");
    EXPECT_EQ(o.header.get_int_attribute("oiio:UnassociatedAlpha"), int(unassociated));
    EXPECT_EQ(TypesOf(o.header), std::vector<std::string>(4, "uint16"));
    ASSERT_EQ(DataWindow(o.header), DataWindow(in.header));
    EXPECT_EQ(o.At(20, 15, 3), 1.0f) << "the matte is missing";
    if (unassociated) {
        // Straight colour does not depend on alpha: every stored value stays.
        for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(Differing(in, o, ch, ch), 0) << ch;
    } else {
        const Cases cases = ExpectPremultipliedColour(in, o, "", 2.0 / 65535.0);
        EXPECT_GT(cases.kept, 0);
        EXPECT_GT(cases.scaled, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, TiffAlpha,
                         ::testing::Values(AssociationCase{"Associated", false}, AssociationCase{"Unassociated", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Bits ---

TEST(SixteenBitPng, KeepsColourToTheBitAndSaysWhatTheSixteenBitHostLoses) {
    ScratchDir dir;
    OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A"}, {kU16});
    header.attribute("oiio:UnassociatedAlpha", 1);  // the values below are what the file stores
    Write(dir / "in.png", {Filled(header, [](int x, int y, int c) {
              return c == 3 ? Quarters(x, y) : float((x * 977 + y * 331 + c * 4099) % 65536) / 65535.0f;
          })});
    const File input = ReadFile(dir / "in.png");

    const ToolResult r = Render(dir / "in.png", dir / "out.png", kAddedMatte);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("pr32f"), std::string::npos) << r.out;
    const File out = ReadFile(dir / "out.png");
    ASSERT_EQ(out.parts.size(), 1u);
    EXPECT_EQ(TypesOf(out.parts[0].header), std::vector<std::string>(4, "uint16"));
    for (int ch = 0; ch < 3; ++ch) EXPECT_EQ(Differing(input.parts[0], out.parts[0], ch, ch), 0) << ch;
    EXPECT_EQ(out.parts[0].At(20, 15, 3), 1.0f) << "the matte is missing";

    const ToolResult ae = Render(dir / "in.png", dir / "ae.png", Joined({"--host", "ae"}, kAddedMatte));
    ASSERT_EQ(ae.status, 0) << ae.err;
    EXPECT_NE(ae.out.find("ae16"), std::string::npos) << ae.out;
    EXPECT_NE(ae.err.find("lowest bit"), std::string::npos) << ae.err;
}

TEST(TenBitDpx, KeepsItsBitsAndOutFormatSetsThem) {
    ScratchDir dir;
    OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A"}, {kU16});
    header.attribute("oiio:BitsPerSample", 10);
    Write(dir / "in.dpx", {Filled(header, [](int x, int y, int c) {
              // Premultiplied, as the library takes a DPX's alpha.
              return c == 3 ? Quarters(x, y) : float((x * 37 + y * 101 + c * 211) % 1024) / 1023.0f * Quarters(x, y);
          })});
    const OIIO::ImageSpec sixteen = Header(40, 30, {"R", "G", "B", "A"}, {kU16});
    Write(dir / "in.tif",
          {Filled(sixteen, [](int x, int y, int c) { return c == 3 ? Quarters(x, y) : Ramp(x, y, c); })});
    const File input = ReadFile(dir / "in.dpx");
    ASSERT_EQ(input.parts[0].header.get_int_attribute("oiio:BitsPerSample"), 10);

    const ToolResult r = Render(dir / "in.dpx", dir / "out.dpx", kAddedMatte);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("pr32f"), std::string::npos) << r.out;
    const File out = ReadFile(dir / "out.dpx");
    ASSERT_EQ(out.parts.size(), 1u);
    EXPECT_EQ(out.format, "dpx");
    EXPECT_EQ(out.parts[0].header.get_int_attribute("oiio:BitsPerSample"), 10);
    EXPECT_GT(ExpectPremultipliedColour(input.parts[0], out.parts[0], "", 2.0 / 1023.0).kept, 0);

    const struct {
        const char* in;
        const char* format;
        int bits;
    } asked[] = {{"in.tif", "uint10", 10}, {"in.dpx", "uint12", 12}};
    for (const auto& a : asked) {
        const fs::path written = dir / (std::string("asked-") + a.format + ".dpx");
        const ToolResult f = Render(dir / a.in, written, {"--out-format", a.format});
        ASSERT_EQ(f.status, 0) << a.format << ": " << f.err;
        EXPECT_EQ(ReadFile(written).parts.at(0).header.get_int_attribute("oiio:BitsPerSample"), a.bits) << a.format;
    }
}

// --- Windows ---

/// A data window, in the display window's coordinates, of a 40x30 display
/// window at (10,5); the matte's centre, in the same coordinates.
struct WindowCase {
    const char* name;
    int x, y, width, height;
    std::vector<std::string> origin;  ///< options placing the matte; none: the centre
    int centre_x, centre_y;
};

void PrintTo(const WindowCase& c, std::ostream* os) { *os << c.name; }

class PlateWindows : public ::testing::TestWithParam<WindowCase> {};

TEST_P(PlateWindows, OutputCoversBothWindowsAndKeepsTheDisplayWindow) {
    const WindowCase& c = GetParam();
    ScratchDir dir;
    const int dx = 10, dy = 5, dw = 40, dh = 30;
    OIIO::ImageSpec header = Header(c.width, c.height, {"R", "G", "B", "A", "Z"}, {kFloat});
    header.x = dx + c.x, header.y = dy + c.y;
    header.full_x = dx, header.full_y = dy, header.full_width = dw, header.full_height = dh;
    Write(dir / "in.exr", {Filled(header, [](int x, int y, int ch) {
              return ch == 3 ? float(1 + (x + y) % 3) / 4.0f : ch == 4 ? float(x) * 0.5f + float(y) : Ramp(x, y, ch);
          })});
    const File input = ReadFile(dir / "in.exr");
    const Plate& in = input.parts[0];

    const ToolResult r = Render(dir / "in.exr", dir / "out.exr",
                                Joined({"--composite", "add", "--width", "6", "--height", "4"}, c.origin));
    ASSERT_EQ(r.status, 0) << r.err;
    const int x0 = std::min(dx, header.x), y0 = std::min(dy, header.y);
    const int x1 = std::max(dx + dw, header.x + c.width), y1 = std::max(dy + dh, header.y + c.height);
    EXPECT_NE(r.out.find("(" + std::to_string(x1 - x0) + "x" + std::to_string(y1 - y0) + ","), std::string::npos)
        << r.out;
    const File out = ReadFile(dir / "out.exr");
    ASSERT_EQ(out.parts.size(), 1u);
    const Plate& o = out.parts[0];
    EXPECT_EQ(DisplayWindow(o.header), DisplayWindow(in.header));
    ASSERT_EQ(DataWindow(o.header), std::vector<int>({x0, y0, x1 - x0, y1 - y0}));
    ASSERT_EQ(o.header.channelnames, in.header.channelnames);

    // The matte sits on the display window, not on the data or the union.
    EXPECT_EQ(o.At(dx + c.centre_x, dy + c.centre_y, 3), 1.0f);
    // Away from it: the input's alpha, or nothing where there was no data.
    EXPECT_EQ(o.At(dx, dy, 3), in.Holds(dx, dy) ? in.At(dx, dy, 3) : 0.0f);
    // Depth is the input's over its data, 0 where the frame grew.
    int depth_wrong = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (!Same(o.At(x, y, 4), in.Holds(x, y) ? in.At(x, y, 4) : 0.0f)) ++depth_wrong;
        }
    }
    EXPECT_EQ(depth_wrong, 0);
    EXPECT_GT(ExpectPremultipliedColour(in, o, "", 1e-5).kept, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, PlateWindows,
    ::testing::Values(WindowCase{"Inside", 3, 2, 12, 10, {}, 20, 15}, WindowCase{"Equal", 0, 0, 40, 30, {}, 20, 15},
                      WindowCase{"Overscan", -30, -20, 80, 60, {}, 20, 15},
                      WindowCase{"PartlyBeyondWithAnOrigin", 25, 20, 30, 20, {"--origin", "6,4"}, 6, 4}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Channels and parts ---

struct LayerCase {
    const char* name;
    std::vector<std::string> options;
    const char* layer;  ///< the rendered channels' prefix
};

void PrintTo(const LayerCase& c, std::ostream* os) { *os << c.name; }

class ManyChannels : public ::testing::TestWithParam<LayerCase> {};

TEST_P(ManyChannels, OnlyTheRenderedLayerChanges) {
    const LayerCase& c = GetParam();
    ScratchDir dir;
    const std::vector<std::string> names = {"R",           "G",           "B",         "A",         "Z",
                                            "disparity.X", "disparity.Y", "forward.X", "forward.Y", "backward.X",
                                            "backward.Y",  "left.R",      "left.G",    "left.B",    "left.A",
                                            "N.X",         "N.Y",         "N.Z",       "id",        "mask"};
    std::vector<TypeDesc> types;
    for (const std::string& n : names) {
        const bool precise = n == "Z" || n.starts_with("disparity.") || n.starts_with("N.") || n == "id";
        types.push_back(precise ? kFloat : kHalf);
    }
    OIIO::ImageSpec header = Header(40, 30, names, types);
    header.attribute("compression", "zip");
    Write(dir / "in.exr", {Filled(header, [&](int x, int y, int ch) {
              const std::string& n = names[std::size_t(ch)];
              if (n == "A" || n == "left.A") return float(1 + (x + y + ch) % 3) / 4.0f;
              return float((x * 3 + y * 5 + ch * 11) % 29 - 8) / 8.0f;
          })});
    const File input = ReadFile(dir / "in.exr");
    const Plate& in = input.parts[0];
    ASSERT_EQ(in.header.nchannels, 20);

    const ToolResult r = Render(dir / "in.exr", dir / "out.exr", Joined(kAddedMatte, c.options));
    ASSERT_EQ(r.status, 0) << r.err;
    const File out = ReadFile(dir / "out.exr");
    ASSERT_EQ(out.parts.size(), 1u);
    const Plate& o = out.parts[0];
    ASSERT_EQ(o.header.channelnames, in.header.channelnames);
    EXPECT_EQ(TypesOf(o.header), TypesOf(in.header));
    ASSERT_EQ(DataWindow(o.header), DataWindow(in.header));
    const std::string layer = c.layer;
    for (int ch = 0; ch < in.header.nchannels; ++ch) {
        const std::string& n = in.header.channelnames[std::size_t(ch)];
        const bool rendered = n == layer + "R" || n == layer + "G" || n == layer + "B" || n == layer + "A";
        if (!rendered) {
            EXPECT_EQ(Differing(in, o, ch, ch), 0) << n << " changed";
        }
    }
    EXPECT_EQ(o.At(20, 15, o.Channel(layer + "A")), 1.0f) << "the matte is missing from " << layer << "A";
    const Cases cases = ExpectPremultipliedColour(in, o, layer, 2e-3);
    EXPECT_GT(cases.kept, 0);
    EXPECT_GT(cases.scaled, 0);
}

INSTANTIATE_TEST_SUITE_P(Layers, ManyChannels,
                         ::testing::Values(LayerCase{"UnnamedByDefault", {}, ""},
                                           LayerCase{"LeftAsked", {"--layer", "left"}, "left."}),
                         [](const auto& info) { return std::string(info.param.name); });

/// A stereo file as a renderer writes it: a colour and a depth part for
/// each eye, the left depth on a smaller data window.
void WriteStereo(const fs::path& path) {
    std::vector<Plate> parts;
    const struct {
        const char* name;
        const char* view;
        bool colour;
    } layout[] = {{"rgba_left", "left", true},
                  {"rgba_right", "right", true},
                  {"depth_left", "left", false},
                  {"depth_right", "right", false}};
    for (int p = 0; p < 4; ++p) {
        const auto& l = layout[p];
        OIIO::ImageSpec header =
            l.colour ? Header(40, 30, {"R", "G", "B", "A"}, {kHalf}) : Header(40, 30, {"Z"}, {kFloat});
        if (p == 2) header.x = 4, header.y = 3, header.width = 30, header.height = 20;
        header.full_x = header.full_y = 0, header.full_width = 40, header.full_height = 30;
        header.attribute("oiio:subimagename", l.name);
        header.attribute("view", l.view);
        header.attribute("compression", "zip");
        const bool colour = l.colour;
        parts.push_back(Filled(header, [p, colour](int x, int y, int ch) {
            return colour && ch == 3 ? Quarters(x, y) : Ramp(x, y, ch) + float(p) / 8.0f;
        }));
    }
    Write(path, parts);
}

TEST(StereoParts, SeveralColourPartsAskForOne) {
    ScratchDir dir;
    WriteStereo(dir / "stereo.exr");
    ASSERT_EQ(ReadFile(dir / "stereo.exr").parts.size(), 4u);
    const ToolResult r = Render(dir / "stereo.exr", dir / "out.exr");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("choose one with --part"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("rgba_left"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("rgba_right"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exr"));
}

class StereoPart : public ::testing::TestWithParam<const char*> {};

TEST_P(StereoPart, IsRenderedAndEveryOtherPartComesBackUnchanged) {
    ScratchDir dir;
    WriteStereo(dir / "stereo.exr");
    const File input = ReadFile(dir / "stereo.exr");
    const ToolResult r = Render(dir / "stereo.exr", dir / "out.exr", Joined(kAddedMatte, {"--part", GetParam()}));
    ASSERT_EQ(r.status, 0) << r.err;
    const File out = ReadFile(dir / "out.exr");
    ASSERT_EQ(out.parts.size(), input.parts.size());
    for (std::size_t p = 0; p < out.parts.size(); ++p) {
        const Plate &i = input.parts[p], &o = out.parts[p];
        EXPECT_EQ(o.header.get_string_attribute("oiio:subimagename"),
                  i.header.get_string_attribute("oiio:subimagename"))
            << p;
        EXPECT_EQ(o.header.get_string_attribute("view"), i.header.get_string_attribute("view")) << p;
        EXPECT_EQ(DisplayWindow(o.header), DisplayWindow(i.header)) << p;
        ASSERT_EQ(DataWindow(o.header), DataWindow(i.header)) << p;
        ASSERT_EQ(o.header.channelnames, i.header.channelnames) << p;
        EXPECT_EQ(TypesOf(o.header), TypesOf(i.header)) << p;
        if (p == 1) continue;
        for (int ch = 0; ch < i.header.nchannels; ++ch)
            EXPECT_EQ(Differing(i, o, ch, ch), 0) << "part " << p << " " << ch;
    }
    EXPECT_EQ(out.parts[1].At(20, 15, 3), 1.0f) << "the matte is missing from the right eye";
    EXPECT_GT(ExpectPremultipliedColour(input.parts[1], out.parts[1], "", 2e-3).kept, 0);
}

INSTANTIATE_TEST_SUITE_P(Choices, StereoPart, ::testing::Values("rgba_right", "1"),
                         [](const auto& info) { return std::string(info.index == 0 ? "ByName" : "ByIndex"); });

// --- Other formats ---

/// Whether a file of this extension keeps colour space `name`, as the
/// library writes and reads it: a reader that names one colour space for
/// every file (EXR's "Linear") keeps none.
bool KeepsColourSpace(const ScratchDir& dir, const std::string& ext, const std::string& name) {
    for (const std::string& written : {name, std::string(name == "sRGB" ? "Linear" : "sRGB")}) {
        OIIO::ImageSpec header = Header(4, 4, {"R", "G", "B"}, {kFloat});
        header.attribute("oiio:ColorSpace", written);
        const fs::path probe = dir / ("probe" + ext);
        Write(probe, {Filled(header, [](int, int, int) { return 0.5f; })});
        if (ReadFile(probe).parts.at(0).header.get_string_attribute("oiio:ColorSpace") != written) return false;
    }
    return true;
}

struct ConversionCase {
    const char* name;
    const char* in;
    std::vector<std::string> channels;
    TypeDesc type;
    const char* colour_space;  ///< written into the input; empty: none
    const char* out;
    const char* dropped;  ///< a channel the note names; empty: none
};

void PrintTo(const ConversionCase& c, std::ostream* os) { *os << c.name; }

class Conversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Conversion, WritesTheLayerAsTheOtherFormatHoldsAlpha) {
    const ConversionCase& c = GetParam();
    ScratchDir dir;
    OIIO::ImageSpec header = Header(40, 30, c.channels, {c.type});
    const std::string in_ext = fs::path(c.in).extension().string(), out_ext = fs::path(c.out).extension().string();
    const bool straight_in = in_ext == ".png";
    if (straight_in) header.attribute("oiio:UnassociatedAlpha", 1);
    if (*c.colour_space) header.attribute("oiio:ColorSpace", c.colour_space);
    const int alpha = header.alpha_channel;
    Write(dir / c.in, {Filled(header, [&](int x, int y, int ch) {
              if (ch == alpha) return Quarters(x, y);
              const float straight = Ramp(x, y, ch);
              return alpha < 0 || straight_in ? straight : straight * Quarters(x, y);
          })});
    const File input = ReadFile(dir / c.in);
    const Plate& in = input.parts[0];

    const ToolResult r = Render(dir / c.in, dir / c.out, kAddedMatte);
    ASSERT_EQ(r.status, 0) << r.err;
    if (*c.dropped) {
        // Named in the note, not merely in the scratch folder's random name.
        std::string note = r.err;
        for (std::size_t at; (at = note.find(dir.path().string())) != std::string::npos;) {
            note.erase(at, dir.path().string().size());
        }
        EXPECT_NE(note.find(c.dropped), std::string::npos) << r.err;
    }
    const File out = ReadFile(dir / c.out);
    ASSERT_EQ(out.parts.size(), 1u);
    const Plate& o = out.parts[0];
    ASSERT_EQ(o.header.channelnames, std::vector<std::string>({"R", "G", "B", "A"}));
    ASSERT_EQ(DataWindow(o.header), DataWindow(in.header));
    EXPECT_EQ(o.At(20, 15, 3), 1.0f) << "the matte is missing";

    const bool straight_out = out_ext == ".png";
    const std::string type = o.header.channelformat(0).c_str();
    const double tolerance = type == "uint16"  ? 2.0 / 65535.0
                             : type == "uint8" ? 1.0 / 255.0
                             : type == "half"  ? 2e-3
                                               : 1e-5;
    int wrong = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const float ai = alpha < 0 ? 1.0f : in.At(x, y, alpha), ao = o.At(x, y, 3);
            for (int ch = 0; ch < 3; ++ch) {
                const double straight = straight_in || alpha < 0 ? in.At(x, y, ch) : double(in.At(x, y, ch)) / ai;
                // A straight format holds what it can of the straight colour;
                // a premultiplied one the colour times the new alpha.
                const double expected = straight_out ? std::clamp(straight, 0.0, 1.0) : straight * ao;
                if (std::abs(o.At(x, y, ch) - expected) > tolerance * std::max(1.0, expected)) ++wrong;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "colour values not converted";

    const std::string space = in.header.get_string_attribute("oiio:ColorSpace");
    if (!space.empty() && KeepsColourSpace(dir, out_ext, space)) {
        EXPECT_EQ(o.header.get_string_attribute("oiio:ColorSpace"), space);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Conversion,
    ::testing::Values(ConversionCase{"ExrToPng", "in.exr", {"R", "G", "B", "A", "Z"}, kHalf, "", "out.png", "Z"},
                      ConversionCase{"PngToExr", "in.png", {"R", "G", "B", "A"}, kU16, "Linear", "out.exr", ""},
                      ConversionCase{"HdrToPng", "in.hdr", {"R", "G", "B"}, kFloat, "", "out.png", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct NoAlphaCase {
    const char* name;
    const char* out;
    double tolerance;  ///< at 1; relative above
};

void PrintTo(const NoAlphaCase& c, std::ostream* os) { *os << c.name; }

class FormatWithoutAlpha : public ::testing::TestWithParam<NoAlphaCase> {};

TEST_P(FormatWithoutAlpha, TakesTheColourMattedOverBlack) {
    const NoAlphaCase& c = GetParam();
    ScratchDir dir;
    // Flat colour at half coverage, so that a lossy encoder's blocks away
    // from the ellipse's edge are flat too.
    const float straight[3] = {0.8f, 0.5f, 0.2f};
    Write(dir / "in.exr", {Filled(Header(96, 96, {"R", "G", "B", "A"}, {kHalf}),
                                  [&](int, int, int ch) { return ch == 3 ? 0.5f : straight[ch] * 0.5f; })});
    const File input = ReadFile(dir / "in.exr");

    // The ellipse covers (32,32)-(63,63), and leaves (0,0)-(15,15) alone.
    const ToolResult r = Render(dir / "in.exr", dir / c.out, {"--composite", "add", "--width", "48", "--height", "48"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("no alpha"), std::string::npos) << r.err;
    const File out = ReadFile(dir / c.out);
    ASSERT_EQ(out.parts.size(), 1u);
    const Plate &in = input.parts[0], &o = out.parts[0];
    ASSERT_EQ(o.header.nchannels, 3);
    ASSERT_EQ(DataWindow(o.header), DataWindow(in.header));
    const struct {
        int x0, x1;
        float alpha;
    } regions[] = {{32, 64, 1.0f}, {0, 16, 0.5f}};
    for (const auto& region : regions) {
        int wrong = 0;
        for (int y = region.x0; y < region.x1; ++y) {
            for (int x = region.x0; x < region.x1; ++x) {
                for (int ch = 0; ch < 3; ++ch) {
                    const double expected = double(in.At(x, y, ch)) / in.At(x, y, 3) * region.alpha;
                    if (std::abs(o.At(x, y, ch) - expected) > c.tolerance * std::max(1.0, expected)) ++wrong;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "alpha " << region.alpha << ": e.g. " << o.At(region.x0, region.x0, 0) << " for "
                            << double(in.At(region.x0, region.x0, 0)) / 0.5 * region.alpha;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatWithoutAlpha,
                         ::testing::Values(NoAlphaCase{"Jpeg", "out.jpg", 10.0 / 255.0},
                                           NoAlphaCase{"Radiance", "out.hdr", 0.01},
                                           NoAlphaCase{"Ppm", "out.ppm", 1.0 / 255.0}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Shots ---

TEST(NumberedPlates, TiledFramesOfManyChannelsAreWrittenAsASingleFrameIs) {
    ScratchDir dir;
    OIIO::ImageSpec header =
        Header(40, 30, {"R", "G", "B", "A", "Z", "motion.X"}, {kHalf, kHalf, kHalf, kHalf, kFloat, kHalf});
    header.tile_width = header.tile_height = 16;
    header.tile_depth = 1;
    header.attribute("compression", "zip");
    for (int f = 1; f <= 3; ++f) {
        Write(dir / ("in." + std::to_string(f) + ".exr"), {Filled(header, [f](int x, int y, int ch) {
                  return ch == 3 ? Quarters(x + f, y) : Ramp(x + f, y, ch);  // every frame of its own
              })});
    }
    const ToolResult r = RunTool(
        Joined({"render", "--frames", "1-3", "--in", dir.str("in.#.exr"), "--out", dir.str("out.#.exr"), "--quiet"},
               kAddedMatte));
    ASSERT_EQ(r.status, 0) << r.err;
    for (int f = 1; f <= 3; ++f) {
        const File in = ReadFile(dir / ("in." + std::to_string(f) + ".exr"));
        const File out = ReadFile(dir / ("out." + std::to_string(f) + ".exr"));
        ASSERT_EQ(out.parts.size(), 1u) << f;
        const Plate &i = in.parts[0], &o = out.parts[0];
        EXPECT_EQ(std::vector<int>({o.header.tile_width, o.header.tile_height}), std::vector<int>({16, 16})) << f;
        ASSERT_EQ(o.header.channelnames, i.header.channelnames) << f;
        EXPECT_EQ(TypesOf(o.header), TypesOf(i.header)) << f;
        ASSERT_EQ(DataWindow(o.header), DataWindow(i.header)) << f;
        for (const char* extra : {"Z", "motion.X"}) {
            EXPECT_EQ(Differing(i, o, i.Channel(extra), o.Channel(extra)), 0) << f << " " << extra;
        }
        EXPECT_EQ(o.At(20, 15, 3), 1.0f) << f;
        EXPECT_GT(ExpectPremultipliedColour(i, o, "", 2e-3).kept, 0) << f;
    }
}

// --- Interruption ---

/// Resident bytes of a running process; 0 once it is gone.
// --- Damaged files ---

/// A tiled, two-part EXR cut short or with bytes changed: a refusal in at
/// most two lines, or a readable output, never a signal.
class DamagedPlate : public ::testing::TestWithParam<int> {};

TEST_P(DamagedPlate, EndsInARefusalOrAReadableOutput) {
    ScratchDir dir;
    OIIO::ImageSpec header = Header(40, 30, {"R", "G", "B", "A", "Z"}, {kHalf, kHalf, kHalf, kHalf, kFloat});
    header.tile_width = header.tile_height = 16;
    header.tile_depth = 1;
    OIIO::ImageSpec second = header;
    header.attribute("name", "rgba");
    second.attribute("name", "other");
    second.channelnames = {"X", "Y", "Q", "W", "Z"};
    Write(dir / "plate.exr", {Filled(header, Ramp), Filled(second, Ramp)});
    std::string bytes = Slurp(dir / "plate.exr");
    const int n = GetParam();
    if (n < 8) {
        bytes.resize(bytes.size() * std::size_t(n + 1) / 9);  // cut at an eighth, a quarter...
    } else {
        for (std::size_t i = std::size_t(n) * 37; i < bytes.size(); i += 97) bytes[i] = char(bytes[i] ^ 0x5A);
    }
    std::ofstream(dir / "damaged.exr", std::ios::binary) << bytes;
    const ToolResult r = Render(dir / "damaged.exr", dir / "out.exr");
    ASSERT_TRUE(r.status == 0 || r.status == 2) << "status " << r.status << ": " << r.err;
    EXPECT_LE(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    if (r.status == 2) {
        EXPECT_FALSE(fs::exists(dir / "out.exr"));
    } else {
        EXPECT_FALSE(ReadFile(dir / "out.exr").parts.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(CutOrChanged, DamagedPlate, ::testing::Range(0, 14));

TEST(Messages, NamesFromAFileThatAreNotUtf8AreEscaped) {
    ScratchDir dir;
    const OIIO::ImageSpec header = Header(8, 8, {"\xff\xfe", "Z2", "Z3"}, {kHalf, kHalf, kHalf});
    Write(dir / "odd.exr", {Filled(header, Ramp)});
    const ToolResult r = Render(dir / "odd.exr", dir / "out.exr");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Z2, Z3, \\xff\\xfe"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\xff'), std::string::npos);
}

std::uint64_t ResidentBytes(pid_t pid) {
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    std::uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * std::uint64_t(::sysconf(_SC_PAGESIZE));
}

TEST(Interrupt, CtrlCInASingleFrameLeavesNoFileAndExits130) {
    ScratchDir out_dir, log_dir;
    const std::string out = out_dir.str("big.tif"), log = log_dir.str("stderr");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The render as a user starts it from a terminal: Ctrl-C delivered,
        // whatever the test runner's shell left ignored or blocked.
        ::signal(SIGINT, SIG_DFL);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int err = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0), ::dup2(null, 1), ::dup2(err, 2);
        ::execl(QUORVEL_HOST_TOOL, QUORVEL_HOST_TOOL, "render", "--size", "8000x8000", "--depth", "16", "--out",
                out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    using Clock = std::chrono::steady_clock;
    const auto gone = [&](int& status) { return ::waitpid(pid, &status, WNOHANG) == pid; };
    int status = 0;
    // Signalled once it holds a frame of the card (8000x8000 at 16 bits is
    // 512 MB): past its start, into the work.
    for (const auto give_up = Clock::now() + std::chrono::minutes(2); ResidentBytes(pid) < (256u << 20);) {
        if (gone(status)) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) GTEST_SKIP() << "the render finished before the signal";
            FAIL() << "the render ended by itself with status " << status << ": " << Slurp(log);
        }
        if (Clock::now() > give_up) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "the render never took a frame's memory";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    for (const auto give_up = Clock::now() + std::chrono::minutes(2); !gone(status);) {
        if (Clock::now() > give_up) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            FAIL() << "Ctrl-C did not stop the render";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) GTEST_SKIP() << "the render finished before the signal";
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 130);
    const std::string err = Slurp(log);
    EXPECT_NE(err.find('\n'), std::string::npos) << "nothing said on stderr";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(out_dir.path())) left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>()) << err;
}

}  // namespace
}  // namespace quorvel::test
