// quorvel-host render and drag as users run them: exact values through .npy
// files in every pixel path, the drag examples through --json, and what a
// failed run leaves behind.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "frames/HostError.h"
#include "imagefiles/Npy.h"
#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using frames::PixelLayout;

struct PathCase {
    PixelLayout layout;
    const char* host;
    const char* depth;
};

const PathCase kPaths[] = {{PixelLayout::ARGB8, "ae", "8"},
                           {PixelLayout::ARGB16, "ae", "16"},
                           {PixelLayout::BGRA8, "premiere", "8"},
                           {PixelLayout::BGRA32f, "premiere", "32f"}};

void PrintTo(const PathCase& p, std::ostream* os) { *os << p.host << p.depth; }

/// The alpha the output holds at (x, y), in unit range.
double AlphaAt(const frames::World& w, int x, int y) {
    switch (w.layout()) {
        case PixelLayout::ARGB8:
            return w.At<PF_Pixel8>(x, y).alpha / 255.0;
        case PixelLayout::ARGB16:
            return w.At<PF_Pixel16>(x, y).alpha / 32768.0;
        case PixelLayout::BGRA8:
            return w.At<frames::BGRA8Pixel>(x, y).a / 255.0;
        case PixelLayout::BGRA32f:
            return w.At<frames::BGRA32fPixel>(x, y).a;
    }
    return -1;
}

/// The alpha a store of mask value m must produce: truncated for the
/// integer layouts, as it is for the float one.
double StoredAlpha(PixelLayout layout, double m) {
    switch (layout) {
        case PixelLayout::ARGB8:
        case PixelLayout::BGRA8:
            return std::floor(m * 255.0 + 1e-9) / 255.0;
        case PixelLayout::ARGB16:
            return std::floor(m * 32768.0 + 1e-9) / 32768.0;
        case PixelLayout::BGRA32f:
            return m;
    }
    return -1;
}

struct Example {
    const char* name;
    std::vector<std::string> options;
    int x, y;
    double mask;
    bool exact;  // the mask value is exact, not a rounded figure
};

// Width 200, Height 100, Feather 20, Linear, origin (0, 0), Create, 100 %.
const Example kExamples[] = {
    {"EllipseBand", {}, 90, 0, 0.5, true},
    {"EllipseRing", {}, 60, 30, 0.75736, false},
    {"EllipseTop", {}, 0, 45, 0.5, true},
    {"EllipseInner", {}, 80, 0, 1.0, true},
    {"EllipseOutline", {}, 100, 0, 0.0, true},
    {"RectBand", {"--mask-type", "rectangle"}, 90, 0, 0.5, true},
    {"RectCorner", {"--mask-type", "rectangle"}, 90, 45, 0.29289, false},
    {"RectCornerCapped", {"--mask-type", "rectangle"}, 99, 49, 0.0, true},
    {"RectInner", {"--mask-type", "rectangle"}, 80, 0, 1.0, true},
    {"Downsampled", {"--downsample", "1/2,1/2"}, 45, 0, 0.5, true},
    {"Aspect10to11", {"--par", "10/11"}, 99, 0, 0.5, false},
    {"Aspect2to1", {"--par", "2/1"}, 45, 0, 0.5, true},
    {"Angle90", {"--angle", "90"}, 0, 90, 0.5, false},
    {"Angle90Outside", {"--angle", "90"}, 90, 0, 0.0, true},
};

class RenderExamples : public ::testing::TestWithParam<std::tuple<PathCase, Example>> {};

