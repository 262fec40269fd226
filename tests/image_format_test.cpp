// Image files through quorvel-host render as a compositing pipeline hands
// them over: the files are made and read back with the image library
// itself, so what the tool keeps (data formats, channel names, compression,
// metadata, windows) and what it refuses is checked against the library
// that owns the formats, not against the tool's own reading of them.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

/// An image as the library holds it: its header and its data window's
/// pixels as float.
struct Image {
    std::string format;  ///< the library's name of the file format
    OIIO::ImageSpec header;
    std::vector<float> pixels;

    float At(int x, int y, int c) const {
        return pixels[(std::size_t(y) * std::size_t(header.width) + std::size_t(x)) * std::size_t(header.nchannels) +
                      std::size_t(c)];
    }
};

/// An opened file's header: the one place the library's accessor is named.
const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }

/// A header of `channels` named channels of one data type.
OIIO::ImageSpec MakeHeader(int width, int height, std::vector<std::string> names, OIIO::TypeDesc type) {
    OIIO::ImageSpec header(width, height, int(names.size()), type);
    header.channelnames = std::move(names);
    header.alpha_channel = -1;
    for (int c = 0; c < header.nchannels; ++c) {
        const std::string& n = header.channelnames[std::size_t(c)];
        if (n == "A" || n.ends_with(".A")) header.alpha_channel = c;
    }
    return header;
}

/// Colour varies over the frame; alpha is a ramp. Values a half holds exactly.
std::vector<float> Pattern(const OIIO::ImageSpec& header) {
    std::vector<float> p(std::size_t(header.width) * std::size_t(header.height) * std::size_t(header.nchannels));
    for (int y = 0; y < header.height; ++y) {
        for (int x = 0; x < header.width; ++x) {
            for (int c = 0; c < header.nchannels; ++c) {
                float v = float((x * 7 + y * 3 + c * 40) % 256) / 256.0f;
                if (c == header.alpha_channel) v = float(x % 64 + 1) / 64.0f;
                p[(std::size_t(y) * std::size_t(header.width) + std::size_t(x)) * std::size_t(header.nchannels) +
                  std::size_t(c)] = v;
            }
        }
    }
    return p;
}

void Write(const fs::path& path, const OIIO::ImageSpec& header, const std::vector<float>& pixels) {
    auto out = OIIO::ImageOutput::create(path.string());
    ASSERT_TRUE(out) << OIIO::geterror();
    ASSERT_TRUE(out->open(path.string(), header)) << out->geterror();
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, pixels.data())) << out->geterror();
    ASSERT_TRUE(out->close()) << out->geterror();
}

Image Read(const fs::path& path) {
    Image image;
    OIIO::ImageSpec hints;
    hints.attribute("oiio:UnassociatedAlpha", 1);  // colour as stored
    auto in = OIIO::ImageInput::open(path.string(), &hints);
    EXPECT_TRUE(in) << OIIO::geterror();
    if (!in) return image;
    image.format = in->format_name();
    image.header = HeaderOf(*in);
    image.pixels.resize(image.header.image_pixels() * std::size_t(image.header.nchannels));
    EXPECT_TRUE(in->read_image(0, 0, 0, image.header.nchannels, OIIO::TypeDesc::FLOAT, image.pixels.data()));
    return image;
}

std::vector<std::string> TypesOf(const OIIO::ImageSpec& header) {
    std::vector<std::string> types;
    for (int c = 0; c < header.nchannels; ++c) types.push_back(header.channelformat(c).c_str());
    return types;
}

/// The default render: an ellipse at the frame's centre, alpha outside it zero.
ToolResult Render(const fs::path& in, const fs::path& out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"render", "--in", in.string(), "--out", out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunTool(args);
}

