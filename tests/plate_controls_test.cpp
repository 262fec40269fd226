// The on-screen controls over plates whose data window is inside, equal to
// or beyond their display window, through quorvel-host overlay, a shot's
// contact sheet and drag. Each is checked against the same plate cropped to
// its display window by the image library: the layer is the display window,
// so the pictures and the drags must not tell the two apart. Plates are
// made, and pictures read, with the image library, never with the tool's
// own reading.
#include <OpenImageIO/imagebuf.h>
#include <OpenImageIO/imagebufalgo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;
namespace OIIO = OIIO_NAMESPACE;

/// The display window every plate has: 320x180 at (8, 4).
constexpr int kDisplayX = 8, kDisplayY = 4, kDisplayWidth = 320, kDisplayHeight = 180;

/// A plate's data window, relative to its display window's corner.
struct PlateWindow {
    const char* name;
    int x, y, width, height;
};

const PlateWindow kWindows[] = {
    {"Inside", 40, 30, 200, 100},
    {"Equal", 0, 0, 320, 180},
    {"Beyond", -16, -10, 352, 200},
    {"BeyondTopLeft", -24, -12, 200, 120},
    {"BeyondBottomRight", 100, 60, 300, 160},
};

void PrintTo(const PlateWindow& w, std::ostream* os) { *os << w.name; }

/// The plate at `plate` (a colour ramp, opaque where there is data) and the
/// same plate cropped to its display window at `cropped`.
void WritePlates(const PlateWindow& w, const fs::path& plate, const fs::path& cropped) {
    OIIO::ImageSpec header(w.width, w.height, 4, OIIO::TypeDesc::FLOAT);
    header.x = kDisplayX + w.x, header.y = kDisplayY + w.y;
    header.full_x = kDisplayX, header.full_y = kDisplayY;
    header.full_width = kDisplayWidth, header.full_height = kDisplayHeight;
    header.channelnames = {"R", "G", "B", "A"};
    header.alpha_channel = 3;
    OIIO::ImageBuf buf(header);
    const float top_left[] = {0.9f, 0.2f, 0.1f, 1.0f}, top_right[] = {0.1f, 0.8f, 0.2f, 1.0f};
    const float bottom_left[] = {0.2f, 0.3f, 0.9f, 1.0f}, bottom_right[] = {0.8f, 0.7f, 0.3f, 1.0f};
    ASSERT_TRUE(OIIO::ImageBufAlgo::fill(buf, top_left, top_right, bottom_left, bottom_right)) << buf.geterror();
    ASSERT_TRUE(buf.write(plate.string())) << buf.geterror();

    const OIIO::ROI display(kDisplayX, kDisplayX + kDisplayWidth, kDisplayY, kDisplayY + kDisplayHeight);
    OIIO::ImageBuf crop = OIIO::ImageBufAlgo::crop(buf, display);
    ASSERT_FALSE(crop.has_error()) << crop.geterror();
    crop.set_full(kDisplayX, kDisplayX + kDisplayWidth, kDisplayY, kDisplayY + kDisplayHeight, 0, 1);
    ASSERT_TRUE(crop.write(cropped.string())) << crop.geterror();
}

/// A rectangular hole, turned, off the layer's centre: where it is drawn and
/// where it is cut must agree.
const std::vector<std::string> kHole = {"--origin",    "200,70",    "--width", "60", "--height",    "40",
                                        "--mask-type", "rectangle", "--angle", "20", "--composite", "subtract"};

std::vector<std::string> Joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

/// Two pictures of the same size, and the largest difference between them
/// (in 8-bit steps) over the pixels at least `margin` pixels inside `area`.
struct PictureDifference {
    bool same_size = false;
    int largest = 0;
};

PictureDifference Compare(const fs::path& a, const fs::path& b, OIIO::ROI area = {}, int margin = 0) {
    OIIO::ImageBuf p(a.string()), q(b.string());
    EXPECT_TRUE(p.read(0, 0, true, OIIO::TypeDesc::UINT8)) << p.geterror();
    EXPECT_TRUE(q.read(0, 0, true, OIIO::TypeDesc::UINT8)) << q.geterror();
    PictureDifference d;
    d.same_size = p.spec().width == q.spec().width && p.spec().height == q.spec().height;
    if (!d.same_size) return d;
    if (!area.defined()) area = p.roi();
    for (int y = area.ybegin + margin; y < area.yend - margin; ++y) {
        for (int x = area.xbegin + margin; x < area.xend - margin; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int u = int(std::lround(p.getchannel(x, y, 0, c) * 255.0f));
                const int v = int(std::lround(q.getchannel(x, y, 0, c) * 255.0f));
                d.largest = std::max(d.largest, std::abs(u - v));
            }
        }
    }
    return d;
}

/// Whether the picture shows the checkerboard, grey, at (x, y): no plate
/// colour there.
bool IsGrey(const fs::path& picture, int x, int y) {
    OIIO::ImageBuf p(picture.string());
    EXPECT_TRUE(p.read(0, 0, true, OIIO::TypeDesc::UINT8)) << p.geterror();
    const float r = p.getchannel(x, y, 0, 0), g = p.getchannel(x, y, 0, 1), b = p.getchannel(x, y, 0, 2);
    return r == g && g == b;
}

std::string PlateName(const ::testing::TestParamInfo<PlateWindow>& info) { return info.param.name; }

// --- overlay ---

/// A view, and the window pixel it puts the layer's (0, 0) at: the layer's
/// (200, 80) is inside the hole, below its origin, clear of the controls.
struct ViewCase {
    const char* name;
    std::vector<std::string> options;
    int layer_x, layer_y;
};

