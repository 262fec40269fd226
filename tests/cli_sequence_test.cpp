// quorvel-host render over frame ranges, as users and render farms run it:
// concurrent runs equal serial ones byte for byte, keyed values reach the
// module frame by frame, every image format reads and writes as a sequence,
// reruns finish only what is missing, and an interruption leaves only
// complete frames.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "imagefiles/ImageFile.h"
#include "imagefiles/Npy.h"
#include "tests/ToolRunner.h"

extern char** environ;

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
using frames::PixelLayout;

std::string Numbered(const std::string& stem, int frame, const std::string& ext) {
    char number[16];
    std::snprintf(number, sizeof number, "%04d", frame);
    return stem + "." + number + "." + ext;
}

/// A small frame whose colour and alpha differ from frame to frame, so a
/// frame rendered from the wrong input shows.
frames::World InputFrame(PixelLayout layout, int frame, int width = 40, int height = 30) {
    frames::World w(layout, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int v = (x * 7 + y * 13 + frame * 29) % 256;
            switch (layout) {
                case PixelLayout::ARGB8:
                    w.At<PF_Pixel8>(x, y) = {A_u_char(255 - v), A_u_char(v), A_u_char(frame), A_u_char(x)};
                    break;
                case PixelLayout::ARGB16:
                    w.At<PF_Pixel16>(x, y) = {A_u_short(v * 128), A_u_short(32768 - v), A_u_short(frame), 7};
                    break;
                case PixelLayout::BGRA8:
                    w.At<frames::BGRA8Pixel>(x, y) = {A_u_char(x), A_u_char(frame), A_u_char(v), A_u_char(255 - v)};
                    break;
                case PixelLayout::BGRA32f:
                    w.At<frames::BGRA32fPixel>(x, y) = {0.25f, float(frame) / 8, v / 255.0f, 1.0f - v / 300.0f};
                    break;
            }
        }
    }
    return w;
}

std::string Bytes(const fs::path& path) { return Slurp(path); }

/// Keys that move every animatable control, with all three interpolations.
const std::vector<std::string> kAnimation = {"--key", "origin@1=5,5",      "--key", "origin@16=35,25:ease",
                                             "--key", "width@1=10",        "--key", "width@8=60:hold",
                                             "--key", "width@16=20",       "--key", "height@1=30",
                                             "--key", "height@16=8",       "--key", "angle@1=0",
                                             "--key", "angle@16=180:ease", "--key", "feather@1=0",
                                             "--key", "feather@16=12",     "--key", "opacity@4=100:ease",
                                             "--key", "opacity@12=20"};

struct PathCase {
    PixelLayout layout;
    const char* host;
};

const PathCase kPaths[] = {{PixelLayout::ARGB8, "ae"},
                           {PixelLayout::ARGB16, "ae"},
                           {PixelLayout::BGRA8, "premiere"},
                           {PixelLayout::BGRA32f, "premiere"}};

class SerialAndConcurrent : public ::testing::TestWithParam<PathCase> {};

TEST_P(SerialAndConcurrent, GiveTheSameBytesFrameForFrame) {
    ScratchDir dir;
    for (int f = 1; f <= 16; ++f)
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), InputFrame(GetParam().layout, f));
    fs::create_directories(dir / "serial");
    fs::create_directories(dir / "concurrent");
    auto run = [&](const std::string& folder, const std::vector<std::string>& how) {
        std::vector<std::string> args = {
            "render", "--in",   dir.str("in.%04d.npy"), "--out", dir.str(folder + "/out.####.npy"), "--frames",
            "1-16",   "--host", GetParam().host};
        args.insert(args.end(), kAnimation.begin(), kAnimation.end());
        args.insert(args.end(), how.begin(), how.end());
        const ToolResult r = RunTool(args);
        ASSERT_EQ(r.status, 0) << r.err;
    };
    run("serial", {"--jobs", "1", "--threads", "1"});
    run("concurrent", {"--jobs", "4", "--threads", "2"});
    std::set<std::string> distinct;
    for (int f = 1; f <= 16; ++f) {
        const std::string serial = Bytes(dir / "serial" / Numbered("out", f, "npy"));
        ASSERT_FALSE(serial.empty()) << f;
        EXPECT_EQ(serial, Bytes(dir / "concurrent" / Numbered("out", f, "npy"))) << "frame " << f;
        distinct.insert(serial);
    }
    EXPECT_EQ(distinct.size(), 16u) << "every frame should differ: the input and the animation change";
}

INSTANTIATE_TEST_SUITE_P(Layouts, SerialAndConcurrent, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(frames::LayoutName(info.param.layout)); });