TEST_P(RenderExamples, ReproduceTheWorkedValues) {
    const auto& [path, example] = GetParam();
    ScratchDir dir;
    frames::World input(path.layout, 112, 96);
    input.Fill(0x11);
    if (path.layout == PixelLayout::BGRA32f) {
        for (int y = 0; y < 96; ++y) {
            for (int x = 0; x < 112; ++x) input.At<frames::BGRA32fPixel>(x, y) = {0.1f, 0.2f, 0.3f, 0.4f};
        }
    }
    imagefiles::WriteNpy(dir / "in.npy", input);
    std::vector<std::string> args = {"render",
                                     "--in",
                                     (dir / "in.npy").string(),
                                     "--out",
                                     (dir / "out.npy").string(),
                                     "--host",
                                     path.host,
                                     "--origin",
                                     "0,0",
                                     "--width",
                                     "200",
                                     "--height",
                                     "100",
                                     "--feather",
                                     "20",
                                     "--threads",
                                     "2"};
    args.insert(args.end(), example.options.begin(), example.options.end());
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const frames::World out = imagefiles::ReadNpy(dir / "out.npy", std::string(path.host) == "premiere");
    ASSERT_EQ(out.layout(), path.layout);
    const double got = AlphaAt(out, example.x, example.y);
    if (example.exact) {
        EXPECT_EQ(got, StoredAlpha(path.layout, example.mask));
    } else {
        // Rounded figures: within their last digit, and one level of the store.
        const double level = path.layout == PixelLayout::ARGB16    ? 1 / 32768.0
                             : path.layout == PixelLayout::BGRA32f ? 0
                                                                   : 1 / 255.0;
        EXPECT_NEAR(got, example.mask, 1e-5 + level);
    }
}

