// The overlay as a picture: the module's strokes rasterised over a rendered
// frame, compared with a reviewed golden picture. A rasteriser may move
// anti-aliased edge pixels a little between versions, so the comparison
// allows a small share of values to differ, each within a limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "imagefiles/Canvas.h"
#include "imagefiles/ImageFile.h"
#include "imagefiles/TestCard.h"
#include "shell/Params.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

/// Differences between two opaque 8-bit pictures.
struct Difference {
    double share_over = 0;  ///< share of channel values differing by more than `loose`
    int largest = 0;
};

Difference Compare(const frames::World& a, const frames::World& b, int loose) {
    std::size_t over = 0, total = 0;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const PF_Pixel8& p = a.At<PF_Pixel8>(x, y);
            const PF_Pixel8& q = b.At<PF_Pixel8>(x, y);
            for (auto [u, v] : {std::pair{p.red, q.red}, std::pair{p.green, q.green}, std::pair{p.blue, q.blue}}) {
                const int d = std::abs(int(u) - int(v));
                largest = std::max(largest, d);
                over += d > loose;
                ++total;
            }
        }
    }
    return {double(over) / double(total), largest};
}

frames::World DrawPicture(sim::HostApp app) {
    CheckedHost host(app);
    EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.ParamsSetup(), PF_Err_NONE);
    const frames::PixelLayout layout =
        app == sim::HostApp::Premiere ? frames::PixelLayout::BGRA8 : frames::PixelLayout::ARGB8;
    host.options().layer_width = 320;
    host.options().layer_height = 180;
    const frames::World card = imagefiles::MakeTestCard(layout, 320, 180);
    frames::World frame(layout, 320, 180);
    if (app == sim::HostApp::Premiere) host.SetWorldFormat(frame.def(), frames::PremiereFormat(layout));
    sim::ParamSet params = host.DefaultParams(card);
    params[kParamWidth].u.fs_d.value = 200;
    params[kParamHeight].u.fs_d.value = 100;
    params[kParamFeather].u.fs_d.value = 30;
    params[kParamAngle].u.ad.value = 25 << 16;
    params[kParamOpacity].u.fd.value = 70 << 16;
    EXPECT_EQ(host.Render(params, frame), PF_Err_NONE);

    frames::View view;
    view.zoom = 1.5;
    view.pan_x = 8;
    view.pan_y = 4;
    host.view() = view;
    int width = 0, height = 0;
    imagefiles::Canvas::FittingSize(frame, view, &width, &height);
    imagefiles::Canvas canvas(frame, view, width, height);
    host.SetStrokeSink(&canvas);
    sim::EventRecord draw(PF_Event_DRAW, PF_Window_COMP);
    EXPECT_EQ(host.Event(draw, params, &frame), PF_Err_NONE);
    EXPECT_EQ(host.drawing().strokes().size(), 11u);
    return canvas.ToWorld();
}

class OverlayPicture : public ::testing::TestWithParam<sim::HostApp> {};

TEST_P(OverlayPicture, MatchesTheGoldenPicture) {
    const bool premiere = GetParam() == sim::HostApp::Premiere;
    const fs::path golden = fs::path(QUORVEL_GOLDEN_DIR) / (premiere ? "overlay-premiere.png" : "overlay-ae.png");
    const frames::World picture = DrawPicture(GetParam());
    if (std::getenv("QUORVEL_UPDATE_GOLDEN") != nullptr) {
        imagefiles::WriteImage(golden, picture);
        GTEST_SKIP() << "golden picture rewritten: " << golden;
    }
    const frames::World expected = imagefiles::ReadImage(golden, frames::PixelLayout::ARGB8);
    ASSERT_EQ(picture.width(), expected.width());
    ASSERT_EQ(picture.height(), expected.height());
    const Difference d = Compare(picture, expected, 24);
    EXPECT_LE(d.share_over, 0.002) << "largest difference " << d.largest;
}

TEST_P(OverlayPicture, DiffersFromThePictureWithoutControls) {
    // Guards the comparison itself: drawing nothing must fail it.
    const bool premiere = GetParam() == sim::HostApp::Premiere;
    const fs::path golden = fs::path(QUORVEL_GOLDEN_DIR) / (premiere ? "overlay-premiere.png" : "overlay-ae.png");
    if (!fs::exists(golden)) GTEST_SKIP() << "no golden picture yet";
    const frames::World expected = imagefiles::ReadImage(golden, frames::PixelLayout::ARGB8);
    frames::World frame = imagefiles::MakeTestCard(frames::PixelLayout::ARGB8, 320, 180);
    frames::View view;
    view.zoom = 1.5;
    view.pan_x = 8;
    view.pan_y = 4;
    int width = 0, height = 0;
    imagefiles::Canvas::FittingSize(frame, view, &width, &height);
    const frames::World bare = imagefiles::Canvas(frame, view, width, height).ToWorld();
    EXPECT_GT(Compare(bare, expected, 24).share_over, 0.002);
}

INSTANTIATE_TEST_SUITE_P(Hosts, OverlayPicture, ::testing::Values(sim::HostApp::AfterEffects, sim::HostApp::Premiere),
                         [](const auto& info) {
                             return std::string(info.param == sim::HostApp::Premiere ? "Premiere" : "AfterEffects");
                         });

}  // namespace
}  // namespace quorvel::test