/// kAnimation as a JSON key file.
std::string AnimationJson() {
    std::map<std::string, std::string> keys;
    for (std::size_t i = 1; i < kAnimation.size(); i += 2) {
        const std::string& k = kAnimation[i];
        const auto at = k.find('@');
        const auto eq = k.find('=');
        const auto colon = k.find(':');
        std::string value = k.substr(eq + 1, colon == std::string::npos ? std::string::npos : colon - eq - 1);
        if (value.find(',') != std::string::npos) value = "[" + value + "]";
        std::string entry = R"({"frame": )" + k.substr(at + 1, eq - at - 1) + R"(, "value": )" + value;
        if (colon != std::string::npos) entry += R"(, "interpolation": ")" + k.substr(colon + 1) + "\"";
        std::string& list = keys[k.substr(0, at)];
        list += (list.empty() ? "" : ", ") + entry + "}";
    }
    std::string json;
    for (const auto& [name, list] : keys) json += (json.empty() ? "{" : ", ") + ("\"" + name + "\": [" + list + "]");
    return json + "}";
}

/// The keys of kAnimation as each kind of key source gives them: the
/// options, a JSON file, and the keyframe text `keys` writes from them.
std::vector<std::string> KeysOfKind(const std::string& kind, const ScratchDir& dir) {
    if (kind == "options") return kAnimation;
    if (kind == "json") {
        std::ofstream(dir / "keys.json") << AnimationJson();
        return {"--keys", dir.str("keys.json")};
    }
    std::vector<std::string> args = {"keys", "--out", dir.str("keys.txt")};
    args.insert(args.end(), kAnimation.begin(), kAnimation.end());
    const ToolResult written = RunTool(args);
    EXPECT_EQ(written.status, 0) << written.err;
    return {"--keys", dir.str("keys.txt")};
}

class ARange : public ::testing::TestWithParam<const char*> {};