INSTANTIATE_TEST_SUITE_P(PathsAndExamples, RenderExamples,
                         ::testing::Combine(::testing::ValuesIn(kPaths), ::testing::ValuesIn(kExamples)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).host) + std::get<0>(info.param).depth + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(CliRender, DefaultRenderOfTheTestCardWritesAnImage) {
    ScratchDir dir;
    const ToolResult r = RunTool({"render", "--out", (dir / "card.png").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GT(fs::file_size(dir / "card.png"), 1000u);
}

TEST(CliRender, NegativeValuesAfterOptionsAndEqualsForm) {
    ScratchDir dir;
    const ToolResult r = RunTool(
        {"render", "--out=" + (dir / "o.npy").string(), "--angle", "-17.5", "--origin=-3.25,20.5", "--width", "5"});
    EXPECT_EQ(r.status, 0) << r.err;
}

/// The shape a .npy file's header declares, as NumPy writes it: "(H, W, 4)".
std::string NpyShape(const fs::path& path) {
    const std::string bytes = Slurp(path);
    const auto key = bytes.find("'shape': ");
    if (key == std::string::npos) return "no shape in " + path.string();
    const auto close = bytes.find(')', key);
    return bytes.substr(key + 9, close - key - 8);
}

struct CardSize {
    const char* size;
    const char* shape;  // NumPy's (rows, columns, channels)
};

void PrintTo(const CardSize& c, std::ostream* os) { *os << c.size; }

class CliRenderCardSize : public ::testing::TestWithParam<std::tuple<PathCase, CardSize>> {};

TEST_P(CliRenderCardSize, MakesTheTestCardAtThatSize) {
    const auto& [path, size] = GetParam();
    ScratchDir dir;
    const ToolResult r = RunTool({"render", "--out", dir.str("o.npy"), "--host", path.host, "--depth", path.depth,
                                  "--size", size.size, "--width", "20", "--height", "10", "--feather", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(NpyShape(dir / "o.npy"), size.shape);
    EXPECT_NE(r.out.find(std::string("(") + size.size + ", "), std::string::npos) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CliRenderCardSize,
    ::testing::Combine(::testing::ValuesIn(kPaths),
                       ::testing::Values(CardSize{"1x1", "(1, 1, 4)"}, CardSize{"1x17", "(17, 1, 4)"},
                                         CardSize{"37x23", "(23, 37, 4)"}, CardSize{"301x167", "(167, 301, 4)"})),
    [](const auto& info) {
        std::string size = std::get<1>(info.param).size;
        return std::string(std::get<0>(info.param).host) + std::get<0>(info.param).depth + "_" +
               size.replace(size.find('x'), 1, "by");
    });

struct PaddingCase {
    const char* name;
    PathCase path;
    int padding;
    std::vector<std::string> options;
};

void PrintTo(const PaddingCase& c, std::ostream* os) { *os << c.name; }

class CliRenderRowPadding : public ::testing::TestWithParam<PaddingCase> {};

// Hosts hand out rows with padding after them; the module must step by the
// row bytes it is given and leave the padding alone. The same frame with
// and without padding must render to the same pixels, from the test card
// and from a .npy input alike.
TEST_P(CliRenderRowPadding, GivesTheUnpaddedPixels) {
    const PaddingCase& c = GetParam();
    ScratchDir dir;
    std::vector<std::string> common = {"--host",    c.path.host, "--width", "30",    "--height",  "17",
                                       "--feather", "9",         "--angle", "-21.5", "--threads", "3"};
    common.insert(common.end(), c.options.begin(), c.options.end());
    const std::string padding = std::to_string(c.padding);
    auto render = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "render");
        args.insert(args.end(), common.begin(), common.end());
        return RunTool(args);
    };
    const std::vector<std::string> card = {"--size", "37x23", "--depth", c.path.depth};

    std::vector<std::string> plain = {"--out", dir.str("plain.npy")};
    plain.insert(plain.end(), card.begin(), card.end());
    std::vector<std::string> padded = {"--out", dir.str("padded.npy"), "--row-padding", padding};
    padded.insert(padded.end(), card.begin(), card.end());
    const ToolResult p = render(plain);
    ASSERT_EQ(p.status, 0) << p.err;
    const ToolResult q = render(padded);
    ASSERT_EQ(q.status, 0) << q.err;
    EXPECT_NE(q.out.find(", rows padded by " + padding + " bytes)"), std::string::npos) << q.out;
    EXPECT_EQ(Slurp(dir / "padded.npy"), Slurp(dir / "plain.npy"));

    // The first output, whose alpha is now a matte, as the input of a second pass.
    const std::vector<std::string> again = {"--in",      dir.str("plain.npy"), "--composite",
                                            "intersect", "--origin",           "11,7"};
    std::vector<std::string> plain2 = {"--out", dir.str("plain2.npy")};
    plain2.insert(plain2.end(), again.begin(), again.end());
    std::vector<std::string> padded2 = {"--out", dir.str("padded2.npy"), "--row-padding", padding};
    padded2.insert(padded2.end(), again.begin(), again.end());
    const ToolResult p2 = render(plain2);
    ASSERT_EQ(p2.status, 0) << p2.err;
    const ToolResult q2 = render(padded2);
    ASSERT_EQ(q2.status, 0) << q2.err;
    EXPECT_EQ(Slurp(dir / "padded2.npy"), Slurp(dir / "plain2.npy"));
    EXPECT_NE(Slurp(dir / "plain2.npy"), Slurp(dir / "plain.npy")) << "the second pass changed nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRenderRowPadding,
    ::testing::Values(PaddingCase{"Ae8OneByte", kPaths[0], 1, {}},
                      PaddingCase{"Ae8ThreeBytesRectangle", kPaths[0], 3, {"--mask-type", "rectangle"}},
                      PaddingCase{"Ae16TwoBytes", kPaths[1], 2, {"--falloff", "gaussian"}},
                      PaddingCase{"Ae16SixtyBytesDownsampled", kPaths[1], 60, {"--downsample", "1/2,1/3"}},
                      PaddingCase{"Premiere8FiveBytesInverted", kPaths[2], 5, {"--invert"}},
                      PaddingCase{"Premiere8PixelAspect", kPaths[2], 64, {"--par", "10/11"}},
                      PaddingCase{"Premiere32fFourBytes", kPaths[3], 4, {"--falloff", "exponential"}},
                      PaddingCase{"Premiere32fLargest", kPaths[3], 4096, {"--opacity", "37.5"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadRender {
    const char* name;
    std::vector<std::string> args;
    const char* message_part;
    void (*make_input)(const fs::path&) = nullptr;  // writes the file that @DIR names
};

void WriteBytes(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

/// A .npy header for `descr` and `shape`, followed by `data_bytes` zero bytes.
std::string NpyFile(const std::string& descr, const std::string& shape, std::size_t data_bytes) {
    std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': " + shape + ", }";
    header.append(63 - (10 + header.size()) % 64, ' ');
    header += '\n';
    std::string file = std::string("\x93NUMPY\x01\x00", 8);
    file += char(header.size() & 0xFF);
    file += char(header.size() >> 8);
    return file + header + std::string(data_bytes, '\0');
}

void PrintTo(const BadRender& b, std::ostream* os) { *os << b.name; }

class CliRenderBadInput : public ::testing::TestWithParam<BadRender> {};

TEST_P(CliRenderBadInput, OneLineStatusTwoAndTheOldOutputKept) {
    ScratchDir dir;
    const fs::path out = dir / "out.npy";
    {
        std::ofstream keep(out);
        keep << "precious";
    }
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args) {
        if (a == "@OUT") a = out.string();
        if (a.rfind("@DIR", 0) == 0) a = (dir / "x").string() + a.substr(4);
    }
    if (GetParam().make_input != nullptr) GetParam().make_input(dir / "x");
    const ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 2);
    // One line of ours; an image library may add its own note before it.
    const auto ours = r.err.find("quorvel-host: ");
    ASSERT_NE(ours, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n', ours), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
    std::ifstream kept(out);
    std::string content;
    std::getline(kept, content);
    EXPECT_EQ(content, "precious");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "")) ++files;
    EXPECT_LE(files, GetParam().make_input != nullptr ? 2u : 1u) << "a temporary file was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliRenderBadInput,
    ::testing::
        Values(
            BadRender{"NoOut", {"render"}, "needs --out"},
            BadRender{"DepthForHost", {"render", "--out", "@OUT", "--host", "premiere", "--depth", "16"}, "--depth 16"},
            BadRender{"DepthForAe", {"render", "--out", "@OUT", "--depth", "32f"}, "--depth 32f"},
            BadRender{"WidthNotANumber", {"render", "--out", "@OUT", "--width", "abc"}, "'abc' is not a number"},
            BadRender{"ZeroDenominator", {"render", "--out", "@OUT", "--par", "1/0"}, "denominator"},
            BadRender{"OriginOneNumber", {"render", "--out", "@OUT", "--origin", "3"}, "two numbers"},
            BadRender{"OriginTooFar", {"render", "--out", "@OUT", "--origin", "40000,0"}, "outside the host's range"},
            BadRender{"UnknownFalloff", {"render", "--out", "@OUT", "--falloff", "wobbly"}, "not one of"},
            BadRender{"MissingFolder", {"render", "--out", "/nonexistent/dir/o.png"}, "does not exist"},
            BadRender{"UnknownExtension", {"render", "--out", "/tmp/o.unknownext"}, "no image format"},
            BadRender{"NoInput", {"render", "--in", "/nonexistent.png", "--out", "@OUT"}, "no such input file"},
            BadRender{"CorruptNpy",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "unsupported .npy version",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", "\x93NUMPY garbage"); }},
            BadRender{"EmptyFile",
                      {"render", "--in", "@DIR", "--out", "@OUT"},
                      "cannot read",
                      [](const fs::path& p) { WriteBytes(p, ""); }},
            BadRender{"NpyWrongDtype",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "unsupported dtype",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("<i4", "(2, 2, 4)", 64)); }},
            BadRender{"NpyThreeChannels",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "shape",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("|u1", "(2, 2, 3)", 12)); }},
            BadRender{"NpyTruncated",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "truncated",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("|u1", "(4, 4, 4)", 10)); }},
            BadRender{"NpyDepthContradicts",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT", "--depth", "8"},
                      "contradicts",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("<u2", "(2, 2, 4)", 32)); }},
            BadRender{"NpyFloatForAe",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "does not render",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("<f4", "(2, 2, 4)", 64)); }},
            BadRender{"TruncatedPng",
                      {"render", "--in", "@DIR.png", "--out", "@OUT"},
                      "cannot read",
                      [](const fs::path& p) { WriteBytes(p.string() + ".png", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR"); }},
            BadRender{"CorruptPng",
                      {"render", "--in", "@DIR.png", "--out", "@OUT"},
                      "CRC error",
                      [](const fs::path& p) {
                          WriteBytes(
                              p.string() + ".png",
                              std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x02\0\0\0\x02\x08\x06\0\0\0", 29) +
                                  "garbage where the checksum belongs");
                      }},
            BadRender{"NpyHugeDimension",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "frame too large",
                      [](const fs::path& p) {
                          WriteBytes(p.string() + ".npy", NpyFile("|u1", "(99999999999999999999, 2, 4)", 16));
                      }},
            BadRender{"NpyNegativeDimensions",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "negative dimension",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("|u1", "(-2, -3, 4)", 96)); }},
            // Long enough to overflow the stack of a reader that recursed per character.
            BadRender{"NpyLongDtype",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "string too long",
                      [](const fs::path& p) {
                          WriteBytes(p.string() + ".npy", NpyFile(std::string(30000, 'x'), "(2, 2, 4)", 16));
                      }},
            BadRender{"NpyLongShape",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "more than 64 dimensions",
                      [](const fs::path& p) {
                          std::string shape = "(";
                          for (int i = 0; i < 16000; ++i) shape += "1, ";
                          WriteBytes(p.string() + ".npy", NpyFile("|u1", shape + ")", 16));
                      }},
            BadRender{"NpyTwoDimensions",
                      {"render", "--in", "@DIR.npy", "--out", "@OUT"},
                      "shape",
                      [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("|u1", "(2, 2)", 4)); }},
            BadRender{"InputIsAFolder",
                      {"render", "--in", "@DIR", "--out", "@OUT"},
                      "is a folder",
                      [](const fs::path& p) { fs::create_directory(p); }},
            BadRender{"OutputIsAFolder",
                      {"render", "--out", "@DIR"},
                      "it is a folder (name a file in it",
                      [](const fs::path& p) { fs::create_directory(p); }},
            BadRender{"ReadOnlyFolder", {"render", "--out", "/proc/quorvel.png"}, "cannot write"},
            BadRender{"MissingValue", {"render", "--out", "@OUT", "--width"}, "needs a value"},
            BadRender{"UnknownOption", {"render", "--out", "@OUT", "--colour", "red"}, "unknown option"}),
    [](const auto& info) { return std::string(info.param.name); });