/// The output's colour against the input's R, G, B and A (`in_channels`,
/// alpha -1 when there is none: opaque), over the input's data window
/// placed in the output's frame. A straight file's colour does not depend
/// on alpha: the same values everywhere. A premultiplied file's follows the
/// new alpha: 0 where it is 0; elsewhere, on the float path (`tolerance`
/// is its output type's rounding), the same bits where the alpha is
/// unchanged and in × new / old where it changed. The 16-bit path rounds
/// colour that it unpremultiplies, so there (`tolerance` 0) only the
/// cleared colour is exact.
void ExpectColourFollowsAlpha(const Image& in, const Image& out, const std::vector<int>& in_channels,
                              bool premultiplied, float tolerance) {
    const int dx = in.header.x - out.header.x, dy = in.header.y - out.header.y;
    int differing = 0;
    for (int y = 0; y < in.header.height; ++y) {
        for (int x = 0; x < in.header.width; ++x) {
            const float ai = in_channels[3] < 0 ? 1.0f : in.At(x, y, in_channels[3]);
            const float ao = out.At(x + dx, y + dy, 3);
            for (int c = 0; c < 3; ++c) {
                const float vi = in.At(x, y, in_channels[std::size_t(c)]), vo = out.At(x + dx, y + dy, c);
                if (!premultiplied || (tolerance > 0 && ai == ao)) {
                    if (vi != vo) ++differing;
                } else if (ao == 0.0f) {
                    if (vo != 0.0f) ++differing;
                } else if (tolerance > 0) {
                    const float expected = ai == 0.0f ? vi * ao : vi * ao / ai;
                    if (std::abs(vo - expected) > tolerance * std::max(1.0f, std::abs(expected))) ++differing;
                }
            }
        }
    }
    EXPECT_EQ(differing, 0) << "colour values off what the alpha makes of them";
}

struct KeptCase {
    const char* name;
    const char* file;  ///< the input's file name; the output's is "out" + its extension
    std::vector<std::string> channels;
    std::vector<OIIO::TypeDesc> types;  ///< per channel
    const char* compression;            ///< what the input is written with
    const char* host;                   ///< empty: the tool's choice
    const char* rendered_as;            ///< the depth the tool picks, in its report
};

void PrintTo(const KeptCase& c, std::ostream* os) { *os << c.name; }

class ImageFormatKept : public ::testing::TestWithParam<KeptCase> {};

TEST_P(ImageFormatKept, OutputIsTheSameKindOfFileWithColourFollowingAlpha) {
    const KeptCase& c = GetParam();
    ScratchDir dir;
    const fs::path in = dir / c.file;
    const fs::path out = dir / ("out" + fs::path(c.file).extension().string());
    OIIO::ImageSpec header = MakeHeader(96, 64, c.channels, c.types.front());
    header.channelformats = c.types;
    header.attribute("compression", c.compression);
    header.attribute("PixelAspectRatio", 2.0f);
    const float acescg[8] = {0.713f, 0.293f, 0.165f, 0.830f, 0.128f, 0.044f, 0.32168f, 0.33767f};
    header.attribute("chromaticities", OIIO::TypeDesc(OIIO::TypeDesc::FLOAT, 8), acescg);
    Write(in, header, Pattern(header));

    std::vector<std::string> options = {"--width", "20", "--height", "10"};
    if (*c.host) options.insert(options.end(), {"--host", c.host});
    const ToolResult r = Render(in, out, options);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.rendered_as), std::string::npos) << r.out;

    const Image input = Read(in), output = Read(out);
    const bool had_alpha = input.header.alpha_channel >= 0;
    std::vector<std::string> names = input.header.channelnames;
    std::vector<std::string> types = TypesOf(input.header);
    if (!had_alpha) {
        names.push_back(names[0].find('.') == std::string::npos ? "A" : names[0].substr(0, names[0].rfind('.')) + ".A");
        types.push_back(types[0]);
    }
    EXPECT_EQ(output.format, input.format);
    EXPECT_EQ(output.header.channelnames, names);
    EXPECT_EQ(TypesOf(output.header), types);
    EXPECT_EQ(output.header.alpha_channel, 3);
    EXPECT_EQ(output.header.get_string_attribute("compression"), input.header.get_string_attribute("compression"));
    if (input.format == "openexr") {
        EXPECT_EQ(output.header.get_float_attribute("PixelAspectRatio"), 2.0f);
        const OIIO::ParamValue* chromaticities = output.header.find_attribute("chromaticities");
        ASSERT_NE(chromaticities, nullptr);
        EXPECT_EQ(chromaticities->get<float>(0), acescg[0]);
        EXPECT_EQ(chromaticities->get<float>(7), acescg[7]);
    }
    // A lossy compression changes what it encodes again. PNG is straight;
    // the others premultiplied (a TIFF written with its alpha associated).
    const float rounding = input.header.channelformat(0) == OIIO::TypeDesc::FLOAT ? 1e-5f : 2e-3f;
    if (std::string(c.compression).rfind("dwa", 0) != 0) {
        ExpectColourFollowsAlpha(input, output, {0, 1, 2, had_alpha ? 3 : -1}, input.format != "png",
                                 std::string(c.rendered_as) == "pr32f" ? rounding : 0.0f);
    }
    // The matte replaces alpha: opaque at the centre, where the input's
    // alpha ramp is not, and clear in the corner.
    EXPECT_EQ(output.At(48, 32, 3), 1.0f);
    EXPECT_NE(input.At(48, 32, had_alpha ? 3 : 0), 1.0f);
    EXPECT_EQ(output.At(0, 0, 3), 0.0f);
}