// A part of a shot, as a render manager hands it out, renders each frame as
// the whole shot does, whatever gives the keys.
TEST_P(ARange, IsAWindowOnTheShot) {
    ScratchDir dir;
    for (int f = 1; f <= 16; ++f)
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), InputFrame(PixelLayout::ARGB8, f));
    const std::vector<std::string> keys = KeysOfKind(GetParam(), dir);
    auto run = [&](const std::string& folder, const std::vector<std::string>& range) {
        fs::create_directories(dir / folder);
        std::vector<std::string> args = {
            "render", "--in", dir.str("in.%04d.npy"), "--out", dir.str(folder + "/out.%04d.npy"), "--quiet"};
        args.insert(args.end(), range.begin(), range.end());
        args.insert(args.end(), keys.begin(), keys.end());
        const ToolResult r = RunTool(args);
        EXPECT_EQ(r.status, 0) << r.err;
    };
    run("whole", {"--frames", "1-16"});
    run("part", {"--frames", "9-16"});
    run("chunk", {"--frames", "1-16", "--chunk", "5:1"});
    for (int f = 6; f <= 16; ++f) {
        const std::string whole = Bytes(dir / "whole" / Numbered("out", f, "npy"));
        ASSERT_FALSE(whole.empty()) << f;
        if (f >= 9) {
            EXPECT_EQ(Bytes(dir / "part" / Numbered("out", f, "npy")), whole) << "frame " << f;
        }
        if (f <= 10) {
            EXPECT_EQ(Bytes(dir / "chunk" / Numbered("out", f, "npy")), whole) << "frame " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, ARange, ::testing::Values("options", "json", "text"));

// What `keys` writes, read back for the frames it was written for, gives the
// values of the options it was written from, frame for frame.
TEST(CliSequence, KeysTextReadBackGivesTheValuesOfItsOptions) {
    ScratchDir dir;
    auto dry_run = [&](const std::vector<std::string>& keys) {
        std::vector<std::string> args = {"render", "--frames", "1-16", "--dry-run"};
        args.insert(args.end(), keys.begin(), keys.end());
        const ToolResult r = RunTool(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    const std::string from_options = dry_run(kAnimation);
    ASSERT_NE(from_options.find("16 time="), std::string::npos) << from_options;
    EXPECT_EQ(dry_run(KeysOfKind("text", dir)), from_options);
}

struct FrameValues {
    int frame;
    const char* width;
    const char* opacity;
    const char* angle;
    const char* origin;
};

// Keys: width 10 at 0 to 50 at 8 (linear); opacity 0 to 100 eased at both
// keys (3s^2 - 2s^3 of the way at s = frame / 8); angle held at 0 until the
// key of 90 at frame 4; origin (0, 0) to (40, 30), linear.
const FrameValues kExpected[] = {
    {0, "10", "0", "0", "0,0"},
    {2, "20", "15.625", "0", "10,7.5"},
    {3, "25", "31.640625", "0", "15,11.25"},
    {5, "35", "68.359375", "90", "25,18.75"},
    {8, "50", "100", "90", "40,30"},
    {9, "50", "100", "90", "40,30"},
};

TEST(CliSequence, EachFrameIsTheSingleRenderOfItsKeyedValues) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "still.npy", InputFrame(PixelLayout::ARGB16, 3));
    const ToolResult r = RunTool({"render",
                                  "--in",
                                  dir.str("still.npy"),
                                  "--out",
                                  dir.str("seq.%d.npy"),
                                  "--frames",
                                  "0-9",
                                  "--quiet",
                                  "--feather",
                                  "6",
                                  "--key",
                                  "width@0=10",
                                  "--key",
                                  "width@8=50",
                                  "--key",
                                  "opacity@0=0:ease",
                                  "--key",
                                  "opacity@8=100:ease",
                                  "--key",
                                  "angle@0=0:hold",
                                  "--key",
                                  "angle@4=90",
                                  "--key",
                                  "origin@0=0,0",
                                  "--key",
                                  "origin@8=40,30"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const FrameValues& v : kExpected) {
        SCOPED_TRACE(v.frame);
        const std::string single = dir.str("single" + std::to_string(v.frame) + ".npy");
        const ToolResult s =
            RunTool({"render", "--in", dir.str("still.npy"), "--out", single, "--feather", "6", "--width", v.width,
                     "--opacity", v.opacity, "--angle", v.angle, "--origin", v.origin});
        ASSERT_EQ(s.status, 0) << s.err;
        EXPECT_EQ(Bytes(dir / ("seq." + std::to_string(v.frame) + ".npy")), Bytes(single));
    }
}

TEST(CliSequence, DryRunPrintsEachFramesTimeAndValues) {
    const ToolResult r = RunTool({"render", "--frames", "1-3", "--fps", "25", "--dry-run", "--key", "width@1=10",
                                  "--key", "width@3=30", "--key", "opacity@2=50:hold", "--key", "opacity@3=0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "1 time=1/25 origin=960,540 width=10 height=200 angle=0 feather=0 opacity=50\n"
              "2 time=2/25 origin=960,540 width=20 height=200 angle=0 feather=0 opacity=50\n"
              "3 time=3/25 origin=960,540 width=30 height=200 angle=0 feather=0 opacity=0\n");
}

TEST(CliSequence, DryRunTakesKeysFromAFile) {
    ScratchDir dir;
    std::ofstream(dir / "keys.json") << R"({"angle": [{"frame": 10, "value": 0}, {"frame": 12, "value": -30}],
                                           "origin": [{"frame": 10, "value": [0, 0], "interpolation": "hold"},
                                                      {"frame": 12, "value": [8, 8]}]})";
    const ToolResult r =
        RunTool({"render", "--frames", "10-12", "--fps", "23.976", "--dry-run", "--keys", dir.str("keys.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "10 time=10010/24000 origin=0,0 width=300 height=200 angle=0 feather=0 opacity=100\n"
              "11 time=11011/24000 origin=0,0 width=300 height=200 angle=-15 feather=0 opacity=100\n"
              "12 time=12012/24000 origin=8,8 width=300 height=200 angle=-30 feather=0 opacity=100\n");
}

// Keyframe text lands on the shot's first frame in every chunk, so the
// chunks' frames are the whole shot's; a task past the last chunk has
// nothing to do and succeeds.
TEST(CliSequence, ChunksOfAShotGiveItsFramesAndOneBeyondRendersNothing) {
    ScratchDir dir;
    std::ofstream(dir / "keys.txt") << "Adobe After Effects 9.0 Keyframe Data\n\n\tUnits Per Second\t24\n\n"
                                       "Effects\tVT Quorvel #1\tWidth #4\n\tFrame\tpixels\t\n\t0\t10\t\n"
                                       "\t6\t70\t\n\nEnd of Keyframe Data\n";
    auto run = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"render", "--frames", "101-107", "--dry-run", "--keys", dir.str("keys.txt")};
        args.insert(args.end(), more.begin(), more.end());
        return RunTool(args);
    };
    const ToolResult whole = run({});
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::string chunks;
    for (const char* chunk : {"3:0", "3:1", "3:2"}) {
        const ToolResult part = run({"--chunk", chunk});
        ASSERT_EQ(part.status, 0) << part.err;
        chunks += part.out;
    }
    EXPECT_EQ(chunks, whole.out);
    const ToolResult beyond = run({"--chunk", "3:3"});
    EXPECT_EQ(beyond.status, 0) << beyond.err;
    EXPECT_EQ(beyond.out, "chunk 3 is past the last of --frames 101-107 (3 chunks of 3): nothing to render\n");
}

struct FormatCase {
    const char* name;
    const char* ext;
    const char* host;
    const char* depth;
    const char* in_pattern;
    const char* out_pattern;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.name; }

class EveryFormat : public ::testing::TestWithParam<FormatCase> {};

// A sequence of files in the format, made by the tool from one still, read
// back as a numbered input and rendered; each output frame must hold the
// pixels the single-frame render of its input file gives.
TEST_P(EveryFormat, ReadsAndWritesNumberedFiles) {
    const FormatCase& c = GetParam();
    ScratchDir dir;
    const bool premiere = std::string(c.host) == "premiere";
    const PixelLayout layout = premiere ? (std::string(c.depth) == "32f" ? PixelLayout::BGRA32f : PixelLayout::BGRA8)
                                        : (std::string(c.depth) == "16" ? PixelLayout::ARGB16 : PixelLayout::ARGB8);
    imagefiles::WriteNpy(dir / "still.npy", InputFrame(layout, 1, 32, 24));
    const std::vector<std::string> common = {"--host", c.host, "--depth", c.depth, "--quiet"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), common.begin(), common.end());
        return args;
    };
    ToolResult r = RunTool(with({"render", "--in", dir.str("still.npy"), "--out", dir.str(c.in_pattern), "--frames",
                                 "7-9", "--key", "width@7=8", "--key", "width@9=30", "--composite", "add"}));
    ASSERT_EQ(r.status, 0) << r.err;
    // What a format cannot hold is said once, of the output pattern, not of
    // whichever frame was written first.
    std::istringstream notes(r.err);
    for (std::string line; std::getline(notes, line);) {
        if (line.rfind("quorvel-host: note: ", 0) == 0) {
            EXPECT_EQ(line.rfind("quorvel-host: note: " + dir.str(c.in_pattern) + ": ", 0), 0u) << line;
        }
    }
    r = RunTool(with({"render", "--in", dir.str(c.in_pattern), "--out", dir.str(c.out_pattern), "--frames", "7-9",
                      "--key", "angle@7=0", "--key", "angle@9=60", "--mask-type", "rectangle"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("rendered 3 frames of 7-9"), std::string::npos) << r.out;
    for (int f = 7; f <= 9; ++f) {
        SCOPED_TRACE(f);
        const std::string in = Numbered(dir.str("in"), f, c.ext);
        const std::string single = dir.str("single." + std::string(c.ext));
        const std::string angle = std::to_string((f - 7) * 30);
        const ToolResult s =
            RunTool(with({"render", "--in", in, "--out", single, "--angle", angle, "--mask-type", "rectangle"}));
        ASSERT_EQ(s.status, 0) << s.err;
        const frames::World got = imagefiles::ReadImage(Numbered(dir.str("out"), f, c.ext), layout);
        const frames::World want = imagefiles::ReadImage(single, layout);
        EXPECT_EQ(got.PackedPixels(), want.PackedPixels());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EveryFormat,
    ::testing::Values(FormatCase{"Png", "png", "ae", "8", "in.%04d.png", "out.####.png"},
                      FormatCase{"Tiff16", "tif", "ae", "16", "in.####.tif", "out.%04d.tif"},
                      FormatCase{"ExrFloat", "exr", "premiere", "32f", "in.%04d.exr", "out.%04d.exr"},
                      FormatCase{"TiffFloat", "tif", "premiere", "32f", "in.####.tif", "out.####.tif"},
                      FormatCase{"Jpeg", "jpg", "premiere", "8", "in.%04d.jpg", "out.####.jpg"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliSequence, ProgressIsALinePerFrameOffATerminalAndQuietSilencesIt) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "still.npy", InputFrame(PixelLayout::ARGB8, 1, 16, 12));
    const std::vector<std::string> args = {"render",   "--in", dir.str("still.npy"), "--out", dir.str("a.%d.npy"),
                                           "--frames", "1-3"};
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    for (int f = 1; f <= 3; ++f) {
        EXPECT_NE(r.err.find("frame " + std::to_string(f) + " rendered"), std::string::npos) << r.err;
    }
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    EXPECT_NE(r.out.find("rendered 3 frames of 1-3 to "), std::string::npos) << r.out;

    std::vector<std::string> quiet = args;
    quiet.push_back("--quiet");
    const ToolResult q = RunTool(quiet);
    ASSERT_EQ(q.status, 0) << q.err;
    EXPECT_EQ(q.err, "");
    EXPECT_NE(q.out.find("rendered 3 frames"), std::string::npos) << q.out;
}

/// The id of a process that has ended.
pid_t DeadProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

TEST(CliSequence, SkipExistingRendersOnlyMissingAndIncompleteFrames) {
    ScratchDir dir;
    for (int f = 1; f <= 10; ++f)
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), InputFrame(PixelLayout::ARGB8, f));
    std::vector<std::string> args = {"render",
                                     "--in",
                                     dir.str("in.%04d.npy"),
                                     "--out",
                                     dir.str("out.%04d.npy"),
                                     "--frames",
                                     "1-10",
                                     "--quiet",
                                     "--key",
                                     "width@1=4",
                                     "--key",
                                     "width@10=40"};
    ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<int, std::string> first;
    std::map<int, ino_t> inode;
    for (int f = 1; f <= 10; ++f) {
        first[f] = Bytes(dir / Numbered("out", f, "npy"));
        struct stat st {};
        ::stat((dir / Numbered("out", f, "npy")).c_str(), &st);
        inode[f] = st.st_ino;
    }
    fs::remove(dir / Numbered("out", 3, "npy"));                                                           // missing
    fs::resize_file(dir / Numbered("out", 5, "npy"), fs::file_size(dir / Numbered("out", 5, "npy")) / 2);  // truncated
    imagefiles::WriteNpy(dir / Numbered("out", 7, "npy"), InputFrame(PixelLayout::ARGB8, 7, 8, 8));  // another size
    // A header that claims a 64 GiB frame: refused before anything is allocated.
    const std::string huge = "{'descr': '<f4', 'fortran_order': False, 'shape': (65536, 65536, 4), }\n";
    std::ofstream(dir / Numbered("out", 8, "npy"), std::ios::binary)
        << std::string("\x93NUMPY\x01\x00", 8) << char(huge.size()) << char(0) << huge;
    const fs::path abandoned = dir / (".tmp-" + std::to_string(DeadProcessId()) + "-0-" + Numbered("out", 9, "npy"));
    const fs::path in_use = dir / (".tmp-" + std::to_string(::getpid()) + "-0-" + Numbered("out", 2, "npy"));
    std::ofstream(abandoned) << "half a frame";
    std::ofstream(in_use) << "being written";

    args.push_back("--skip-existing");
    r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("rendered 4 frames of 1-10"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("6 already complete"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("removed 1 unfinished file"), std::string::npos) << r.out;
    for (int f = 1; f <= 10; ++f) {
        SCOPED_TRACE(f);
        EXPECT_EQ(Bytes(dir / Numbered("out", f, "npy")), first[f]);
        struct stat st {};
        ::stat((dir / Numbered("out", f, "npy")).c_str(), &st);
        // A frame deleted before the rerun may come back with its old inode
        // number (the file system reuses it); its bytes above show it was made.
        if (f == 3) continue;
        if (f == 5 || f == 7 || f == 8) {
            EXPECT_NE(st.st_ino, inode[f]) << "rewritten";
        } else {
            EXPECT_EQ(st.st_ino, inode[f]) << "kept";
        }
    }
    EXPECT_FALSE(fs::exists(abandoned));
    EXPECT_TRUE(fs::exists(in_use)) << "a temporary file of a live process is not ours to remove";
}

// An image whose header claims a 60000x60000 frame is looked at by its size
// before any pixel is allocated: not complete, so rendered again.
TEST(CliSequence, SkipExistingTakesAnImageOfAnotherSizeAsIncompleteBeforeReadingIt) {
    ScratchDir dir;
    for (int f = 1; f <= 2; ++f)
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), InputFrame(PixelLayout::ARGB8, f));
    const std::vector<std::string> args = {
        "render", "--in",    dir.str("in.%04d.npy"), "--out", dir.str("out.%04d.tif"), "--frames",
        "1-2",    "--quiet", "--skip-existing"};
    ASSERT_EQ(RunTool(args).status, 0);
    const frames::World rendered = imagefiles::ReadImage(dir / Numbered("out", 2, "tif"), PixelLayout::ARGB8);
    // A little-endian TIFF header and one directory: width, length, 8 bits,
    // no compression, grey, one strip of 3.6 GB the file does not hold.
    std::string tiff("II*\0\x08\0\0\0\x09\0", 10);
    const std::uint32_t entries[][4] = {{256, 4, 1, 60000}, {257, 4, 1, 60000}, {258, 3, 1, 8},
                                        {259, 3, 1, 1},     {262, 3, 1, 1},     {273, 4, 1, 200},
                                        {277, 3, 1, 1},     {278, 4, 1, 60000}, {279, 4, 1, 3600000000u}};
    auto put = [&tiff](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) tiff += char((v >> (8 * i)) & 0xFF);
    };
    for (const auto& e : entries) {
        put(e[0], 2);
        put(e[1], 2);
        put(e[2], 4);
        put(e[3], 4);
    }
    put(0, 4);
    std::ofstream(dir / Numbered("out", 2, "tif"), std::ios::binary) << tiff;
    const ToolResult r = RunTool(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1 already complete"), std::string::npos) << r.out;
    const frames::World again = imagefiles::ReadImage(dir / Numbered("out", 2, "tif"), PixelLayout::ARGB8);
    ASSERT_EQ(again.height(), rendered.height());
    for (int y = 0; y < again.height(); ++y) {
        ASSERT_EQ(std::memcmp(again.Row(y), rendered.Row(y), std::size_t(again.width()) * 4), 0) << "row " << y;
    }
}

