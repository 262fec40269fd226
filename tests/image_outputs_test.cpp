// What an output says of itself, through quorvel-host render: the summary
// gives the file's size and data formats as written; the file names this
// tool, the render's time and the render in its history, and keeps the
// rest of the plate's metadata; two renders of a frame are the same bytes;
// and a write that fails names the system's reason and leaves nothing
// behind. Outputs are read back with the image library.
#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;
using OIIO::TypeDesc;

const std::string kSoftware = std::string("quorvel-host ") + QUORVEL_VERSION;
/// SOURCE_DATE_EPOCH for the renders that must match, and the time it is.
constexpr const char* kEpoch = "1234567890";
constexpr const char* kEpochTime = "2009:02:13 23:31:30";
const std::string kFixedTime = std::string("SOURCE_DATE_EPOCH=") + kEpoch + "; export SOURCE_DATE_EPOCH";

/// An opened file's header: the one place the library's accessor is named.
const OIIO::ImageSpec& HeaderOf(const OIIO::ImageInput& in) { return in.spec(); }

OIIO::ImageSpec ReadHeader(const fs::path& path) {
    auto in = OIIO::ImageInput::open(path.string());
    EXPECT_TRUE(in) << OIIO::geterror();
    return in ? HeaderOf(*in) : OIIO::ImageSpec();
}

/// A plate with overscan, a 40x30 display window inside a 48x36 data
/// window, in half, with the metadata of the program that made it.
fs::path WritePlate(const ScratchDir& dir) {
    const fs::path path = dir / "plate.exr";
    OIIO::ImageSpec header(48, 36, 4, TypeDesc::HALF);
    header.x = -4, header.y = -3;
    header.full_x = 0, header.full_y = 0, header.full_width = 40, header.full_height = 30;
    header.attribute("Software", "plate-maker --grade plate.exr");
    header.attribute("DateTime", "2001:02:03 04:05:06");
    header.attribute("Exif:ImageHistory", "scanned\ngraded");
    header.attribute("Copyright", "the plate's owner");
    std::vector<float> pixels;
    for (int y = 0; y < header.height; ++y)
        for (int x = 0; x < header.width; ++x)
            for (int c = 0; c < 4; ++c)
                pixels.push_back(c == 3 ? 1.0f : float((x * 5 + y * 3 + c * 40) % 200) / 255.0f);
    auto out = OIIO::ImageOutput::create(path.string());
    EXPECT_TRUE(out && out->open(path.string(), header) && out->write_image(TypeDesc::FLOAT, pixels.data()) &&
                out->close());
    return path;
}

ToolResult Render(const fs::path& in, const fs::path& out, std::vector<std::string> options = {},
                  const std::string& shell_first = "") {
    std::vector<std::string> args = {"render", "--in", in.string(), "--out", out.string(), "--composite", "add"};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args, shell_first);
}

/// A channel's data format in the tool's words, as the library reads it.
std::string TypeName(const OIIO::ImageSpec& header, int channel) {
    const TypeDesc t = header.channelformat(channel);
    if (t == TypeDesc::UINT8) return "uint8";
    if (t == TypeDesc::HALF) return "half";
    if (t == TypeDesc::FLOAT) return "float";
    if (t == TypeDesc::UINT16) {
        const int bits = header.get_int_attribute("oiio:BitsPerSample", 16);
        return bits == 16 ? "uint16" : "uint" + std::to_string(bits);
    }
    return t.c_str();
}

// --- The summary ---

struct SummaryCase {
    const char* name;
    const char* out;
    std::vector<std::string> options;
    const char* says;  ///< the summary's parenthesis
};

void PrintTo(const SummaryCase& c, std::ostream* os) { *os << c.name; }