// The single-frame layout options: the test card's size and row padding.
INSTANTIATE_TEST_SUITE_P(
    FrameOptions, CliRenderBadInput,
    ::testing::Values(
        BadRender{"SizeWithInput",
                  {"render", "--in", "@DIR.npy", "--out", "@OUT", "--size", "8x8"},
                  "with --in",
                  [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("|u1", "(2, 2, 4)", 16)); }},
        BadRender{"SizeZero", {"render", "--out", "@OUT", "--size", "0x8"}, "1 to 16384 pixels"},
        BadRender{"SizeTooWide", {"render", "--out", "@OUT", "--size", "16385x1"}, "1 to 16384 pixels"},
        BadRender{"SizeNoTimes", {"render", "--out", "@OUT", "--size", "37"}, "expected WxH"},
        BadRender{"SizeNotANumber", {"render", "--out", "@OUT", "--size", "3.5x2"}, "not a whole number"},
        BadRender{"PaddingNegative", {"render", "--out", "@OUT", "--row-padding", "-4"}, "between 0 and 4096"},
        BadRender{"PaddingTooLarge", {"render", "--out", "@OUT", "--row-padding", "4097"}, "between 0 and 4096"},
        BadRender{"PaddingNotANumber", {"render", "--out", "@OUT", "--row-padding", "4k"}, "not a whole number"},
        BadRender{
            "PaddingSplits16Bits", {"render", "--out", "@OUT", "--depth", "16", "--row-padding", "3"}, "multiple of 2"},
        BadRender{"PaddingSplitsAFloat",
                  {"render", "--out", "@OUT", "--host", "premiere", "--depth", "32f", "--row-padding", "6"},
                  "multiple of 4"},
        BadRender{"PaddingSplitsAFloatOfTheInput",
                  {"render", "--in", "@DIR.npy", "--out", "@OUT", "--host", "premiere", "--row-padding", "2"},
                  "multiple of 4",
                  [](const fs::path& p) { WriteBytes(p.string() + ".npy", NpyFile("<f4", "(2, 2, 4)", 64)); }},
        BadRender{"SizeInASequence",
                  {"render", "--frames", "1-2", "--out", "@DIR.%04d.npy", "--size", "4x4"},
                  "not to --frames"}),
    [](const auto& info) { return std::string(info.param.name); });

