// The on-screen controls through the tool, as users run it: overlay and
// drag on frame F of a keyed shot give what the same values given as
// options give over that frame; handles lists where each handle is, which
// a drag's click there grabs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "tests/ToolRunner.h"

namespace quorvel::test {
namespace {

std::vector<std::string> Joined(std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

/// `args` with a leading "@/" standing for the scratch folder.
std::vector<std::string> InDir(std::vector<std::string> args, const ScratchDir& dir) {
    for (std::string& a : args) {
        if (a.rfind("@/", 0) == 0) a = dir.str(a.substr(2));
    }
    return args;
}

/// The shot's options without those only a shot takes, a numbered --in
/// (%04d) become frame `frame`'s file.
std::vector<std::string> WithoutTheShot(const std::vector<std::string>& shot, int frame) {
    std::vector<std::string> single;
    for (std::size_t i = 0; i < shot.size(); ++i) {
        const std::string& a = shot[i];
        if (a == "--frames" || a == "--fps" || a == "--key" || a == "--keys" || a == "--keys-start") {
            ++i;  // and its value
        } else if (const auto at = a.find("%04d"); at != std::string::npos) {
            single.push_back(a.substr(0, at) + std::to_string(frame) + a.substr(at + 4));
        } else {
            single.push_back(a);
        }
    }
    return single;
}

/// Frame `frame` of the shot `shot` as a single frame: WithoutTheShot, and
/// the values the shot's dry run gives the frame added as options (those
/// the shot does not set by options).
std::vector<std::string> AsSingleFrame(const std::vector<std::string>& shot, int frame) {
    const ToolResult dry = RunTool(Joined({"render", "--dry-run"}, shot));
    EXPECT_EQ(dry.status, 0) << dry.err;
    std::vector<std::string> single = WithoutTheShot(shot, frame);
    // "1024 time=1024/24 origin=912.8,576.9 width=739.4 ..."
    std::istringstream values(dry.out);
    std::string value;
    values >> value >> value;
    while (values >> value) {
        const std::string option = "--" + value.substr(0, value.find('='));
        // A control the shot's options set is set the same way.
        if (std::find(single.begin(), single.end(), option) == single.end()) {
            single.insert(single.end(), {option, value.substr(option.size() - 1)});
        }
    }
    return single;
}

/// "--width 412 --height 230"
std::string Spaced(const nlohmann::json& args) {
    std::string text;
    for (const nlohmann::json& arg : args) text += (text.empty() ? "" : " ") + arg.get<std::string>();
    return text;
}

/// The handle `number` as `handles --json` lists it with `args`.
nlohmann::json ListedHandle(const std::vector<std::string>& args, int number) {
    const ToolResult r = RunTool(Joined({"handles", "--json"}, args));
    EXPECT_EQ(r.status, 0) << r.err;
    const nlohmann::json listed = nlohmann::json::parse(r.out);
    for (const nlohmann::json& h : listed["handles"]) {
        if (h["handle"] == number) return h;
    }
    ADD_FAILURE() << "no handle " << number << " in " << r.out;
    return {{"x", 0}, {"y", 0}};
}

std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

struct ShotCase {
    const char* name;
    std::vector<std::string> shot;      ///< --frames F and its keys; "@/" is the scratch folder
    std::vector<std::string> controls;  ///< controls set by options, the same in both
    int frame;
    int handle;  ///< the handle a drag takes
};

void PrintTo(const ShotCase& c, std::ostream* os) { *os << c.name; }

class ShotFrame : public ::testing::TestWithParam<ShotCase> {
protected:
    void SetUp() override {
        // Eased keys baked into keyframe text, a row a frame.
        const ToolResult baked =
            RunTool({"keys", "--key", "width@1001=300", "--key", "width@1040=900:ease", "--key", "origin@1001=700,400",
                     "--key", "origin@1040=1100,640:ease", "--out", dir_.str("baked.txt")});
        ASSERT_EQ(baked.status, 0) << baked.err;
        // Plates unlike one another, so that the frame's own is seen to be used.
        for (int f = 1001; f <= 1003; ++f) {
            const ToolResult plate =
                RunTool({"render", "--size", "320x180", "--width", std::to_string(60 * (f - 1000)), "--composite",
                         "add", "--out", dir_.str("p." + std::to_string(f) + ".npy")});
            ASSERT_EQ(plate.status, 0) << plate.err;
        }
    }

    std::vector<std::string> Shot() const { return InDir(Joined(GetParam().shot, GetParam().controls), dir_); }

    ScratchDir dir_;
};

TEST_P(ShotFrame, OverlayDrawsTheFrameAsItsValuesGivenAsOptions) {
    const std::vector<std::string> single = AsSingleFrame(Shot(), GetParam().frame);
    const ToolResult shot = RunTool(Joined({"overlay", "--out", dir_.str("shot.png")}, Shot()));
    ASSERT_EQ(shot.status, 0) << shot.err;
    const ToolResult options = RunTool(Joined({"overlay", "--out", dir_.str("options.png")}, single));
    ASSERT_EQ(options.status, 0) << options.err;
    const std::string picture = Slurp(dir_ / "shot.png");
    EXPECT_FALSE(picture.empty());
    EXPECT_TRUE(picture == Slurp(dir_ / "options.png"));
}

TEST_P(ShotFrame, DragIsTheDragOverTheFrameGivenAsOptions) {
    const std::vector<std::string> single = AsSingleFrame(Shot(), GetParam().frame);
    const nlohmann::json at = ListedHandle(Shot(), GetParam().handle);
    const std::vector<std::string> drag = {
        "drag", "--json", "--click", Point(at["x"], at["y"]), "--to", Point(int(at["x"]) + 40, int(at["y"]) + 25)};
    const ToolResult shot = RunTool(Joined(Joined(drag, {"--out", dir_.str("shot.png")}), Shot()));
    ASSERT_EQ(shot.status, 0) << shot.err;
    const ToolResult options = RunTool(Joined(Joined(drag, {"--out", dir_.str("options.png")}), single));
    ASSERT_EQ(options.status, 0) << options.err;
    nlohmann::json values = nlohmann::json::parse(shot.out);
    EXPECT_EQ(values["handle"], GetParam().handle) << shot.out;
    EXPECT_EQ(values["frame"], GetParam().frame) << shot.out;
    // What only a shot's drag prints: its frame, and keys at it.
    values.erase("frame");
    values.erase("keys");
    EXPECT_EQ(values, nlohmann::json::parse(options.out));
    EXPECT_TRUE(Slurp(dir_ / "shot.png") == Slurp(dir_ / "options.png"));
}

// The options a drag prints render its values over the frame alone, and
// its keys added to the shot render the frame the same; over keyframe text
// baked a row a frame, they take their rows' places.
TEST_P(ShotFrame, DraggedValuesPasteIntoRender) {
    const nlohmann::json at = ListedHandle(Shot(), GetParam().handle);
    const std::vector<std::string> drag = Joined(
        {"drag", "--click", Point(at["x"], at["y"]), "--to", Point(int(at["x"]) + 40, int(at["y"]) + 25)}, Shot());
    const ToolResult json = RunTool(Joined(drag, {"--json", "--out", dir_.str("dragged.png")}));
    ASSERT_EQ(json.status, 0) << json.err;
    const ToolResult text = RunTool(drag);
    ASSERT_EQ(text.status, 0) << text.err;
    const nlohmann::json dragged = nlohmann::json::parse(json.out);
    ASSERT_EQ(dragged["handle"], GetParam().handle) << json.out;
    EXPECT_NE(
        text.out.find("\noptions  " + Spaced(dragged["options"]) + "\nkeys     " + Spaced(dragged["keys"]) + "\n"),
        std::string::npos)
        << text.out;

    const std::vector<std::string> options = Joined(WithoutTheShot(InDir(GetParam().shot, dir_), GetParam().frame),
                                                    dragged["options"].get<std::vector<std::string>>());
    const ToolResult overlay = RunTool(Joined({"overlay", "--out", dir_.str("options.png")}, options));
    ASSERT_EQ(overlay.status, 0) << overlay.err;
    EXPECT_TRUE(Slurp(dir_ / "dragged.png") == Slurp(dir_ / "options.png"));

    const ToolResult frame = RunTool(Joined({"render", "--out", dir_.str("frame.npy")}, options));
    ASSERT_EQ(frame.status, 0) << frame.err;
    const ToolResult shot = RunTool(Joined(Joined({"render", "--out", dir_.str("shot.%04d.npy")}, Shot()),
                                           dragged["keys"].get<std::vector<std::string>>()));
    ASSERT_EQ(shot.status, 0) << shot.err;
    EXPECT_EQ(shot.err.find("replaces the row at frame " + std::to_string(GetParam().frame) + " of keyframe text") !=
                  std::string::npos,
              std::count(GetParam().shot.begin(), GetParam().shot.end(), "--keys") == 1)
        << shot.err;
    const std::string rendered = Slurp(dir_ / "frame.npy");
    EXPECT_FALSE(rendered.empty());
    EXPECT_TRUE(rendered == Slurp(dir_ / ("shot." + std::to_string(GetParam().frame) + ".npy")));
}

INSTANTIATE_TEST_SUITE_P(
    Shots, ShotFrame,
    ::testing::Values(ShotCase{"KeyOptions",
                               {"--frames", "1024", "--key", "width@1001=300", "--key", "width@1040=900:ease", "--key",
                                "origin@1001=500,400", "--key", "origin@1040=1200,700", "--key", "angle@1010=30"},
                               {"--feather", "20"},
                               1024,
                               4},
                      ShotCase{"BakedKeyframeText",
                               {"--frames", "1024", "--keys", "@/baked.txt", "--keys-start", "1001"},
                               {"--mask-type", "rectangle"},
                               1024,
                               4},
                      ShotCase{"NumberedPlates",
                               {"--frames", "1002", "--in", "@/p.%04d.npy", "--fps", "25", "--key", "height@1001=40",
                                "--key", "height@1003=120:ease"},
                               {"--composite", "subtract"},
                               1002,
                               5}),
    [](const auto& info) { return std::string(info.param.name); });

struct HandlesCase {
    const char* name;
    std::vector<std::string> args;
    bool apart;  ///< every handle out of reach of a click on those tried before it
};

void PrintTo(const HandlesCase& c, std::ostream* os) { *os << c.name; }

class Handles : public ::testing::TestWithParam<HandlesCase> {};

// Each listed place is where a drag's click grabs the handle; where one
// lies within reach of a handle tried first, stderr says which it grabs.
TEST_P(Handles, AreListedWhereADragGrabsThem) {
    const ToolResult text = RunTool(Joined({"handles"}, GetParam().args));
    ASSERT_EQ(text.status, 0) << text.err;
    const ToolResult json = RunTool(Joined({"handles", "--json"}, GetParam().args));
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json handles = nlohmann::json::parse(json.out)["handles"];
    ASSERT_EQ(handles.size(), 10u) << json.out;
    std::istringstream lines(text.out);
    std::size_t notes = 0;
    for (const nlohmann::json& h : handles) {
        // "10  opacity              920,490"
        std::string line;
        std::getline(lines, line);
        const std::string place = Point(h["x"], h["y"]);
        EXPECT_EQ(std::stoi(line), h["handle"]) << line;
        EXPECT_NE(line.find("  " + h["name"].get<std::string>() + " "), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), place) << line;
        const ToolResult drag = RunTool(Joined({"drag", "--json", "--click", place, "--to", "1,1"}, GetParam().args));
        ASSERT_EQ(drag.status, 0) << drag.err;
        EXPECT_EQ(nlohmann::json::parse(drag.out)["handle"], h["grabs"]) << place;
        if (h["grabs"] != h["handle"]) {
            ++notes;
            EXPECT_NE(text.err.find("a click at " + place + ", on the " + h["name"].get<std::string>() + " handle"),
                      std::string::npos)
                << text.err;
        }
        if (GetParam().apart) {
            EXPECT_EQ(h["grabs"], h["handle"]) << place;
        }
    }
    EXPECT_EQ(notes == 0, GetParam().apart) << text.err;
    EXPECT_EQ(std::count(text.err.begin(), text.err.end(), '\n'), std::ptrdiff_t(notes)) << text.err;
}

INSTANTIATE_TEST_SUITE_P(
    Views, Handles,
    ::testing::Values(
        HandlesCase{"Defaults", {}, true},
        HandlesCase{"TurnedFeatheredZoomedPanned",
                    {"--angle", "30", "--feather", "40", "--zoom", "0.5", "--pan", "100,50"},
                    true},
        HandlesCase{"LayerWindowInPremiereWithWidePixels",
                    {"--window", "layer", "--host", "premiere", "--layer-position", "200,100", "--par", "2/1"},
                    true},
        HandlesCase{"FrameOfAShot", {"--frames", "1024", "--key", "angle@1001=0", "--key", "angle@1040=90"}, true},
        // The feather handles lie within reach of the corners, tried first.
        HandlesCase{"SmallBox", {"--width", "20", "--height", "20"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvel::test
