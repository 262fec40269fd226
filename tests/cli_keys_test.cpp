// The hosts' keyframe text through the tool, as users run it: `keys` writes
// keys as text to paste into the host, `render --keys` reads what the host
// copied or a tracker exported, and a frame rendered from such keys is the
// frame rendered with the values set directly.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imagefiles/Npy.h"
#include "imagefiles/TestCard.h"
#include "tests/KeyTextLines.h"
#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

/// Shortest decimal form, as the dry run prints values.
std::string Decimal(double v) {
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed);
    return ec == std::errc() ? std::string(text, end) : "?";
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const std::string& kTitle = kKeyTextTitle;
const std::string& kEnd = kKeyTextEnd;

TEST(KeysCommand, IsListedInTheToolsUsage) {
    const ToolResult r = RunTool({"--help"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("\n  keys "), std::string::npos) << r.out;
}

// Eased keys are written as a row a frame. Easing only the key arrived at
// moves the value s + s^2 - s^3 of the way at the fraction s of the
// segment, easing only the key left 2s^2 - s^3: width 300 to 900 over
// frames 0 to 4, then back to 100 at 6. A hold gets a row at its last frame.
TEST(KeysCommand, WritesTheKeysAsTheHostsTextToPaste) {
    const ToolResult r = RunTool({"keys",
                                  "--fps",
                                  "25",
                                  "--size",
                                  "1280x720",
                                  "--par",
                                  "2/1",
                                  "--key",
                                  "width@0=300",
                                  "--key",
                                  "width@4=900:ease",
                                  "--key",
                                  "width@6=100",
                                  "--key",
                                  "opacity@0=100:hold",
                                  "--key",
                                  "opacity@3=0",
                                  "--key",
                                  "origin@2=30.5,40",
                                  "--key",
                                  "origin@0=10,20",
                                  "--key",
                                  "angle@1=45"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, Lines({kTitle,
                            "",
                            "\tUnits Per Second\t25",
                            "\tSource Width\t1280",
                            "\tSource Height\t720",
                            "\tSource Pixel Aspect Ratio\t2",
                            "\tComp Pixel Aspect Ratio\t2",
                            "",
                            "Effects\tVT Quorvel #1\tPoint of origin #3",
                            "\tFrame\tX pixels\tY pixels\t",
                            "\t0\t10\t20\t",
                            "\t2\t30.5\t40\t",
                            "",
                            "Effects\tVT Quorvel #1\tWidth #4",
                            "\tFrame\tpixels\t",
                            "\t0\t300\t",
                            "\t1\t478.125\t",
                            "\t2\t675\t",
                            "\t3\t834.375\t",
                            "\t4\t900\t",
                            "\t5\t600\t",
                            "\t6\t100\t",
                            "",
                            "Effects\tVT Quorvel #1\tAngle #6",
                            "\tFrame\tdegrees\t",
                            "\t1\t45\t",
                            "",
                            "Effects\tVT Quorvel #1\tOpacity #8",
                            "\tFrame\tpercent\t",
                            "\t0\t100\t",
                            "\t2\t100\t",
                            "\t3\t0\t",
                            "",
                            kEnd}));
}

TEST(KeysCommand, WritesNtscRatesAsTheHostDoes) {
    const ToolResult r = RunTool({"keys", "--fps", "29.97", "--key", "feather@0=1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n\tUnits Per Second\t29.97\n"), std::string::npos) << r.out;
}

// What the host copies, with CR LF endings, a transform block and another
// effect's block among this effect's, comes back in the normal form, with
// only this effect's blocks; the normal form comes back as it is.
TEST(KeysCommand, TextFromTheHostComesBackInTheNormalForm) {
    ScratchDir dir;
    WriteFile(dir / "copy.txt",
              Lines(Then(KeyTextHead(),
                         {"Transform\tPosition", "\tFrame\tX pixels\tY pixels\tZ pixels\t", "\t0\t960\t540\t0\t", "",
                          "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t", "\t100\t100.000\t",
                          "\t112\t37.5\t", "", "Effects\tGlow #1\tRadius #3", "\tFrame\t\t", "\t100\t10\t", "",
                          "Effects\tVT Quorvel #1\tHeight #5", "\tFrame\t\t", "\t104\t250\t", "", kEnd}),
                    "\r\n"));
    const ToolResult r = RunTool({"keys", "--keys", dir.str("copy.txt"), "--out", dir.str("normal.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(dir / "normal.txt"),
              Lines(Then(KeyTextHead(), {"Effects\tVT Quorvel #1\tHeight #5", "\tFrame\tpixels\t", "\t104\t250\t", "",
                                         "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t", "\t100\t100\t",
                                         "\t112\t37.5\t", "", kEnd})));
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_NE(r.err.find("skipped 2 blocks not for this effect: Transform / Position (line 9); Effects / Glow #1 / "
                         "Radius #3 (line 18)"),
              std::string::npos)
        << r.err;

    const ToolResult again = RunTool({"keys", "--keys", dir.str("normal.txt")});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, Slurp(dir / "normal.txt"));
    EXPECT_EQ(again.err, "");
}

/// The dry run's origin column, frame by frame.
std::vector<std::string> Origins(const std::string& dry_run) {
    std::vector<std::string> origins;
    for (auto at = dry_run.find("origin="); at != std::string::npos; at = dry_run.find("origin=", at + 1)) {
        origins.push_back(dry_run.substr(at + 7, dry_run.find(' ', at) - at - 7));
    }
    return origins;
}

// A tracker's export: a point a frame, hundreds of frames, baked. Its rows
// are on a 1/8-pixel grid, which 16.16 holds exactly.
TEST(KeysFromText, ATrackersBakedPointsDriveTheOriginFrameByFrame) {
    ScratchDir dir;
    constexpr int kRows = 480;
    std::vector<std::string> lines =
        Then(KeyTextHead(), {"Effects\tTrack Point #1\tFeature Center #1", "\tFrame\tX pixels\tY pixels\t"});
    std::vector<std::string> expected;
    for (int i = 0; i < kRows; ++i) {
        const double x = 200 + i * 2.25;
        const double y = 700 - (i % 37) * 0.125 - i;
        lines.push_back("\t" + std::to_string(i) + "\t" + Decimal(x) + "\t" + Decimal(y) + "\t");
        expected.push_back(Decimal(x - 40) + "," + Decimal(y + 12.5));
    }
    lines.push_back("");
    lines.push_back(kEnd);
    WriteFile(dir / "track.txt", Lines(lines, "\r\n"));

    const ToolResult r = RunTool({"render", "--frames", "1001-" + std::to_string(1000 + kRows), "--dry-run", "--keys",
                                  dir.str("track.txt"), "--track-offset", "-40,12.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Origins(r.out), expected);
}

// Keys may come through a pipe (--keys <(...)), which has no size to read by.
TEST(KeysFromText, AKeyFileMayBeAPipe) {
    ScratchDir dir;
    const std::string fifo = dir.str("keys.json");
    const ToolResult r =
        RunTool({"keys", "--keys", fifo}, "mkfifo " + ShellQuote(fifo) + " && (printf '%s' " +
                                              ShellQuote("{\"width\": [{\"frame\": 0, \"value\": 300}]}") + " > " +
                                              ShellQuote(fifo) + " &)");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\t0\t300\t\n"), std::string::npos) << r.out;
}

// Without --fps, `keys` writes keyframe text on the data's own clock: a
// 23.976 track keeps its whole frames and its rate.
TEST(KeysFromText, KeysWithoutFpsKeepTheDatasClock) {
    ScratchDir dir;
    WriteFile(dir / "track.txt", Lines(Then(KeyTextHead("23.976"), {"Effects\tTrack Point #1\tAttach Point #1",
                                                                    "\tFrame\tX pixels\tY pixels\t", "\t300\t10\t20\t",
                                                                    "\t301\t11\t21\t", "", kEnd})));
    const ToolResult r = RunTool({"keys", "--keys", dir.str("track.txt"), "--track", "origin"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\tUnits Per Second\t23.976\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\t300\t10\t20\t\n\t301\t11\t21\t\n"), std::string::npos) << r.out;
    const ToolResult at24 = RunTool({"keys", "--keys", dir.str("track.txt"), "--track", "origin", "--fps", "24"});
    ASSERT_EQ(at24.status, 0) << at24.err;
    EXPECT_NE(at24.out.find("\t300.3"), std::string::npos) << "converted by time to --fps: " << at24.out;
}

// A .npy frame states no pixel aspect ratio: the keyframe text's source's is
// the render's, unless --par says otherwise.
TEST(KeysFromText, TheSourcesPixelAspectRatioIsTheRendersWhenTheInputGivesNone) {
    ScratchDir dir;
    sim::WriteNpy(dir / "still.npy", sim::MakeTestCard(sim::PixelLayout::ARGB8, 48, 32));
    WriteFile(dir / "keys.txt",
              Lines({kTitle, "", "\tUnits Per Second\t24", "\tSource Pixel Aspect Ratio\t2", "",
                     "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels\t", "\t0\t30\t", "", kEnd}));
    auto render = [&](const std::string& out, std::vector<std::string> more) {
        std::vector<std::string> args = {"render", "--in",    dir.str("still.npy"), "--out", dir.str(out), "--frames",
                                         "1",      "--quiet", "--height",           "20"};
        args.insert(args.end(), more.begin(), more.end());
        return RunTool(args);
    };
    const ToolResult r = render("keyed.%d.npy", {"--keys", dir.str("keys.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("pixel aspect ratio 2/1, from the Source Pixel Aspect Ratio of " + dir.str("keys.txt") + ":4"),
              std::string::npos)
        << r.err;
    ASSERT_EQ(render("par.%d.npy", {"--width", "30", "--par", "2/1"}).status, 0);
    ASSERT_EQ(render("square.%d.npy", {"--width", "30"}).status, 0);
    EXPECT_EQ(Slurp(dir / "keyed.1.npy"), Slurp(dir / "par.1.npy"));
    EXPECT_NE(Slurp(dir / "keyed.1.npy"), Slurp(dir / "square.1.npy"));
    const ToolResult told = render("told.%d.npy", {"--keys", dir.str("keys.txt"), "--par", "1/1"});
    ASSERT_EQ(told.status, 0) << told.err;
    EXPECT_EQ(Slurp(dir / "told.1.npy"), Slurp(dir / "square.1.npy"));
}

TEST(KeysFromText, TheFirstFrameLandsOnTheFirstRenderedFrameOrOnKeysStart) {
    ScratchDir dir;
    WriteFile(dir / "k.txt", Lines({kTitle, "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels", "\t10\t100",
                                    "\t12\t300", "", kEnd}));
    const ToolResult first = RunTool({"render", "--frames", "1001-1003", "--dry-run", "--keys", dir.str("k.txt")});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(Count(first.out, "width=100 "), 1u) << first.out;
    EXPECT_NE(first.out.find("1002 time=1002/24 origin=960,540 width=200 "), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("1003 time=1003/24 origin=960,540 width=300 "), std::string::npos) << first.out;

    const ToolResult later =
        RunTool({"render", "--frames", "1001-1003", "--dry-run", "--keys", dir.str("k.txt"), "--keys-start", "1002"});
    ASSERT_EQ(later.status, 0) << later.err;
    EXPECT_NE(later.out.find("1001 time=1001/24 origin=960,540 width=100 "), std::string::npos) << later.out;
    EXPECT_NE(later.out.find("1002 time=1002/24 origin=960,540 width=100 "), std::string::npos) << later.out;
    EXPECT_NE(later.out.find("1003 time=1003/24 origin=960,540 width=200 "), std::string::npos) << later.out;
}

// Keys copied at 48 frames a second onto a 24 frames/s shot, with a layer's
// position tracked into the origin: each rendered frame must be the single
// render with the values the keys give at its time, worked out by hand.
TEST(KeysFromText, ARenderedFrameIsTheSingleRenderOfTheValuesAtItsTime) {
    ScratchDir dir;
    sim::WriteNpy(dir / "still.npy", sim::MakeTestCard(sim::PixelLayout::ARGB16, 48, 32));
    WriteFile(dir / "keys.txt", Lines({kTitle,
                                       "",
                                       "\tUnits Per Second\t48",
                                       "\tSource Width\t48",
                                       "\tSource Height\t32",
                                       "",
                                       "Effects\tVT Quorvel #1\tWidth #4",
                                       "\tFrame\tpixels\t",
                                       "\t0\t10\t",
                                       "\t8\t50\t",
                                       "",
                                       "Effects\tVT Quorvel #1\tOpacity #8",
                                       "\tFrame\tpercent\t",
                                       "\t0\t100\t",
                                       "\t4\t20\t",
                                       "",
                                       "Effects\tVT Quorvel #1\tAngle #6",
                                       "\tFrame\tdegrees\t",
                                       "\t0\t0\t",
                                       "\t8\t-90\t",
                                       "",
                                       "Transform\tRotation",
                                       "\tFrame\tdegrees\t",
                                       "\t0\t12\t",
                                       "",
                                       "Transform\tPosition",
                                       "\tFrame\tX pixels\tY pixels\tZ pixels\t",
                                       "\t0\t10\t10\t0\t",
                                       "\t8\t30\t26\t0\t",
                                       "",
                                       kEnd},
                                      "\r"));
    const ToolResult r =
        RunTool({"render", "--in", dir.str("still.npy"), "--out", dir.str("seq.%d.npy"), "--frames", "0-4", "--quiet",
                 "--feather", "6", "--keys", dir.str("keys.txt"), "--track", "origin", "--track-offset", "2,-3"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.err, "Transform / Rotation"), 1u) << r.err;
    struct Values {
        int frame;
        const char* width;
        const char* opacity;
        const char* angle;
        const char* origin;
    };
    // The data's frame 2f is the render's frame f.
    for (const Values& v : {Values{1, "20", "60", "-22.5", "17,11"}, Values{2, "30", "20", "-45", "22,15"},
                            Values{3, "40", "20", "-67.5", "27,19"}}) {
        SCOPED_TRACE(v.frame);
        const std::string single = dir.str("single" + std::to_string(v.frame) + ".npy");
        const ToolResult s =
            RunTool({"render", "--in", dir.str("still.npy"), "--out", single, "--feather", "6", "--width", v.width,
                     "--opacity", v.opacity, "--angle", v.angle, "--origin", v.origin});
        ASSERT_EQ(s.status, 0) << s.err;
        const std::string keyed = Slurp(dir / ("seq." + std::to_string(v.frame) + ".npy"));
        ASSERT_FALSE(keyed.empty());
        EXPECT_EQ(keyed, Slurp(single));
    }
}

struct BadRun {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::string> file;  ///< keys.txt's lines, if any
    const char* message_part;
};

void PrintTo(const BadRun& b, std::ostream* os) { *os << b.name; }

class KeysBadInput : public ::testing::TestWithParam<BadRun> {};

// One line on stderr, status 2, and no output file.
TEST_P(KeysBadInput, IsOneLineAndStatusTwo) {
    ScratchDir dir;
    if (!GetParam().file.empty()) WriteFile(dir / "keys.txt", Lines(GetParam().file, "\r\n"));
    WriteFile(dir / "keys.json", R"({"width": [{"frame": 1, "value": 3}]})");
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args) {
        if (a.rfind("@/", 0) == 0) a = dir.str(a.substr(2));
    }
    const ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
    EXPECT_FALSE(fs::exists(dir / "o.1.npy"));
}

const std::vector<std::string> kOpacityBlock = {
    kTitle, "",  "\tUnits Per Second\t30", "", "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t", "\t0\t50\t",
    "",     kEnd};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeysBadInput,
    ::testing::Values(
        BadRun{"RenderWithNoRowAfterTheColumns",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt"},
               {kTitle, "", "\tUnits Per Second\t24", "", "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t",
                "", kEnd},
               "keys.txt:7: expected a row of numbers after the column line 'Frame<TAB>percent'"},
        BadRun{"KeysWithACutShortFile",
               {"keys", "--keys", "@/keys.txt", "--out", "@/out.txt"},
               {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5"},
               "keys.txt:4: expected 'End of Keyframe Data'"},
        BadRun{"StrictTiming",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt", "--strict-timing"},
               kOpacityBlock,
               "keys.txt:3: the data runs at 30 frames/s and the render at 24 (--fps)"},
        BadRun{"UnitAgainstTheControl",
               {"keys", "--keys", "@/keys.txt", "--out", "@/out.txt"},
               {kTitle, "Effects\tVT Quorvel #1\tAngle #6", "\tFrame\tpercent", "\t0\t5", "", kEnd},
               "keys.txt:3: Angle takes one value in degrees, but the column line says 'Frame<TAB>percent'"},
        BadRun{"KeysStartForJson",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.json", "--keys-start", "5"},
               {},
               "--keys-start applies to keyframe text"},
        BadRun{"TrackWithoutText",
               {"keys", "--key", "width@1=4", "--track", "origin"},
               {},
               "--track applies to keyframe text"},
        BadRun{"KeysWithoutKeys", {"keys", "--fps", "24"}, {}, "keys needs keys to write"},
        BadRun{"SourcePixelAspectNotARatio",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt"},
               {kTitle, "", "\tSource Pixel Aspect Ratio\t0.0", "", "Effects\tVT Quorvel #1\tOpacity #8",
                "\tFrame\tpercent\t", "\t0\t50\t", "", kEnd},
               "keys.txt:3: Source Pixel Aspect Ratio 0.0 is not a pixel aspect ratio (0.01 to 100); give --par"},
        BadRun{"KeysCarryNoMatte",
               {"keys", "--keys", "@/keys.txt", "--track", "transform", "--out", "@/out.txt"},
               kOpacityBlock,
               "--track transform carries the matte the render options give"},
        // Eased keys this far out were once baked by a counter that stopped advancing.
        BadRun{"KeyBeyondTheFrames",
               {"keys", "--key", "width@1e17=300:ease", "--key", "width@100000000000000064=310", "--out", "@/out.txt"},
               {},
               "--key width@1e17=300:ease: frame 100000000000000000 is beyond the frames a shot can render"},
        BadRun{"KeysBadKey", {"keys", "--key", "size@1=3", "--out", "@/out.txt"}, {}, "no control is called 'size'"},
        BadRun{"KeyTextAndTheOption",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt", "--opacity", "5"},
               kOpacityBlock,
               "--opacity and keys on opacity both set it"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