const OIIO::TypeDesc kHalf = OIIO::TypeDesc::HALF, kFloat = OIIO::TypeDesc::FLOAT, kU8 = OIIO::TypeDesc::UINT8,
                     kU16 = OIIO::TypeDesc::UINT16;

INSTANTIATE_TEST_SUITE_P(
    Files, ImageFormatKept,
    ::testing::Values(
        KeptCase{"HalfExr", "plate.exr", {"R", "G", "B", "A"}, {kHalf, kHalf, kHalf, kHalf}, "dwaa", "", "pr32f"},
        KeptCase{"HalfExrAtSixteenBits",
                 "plate.exr",
                 {"R", "G", "B", "A"},
                 {kHalf, kHalf, kHalf, kHalf},
                 "zip",
                 "ae",
                 "ae16"},
        KeptCase{"FloatExrNamedLayer",
                 "plate.exr",
                 {"beauty.R", "beauty.G", "beauty.B", "beauty.A"},
                 {kFloat, kFloat, kFloat, kFloat},
                 "piz",
                 "premiere",
                 "pr32f"},
        KeptCase{"MixedExrHalfColourFloatAlpha",
                 "plate.exr",
                 {"R", "G", "B", "A"},
                 {kHalf, kHalf, kHalf, kFloat},
                 "zips",
                 "premiere",
                 "pr32f"},
        KeptCase{"ExrWithoutAlpha",
                 "plate.exr",
                 {"diffuse.R", "diffuse.G", "diffuse.B"},
                 {kHalf, kHalf, kHalf},
                 "piz",
                 "premiere",
                 "pr32f"},
        KeptCase{
            "EightBitPngStraightAlpha", "plate.png", {"R", "G", "B", "A"}, {kU8, kU8, kU8, kU8}, "zip", "ae", "ae8"},
        KeptCase{
            "SixteenBitTiffLzw", "plate.tif", {"R", "G", "B", "A"}, {kU16, kU16, kU16, kU16}, "lzw", "ae", "ae16"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageFormat, TimecodeAndDisplayWindowOriginAreKept) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(64, 48, {"R", "G", "B", "A"}, kHalf);
    header.x = header.full_x = 10;
    header.y = header.full_y = 20;
    const unsigned int timecode[2] = {0x01000005u, 0u};  // 01:00:00:05
    header.attribute("smpte:TimeCode", OIIO::TypeTimeCode, timecode);
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / "out.exr");
    ASSERT_EQ(r.status, 0) << r.err;
    const Image out = Read(dir / "out.exr");
    EXPECT_EQ(std::vector<int>({out.header.x, out.header.y, out.header.full_x, out.header.full_y}),
              std::vector<int>({10, 20, 10, 20}));
    const OIIO::ParamValue* kept = out.header.find_attribute("smpte:TimeCode");
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->get<unsigned int>(0), timecode[0]);
}