/// The tool running in the background, its output going to files.
class Background {
public:
    Background(const std::vector<std::string>& args, const fs::path& out, const fs::path& err) {
        std::vector<std::string> argv = {QUORVEL_HOST_TOOL};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> pointers;
        for (std::string& a : argv) pointers.push_back(a.data());
        pointers.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        started_ = ::posix_spawn(&pid_, QUORVEL_HOST_TOOL, &actions, nullptr, pointers.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (started_ && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool started() const { return started_; }
    pid_t pid() const { return pid_; }
    /// The exit status once it has ended (128 + signal when killed by one).
    std::optional<int> Poll() {
        if (!status_) {
            int raw = 0;
            if (::waitpid(pid_, &raw, WNOHANG) == pid_)
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
        return status_;
    }

private:
    pid_t pid_ = -1;
    bool started_ = false;
    std::optional<int> status_;
};

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

// Frames 5 on are named pipes: a worker that starts one waits until the
// test writes the frame into it. The test interrupts once frames 1 to 4 are
// out, then feeds whichever pipes the tool has opened (the frames it had
// started) until it exits. Those frames must be finished; no other may start.
TEST(CliSequence, InterruptionFinishesFramesInProgressAndStartsNoOther) {
    constexpr int kFrames = 24;
    ScratchDir dir;
    const frames::World frame = InputFrame(PixelLayout::ARGB8, 1);
    for (int f = 1; f <= 4; ++f) imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), frame);
    imagefiles::WriteNpy(dir / "feed.npy", frame);
    const std::string feed = Bytes(dir / "feed.npy");
    for (int f = 5; f <= kFrames; ++f) ASSERT_EQ(::mkfifo((dir / Numbered("in", f, "npy")).c_str(), 0600), 0);
    fs::create_directories(dir / "out");

    Background tool({"render", "--in", dir.str("in.%04d.npy"), "--out", dir.str("out/out.%04d.npy"), "--frames",
                     "1-" + std::to_string(kFrames), "--jobs", "1", "--threads", "1", "--quiet"},
                    dir / "stdout", dir / "stderr");
    ASSERT_TRUE(tool.started());
    auto out_exists = [&](int f) { return fs::exists(dir / "out" / Numbered("out", f, "npy")); };
    while (!(out_exists(1) && out_exists(2) && out_exists(3) && out_exists(4))) {
        ASSERT_FALSE(tool.Poll().has_value()) << Slurp(dir / "stderr");
        Pause();
    }
    ASSERT_EQ(::kill(tool.pid(), SIGINT), 0);
    while (Slurp(dir / "stderr").find("finishing the frames in progress") == std::string::npos) {
        ASSERT_FALSE(tool.Poll().has_value()) << Slurp(dir / "stderr");
        Pause();
    }
    std::set<int> fed;
    while (!tool.Poll()) {
        for (int f = 5; f <= kFrames; ++f) {
            if (fed.count(f)) continue;
            // Opening for writing without blocking succeeds only when a reader waits.
            const int fd = ::open((dir / Numbered("in", f, "npy")).c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) continue;
            ::fcntl(fd, F_SETFL, 0);
            ASSERT_EQ(::write(fd, feed.data(), feed.size()), ssize_t(feed.size()));
            ::close(fd);
            fed.insert(f);
        }
        Pause();
    }
    EXPECT_EQ(*tool.Poll(), 130);

    // The frames started before the interruption, and only those, are complete.
    const int last_complete = 4 + int(fed.size());
    for (int f : fed) EXPECT_LE(f, last_complete) << "frames start in order";
    EXPECT_LT(last_complete, kFrames) << "frames went on starting after the interruption";
    const std::string reference = Bytes(dir / "out" / Numbered("out", 1, "npy"));
    for (int f = 1; f <= kFrames; ++f) {
        SCOPED_TRACE(f);
        if (f <= last_complete) {
            EXPECT_EQ(Bytes(dir / "out" / Numbered("out", f, "npy")), reference);
        } else {
            EXPECT_FALSE(out_exists(f));
        }
    }
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir / "out")) ++files;
    EXPECT_EQ(files, std::size_t(last_complete)) << "a temporary file was left behind";
    const std::string err = Slurp(dir / "stderr");
    EXPECT_NE(err.find("interrupted: frames 1-" + std::to_string(last_complete) + " complete; " +
                       std::to_string(last_complete + 1) + "-" + std::to_string(kFrames) + " not rendered"),
              std::string::npos)
        << err;

