// The hosts' keyframe text through the tool, as users run it: `keys` writes
// keys as text to paste into the host, `render --keys` reads what the host
// copied or a tracker exported, and a frame rendered from such keys is the
// frame rendered with the values set directly.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
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
    // Without input frames on disk, the list says where the track begins.
    EXPECT_EQ(r.err, "quorvel-host: " + dir.str("track.txt") +
                         ": its first frame, 0, lands on frame 1001, the first of --frames: for a part of a longer "
                         "shot, give the shot's first frame with --keys-start\n");
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

// Eased keys baked into keyframe text, a row a frame, as `keys` writes
// them: a --key on one of those frames (a drag's value, say) takes the
// row's place and says so, and the frames around it keep their rows.
TEST(KeysFromText, AKeyOnABakedRowReplacesTheRow) {
    ScratchDir dir;
    const ToolResult baked =
        RunTool({"keys", "--key", "width@1001=300", "--key", "width@1040=900:ease", "--out", dir.str("baked.txt")});
    ASSERT_EQ(baked.status, 0) << baked.err;
    std::vector<std::string> args = {"render", "--frames",           "1023-1025",    "--dry-run",
                                     "--keys", dir.str("baked.txt"), "--keys-start", "1001"};
    const ToolResult rows = RunTool(args);
    ASSERT_EQ(rows.status, 0) << rows.err;
    args.insert(args.end(), {"--key", "width@1024=412"});
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("quorvel-host: --key width@1024=412 replaces the row at frame 1024 of keyframe text (" +
                         dir.str("baked.txt") + ":"),
              std::string::npos)
        << r.err;
    std::istringstream was(rows.out), is(r.out);
    std::string before, after;
    for (const char* frame : {"1023 ", "1024 ", "1025 "}) {
        ASSERT_TRUE(std::getline(was, before) && std::getline(is, after)) << r.out;
        ASSERT_EQ(after.rfind(frame, 0), 0u) << after;
        if (std::string(frame) == "1024 ") {
            EXPECT_NE(after.find(" width=412 "), std::string::npos) << after;
            EXPECT_EQ(before.find(" width=412 "), std::string::npos) << before;
        } else {
            EXPECT_EQ(after, before);
        }
    }
}

// A .npy frame states no pixel aspect ratio: the keyframe text's source's is
// the render's, unless --par says otherwise.
TEST(KeysFromText, TheSourcesPixelAspectRatioIsTheRendersWhenTheInputGivesNone) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "still.npy", imagefiles::MakeTestCard(frames::PixelLayout::ARGB8, 48, 32));
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

struct Landing {
    const char* name;
    std::vector<std::string> args;  ///< after the render's --frames 1002-1003 --keys k.txt
    bool input_from_1001 = false;   ///< input frames 1001-1003 on disk
    const char* widths;             ///< at 1002 and 1003
    const char* note_part;
};

void PrintTo(const Landing& l, std::ostream* os) { *os << l.name; }

class KeyTextLanding : public ::testing::TestWithParam<Landing> {};