/// An input whose header states a pixel aspect ratio, rendered with options:
/// the note stderr holds, and the ratio the render used, by comparison with
/// a square-pixel file's render given that ratio as --par.
struct AspectCase {
    const char* name;
    float header;
    std::vector<std::string> options;
    const char* note;  ///< how stderr's one line starts; empty: stderr is empty
    const char* used;
};

void PrintTo(const AspectCase& c, std::ostream* os) { *os << c.name; }

class PixelAspectOfTheInput : public ::testing::TestWithParam<AspectCase> {};

TEST_P(PixelAspectOfTheInput, IsTheRendersUnlessParSaysOtherwise) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(64, 48, {"R", "G", "B", "A"}, kHalf);
    const std::vector<float> pixels = Pattern(header);
    Write(dir / "square.exr", header, pixels);
    header.attribute("PixelAspectRatio", GetParam().header);
    Write(dir / "in.exr", header, pixels);
    const std::vector<std::string> matte = {"--width", "40", "--height", "30"};
    std::vector<std::string> options = matte;
    options.insert(options.end(), GetParam().options.begin(), GetParam().options.end());
    const ToolResult r = Render(dir / "in.exr", dir / "out.npy", options);
    ASSERT_EQ(r.status, 0) << r.err;
    if (*GetParam().note == 0) {
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_EQ(r.err.rfind("quorvel-host: " + std::string(GetParam().note), 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    std::vector<std::string> reference = matte;
    reference.insert(reference.end(), {"--par", GetParam().used});
    ASSERT_EQ(Render(dir / "square.exr", dir / "reference.npy", reference).status, 0);
    EXPECT_EQ(Slurp(dir / "out.npy"), Slurp(dir / "reference.npy"));
    ASSERT_EQ(Render(dir / "square.exr", dir / "other.npy", matte).status, 0);
    if (std::string(GetParam().used) != "1/1") {
        EXPECT_NE(Slurp(dir / "out.npy"), Slurp(dir / "other.npy"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PixelAspectOfTheInput,
    ::testing::Values(AspectCase{"Anamorphic", 2.0f, {}, "pixel aspect ratio 2/1, from the header of", "2/1"},
                      AspectCase{"NtscInSinglePrecision", 10.0f / 11.0f, {}, "pixel aspect ratio 10/11, from", "10/11"},
                      AspectCase{"SquareGoesWithoutSaying", 1.0f, {}, "", "1/1"},
                      AspectCase{"ParWinsAndSaysSo", 2.0f, {"--par", "1/1"}, "--par 1/1 is used; the header of", "1/1"},
                      AspectCase{"ParAgreeingGoesWithoutSaying", 2.0f, {"--par", "4/2"}, "", "2/1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageFormat, ADataWindowInsideTheDisplayWindowIsPlacedOnTransparentBlack) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(40, 30, {"R", "G", "B", "A"}, kHalf);
    header.x = 50, header.y = 12;
    header.full_x = header.full_y = 0;
    header.full_width = 160, header.full_height = 90;
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / "out.exr",
                                {"--composite", "add", "--host", "premiere", "--width", "20", "--height", "10"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("160x90"), std::string::npos) << r.out;
    const Image in = Read(dir / "in.exr"), out = Read(dir / "out.exr");
    // The whole display window is rendered and written.
    EXPECT_EQ(std::vector<int>({out.header.x, out.header.y, out.header.width, out.header.height}),
              std::vector<int>({0, 0, 160, 90}));
    ExpectColourFollowsAlpha(in, out, {0, 1, 2, 3}, true, 2e-3f);
    // Outside the data window there was nothing: black, and the matte's
    // alpha added to zero.
    EXPECT_EQ(out.At(5, 5, 0), 0.0f);
    EXPECT_EQ(out.At(5, 5, 3), 0.0f);
    EXPECT_EQ(out.At(80, 45, 3), 1.0f);  // the ellipse's centre
}

TEST(ImageFormat, OverscanBeyondTheDisplayWindowIsKept) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(120, 80, {"R", "G", "B", "A"}, kHalf);
    header.x = header.y = -10;
    header.full_x = header.full_y = 0;
    header.full_width = 100, header.full_height = 60;
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / "out.exr");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("window"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("120x80"), std::string::npos) << r.out;
    const Image in = Read(dir / "in.exr"), out = Read(dir / "out.exr");
    EXPECT_EQ(std::vector<int>({out.header.x, out.header.y, out.header.width, out.header.height}),
              std::vector<int>({-10, -10, 120, 80}));
    EXPECT_EQ(std::vector<int>({out.header.full_x, out.header.full_y, out.header.full_width, out.header.full_height}),
              std::vector<int>({0, 0, 100, 60}));
    ExpectColourFollowsAlpha(in, out, {0, 1, 2, 3}, true, 2e-3f);
}

TEST(ImageFormat, OutputOptionsOverrideTheInputsFormat) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(64, 48, {"R", "G", "B", "A"}, kHalf);
    header.attribute("compression", "zip");
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / "out.exr", {"--out-format", "float", "--compression", "piz"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Image out = Read(dir / "out.exr");
    EXPECT_EQ(TypesOf(out.header), std::vector<std::string>(4, "float"));
    EXPECT_EQ(out.header.get_string_attribute("compression"), "piz");
}

TEST(ImageFormat, AnotherFileFormatTakesTheNearestDataFormatItHas) {
    ScratchDir dir;
    const OIIO::ImageSpec header = MakeHeader(64, 48, {"R", "G", "B", "A"}, kHalf);
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / "out.png", {"--host", "premiere"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Image in = Read(dir / "in.exr"), out = Read(dir / "out.png");
    EXPECT_EQ(out.format, "png");
    EXPECT_EQ(TypesOf(out.header), std::vector<std::string>(4, "uint16"));
    // PNG holds straight colour: the premultiplied input's over its alpha,
    // as much of it as 0..1 holds (the matte covers the frame).
    int wrong = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            for (int c = 0; c < 3; ++c) {
                const float expected = std::min(1.0f, in.At(x, y, c) / in.At(x, y, 3));
                if (std::abs(out.At(x, y, c) - expected) > 2.0f / 65535.0f) ++wrong;
            }
        }
    }
    EXPECT_EQ(wrong, 0) << "colour not unpremultiplied";
}

struct RefusedCase {
    const char* name;
    std::vector<std::string> extra;  ///< options after --in DIR/in.exr --out DIR/OUT
    const char* out;
    const char* message;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class ImageFormatRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(ImageFormatRefused, StatusTwoAMessageAndNoOutput) {
    const RefusedCase& c = GetParam();
    ScratchDir dir;
    const OIIO::ImageSpec header = MakeHeader(32, 24, {"R", "G", "B", "A"}, kHalf);
    Write(dir / "in.exr", header, Pattern(header));
    const ToolResult r = Render(dir / "in.exr", dir / c.out, c.extra);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(".tmp-"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("wrote"), std::string::npos) << "refused after rendering: " << r.out;
    EXPECT_FALSE(fs::exists(dir / c.out));
}

INSTANTIATE_TEST_SUITE_P(
    Options, ImageFormatRefused,
    ::testing::Values(
        RefusedCase{"UnknownDataFormat", {"--out-format", "int8"}, "out.exr", "--out-format must be"},
        RefusedCase{"TenBitsInAPng", {"--out-format", "uint10"}, "out.png", "--out-format"},
        RefusedCase{"IntegersInAnExr", {"--out-format", "uint16"}, "out.exr", "--out-format"},
        RefusedCase{"HalfInATarga", {"--out-format", "half"}, "out.tga", "targa files hold uint8"},
        RefusedCase{"SixteenBitsInAPpm", {"--out-format", "uint16"}, "out.ppm", "pnm files hold uint8"},
        RefusedCase{"ADepthFile", {}, "out.zfile", "one depth channel"},
        RefusedCase{"AWriterThatGarbles", {}, "out.iff", "garbles"},
        RefusedCase{"AFormatTheLibraryOnlyReads", {}, "out.psd", "out.psd"},
        RefusedCase{"UnknownExrCompression", {"--compression", "lzw"}, "out.exr", "openexr files are written with"},
        RefusedCase{"CompressionOfAJpeg", {"--compression", "zip"}, "out.jpg", "--compression applies to"},
        RefusedCase{"FormatOfANpy", {"--out-format", "half"}, "out.npy", "applies to image outputs"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ImageFormat, SeveralColourPartsAskForOneAndAPartWithoutAlphaGainsOne) {
    ScratchDir dir;
    {
        // Two parts, as a renderer writes a beauty and a second pass.
        auto out = OIIO::ImageOutput::create((dir / "parts.exr").string());
        ASSERT_TRUE(out);
        const OIIO::ImageSpec part = MakeHeader(16, 16, {"R", "G", "B", "A"}, kHalf);
        const OIIO::ImageSpec headers[2] = {part, part};
        ASSERT_TRUE(out->open((dir / "parts.exr").string(), 2, headers)) << out->geterror();
        const std::vector<float> pixels = Pattern(part);
        ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, pixels.data()));
        ASSERT_TRUE(out->open((dir / "parts.exr").string(), part, OIIO::ImageOutput::AppendSubimage));
        ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, pixels.data()));
        ASSERT_TRUE(out->close());
    }
    const OIIO::ImageSpec no_alpha = MakeHeader(16, 16, {"R", "G", "B", "Z"}, kFloat);
    Write(dir / "depth.exr", no_alpha, Pattern(no_alpha));

    const ToolResult parts = Render(dir / "parts.exr", dir / "out.exr");
    EXPECT_EQ(parts.status, 2);
    EXPECT_NE(parts.err.find("choose one with --part"), std::string::npos) << parts.err;
    EXPECT_FALSE(fs::exists(dir / "out.exr"));

    // R, G, B and Z: rendered as opaque, Z kept, an alpha added.
    const ToolResult depth = Render(dir / "depth.exr", dir / "depth-out.exr");
    ASSERT_EQ(depth.status, 0) << depth.err;
    const Image in = Read(dir / "depth.exr"), out = Read(dir / "depth-out.exr");
    ASSERT_EQ(out.header.channelnames, std::vector<std::string>({"R", "G", "B", "A", "Z"}));
    EXPECT_EQ(TypesOf(out.header), std::vector<std::string>(5, "float"));
    EXPECT_EQ(out.header.alpha_channel, 3);
    const int z = int(std::find(in.header.channelnames.begin(), in.header.channelnames.end(), "Z") -
                      in.header.channelnames.begin());
    ASSERT_LT(z, in.header.nchannels);
    int z_changed = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) z_changed += in.At(x, y, z) != out.At(x, y, 4);
    }
    EXPECT_EQ(z_changed, 0);
}

TEST(ImageFormat, NumberedFramesKeepTheirFormatToo) {
    ScratchDir dir;
    OIIO::ImageSpec header = MakeHeader(48, 32, {"R", "G", "B", "A"}, kHalf);
    header.attribute("compression", "dwab");
    for (int f = 1; f <= 3; ++f) Write(dir / ("in." + std::to_string(f) + ".exr"), header, Pattern(header));
    const ToolResult r = RunTool({"render", "--frames", "1-3", "--in", dir.str("in.#.exr"), "--out",
                                  dir.str("out.#.exr"), "--host", "premiere", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (int f = 1; f <= 3; ++f) {
        const Image out = Read(dir / ("out." + std::to_string(f) + ".exr"));
        EXPECT_EQ(TypesOf(out.header), std::vector<std::string>(4, "half")) << f;
        EXPECT_EQ(out.header.get_string_attribute("compression"), "dwab") << f;
    }
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUORVEL_MEMORY_MEASURED 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QUORVEL_MEMORY_MEASURED 0
#endif
#endif
#ifndef QUORVEL_MEMORY_MEASURED
#define QUORVEL_MEMORY_MEASURED 1
#endif

TEST(FrameMemory, AFrameBeyondWhatTheMachineCanGiveIsRefusedWithItsSize) {
    if (!QUORVEL_MEMORY_MEASURED) GTEST_SKIP() << "sanitizers reserve address space of their own";
    ScratchDir dir;
    // A tiny file whose display window is a 16000x16000 frame, and a .npy
    // header that promises one: both are refused before the frame is allocated.
    OIIO::ImageSpec header = MakeHeader(4, 4, {"R", "G", "B", "A"}, kHalf);
    header.full_width = header.full_height = 16000;
    Write(dir / "huge.exr", header, Pattern(header));
    {
        std::ofstream npy(dir / "huge.npy", std::ios::binary);
        std::string npy_header = "{'descr': '|u1', 'fortran_order': False, 'shape': (16000, 16000, 4), }";
        npy_header.append(64 - (10 + npy_header.size() + 1) % 64, ' ');
        npy_header += '\n';
        npy << "\x93NUMPY" << char(1) << char(0) << char(npy_header.size() & 0xFF) << char(npy_header.size() >> 8)
            << npy_header;
    }
    const long limit_kb = 1500 * 1000;  // 1.54 GB, below two 1.02 GB frames
    struct {
        std::vector<std::string> args;
        const char* size;
    } cases[] = {
        {{"render", "--size", "16000x16000", "--out", dir.str("out.npy")}, "a 16000x16000 frame in ae8 takes 1.02 GB"},
        {{"render", "--in", dir.str("huge.npy"), "--out", dir.str("out.npy")}, "a 16000x16000 frame in ae8"},
        {{"render", "--in", dir.str("huge.exr"), "--out", dir.str("out.exr"), "--depth", "8"},
         "a 16000x16000 frame in ae8"},
    };
    for (const auto& c : cases) {
        const ToolResult r = RunTool(c.args, "ulimit -v " + std::to_string(limit_kb));
        EXPECT_EQ(r.status, 2) << c.args[2];
        EXPECT_NE(r.err.find(c.size), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("need 2.05 GB, and this machine can give 1.54 GB"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "out.npy"));
    EXPECT_FALSE(fs::exists(dir / "out.exr"));
}

/// The largest resident size of any child the test has waited for, in bytes.
std::uint64_t PeakChildBytes() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return std::uint64_t(usage.ru_maxrss) * 1024;
}

TEST(FrameMemory, ARenderHoldsLittleMoreThanItsInputAndOutputFrames) {
    if (!QUORVEL_MEMORY_MEASURED) GTEST_SKIP() << "sanitizers keep memory of their own";
    ScratchDir dir;
    // The base: what the tool and the image library take for a frame of nothing.
    ASSERT_EQ(RunTool({"render", "--size", "16x16", "--out", dir.str("tiny.png")}).status, 0);
    ASSERT_EQ(RunTool({"render", "--in", dir.str("tiny.png"), "--out", dir.str("tiny-out.png")}).status, 0);
    const std::uint64_t base = PeakChildBytes();
    const std::uint64_t frame = 4096ull * 2048ull * 4ull;
    ASSERT_EQ(RunTool({"render", "--size", "4096x2048", "--out", dir.str("big.png"), "--compression", "zip:1"}).status,
              0);
    ASSERT_EQ(RunTool({"render", "--in", dir.str("big.png"), "--out", dir.str("big-out.png")}).status, 0);
    const std::uint64_t peak = PeakChildBytes();
    EXPECT_LE(peak, base + frame * 5 / 2) << "peak " << peak << ", base " << base << ", frame " << frame;
}

}  // namespace
}  // namespace quorvel::test