struct DragExample {
    const char* name;
    std::vector<std::string> args;
    int handle;
    const char* field;
    double value;
};

void PrintTo(const DragExample& d, std::ostream* os) { *os << d.name; }

class CliDragExamples : public ::testing::TestWithParam<DragExample> {};

// A 1920x1080 layer with the origin at its centre (960, 540) on an identity view.
TEST_P(CliDragExamples, GiveTheExpectedValue) {
    std::vector<std::string> args = {"drag", "--json"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["handle"], GetParam().handle);
    EXPECT_DOUBLE_EQ(j[GetParam().field].get<double>(), GetParam().value) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CliDragExamples,
    ::testing::Values(DragExample{"RotateUp", {"--click", "960,324", "--to", "960,100"}, 5, "angle_fixed", 0},
                      DragExample{"RotateRight", {"--click", "960,324", "--to", "1200,540"}, 5, "angle_fixed", 5898240},
                      DragExample{"RotateDown", {"--click", "960,324", "--to", "960,900"}, 5, "angle", 180},
                      DragExample{"RotateLeft", {"--click", "960,324", "--to", "700,540"}, 5, "angle", 270},
                      DragExample{"RotateOnOrigin", {"--click", "960,324", "--to", "960,540"}, 5, "angle", 270},
                      DragExample{"Opacity50Above", {"--click", "920,490", "--to", "920,490"}, 10, "opacity", 100},
                      DragExample{"Opacity60Above", {"--click", "920,490", "--to", "920,480"}, 10, "opacity", 110},
                      DragExample{"OpacityLevel", {"--click", "920,490", "--to", "900,540"}, 10, "opacity", 50},
                      DragExample{"BottomRightWidth", {"--click", "1110,640", "--to", "1060,590"}, 4, "width", 200},
                      DragExample{"BottomRightHeight", {"--click", "1110,640", "--to", "1060,590"}, 4, "height", 100},
                      DragExample{"TopLeftMirrored", {"--click", "810,440", "--to", "860,490"}, 1, "width", 200},
                      DragExample{
                          "Aspect2Width", {"--par", "2/1", "--click", "1035,640", "--to", "1060,590"}, 4, "width", 400},
                      DragExample{"MissNothingChanges", {"--click", "100,100", "--to", "500,500"}, 0, "width", 300}),
    [](const auto& info) { return std::string(info.param.name); });