// Where keyframe text begins is a fact of the shot, so a part of the shot
// renders the animation the whole does; one line says where it landed.
TEST_P(KeyTextLanding, OnKeysStartElseTheFirstInputFrameElseTheFirstOfTheList) {
    ScratchDir dir;
    WriteFile(dir / "k.txt", Lines({kTitle, "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels", "\t10\t100",
                                    "\t12\t300", "", kEnd}));
    if (GetParam().input_from_1001) {
        for (int f = 1001; f <= 1003; ++f) {
            imagefiles::WriteNpy(dir / ("in." + std::to_string(f) + ".npy"),
                                 imagefiles::MakeTestCard(frames::PixelLayout::ARGB8, 16, 8));
        }
    }
    std::vector<std::string> args = {"render", "--frames", "1002-1003", "--dry-run", "--keys", dir.str("k.txt")};
    for (const std::string& a : GetParam().args) args.push_back(a.rfind("@/", 0) == 0 ? dir.str(a.substr(2)) : a);
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string widths;
    for (auto at = r.out.find("width="); at != std::string::npos; at = r.out.find("width=", at + 1)) {
        widths += (widths.empty() ? "" : " ") + r.out.substr(at + 6, r.out.find(' ', at) - at - 6);
    }
    EXPECT_EQ(widths, GetParam().widths) << r.out;
    EXPECT_EQ(Count(r.err, "lands on frame"), 1u) << r.err;
    EXPECT_NE(r.err.find(GetParam().note_part), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyTextLanding,
                         ::testing::Values(Landing{"FirstOfTheList",
                                                   {},
                                                   false,
                                                   "100 200",
                                                   "its first frame, 10, lands on frame 1002, the first of --frames"},
                                           Landing{"FirstInputFrameOnDisk",
                                                   {"--in", "@/in.%d.npy"},
                                                   true,
                                                   "200 300",
                                                   "lands on frame 1001, the first frame of "},
                                           Landing{"KeysStartOverTheDisk",
                                                   {"--in", "@/in.%d.npy", "--keys-start", "1003"},
                                                   true,
                                                   "100 100",
                                                   "lands on frame 1003, as --keys-start says"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct OutOfRange {
    const char* name;
    const char* file_name;
    std::vector<std::string> file;
    const char* values;  ///< the dry run's opacity and feather, frame by frame
    const char* note_part;
};

void PrintTo(const OutOfRange& o, std::ostream* os) { *os << o.name; }

class KeyFileOutOfRange : public ::testing::TestWithParam<OutOfRange> {};

// A key file's value beyond its control's range is clamped, as the host
// clamps a pasted key, and one note counts them and names the extremes.
TEST_P(KeyFileOutOfRange, IsClampedWithOneNote) {
    ScratchDir dir;
    WriteFile(dir / GetParam().file_name, Lines(GetParam().file));
    const ToolResult r = RunTool({"render", "--frames", "1-2", "--dry-run", "--keys", dir.str(GetParam().file_name)});
    ASSERT_EQ(r.status, 0) << r.err;
    std::string values;
    for (const char* control : {"opacity=", "feather="}) {
        for (auto at = r.out.find(control); at != std::string::npos; at = r.out.find(control, at + 1)) {
            const auto from = at + std::strlen(control);
            values += (values.empty() ? "" : " ") + r.out.substr(from, r.out.find_first_of(" \n", from) - from);
        }
    }
    EXPECT_EQ(values, GetParam().values) << r.out;
    EXPECT_EQ(Count(r.err, "clamped"), 1u) << r.err;
    EXPECT_NE(r.err.find(GetParam().note_part), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyFileOutOfRange,
    ::testing::Values(
        OutOfRange{"Json",
                   "keys.json",
                   {R"({"opacity": [{"frame": 1, "value": 150}, {"frame": 2, "value": 40}],)",
                    R"( "feather": [{"frame": 1, "value": -5}, {"frame": 2, "value": -7.5}]})"},
                   "100 40 0 0",
                   "clamped 3 key values of key files to their controls' ranges, as the host clamps pasted keys: "
                   "lowest -7.5 (--keys "},
        OutOfRange{"KeyframeText",
                   "keys.txt",
                   {kKeyTextTitle, "", "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent", "\t0\t250", "\t1\t-1",
                    "", "Effects\tVT Quorvel #1\tFeather #7", "\tFrame\tpixels", "\t0\t20000", "", kKeyTextEnd},
                   "100 0 15000 15000",
                   "keys.txt:6, Opacity, 0 to 100); highest 20000 ("}),
    [](const auto& info) { return std::string(info.param.name); });

struct TrackFit {
    const char* name;
    const char* fps;     ///< Units Per Second
    const char* source;  ///< Source Width, Source Height
    int rows;            ///< a row a frame from 0
    const char* note_part;
};

void PrintTo(const TrackFit& t, std::ostream* os) { *os << t.name; }

class TrackThatDoesNotFit : public ::testing::TestWithParam<TrackFit> {};

// A track used on a shot it was not made for is used, and one line says how
// it does not fit.
TEST_P(TrackThatDoesNotFit, IsUsedWithOneNote) {
    ScratchDir dir;
    const TrackFit& t = GetParam();
    const std::string source = t.source;
    std::vector<std::string> lines = {kKeyTextTitle,
                                      "",
                                      std::string("\tUnits Per Second\t") + t.fps,
                                      "\tSource Width\t" + source.substr(0, source.find(',')),
                                      "\tSource Height\t" + source.substr(source.find(',') + 1),
                                      "",
                                      "Effects\tTrack Point #1\tFeature Center #1",
                                      "\tFrame\tX pixels\tY pixels"};
    for (int i = 0; i < t.rows; ++i)
        lines.push_back("\t" + std::to_string(i) + "\t" + std::to_string(100 + i) + "\t50");
    lines.push_back("");
    lines.push_back(kKeyTextEnd);
    WriteFile(dir / "track.txt", Lines(lines));
    const ToolResult r = RunTool({"render", "--frames", "1-48", "--dry-run", "--keys", dir.str("track.txt")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Count(r.err, "\n"), 2u) << r.err;  // where it landed, and how it does not fit
    EXPECT_NE(r.err.find(t.note_part), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrackThatDoesNotFit,
    ::testing::Values(
        TrackFit{"SourceOfAnotherSize", "24", "1280,720", 48,
                 "track.txt:4: the data was made on a 1280x720 source and the layer is 1920x1080"},
        TrackFit{"FewerFramesThanTheShot", "24", "1920,1080", 10,
                 "track.txt: the track Effects / Track Point #1 / Feature Center #1 (line 7) covers frames 1 to 10 of "
                 "the shot's 1-48: frames 11-48 hold its last value"},
        TrackFit{"AnotherRate", "23.976", "1920,1080", 48,
                 "track.txt:3: the data runs at 23.976 frames/s and the render at 24 (--fps): its "
                 "frames are converted by time"}),
    [](const auto& info) { return std::string(info.param.name); });

// Keys copied at 48 frames a second onto a 24 frames/s shot, with a layer's
// position tracked into the origin: each rendered frame must be the single
// render with the values the keys give at its time, worked out by hand.
TEST(KeysFromText, ARenderedFrameIsTheSingleRenderOfTheValuesAtItsTime) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "still.npy", imagefiles::MakeTestCard(frames::PixelLayout::ARGB16, 48, 32));
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
        BadRun{"KeyOutsideItsControl",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--key", "feather@1=-5"},
               {},
               "--key feather@1=-5: -5 is outside Feather's range, 0 to 15000"},
        BadRun{"OptionOutsideItsControl",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--opacity", "150"},
               {},
               "--opacity 150 is outside Opacity's range, 0 to 100"},
        BadRun{"SingleFrameOptionOutsideItsControl",
               {"render", "--out", "@/o.1.npy", "--feather=-5"},
               {},
               "--feather -5 is outside Feather's range, 0 to 15000"},
        // Only keyframe text's rows give way to a --key: two options do not.
        BadRun{"TwoKeysOnARow",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt", "--key", "opacity@1=5",
                "--key", "opacity@1=6"},
               kOpacityBlock,
               "--key opacity@1=6: opacity already has a key at frame 1"},
        BadRun{"KeyTextAndTheOption",
               {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--keys", "@/keys.txt", "--opacity", "5"},
               kOpacityBlock,
               "--opacity and keys on opacity both set it"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