class Summary : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(Summary, GivesTheSizeAndDataFormatOfTheFileAsWritten) {
    const SummaryCase& c = GetParam();
    ScratchDir dir;
    const ToolResult r = Render(WritePlate(dir), dir / c.out, c.options);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + dir.str(c.out) + " (" + c.says + ")\n");
    // The file holds what the summary says, as its own reader sees it.
    const OIIO::ImageSpec header = ReadHeader(dir / c.out);
    std::string types = TypeName(header, 0);
    for (int ch = 1; ch < header.nchannels; ++ch) {
        if (types.find(TypeName(header, ch)) == std::string::npos) types += " and " + TypeName(header, ch);
    }
    EXPECT_EQ(
        std::string(c.says).rfind(
            std::to_string(header.width) + "x" + std::to_string(header.height) + ", " + types + ", rendered at ", 0),
        0u)
        << c.says << " of a file of " << header.width << "x" << header.height << ", " << types;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, Summary,
    ::testing::Values(
        SummaryCase{"PngHoldsTheDisplayWindowIn16Bits", "out.png", {}, "40x30, uint16, rendered at pr32f"},
        SummaryCase{"ExrKeepsTheOverscanInHalf", "out.exr", {}, "48x36, half, rendered at pr32f"},
        SummaryCase{"ExrAskedForFloat", "out.exr", {"--out-format", "float"}, "48x36, float, rendered at pr32f"},
        SummaryCase{"JpegInEightBits", "out.jpg", {}, "40x30, uint8, rendered at pr32f"},
        SummaryCase{"DpxInTenBits", "out.dpx", {"--out-format", "uint10"}, "48x36, uint10, rendered at pr32f"},
        SummaryCase{
            "TiffKeepsHalfRenderedAtSixteenBits", "out.tif", {"--host", "ae"}, "40x30, half, rendered at ae16"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Summary, OfAnArrayGivesItsDataFormatAndTheRowPadding) {
    ScratchDir dir;
    const ToolResult r = RunTool({"render", "--out", dir.str("out.npy"), "--size", "37x23", "--host", "ae", "--depth",
                                  "16", "--row-padding", "6"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + dir.str("out.npy") + " (37x23, uint16, rendered at ae16, rows padded by 6 bytes)\n");
    EXPECT_NE(Slurp(dir / "out.npy").find("'descr': '<u2', 'fortran_order': False, 'shape': (23, 37, 4)"),
              std::string::npos);
}

// --- Metadata ---

struct MetadataCase {
    const char* out;
    const char* history;  ///< the attribute the format keeps its history in; empty: none
    const char* earlier;  ///< the plate's history the output keeps, before the render's line
    bool copyright;       ///< whether the format keeps the plate's Copyright
};

void PrintTo(const MetadataCase& c, std::ostream* os) { *os << c.out; }

class Metadata : public ::testing::TestWithParam<MetadataCase> {};

TEST_P(Metadata, NamesThisToolTheRenderTimeAndTheRenderInTheHistory) {
    const MetadataCase& c = GetParam();
    ScratchDir dir;
    const ToolResult r = Render(WritePlate(dir), dir / c.out, {}, kFixedTime);
    ASSERT_EQ(r.status, 0) << r.err;
    const OIIO::ImageSpec out = ReadHeader(dir / c.out);
    EXPECT_EQ(out.get_string_attribute("Software"), kSoftware);
    EXPECT_EQ(out.get_string_attribute("DateTime"), kEpochTime);
    if (*c.history) {
        EXPECT_EQ(out.get_string_attribute(c.history), std::string(c.earlier) + kSoftware + " render");
    }
    if (c.copyright) {
        EXPECT_EQ(out.get_string_attribute("Copyright"), "the plate's owner");
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Metadata,
                         ::testing::Values(MetadataCase{"out.exr", "Exif:ImageHistory", "scanned\ngraded\n", true},
                                           MetadataCase{"out.png", "Exif:ImageHistory", "scanned\ngraded\n", true},
                                           MetadataCase{"out.jpg", "Exif:ImageHistory", "scanned\ngraded\n", true},
                                           MetadataCase{"out.fits", "History", "", false},
                                           MetadataCase{"out.tif", "", "", true},
                                           MetadataCase{"out.dpx", "", "", true}),
                         [](const auto& info) { return fs::path(info.param.out).extension().string().substr(1); });

/// Of an output of the plate's own format, nothing but the three changes.
TEST(Metadata, OtherwiseIsThePlates) {
    ScratchDir dir;
    const fs::path plate = WritePlate(dir);
    const ToolResult r = Render(plate, dir / "out.exr", {}, kFixedTime);
    ASSERT_EQ(r.status, 0) << r.err;
    const OIIO::ImageSpec in = ReadHeader(plate), out = ReadHeader(dir / "out.exr");
    const std::set<std::string> stamped = {"Software", "DateTime", "Exif:ImageHistory"};
    std::set<std::string> names;
    for (const OIIO::ParamValue& p : in.extra_attribs) {
        names.insert(p.name().string());
        if (stamped.count(p.name().string()) != 0) continue;
        const OIIO::ParamValue* kept = out.find_attribute(p.name().string());
        ASSERT_NE(kept, nullptr) << p.name() << " was lost";
        EXPECT_EQ(kept->type(), p.type()) << p.name();
        EXPECT_EQ(std::memcmp(kept->data(), p.data(), p.datasize()), 0) << p.name();
    }
    for (const OIIO::ParamValue& p : out.extra_attribs) EXPECT_EQ(names.count(p.name().string()), 1u) << p.name();
}

TEST(Metadata, ABadSourceDateEpochIsRefusedByName) {
    ScratchDir dir;
    const ToolResult r =
        Render(WritePlate(dir), dir / "out.exr", {}, "SOURCE_DATE_EPOCH=yesterday; export SOURCE_DATE_EPOCH");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("SOURCE_DATE_EPOCH must be a whole number of seconds since 1970, not 'yesterday'"),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exr"));
}

// --- Renders that match ---

/// Every format the tool writes, by the extension it is named with.
const char* const kWritable[] = {"exr",  "tif", "png", "dpx", "jpg",  "tga",  "bmp", "sgi", "rla",
                                 "fits", "hdr", "ppm", "jp2", "webp", "heic", "gif", "ico"};

TEST(Reproducible, EveryFormatTheToolWritesHasARow) {
    std::set<std::string> rows;
    for (const char* ext : kWritable) {
        auto out = OIIO::ImageOutput::create(std::string("x.") + ext);
        ASSERT_TRUE(out) << ext;
        rows.insert(out->format_name());
    }
    // The library's writers less those the tool refuses (of depth, of no file, one that garbles).
    std::set<std::string> writers;
    const std::string list = OIIO::get_string_attribute("output_format_list");
    for (std::size_t at = 0; at <= list.size();) {
        const std::size_t end = std::min(list.find(',', at), list.size());
        const std::string name = list.substr(at, end - at);
        if (!name.empty() && name != "null" && name != "term" && name != "zfile" && name != "iff") writers.insert(name);
        at = end + 1;
    }
    EXPECT_EQ(rows, writers);
}

class Reproducible : public ::testing::TestWithParam<const char*> {};

/// Two renders of a frame, by two runs into two folders (so through
/// temporary files of other names), at the same SOURCE_DATE_EPOCH.
TEST_P(Reproducible, RendersOfAFrameAreTheSameBytes) {
    const std::string name = std::string("frame.") + GetParam();
    ScratchDir dir;
    const fs::path plate = WritePlate(dir);
    fs::create_directory(dir / "a");
    fs::create_directory(dir / "another-folder");
    for (const char* folder : {"a", "another-folder"}) {
        const ToolResult r = Render(plate, dir / folder / name, {}, kFixedTime);
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const std::string first = Slurp(dir / "a" / name);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == Slurp(dir / "another-folder" / name)) << name << " differs between two renders";
    if (std::string(GetParam()) == "dpx") {
        // The header's file name field: the target's own name.
        EXPECT_EQ(std::string(first.c_str() + 36), name);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, Reproducible, ::testing::ValuesIn(kWritable),
                         [](const auto& info) { return std::string(info.param); });

/// A render of part of a shot gives the whole shot's frames, to the byte.
TEST(Reproducible, APartOfAShotGivesTheWholeShotsFrames) {
    ScratchDir dir;
    const fs::path plate = WritePlate(dir);
    fs::create_directory(dir / "whole");
    fs::create_directory(dir / "part");
    for (const char* ext : {"exr", "dpx"}) {
        const std::string pattern = std::string("f.%04d.") + ext;
        for (const auto& [folder, frames] : {std::pair{"whole", "1-4"}, std::pair{"part", "3-4"}}) {
            const ToolResult r = RunTool({"render", "--frames", frames, "--in", plate.string(), "--out",
                                          (dir / folder / pattern).string(), "--angle", "10", "--quiet"},
                                         kFixedTime);
            ASSERT_EQ(r.status, 0) << r.err;
        }
        for (const char* frame : {"0003", "0004"}) {
            const std::string name = std::string("f.") + frame + "." + ext;
            const std::string whole = Slurp(dir / "whole" / name);
            ASSERT_FALSE(whole.empty()) << name;
            EXPECT_TRUE(whole == Slurp(dir / "part" / name)) << name << " differs from the whole shot's";
        }
    }
}

// --- Writes that fail ---

/// A small file system mounted over a folder for the test, taken away at
/// its end; `mounted` false where the machine does not allow it.
class SmallDisk {
public:
    SmallDisk(const fs::path& at, const char* options) : at_(at), options_(options) {
        fs::create_directory(at_);
        mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", 0, options) == 0;
        if (!mounted_) why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& why() const { return why_; }
    bool MakeReadOnly() { return ::mount(nullptr, at_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, options_) == 0; }

private:
    fs::path at_;
    const char* options_;
    bool mounted_ = false;
    std::string why_;
};

/// A plate of noise in float, uncompressed: a megabyte, which no writer
/// compresses to the small disk's 64 kilobytes.
fs::path WriteNoise(const ScratchDir& dir) {
    const fs::path path = dir / "noise.exr";
    OIIO::ImageSpec header(256, 256, 4, TypeDesc::FLOAT);
    header.attribute("compression", "none");
    std::vector<float> pixels(header.image_pixels() * 4);
    unsigned state = 12345;
    for (float& v : pixels) {
        state = state * 1103515245u + 12345u;
        v = float(state >> 8) / float(1u << 24);
    }
    auto out = OIIO::ImageOutput::create(path.string());
    EXPECT_TRUE(out && out->open(path.string(), header) && out->write_image(TypeDesc::FLOAT, pixels.data()) &&
                out->close());
    return path;
}

enum class Fault { FullDisk, ReadOnlyFileSystem, NoPermission };

struct FailureCase {
    const char* name;
    Fault fault;
    const char* out;
    std::vector<std::string> options;
    const char* reason;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailedWrite : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FailedWrite, NamesTheSystemsReasonAndLeavesNothing) {
    const FailureCase& c = GetParam();
    ScratchDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    const fs::path folder = dir / "disk";
    std::optional<SmallDisk> disk;
    std::string runner;
    if (c.fault == Fault::NoPermission) {
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
        if (::access(folder.c_str(), W_OK) == 0) {
            // Root writes anywhere: the tool runs without that privilege.
            if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "root writes in a read-only folder";
            runner = "/usr/bin/setpriv --bounding-set=-dac_override,-dac_read_search --";
        }
    } else {
        disk.emplace(folder, "size=64k");
        if (!disk->mounted()) GTEST_SKIP() << "cannot mount a small file system here: " << disk->why();
        if (c.fault == Fault::ReadOnlyFileSystem) {
            ASSERT_TRUE(disk->MakeReadOnly()) << std::strerror(errno);
        }
    }
    std::vector<std::string> args = {"render", "--in", WriteNoise(dir).string(), "--out", (folder / c.out).string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ToolResult r = RunTool(args, "", runner);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("cannot write " + (folder / c.out).string() + ": " + c.reason), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.find(".tmp-"), std::string::npos) << r.err;
    for (const auto& entry : fs::directory_iterator(folder)) ADD_FAILURE() << entry.path() << " was left behind";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FailedWrite,
    ::testing::Values(
        FailureCase{"FullDiskExr", Fault::FullDisk, "out.exr", {}, "No space left on device"},
        FailureCase{"FullDiskTiff", Fault::FullDisk, "out.tif", {}, "No space left on device"},
        // A writer whose library ends the process on a failed write.
        FailureCase{"FullDiskJpeg", Fault::FullDisk, "out.jpg", {"--composite", "add"}, "No space left on device"},
        FailureCase{"FullDiskDpx", Fault::FullDisk, "out.dpx", {}, "No space left on device"},
        // A writer that opens the file itself.
        FailureCase{"FullDiskSgi", Fault::FullDisk, "out.sgi", {}, "No space left on device"},
        FailureCase{"FullDiskArray", Fault::FullDisk, "out.npy", {}, "No space left on device"},
        FailureCase{"ReadOnlyFileSystem", Fault::ReadOnlyFileSystem, "out.exr", {}, "Read-only file system"},
        FailureCase{"ReadOnlyFolder", Fault::NoPermission, "out.png", {}, "Permission denied"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