struct DragMiss {
    const char* name;
    std::vector<std::string> args;
    const char* note;  ///< what stderr says after "quorvel-host: "; empty for a hit
};

void PrintTo(const DragMiss& d, std::ostream* os) { *os << d.name; }

class CliDragMisses : public ::testing::TestWithParam<DragMiss> {};

// The default box is 300x200 about (960, 540): the top feather handle on its
// top edge's middle (960, 440), the top-left corner at (810, 440), the
// rotation handle at (960, 324), the opacity marker at (920, 490). Below
// 16 pixels (across plus down) a click grabs; the note measures straight.
TEST_P(CliDragMisses, ExitZeroWithHandleZeroAndNameTheNearestHandle) {
    std::vector<std::string> args = {"drag", "--json"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string note = GetParam().note;
    EXPECT_EQ(r.err, note.empty() ? "" : "quorvel-host: " + note + "\n");
    EXPECT_EQ(nlohmann::json::parse(r.out)["handle"] == 0, !note.empty()) << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CliDragMisses,
    ::testing::Values(
        DragMiss{"Hit", {"--click", "960,330", "--to", "960,100"}, ""},
        DragMiss{"BetweenHandles",
                 {"--click", "1000,400", "--to", "1,1"},
                 "the click at 1000,400 grabbed no handle: the nearest is the top feather handle, 56.6 window pixels "
                 "away"},
        DragMiss{"JustAboveTheRotationHandle",
                 {"--click", "960,290", "--to", "1,1"},
                 "the click at 960,290 grabbed no handle: the nearest is the rotation handle, 34.0 window pixels away"},
        DragMiss{"FarAway",
                 {"--click", "100,100", "--to", "1,1"},
                 "the click at 100,100 grabbed no handle: the nearest is the top-left corner handle, 787.2 window "
                 "pixels away"},
        DragMiss{"BesideTheOpacityMarker",
                 {"--click", "880,470", "--to", "1,1"},
                 "the click at 880,470 grabbed no handle: the nearest is the opacity handle, 44.7 window pixels away"},
        // At half size the origin is at (480, 270) and the bottom feather handle at (480, 320).
        DragMiss{"PremiereAtHalfZoom",
                 {"--host", "premiere", "--zoom", "0.5", "--click", "500,300", "--to", "1,1"},
                 "the click at 500,300 grabbed no handle: the nearest is the bottom feather handle, 28.3 window pixels "
                 "away"},
        // The layer window leaves out the layer's position: the origin is at (510, 290).
        DragMiss{"LayerWindowPanned",
                 {"--window", "layer", "--zoom", "0.5", "--pan", "30,20", "--layer-position", "400,400", "--click",
                  "500,300", "--to", "1,1"},
                 "the click at 500,300 grabbed no handle: the nearest is the bottom feather handle, 41.2 window pixels "
                 "away"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