const ViewCase kViews[] = {
    {"Identity", {}, 0, 0},
    {"LayerPosition", {"--layer-position", "30,20"}, 30, 20},
    {"LayerWindowPanned", {"--window", "layer", "--pan", "-50,-30", "--layer-position", "30,20"}, -50, -30},
};

void PrintTo(const ViewCase& v, std::ostream* os) { *os << v.name; }

/// Whether the plate has data at the layer's (x, y).
bool HasData(const PlateWindow& w, int x, int y) {
    return x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height;
}

class PlateOverlay : public ::testing::TestWithParam<std::tuple<PlateWindow, ViewCase>> {};

TEST_P(PlateOverlay, IsTheCroppedPlatesWindowWithTheOutlineOnTheHole) {
    const auto& [window, view] = GetParam();
    ScratchDir dir;
    WritePlates(window, dir / "plate.exr", dir / "cropped.exr");
    for (const char* plate : {"plate", "cropped"}) {
        const ToolResult r = RunTool(Joined(Joined({"overlay", "--in", dir.str(std::string(plate) + ".exr"), "--out",
                                                    dir.str(std::string(plate) + ".png")},
                                                   kHole),
                                            view.options));
        ASSERT_EQ(r.status, 0) << plate << ": " << r.err;
    }
    // Over the layer: the same window. Beside it the plate's overscan shows.
    const int x = view.layer_x, y = view.layer_y;
    const OIIO::ROI layer(std::max(x, 0), x + kDisplayWidth, std::max(y, 0), y + kDisplayHeight);
    const PictureDifference d = Compare(dir / "plate.png", dir / "cropped.png", layer);
    ASSERT_TRUE(d.same_size);
    EXPECT_EQ(d.largest, 0);
    if (x >= 5 && y >= 5) {
        EXPECT_EQ(IsGrey(dir / "plate.png", x - 5, y - 5), !HasData(window, -5, -5));
    }
    // The hole is cut where the outline says; 50 pixels left, outside it,
    // every plate has data and shows its colour.
    EXPECT_TRUE(IsGrey(dir / "plate.png", x + 200, y + 80));
    EXPECT_FALSE(IsGrey(dir / "plate.png", x + 150, y + 80));
}

INSTANTIATE_TEST_SUITE_P(Plates, PlateOverlay,
                         ::testing::Combine(::testing::ValuesIn(kWindows), ::testing::ValuesIn(kViews)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

// --- contact sheet ---

class PlateContactSheet : public ::testing::TestWithParam<PlateWindow> {};

TEST_P(PlateContactSheet, ThumbnailsAreTheCroppedPlates) {
    ScratchDir dir;
    WritePlates(GetParam(), dir / "plate.exr", dir / "cropped.exr");
    // At the width of the layer a thumbnail is the window at zoom 1; at half
    // of it the frame is filtered down, and its edge takes in the overscan.
    for (const int width : {320, 160}) {
        const std::string w = std::to_string(width);
        for (const char* plate : {"plate", "cropped"}) {
            const std::string name = std::string(plate) + w;
            const ToolResult r =
                RunTool(Joined({"render", "--in", dir.str(std::string(plate) + ".exr"), "--out",
                                dir.str(name + ".%d.exr"), "--frames", "1", "--quiet", "--contact-sheet",
                                dir.str(name + ".png"), "--contact-every", "1", "--contact-width", w},
                               kHole));
            ASSERT_EQ(r.status, 0) << name << ": " << r.err;
        }
        // Thumbnails start 6 pixels in; at half width a layer is 160x90.
        const OIIO::ROI first_thumbnail(6, 6 + width, 6, 6 + width * kDisplayHeight / kDisplayWidth);
        const PictureDifference d = Compare(dir / ("plate" + w + ".png"), dir / ("cropped" + w + ".png"),
                                            first_thumbnail, width == 320 ? 0 : 1);
        ASSERT_TRUE(d.same_size) << w;
        EXPECT_LE(d.largest, width == 320 ? 0 : 1) << w;
        EXPECT_TRUE(IsGrey(dir / ("plate" + w + ".png"), 6 + 200 * width / 320, 6 + 80 * width / 320)) << w;
    }
}

INSTANTIATE_TEST_SUITE_P(Plates, PlateContactSheet, ::testing::ValuesIn(kWindows), PlateName);

// --- drag ---

class PlateDrag : public ::testing::TestWithParam<PlateWindow> {};

// The default origin is the display window's centre (160, 90), the rotation
// handle a fifth of its height above: (160, 54).
TEST_P(PlateDrag, GrabsTheHandleWhereItIsDrawnOverThePlate) {
    ScratchDir dir;
    WritePlates(GetParam(), dir / "plate.exr", dir / "cropped.exr");
    std::string json[2];
    for (int i = 0; i < 2; ++i) {
        const std::string plate = i == 0 ? "plate" : "cropped";
        const ToolResult r = RunTool({"drag", "--in", dir.str(plate + ".exr"), "--click", "160,54", "--to", "300,90",
                                      "--json", "--out", dir.str(plate + ".png")});
        ASSERT_EQ(r.status, 0) << plate << ": " << r.err;
        EXPECT_TRUE(r.err.empty()) << plate << ": " << r.err;
        json[i] = r.out;
    }
    EXPECT_NE(json[0].find("\"handle\":5,"), std::string::npos) << json[0];
    EXPECT_NE(json[0].find("\"angle\":90.0,"), std::string::npos) << json[0];
    EXPECT_EQ(json[0], json[1]);
    const PictureDifference d = Compare(dir / "plate.png", dir / "cropped.png");
    ASSERT_TRUE(d.same_size);
    EXPECT_EQ(d.largest, 0);
}

INSTANTIATE_TEST_SUITE_P(Plates, PlateDrag, ::testing::ValuesIn(kWindows), PlateName);

}  // namespace
}  // namespace quorvel::test