    // The rerun with --skip-existing renders only the rest.
    for (int f = 5; f <= kFrames; ++f) {
        fs::remove(dir / Numbered("in", f, "npy"));
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), frame);
    }
    const ToolResult rerun = RunTool({"render", "--in", dir.str("in.%04d.npy"), "--out", dir.str("out/out.%04d.npy"),
                                      "--frames", "1-" + std::to_string(kFrames), "--skip-existing", "--quiet"});
    ASSERT_EQ(rerun.status, 0) << rerun.err;
    EXPECT_NE(rerun.out.find("rendered " + std::to_string(kFrames - last_complete) + " frames"), std::string::npos)
        << rerun.out;
    for (int f = 1; f <= kFrames; ++f) EXPECT_EQ(Bytes(dir / "out" / Numbered("out", f, "npy")), reference) << f;
}

// A frame whose header is sound and whose pixels are cut short is found only
// when it is read: the run stops there, and says a rerun would not help.
TEST(CliSequence, AFailedFrameStopsTheRunAndReportsWhatIsComplete) {
    ScratchDir dir;
    for (int f = 1; f <= 8; ++f)
        imagefiles::WriteNpy(dir / Numbered("in", f, "npy"), InputFrame(PixelLayout::ARGB8, f));
    fs::resize_file(dir / Numbered("in", 4, "npy"), fs::file_size(dir / Numbered("in", 4, "npy")) - 100);
    const ToolResult r = RunTool({"render", "--in", dir.str("in.%04d.npy"), "--out", dir.str("out.%04d.npy"),
                                  "--frames", "1-8", "--jobs", "2", "--quiet"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("frame 4: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("stopped: frames "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("--skip-existing"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / Numbered("out", 4, "npy")));
    for (int f = 1; f <= 8; ++f) {
        if (!fs::exists(dir / Numbered("out", f, "npy"))) continue;
        EXPECT_NO_THROW(imagefiles::ReadNpy(dir / Numbered("out", f, "npy"), false)) << f;
    }
}

/// Where `part` appears in `whole`, pixel for pixel; -1 when nowhere.
int FindColumn(const frames::World& whole, const frames::World& part) {
    for (int y0 = 0; y0 + part.height() <= whole.height(); ++y0) {
        for (int x0 = 0; x0 + part.width() <= whole.width(); ++x0) {
            bool same = true;
            for (int y = 0; y < part.height() && same; ++y) {
                same = std::memcmp(whole.Row(y0 + y) + std::size_t(x0) * 4, part.Row(y),
                                   std::size_t(part.width()) * 4) == 0;
            }
            if (same) return x0;
        }
    }
    return -1;
}

TEST(CliSequence, TheContactSheetShowsTheOverlayOfEveryNthFrame) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "still.npy", InputFrame(PixelLayout::ARGB8, 2, 48, 36));
    const ToolResult r = RunTool({"render",
                                  "--in",
                                  dir.str("still.npy"),
                                  "--out",
                                  dir.str("o.%d.npy"),
                                  "--frames",
                                  "1-5",
                                  "--quiet",
                                  "--key",
                                  "width@1=8",
                                  "--key",
                                  "width@5=40",
                                  "--height",
                                  "20",
                                  "--contact-sheet",
                                  dir.str("sheet.png"),
                                  "--contact-every",
                                  "2",
                                  "--contact-width",
                                  "48"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("wrote " + dir.str("sheet.png")), std::string::npos) << r.out;
    const frames::World sheet = imagefiles::ReadImage(dir / "sheet.png", PixelLayout::ARGB8);
    std::vector<int> columns;
    for (int f = 1; f <= 5; ++f) {
        // At the sheet's zoom of 1, a thumbnail is the viewer the overlay command shows.
        const std::string picture = dir.str("overlay" + std::to_string(f) + ".png");
        const ToolResult o = RunTool({"overlay", "--in", dir.str("still.npy"), "--out", picture, "--width",
                                      std::to_string(8 * f), "--height", "20"});
        ASSERT_EQ(o.status, 0) << o.err;
        columns.push_back(FindColumn(sheet, imagefiles::ReadImage(picture, PixelLayout::ARGB8)));
    }
    EXPECT_GE(columns[0], 0);
    EXPECT_GT(columns[2], columns[0]);
    EXPECT_GT(columns[4], columns[2]);
    EXPECT_EQ(columns[1], -1);
    EXPECT_EQ(columns[3], -1);
}

struct BadSequence {
    const char* name;
    std::vector<std::string> args;
    const char* message_part;
};

void PrintTo(const BadSequence& b, std::ostream* os) { *os << b.name; }

class CliSequenceBadInput : public ::testing::TestWithParam<BadSequence> {};

TEST_P(CliSequenceBadInput, OneLineStatusTwoAndNothingWritten) {
    ScratchDir dir;
    imagefiles::WriteNpy(dir / "x.0001.npy", InputFrame(PixelLayout::ARGB8, 1, 8, 8));
    imagefiles::WriteNpy(dir / "x.0002.npy", InputFrame(PixelLayout::ARGB8, 2, 8, 4));
    std::vector<std::string> args = GetParam().args;
    for (std::string& a : args) {
        if (a.rfind("@/", 0) == 0) a = dir.str(a.substr(2));
    }
    const ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(GetParam().message_part), std::string::npos) << r.err;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliSequenceBadInput,
    ::testing::Values(
        BadSequence{"NumberedOutWithoutFrames", {"render", "--out", "@/o.%04d.png"}, "give the frames to render"},
        BadSequence{"InputPaddedOtherwise",
                    {"render", "--in", "@/x.#.npy", "--out", "@/o.%d.npy", "--frames", "1-2"},
                    "x.0001.npy is there: --in "},
        BadSequence{"InputPaddedOtherwiseNamesThePattern",
                    {"render", "--in", "@/x.%d.npy", "--out", "@/o.%d.npy", "--frames", "1-2"},
                    "x.####.npy names it)"},
        BadSequence{"KeyWithoutFrames", {"render", "--out", "@/o.png", "--key", "width@1=3"}, "need --frames"},
        BadSequence{"ManyFramesOneFile", {"render", "--out", "@/o.png", "--frames", "1-3"}, "no frame number field"},
        BadSequence{"KeyOnInvert",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--key", "invert@1=1"},
                    "cannot vary in time"},
        BadSequence{
            "KeyOnFalloff",
            {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--key", "falloff@1=2", "--key", "falloff@2=3"},
            "cannot vary in time"},
        BadSequence{"OptionAndKeys",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--width", "5", "--key", "width@1=3"},
                    "both set it"},
        BadSequence{"StrayArgument",
                    {"render", "--frames", "1-2", "extra", "--out", "@/o.%d.npy"},
                    "unexpected argument 'extra'"},
        BadSequence{"BackwardsRange", {"render", "--out", "@/o.%d.npy", "--frames", "5-1"}, "runs backwards"},
        BadSequence{"NoRate", {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--fps", "0"}, "not a frame rate"},
        BadSequence{"NoJobs", {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--jobs", "0"}, "--jobs must be"},
        BadSequence{"SheetOptionsAlone",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1-2", "--contact-every", "2"},
                    "needs --contact-sheet"},
        BadSequence{"NoInputFrames",
                    {"render", "--in", "@/nothing.%04d.npy", "--out", "@/o.%d.npy", "--frames", "1-2"},
                    "no such input file"},
        BadSequence{"MissingInputFrames",
                    {"render", "--in", "@/x.%04d.npy", "--out", "@/o.%d.npy", "--frames", "1,3-9"},
                    "x.%04d.npy: of 8 input frames, 7 missing (3-9): 3 missing; 4 missing; 5 missing; 6 missing; 7 "
                    "missing; and 2 more; nothing was rendered"},
        BadSequence{"UnlikeInputFrame",
                    {"render", "--in", "@/x.%04d.npy", "--out", "@/o.%d.npy", "--frames", "1-3"},
                    "of 3 input frames, 1 missing (3) and 1 unlike frame 1: 2 is 8x4, not 8x8; 3 missing"},
        BadSequence{"OutputIsInput",
                    {"render", "--in", "@/x.%04d.npy", "--out", "@/x.####.npy", "--frames", "1"},
                    "replace its own input"},
        BadSequence{"UnknownKeyName",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1", "--key", "size@1=3"},
                    "no control is called"},
        BadSequence{"TwoFields", {"render", "--out", "@/o.%d.%d.npy", "--frames", "1"}, "more than one frame field"},
        BadSequence{"ChunkWithoutFrames", {"render", "--out", "@/o.%d.npy", "--chunk", "8:0"}, "give the frames"},
        BadSequence{"EmptyChunk",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1-9", "--chunk", "0:1"},
                    "a chunk holds at least 1 frame"},
        BadSequence{"ChunkWithoutIndex",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1-9", "--chunk", "8"},
                    "expected SIZE:INDEX"},
        BadSequence{"SheetIsAnArray",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1", "--contact-sheet", "@/s.npy"},
                    "s.npy: a contact sheet is a picture: name an image file, such as "},
        BadSequence{"SheetFolderMissing",
                    {"render", "--out", "@/o.%d.npy", "--frames", "1", "--contact-sheet", "/nonexistent/s.png"},
                    "does not exist"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
