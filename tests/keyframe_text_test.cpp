// The keyframe text the compositing host copies and trackers export, read and
// written in-process: the format's lines and line endings, what a malformed
// file is told, which blocks key which of the module's controls (by the names
// it registers), the frames' clock, point tracks, and keys that come back
// from text with the values they went in with.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "shots/KeyframeText.h"
#include "shots/Keyframes.h"
#include "shots/ShotError.h"
#include "tests/KeyTextLines.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

using shots::ShotError;

const std::string& kTitle = kKeyTextTitle;
const std::string& kEnd = kKeyTextEnd;

/// The message of the ShotError `run` throws; "(taken)" when it throws none.
template <class Run>
std::string RefusalOf(Run&& run) {
    try {
        run();
    } catch (const ShotError& e) {
        return e.what();
    }
    return "(taken)";
}

/// A copy of keys as the host puts it on the clipboard: header, a blank
/// line after the title, trailing tabs, a block of another effect and one
/// of the layer's transform among this effect's.
const std::vector<std::string> kHostCopy = Then(KeyTextHead(), {
                                                                   "Effects\tVT Quorvel #1\tOpacity #8",
                                                                   "\tFrame\tpercent\t",
                                                                   "\t0\t100\t",
                                                                   "\t12\t37.5\t",
                                                                   "",
                                                                   "Transform\tPosition",
                                                                   "\tFrame\tX pixels\tY pixels\tZ pixels\t",
                                                                   "\t0\t960\t540\t0\t",
                                                                   "",
                                                                   "Effects\tVT Quorvel #1\tPoint of origin #3",
                                                                   "\tFrame\tX pixels\tY pixels\t",
                                                                   "\t3\t100.25\t-20\t",
                                                                   "",
                                                                   "End of Keyframe Data",
                                                               });

struct LineEnding {
    const char* name;
    std::string (*join)(const std::vector<std::string>&);
};

void PrintTo(const LineEnding& e, std::ostream* os) { *os << e.name; }

class KeyTextLineEndings : public ::testing::TestWithParam<LineEnding> {};

TEST_P(KeyTextLineEndings, ReadTheSameLinesAndNumbers) {
    const shots::KeyText text = shots::ParseKeyText(GetParam().join(kHostCopy), "copy.txt");
    ASSERT_EQ(text.header.size(), 5u);
    EXPECT_EQ(text.header[0].name, "Units Per Second");
    EXPECT_EQ(text.header[0].value, "24");
    EXPECT_EQ(text.header[0].line, 3);
    ASSERT_NE(text.Find("Source Height"), nullptr);
    EXPECT_EQ(text.Find("Source Height")->value, "1080");
    ASSERT_EQ(text.blocks.size(), 3u);
    EXPECT_EQ(text.blocks[0].path, (std::vector<std::string>{"Effects", "VT Quorvel #1", "Opacity #8"}));
    EXPECT_EQ(text.blocks[0].columns, (std::vector<std::string>{"percent"}));
    ASSERT_EQ(text.blocks[0].rows.size(), 2u);
    EXPECT_EQ(text.blocks[0].rows[1].frame, 12.0);
    EXPECT_EQ(text.blocks[0].ValuesOf(1)[0], 37.5);
    EXPECT_EQ(text.blocks[0].rows[1].line, 12);
    EXPECT_EQ(text.blocks[1].PathText(), "Transform / Position");
    EXPECT_EQ(text.blocks[1].columns, (std::vector<std::string>{"X pixels", "Y pixels", "Z pixels"}));
    EXPECT_EQ(text.blocks[2].line, 18);
    EXPECT_EQ(text.blocks[2].values, (std::vector<double>{100.25, -20}));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, KeyTextLineEndings,
    ::testing::Values(LineEnding{"LF", [](const std::vector<std::string>& l) { return Lines(l, "\n"); }},
                      LineEnding{"CRLF", [](const std::vector<std::string>& l) { return Lines(l, "\r\n"); }},
                      LineEnding{"CR", [](const std::vector<std::string>& l) { return Lines(l, "\r"); }},
                      LineEnding{"Mixed",
                                 [](const std::vector<std::string>& l) {
                                     std::string text;
                                     const char* endings[] = {"\r\n", "\n", "\r"};
                                     for (std::size_t i = 0; i < l.size(); ++i) text += l[i] + endings[i % 3];
                                     return text;
                                 }},
                      LineEnding{"NoFinalEnding",
                                 [](const std::vector<std::string>& l) {
                                     const std::string text = Lines(l, "\r\n");
                                     return text.substr(0, text.size() - 2);
                                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyText, HeaderLinesAndRowsMayGoWithoutTheLeadingTab) {
    const shots::KeyText text =
        shots::ParseKeyText(Lines({"Adobe After Effects 8.0 Keyframe Data", "Units Per Second\t25",
                                   "Transform\tRotation", "Frame\tdegrees", "0\t90", "", "End of Keyframe Data"}),
                            "t.txt");
    ASSERT_NE(text.Find("Units Per Second"), nullptr);
    EXPECT_EQ(text.Find("Units Per Second")->value, "25");
    ASSERT_EQ(text.blocks.size(), 1u);
    EXPECT_EQ(text.blocks[0].values, (std::vector<double>{90}));
}

// Written back without the blocks before it, a block whose path starts with
// a header's name follows the header's blank line: a block still.
TEST(KeyText, TheBlankLineAfterTheHeaderEndsIt) {
    for (const auto& head : {std::vector<std::string>{kTitle, "", "\tUnits Per Second\t24", ""},
                             std::vector<std::string>{kTitle, "", ""}}) {
        const shots::KeyText text = shots::ParseKeyText(
            Lines(Then(head, {"Source Width\tRotation", "\tFrame\tdegrees", "\t0\t5", "", kEnd})), "t.txt");
        ASSERT_EQ(text.blocks.size(), 1u);
        EXPECT_EQ(text.blocks[0].PathText(), "Source Width / Rotation");
        EXPECT_TRUE(text.blocks[0].usable());
        EXPECT_EQ(text.header.size(), head.size() == 4 ? 1u : 0u);
    }
}

TEST(KeyText, IsToldByItsFirstLine) {
    EXPECT_TRUE(shots::LooksLikeKeyText("Adobe After Effects 8.0 Keyframe Data\r\n\r\n"));
    EXPECT_TRUE(
        shots::LooksLikeKeyText("\xEF\xBB\xBF"
                                "Adobe After Effects 9.0 Keyframe Data\n"));
    EXPECT_TRUE(shots::LooksLikeKeyText("Adobe After Effects 6.0 Keyframe Data"));
    EXPECT_FALSE(shots::LooksLikeKeyText("{\"width\": []}"));
    EXPECT_FALSE(shots::LooksLikeKeyText("Keyframe Data\n"));
    EXPECT_FALSE(shots::LooksLikeKeyText(""));
}

// The normal form: the title, a blank line, the header, a blank line, each
// block and a blank line, the closing line; LF endings, the host's trailing
// tabs, numbers as the shortest decimals.
TEST(KeyText, IsWrittenInTheHostsLayout) {
    const std::string copy = Lines(kHostCopy, "\r\n");
    const std::string normal = shots::WriteKeyText(shots::ParseKeyText(copy, "copy.txt"));
    EXPECT_EQ(normal, Lines(kHostCopy, "\n"));
    EXPECT_EQ(shots::WriteKeyText(shots::ParseKeyText(normal, "normal.txt")), normal);
    const std::string loose = Lines({kTitle, "Units Per Second\t24", "", "", "Transform\tRotation", "Frame\tdegrees",
                                     "0\t1.50", "10\t+2e1", kEnd, ""});
    EXPECT_EQ(shots::WriteKeyText(shots::ParseKeyText(loose, "loose.txt")),
              Lines({kTitle, "", "\tUnits Per Second\t24", "", "Transform\tRotation", "\tFrame\tdegrees\t",
                     "\t0\t1.5\t", "\t10\t20\t", "", kEnd}));
}

struct Malformed {
    const char* name;
    std::vector<std::string> lines;
    int line;
    std::string message_part;
};

void PrintTo(const Malformed& m, std::ostream* os) { *os << m.name; }

class MalformedKeyText : public ::testing::TestWithParam<Malformed> {};

// Text that is not keyframe text is refused; a block that is not as its
// column line says is kept with the reason, for whoever would use it.
TEST_P(MalformedKeyText, IsRefusedOrItsBlockMarkedWithTheLineAndWhatWasExpected) {
    std::string message;
    try {
        for (const shots::KeyTextBlock& block : shots::ParseKeyText(Lines(GetParam().lines), "keys.txt").blocks) {
            if (!block.fault.empty()) message = block.fault;
        }
    } catch (const ShotError& e) {
        message = e.what();
    }
    EXPECT_EQ(message.rfind("keys.txt:" + std::to_string(GetParam().line) + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().message_part), std::string::npos) << message;
    EXPECT_LT(message.size(), 400u) << "a message quotes an excerpt, not the line";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedKeyText,
    ::testing::Values(
        Malformed{"NoTitle", {"Keyframes", kEnd}, 1, "expected the title line"},
        Malformed{"NoRowAfterColumns",
                  {kTitle, "", "\tUnits Per Second\t24", "", "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t",
                   "", kEnd},
                  7,
                  "expected a row of numbers after the column line 'Frame<TAB>percent'"},
        Malformed{"NoColumnLine",
                  {kTitle, "", "Transform\tRotation", "\t0\t5", "", kEnd},
                  4,
                  "expected the column line (Frame<TAB>units...) after the path 'Transform<TAB>Rotation'"},
        Malformed{"PathThenBlank", {kTitle, "Transform\tRotation", "", kEnd}, 4, "expected the column line"},
        Malformed{"WordsForRows",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\tzero\tfive", kEnd},
                  4,
                  "expected a row of numbers after the column line"},
        Malformed{"TooFewNumbers",
                  {kTitle, "Transform\tPosition", "\tFrame\tX pixels\tY pixels", "\t0\t5\t", kEnd},
                  4,
                  "expected 3 numbers as the column line 'Frame<TAB>X pixels<TAB>Y pixels' says, found 2"},
        Malformed{"TooManyNumbers",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5", "\t1\t5\t6", kEnd},
                  5,
                  "expected 2 numbers"},
        Malformed{"DecimalComma",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5", "\t1\t5,5", kEnd},
                  5,
                  "expected a number in column 2, found '5,5' (decimals take a point)"},
        Malformed{"FramesBackwards",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t4\t5", "\t2\t5", kEnd},
                  5,
                  "expected frames in ascending order: frame 2 follows frame 4"},
        Malformed{"FrameTwice",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t4\t5", "\t4\t6", kEnd},
                  5,
                  "frame 4 follows frame 4"},
        Malformed{"IndentedBetweenBlocks",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5", "", "\t1\t6", kEnd},
                  6,
                  "expected a property path (such as Transform<TAB>Position) or 'End of Keyframe Data'"},
        Malformed{"CutShort",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5"},
                  4,
                  "expected 'End of Keyframe Data' after the last block (is the data cut short?)"},
        Malformed{"HugeBadNumberQuotedInPart",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t" + std::string(60000, '9') + ",5", kEnd},
                  4,
                  "found '" + std::string(80, '9') + "\xE2\x80\xA6' (decimals take a point)"},
        Malformed{"LineBeyondTheLimit",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5" + std::string(70000, ' '), kEnd},
                  4,
                  "the line is longer than 65536 characters"},
        // Written back, the path would start with a tab and read as something else.
        Malformed{"PathWithABlankFirstName",
                  {kTitle, " \tPosition", "\tFrame\tX pixels\tY pixels", "\t0\t5\t5", kEnd},
                  2,
                  "found a path whose first name is blank"},
        Malformed{"TextAfterTheEnd",
                  {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5", kEnd, "", "Transform\tScale"},
                  7,
                  "expected nothing after 'End of Keyframe Data'"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Against the module's controls ----

class KeyTextControls : public ::testing::Test {
protected:
    KeyTextControls() : input_(frames::PixelLayout::ARGB8, 64, 48) {
        EXPECT_EQ(host_.GlobalSetup(), PF_Err_NONE);
        EXPECT_EQ(host_.ParamsSetup(), PF_Err_NONE);
    }
    sim::ParamSet Params() const { return host_.DefaultParams(input_); }
    std::string EffectName() const { return shots::EffectDisplayName(Module().descriptor()); }

    /// The animation a keyframe text file gives.
    shots::Animation Read(const std::vector<std::string>& lines, const shots::KeyTextOptions& options = {}) {
        shots::Animation animation;
        animation.AddKeyText("keys.txt", Lines(lines, "\r\n"), options);
        animation.Resolve(Params(), EffectName());
        return animation;
    }
    /// What the host would pass at `frame`, as the dry run shows it.
    std::string At(const shots::Animation& animation, double frame) const {
        sim::ParamSet params = Params();
        animation.Apply(frame, params);
        return shots::DescribeAnimatable(params);
    }

    CheckedHost host_;
    frames::World input_;
};

TEST_F(KeyTextControls, TheEffectIsFoundByTheNameItsDescriptorGives) { EXPECT_EQ(EffectName(), "VT Quorvel"); }

TEST_F(KeyTextControls, TheEffectsBlocksKeyItsControlsAndOthersAreNotedOnce) {
    const shots::Animation animation = Read(kHostCopy);
    EXPECT_EQ(animation.KeysOf("opacity").size(), 2u);
    EXPECT_EQ(animation.KeysOf("origin").size(), 1u);
    EXPECT_EQ(At(animation, 6), "origin=100.25,-20 width=300 height=200 angle=0 feather=0 opacity=68.75");
    ASSERT_EQ(animation.Notes().size(), 1u);
    EXPECT_NE(animation.Notes()[0].Text().find("skipped 1 block not for this effect: Transform / Position (line 14)"),
              std::string::npos)
        << animation.Notes()[0].Text();
}

TEST_F(KeyTextControls, EveryBlockOfAnotherEffectOrLayerIsListedInOneNote) {
    const shots::Animation animation =
        Read({kTitle, "Effects\tOther Blur #1\tBlurriness #1", "\tFrame\t", "\t0\t3", "", "Transform\tRotation",
              "\tFrame\tdegrees", "\t0\t3", "", "Effects\tVT Quorvel #2\tWidth #4", "\tFrame\tpixels", "\t0\t40", "",
              "Effects\tOther Blur #1\tBlurriness #1", "\tFrame\t", "\t5\t3", "", kEnd});
    EXPECT_EQ(At(animation, 0), "origin=960,540 width=40 height=200 angle=0 feather=0 opacity=100");
    ASSERT_EQ(animation.Notes().size(), 1u);
    EXPECT_NE(animation.Notes()[0].Text().find(
                  "skipped 3 blocks not for this effect: Effects / Other Blur #1 / Blurriness #1 "
                  "(line 2); Transform / Rotation (line 6); Effects / Other Blur #1 / "
                  "Blurriness #1 (line 14)"),
              std::string::npos)
        << animation.Notes()[0].Text();
}

struct Refused {
    const char* name;
    std::vector<std::string> lines;
    const char* message_part;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class KeyTextRefused : public KeyTextControls, public ::testing::WithParamInterface<Refused> {};

TEST_P(KeyTextRefused, WithTheReason) {
    const std::string message = RefusalOf([&] { Read(GetParam().lines); });
    EXPECT_NE(message.find(GetParam().message_part), std::string::npos) << message;
}

std::vector<std::string> OneBlock(const std::string& control, const std::string& columns, const std::string& row) {
    return {kTitle, "",  "Effects\tVT Quorvel #1\t" + control, "\tFrame\t" + columns + "\t", "\t0\t" + row + "\t",
            "",     kEnd};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTextRefused,
    ::testing::Values(
        Refused{"WidthInPercent", OneBlock("Width #4", "percent", "50"),
                "keys.txt:4: Width takes one value in pixels, but the column line says 'Frame<TAB>percent'"},
        Refused{"OpacityInDegrees", OneBlock("Opacity #8", "degrees", "50"), "Opacity takes one value in percent"},
        Refused{"AngleInPercent", OneBlock("Angle #6", "percent", "50"), "Angle takes one value in degrees"},
        Refused{"OriginInPercent", OneBlock("Point of origin #3", "X percent\tY percent", "50\t50"),
                "Point of origin takes X and Y in pixels"},
        Refused{"OriginGivenOneNumber", OneBlock("Point of origin #3", "pixels", "50"),
                "Point of origin takes X and Y in pixels"},
        Refused{"WidthGivenTwo", OneBlock("Width #4", "X pixels\tY pixels", "5\t5"), "Width takes one value"},
        Refused{"UnknownControl", OneBlock("Size #4", "pixels", "5"),
                "keys.txt:3: VT Quorvel has no control called 'Size' (it registers Mask Type, Composite mode"},
        Refused{"FixedControl", OneBlock("Invert #9", "", "1"), "keys.txt:5: Invert cannot vary in time"},
        Refused{"BeyondTheHostsRange", OneBlock("Angle #6", "degrees", "40000"), "outside the host's range"},
        Refused{"TwoInstances",
                {kTitle, "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels", "\t0\t5", "",
                 "Effects\tVT Quorvel #2\tHeight #5", "\tFrame\tpixels", "\t0\t5", "", kEnd},
                "keys.txt:6: holds keys for two instances of the effect, 'VT Quorvel #1' and 'VT Quorvel #2'"},
        Refused{"OneControlTwice",
                {kTitle, "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels", "\t0\t5", "",
                 "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels", "\t9\t5", "", kEnd},
                "keys.txt:6: a second block for Width (the first is at line 2)"},
        Refused{"RateNotANumber",
                {kTitle, "\tUnits Per Second\tfast", "", "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels",
                 "\t1\t5", "", kEnd},
                "keys.txt:2: expected a positive number after 'Units Per Second'"},
        Refused{"RateNoHostKeeps",
                {kTitle, "\tUnits Per Second\t1e-300", "", "Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels",
                 "\t1\t5", "", kEnd},
                "keys.txt:2: Units Per Second 1e-300 is not a rate a host can use (at least 0.001 frames a second)"},
        Refused{"NothingOurs",
                {kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5", "", kEnd},
                "keys.txt: no block is for a control of VT Quorvel (the file has Transform / Rotation (line 2))"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyTextControls, AColumnWithoutAUnitTakesTheControls) {
    const shots::Animation animation = Read(OneBlock("Feather #7", "", "12.5"));
    EXPECT_EQ(At(animation, 0), "origin=960,540 width=300 height=200 angle=0 feather=12.5 opacity=100");
}

// ---- Time ----

/// A width block at the data's frames 10 (value 100) and 14 (value 300).
std::vector<std::string> WidthAt(const std::string& units_per_second) {
    return {kTitle,
            "",
            "\tUnits Per Second\t" + units_per_second,
            "",
            "Effects\tVT Quorvel #1\tWidth #4",
            "\tFrame\t",
            "\t10\t100\t",
            "\t14\t300\t",
            "",
            kEnd};
}

struct Timing {
    const char* name;
    const char* units_per_second;
    const char* fps;
    std::optional<double> start;
    std::vector<double> frames;  ///< where the two keys land
};

void PrintTo(const Timing& t, std::ostream* os) { *os << t.name; }

class KeyTextTiming : public KeyTextControls, public ::testing::WithParamInterface<Timing> {};

TEST_P(KeyTextTiming, PutsTheDataOnTheRendersClock) {
    shots::KeyTextOptions options;
    options.rate = shots::ParseFrameRate("fps", GetParam().fps);
    options.start = GetParam().start;
    const shots::Animation animation = Read(WidthAt(GetParam().units_per_second), options);
    const std::vector<shots::Keyframe>& keys = animation.KeysOf("width");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_DOUBLE_EQ(keys[0].frame, GetParam().frames[0]);
    EXPECT_DOUBLE_EQ(keys[1].frame, GetParam().frames[1]);
    EXPECT_EQ(keys[1].value, shots::KeyValue{300});
}

INSTANTIATE_TEST_SUITE_P(Cases, KeyTextTiming,
                         ::testing::Values(
                             // Without a start the data's times are kept: frame 10 at 24/s is 10/24 s.
                             Timing{"SameRateKeepsFrames", "24", "24", std::nullopt, {10, 14}},
                             Timing{"StartMovesTheFirstFrame", "24", "24", 1001.0, {1001, 1005}},
                             Timing{"StartBeforeZero", "24", "24", -3.0, {-3, 1}},
                             // 48 frames/s data on a 24 frames/s clock: half as many frames.
                             Timing{"FasterDataKeepsItsTimes", "48", "24", std::nullopt, {5, 7}},
                             Timing{"FasterDataFromAStart", "48", "24", 1001.0, {1001, 1003}},
                             Timing{"SlowerData", "12", "24", 0.0, {0, 8}},
                             Timing{"PalDataOnFilm", "25", "24", 0.0, {0, 3.84}},
                             // The host writes 23.976 for 24000/1001: the same clock.
                             Timing{"NtscNamesAreOneRate", "23.976", "24000/1001", 100.0, {100, 104}},
                             Timing{"TrackersLongNtsc", "23.9759998321533", "23.976", std::nullopt, {10, 14}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyTextControls, StrictTimingRefusesAnotherRateAndTakesTheSame) {
    shots::KeyTextOptions options;
    options.strict_timing = true;
    const std::string message = RefusalOf([&] { Read(WidthAt("30"), options); });
    EXPECT_NE(
        message.find("keys.txt:3: the data runs at 30 frames/s and the render at 24 (rate); strict_timing refuses"),
        std::string::npos)
        << message;
    options.rate = shots::ParseFrameRate("fps", "23.976");
    EXPECT_EQ(Read(WidthAt("23.976"), options).KeysOf("width").front().frame, 10.0);
}

TEST_F(KeyTextControls, TheFirstFrameIsTheEarliestOfEveryBlock) {
    shots::KeyTextOptions options;
    options.start = 50;
    const shots::Animation animation =
        Read({kTitle, "Transform\tRotation", "\tFrame\tdegrees", "\t4\t0", "", "Effects\tVT Quorvel #1\tAngle #6",
              "\tFrame\tdegrees", "\t6\t10", "\t9\t40", "", kEnd},
             options);
    EXPECT_EQ(animation.KeysOf("angle").front().frame, 52.0);
    EXPECT_EQ(animation.KeysOf("angle").back().frame, 55.0);
}

// ---- Point tracks ----

const std::vector<std::string> kTrackOnly = {kTitle,
                                             "",
                                             "\tUnits Per Second\t24",
                                             "",
                                             "Effects\tPoint Control #1\tPoint #1",
                                             "\tFrame\tX pixels\tY pixels\t",
                                             "\t0\t10\t20\t",
                                             "\t1\t11.5\t19\t",
                                             "\t2\t13\t18.25\t",
                                             "",
                                             kEnd};

TEST_F(KeyTextControls, AFileOfOnePointTrackDrivesTheOriginOnItsOwn) {
    const shots::Animation animation = Read(kTrackOnly);
    EXPECT_EQ(At(animation, 1), "origin=11.5,19 width=300 height=200 angle=0 feather=0 opacity=100");
    EXPECT_EQ(At(animation, 2), "origin=13,18.25 width=300 height=200 angle=0 feather=0 opacity=100");
    EXPECT_TRUE(animation.Notes().empty());
}

TEST_F(KeyTextControls, TheTrackOffsetMovesEveryTrackedPoint) {
    shots::KeyTextOptions options;
    options.track = "origin";
    options.track_offset = {{-10, 2.5}};
    const shots::Animation animation = Read(kTrackOnly, options);
    EXPECT_EQ(At(animation, 0), "origin=0,22.5 width=300 height=200 angle=0 feather=0 opacity=100");
    EXPECT_EQ(At(animation, 2), "origin=3,20.75 width=300 height=200 angle=0 feather=0 opacity=100");
}

/// Two point tracks beside a width block: the layer's position and a tracker's.
const std::vector<std::string> kTwoTracks = {kTitle,
                                             "Transform\tPosition",
                                             "\tFrame\tX pixels\tY pixels\tZ pixels",
                                             "\t0\t1\t2\t0",
                                             "",
                                             "Effects\tTracker Point #1\tAttach Point #2",
                                             "\tFrame\tX pixels\tY pixels",
                                             "\t0\t30\t40",
                                             "",
                                             "Effects\tVT Quorvel #1\tWidth #4",
                                             "\tFrame\tpixels",
                                             "\t0\t77",
                                             "",
                                             kEnd};

TEST_F(KeyTextControls, AmongSeveralTracksTheChosenBlockDrivesTheOrigin) {
    shots::KeyTextOptions options;
    options.track = "origin";
    options.track_block = "Effects / Tracker Point #1 / Attach Point #2";
    const shots::Animation animation = Read(kTwoTracks, options);
    EXPECT_EQ(At(animation, 0), "origin=30,40 width=77 height=200 angle=0 feather=0 opacity=100");
    ASSERT_EQ(animation.Notes().size(), 1u);
    EXPECT_NE(animation.Notes()[0].Text().find("skipped 1 block not for this effect: Transform / Position (line 2)"),
              std::string::npos);
}

TEST_F(KeyTextControls, TracksAreNotTakenWithoutBeingAskedBesideTheEffectsBlocks) {
    const shots::Animation animation = Read(kTwoTracks);
    EXPECT_TRUE(animation.KeysOf("origin").empty());
    EXPECT_EQ(At(animation, 0), "origin=960,540 width=77 height=200 angle=0 feather=0 opacity=100");
}

struct TrackRefused {
    const char* name;
    std::vector<std::string> lines;
    shots::KeyTextOptions options;
    const char* message_part;
};

void PrintTo(const TrackRefused& r, std::ostream* os) { *os << r.name; }

class KeyTextTrackRefused : public KeyTextControls, public ::testing::WithParamInterface<TrackRefused> {};

TEST_P(KeyTextTrackRefused, WithTheReason) {
    const std::string message = RefusalOf([&] { Read(GetParam().lines, GetParam().options); });
    EXPECT_NE(message.find(GetParam().message_part), std::string::npos) << message;
}

shots::KeyTextOptions Track(const char* control, std::optional<std::string> block = std::nullopt,
                            std::optional<std::pair<double, double>> offset = std::nullopt) {
    shots::KeyTextOptions o;
    if (control) o.track = control;
    o.track_block = std::move(block);
    o.track_offset = offset;
    return o;
}

// ---- Files other programs write ----

/// A file in the shape another program writes, what it gives at a frame,
/// and a line stderr shows.
struct Written {
    const char* name;
    std::vector<std::string> lines;
    shots::KeyTextOptions options;
    double frame;
    const char* values;
    const char* note_part;
};

void PrintTo(const Written& w, std::ostream* os) { *os << w.name; }

class KeyTextOfOtherPrograms : public KeyTextControls, public ::testing::WithParamInterface<Written> {};

TEST_P(KeyTextOfOtherPrograms, IsReadForWhatItHoldsForThisEffect) {
    const shots::Animation animation = Read(GetParam().lines, GetParam().options);
    EXPECT_EQ(At(animation, GetParam().frame), GetParam().values);
    std::string notes;
    for (const frames::Message& n : animation.Notes()) notes += n.Text() + "\n";
    EXPECT_NE(notes.find(GetParam().note_part), std::string::npos) << notes;
}

const std::string kWidthAt10[] = {"Effects\tVT Quorvel #1\tWidth #4", "\tFrame\tpixels\t", "\t0\t10\t", "\t10\t20\t"};

shots::KeyTextOptions Layer(int k) {
    shots::KeyTextOptions o;
    o.track_layer = k;
    return o;
}

/// Two layers, each with a block for this effect.
const std::vector<std::string> kTwoLayers = {"Adobe After Effects 9.0 Keyframe Data",
                                             "",
                                             "\tUnits Per Second\t24",
                                             "",
                                             "Layer",
                                             "Effects\tVT Quorvel #1\tWidth #4",
                                             "\tFrame\tpixels\t",
                                             "\t0\t10\t",
                                             "",
                                             "Layer",
                                             "Effects\tVT Quorvel #1\tWidth #4",
                                             "\tFrame\tpixels\t",
                                             "\t0\t55\t",
                                             "",
                                             kEnd};

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTextOfOtherPrograms,
    ::testing::Values(
        Written{"CurrentClipboardWithALayerLine",
                {"Adobe After Effects 9.0 Keyframe Data", "", "\tUnits Per Second\t24", "", "Layer", kWidthAt10[0],
                 kWidthAt10[1], kWidthAt10[2], kWidthAt10[3], "", kEnd},
                {},
                5,
                "origin=960,540 width=15 height=200 angle=0 feather=0 opacity=100",
                ""},
        Written{"ALayerChosenAmongSeveral", kTwoLayers, Layer(2), 0,
                "origin=960,540 width=55 height=200 angle=0 feather=0 opacity=100",
                "skipped 1 block not for this effect: Effects / VT Quorvel #1 / Width #4 (line 6)"},
        Written{"AStaticRowIsTheValueAtEveryFrame",
                {kTitle, "Effects\tVT Quorvel #1\tOpacity #8", "\tFrame\tpercent\t", "\t\t50\t", "", kEnd},
                {},
                1234,
                "origin=960,540 width=300 height=200 angle=0 feather=0 opacity=50",
                ""},
        // The host's point tracker: seven blocks a track point, some static;
        // the Attach Point is what the host applies to a target.
        Written{
            "PointTrackerBlocks",
            {kTitle,
             "Effects\tTracker Point #1\tFeature Center #1",
             "\tFrame\tX pixels\tY pixels\t",
             "\t0\t100\t200\t",
             "\t1\t101\t201\t",
             "",
             "Effects\tTracker Point #1\tConfidence #2",
             "\tFrame\tpercent\t",
             "\t0\t95\t",
             "",
             "Effects\tTracker Point #1\tSearch Size #3",
             "\tFrame\tX pixels\tY pixels\t",
             "\t\t40\t40\t",
             "",
             "Effects\tTracker Point #1\tAttach Point #4",
             "\tFrame\tX pixels\tY pixels\t",
             "\t0\t110\t210\t",
             "\t1\t111\t211\t",
             "",
             kEnd},
            Track("origin"),
            1,
            "origin=111,211 width=300 height=200 angle=0 feather=0 opacity=100",
            "follows Effects / Tracker Point #1 / Attach Point #4 (line 15), the Attach Point among 3 point tracks"},
        // A camera's orientation names one unit for three angles, as the host writes it.
        Written{"ACameraOrientationIsListedNotRead",
                {kTitle, "Transform\tOrientation", "\tFrame\tX degrees\t", "\t0\t0\t90\t0\t", "", kWidthAt10[0],
                 kWidthAt10[1], kWidthAt10[2], kWidthAt10[3], "", kEnd},
                {},
                10,
                "origin=960,540 width=20 height=200 angle=0 feather=0 opacity=100",
                "skipped 1 block not for this effect: Transform / Orientation (line 2)"},
        // A planar tracker's export: bare paths, scale in percent.
        Written{"PlanarExportFollowsItsPosition",
                {"Adobe After Effects 6.0 Keyframe Data",
                 "",
                 "\tUnits Per Second\t24",
                 "",
                 "Anchor Point",
                 "\tFrame\tX pixels\tY pixels\t",
                 "\t0\t960\t540\t",
                 "",
                 "Position",
                 "\tFrame\tX pixels\tY pixels\t",
                 "\t0\t500\t300\t",
                 "\t2\t520\t310\t",
                 "",
                 "Scale",
                 "\tFrame\tX percent\tY percent\tZ percent\t",
                 "\t0\t100\t100\t100\t",
                 "",
                 "Rotation",
                 "\tFrame\tdegrees\t",
                 "\t0\t0\t",
                 "",
                 kEnd},
                Track("origin"),
                1,
                "origin=510,305 width=300 height=200 angle=0 feather=0 opacity=100",
                "follows Position (line 9), the Position among 2 point tracks"},
        // A 3D application's exporter: a zero size nothing uses, a blank line
        // after the path.
        Written{"ThreeDTrackerExport",
                {"Adobe After Effects 7.0 Keyframe Data", "", "\tUnits Per Second\t24", "\tSource Width\t0.0",
                 "\tSource Height\t0.0", "", "Effects\tTrack 1\tPoint #1", "", "\tFrame\tX pixels\tY pixels\t",
                 "\t0\t7\t8\t", "", kEnd},
                {},
                0,
                "origin=7,8 width=300 height=200 angle=0 feather=0 opacity=100",
                ""},
        Written{"CopiedExpressionsAreListed",
                {kTitle, "Transform\tOpacity", "\tExpression Data", "\twiggle(2, 30)", "", "\tEnd of Expression Data",
                 "", kWidthAt10[0], kWidthAt10[1], kWidthAt10[2], kWidthAt10[3], "", kEnd},
                {},
                0,
                "origin=960,540 width=10 height=200 angle=0 feather=0 opacity=100",
                "skipped 1 block not for this effect: Transform / Opacity (line 2)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyTextControls, SeveralLayersWithBlocksForThisEffectAreNamedForAChoice) {
    const std::string message = RefusalOf([&] { Read(kTwoLayers); });
    EXPECT_EQ(message,
              "keys.txt holds blocks for this effect or point tracks in 2 layers; choose one with track_layer: "
              "layer 1: Effects / VT Quorvel #1 / Width #4 (line 6); layer 2: Effects / VT Quorvel #1 / Width #4 "
              "(line 11)");
}

TEST_F(KeyTextControls, AMalformedBlockRefusesTheFileOnlyWhenUsed) {
    const std::vector<std::string> lines = {
        kTitle,        "Transform\tRotation", "\tFrame\tdegrees", "\t0\t5\t6", "",
        kWidthAt10[0], "\tFrame\tpixels\t",   "\t0\tten\t",       "",          kEnd};
    EXPECT_EQ(RefusalOf([&] { Read(lines); }),
              "keys.txt:8: expected a number in column 2, found 'ten' (decimals take a point)");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTextTrackRefused,
    ::testing::Values(
        TrackRefused{
            "SeveralTracksNoNameDecides",
            {kTitle, "Effects\tTracker Point #1\tFeature Center #1", "\tFrame\tX pixels\tY pixels", "\t0\t1\t2", "",
             "Effects\tTracker Point #2\tFeature Center #1", "\tFrame\tX pixels\tY pixels", "\t0\t3\t4", "", kEnd},
            Track("origin"),
            "has 2 point tracks; choose one with track_block: Effects / Tracker Point #1 / Feature Center "
            "#1 (line 2); Effects / Tracker Point #2 / Feature Center #1 (line 6)"},
        TrackRefused{"NoSuchBlock", kTwoTracks, Track("origin", "Transform / Anchor Point"),
                     "track_block 'Transform / Anchor Point'"},
        TrackRefused{"NotAPointControl", kTrackOnly, Track("width"),
                     "track width: a point track drives a point control"},
        TrackRefused{"NoTrack", OneBlock("Width #4", "pixels", "5"), Track("origin"), "no point track"},
        TrackRefused{"AFaultInTheOnlyTrack",
                     {kTitle, "", "\tUnits Per Second\t24", "", "Effects\tTracker #1\tTrack Point 1",
                      "\tFrame\tX pixels\tY pixels", "\t0\t1\t2", "\t1\t3\t4", "\t2\t5\tsix", "", kEnd},
                     Track("origin"),
                     "keys.txt:9: expected a number in column 3, found 'six' (decimals take a point) (in Effects / "
                     "Tracker #1 / Track Point 1, the point track to drive origin)"},
        TrackRefused{"OffsetWithoutTrack", kTwoTracks, Track(nullptr, std::nullopt, {{1, 1}}),
                     "track_offset: no point track"},
        TrackRefused{"TrackAndTheOriginsOwnKeys",
                     {kTitle, "Effects\tVT Quorvel #1\tPoint of origin #3", "\tFrame\tX pixels\tY pixels", "\t0\t1\t1",
                      "", "Transform\tPosition", "\tFrame\tX pixels\tY pixels", "\t0\t5\t5", "", kEnd},
                     Track("origin"),
                     "keys.txt:2: holds keys for Point of origin itself, which track origin would also drive"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- A tracked transform carries the matte ----

/// A planar tracker's export of a synthetic track from frame 0 to 10, with a
/// block of this effect giving the matte a feather of 10. Each block is a
/// path, a column line and rows.
std::vector<std::string> TrackedLayer(const std::vector<std::vector<std::string>>& blocks) {
    std::vector<std::string> lines = {"Adobe After Effects 6.0 Keyframe Data", "", "\tUnits Per Second\t24", ""};
    for (const auto& block : blocks) {
        lines.insert(lines.end(), block.begin(), block.end());
        lines.push_back("");
    }
    lines.insert(lines.end(), {"Effects\tVT Quorvel #1\tFeather #7", "\tFrame\tpixels", "\t\t10", "", kEnd});
    return lines;
}

const std::vector<std::string> kTransformed = TrackedLayer({
    {"Anchor Point", "\tFrame\tX pixels\tY pixels\tZ pixels", "\t\t100\t50\t0"},
    {"Position", "\tFrame\tX pixels\tY pixels\tZ pixels", "\t0\t500\t300\t0", "\t10\t700\t400\t0"},
    {"Scale", "\tFrame\tX percent\tY percent\tZ percent", "\t0\t50\t50\t100", "\t10\t100\t100\t100"},
    {"Rotation", "\tFrame\tdegrees", "\t0\t30", "\t10\t120"},
});

/// The matte at a frame of a tracked layer, worked out by hand: the default
/// matte (origin 960,540, 300 by 200, angle 0) with the feather of 10.
struct Carried {
    const char* name;
    std::vector<std::string> lines;
    std::optional<double> reference;
    double frame;
    const char* values;
};

void PrintTo(const Carried& c, std::ostream* os) { *os << c.name; }

class KeyTextTrackedTransform : public KeyTextControls, public ::testing::WithParamInterface<Carried> {};

TEST_P(KeyTextTrackedTransform, CarriesTheMatteToWorkedValues) {
    shots::KeyTextOptions options;
    options.track = "transform";
    options.track_reference = GetParam().reference;
    const shots::Animation animation = Read(GetParam().lines, options);
    EXPECT_EQ(At(animation, GetParam().frame), GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTextTrackedTransform,
    ::testing::Values(
        Carried{
            "TranslationOnly",
            TrackedLayer({{"Transform\tPosition", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100", "\t10\t150\t80"}}),
            {},
            5,
            "origin=985,530 width=300 height=200 angle=0 feather=10 opacity=100"},
        // The origin is 100 pixels right of the anchor: a quarter turn puts it below.
        Carried{"RotationAboutTheAnchor",
                TrackedLayer({{"Anchor Point", "\tFrame\tX pixels\tY pixels", "\t\t860\t540"},
                              {"Position", "\tFrame\tX pixels\tY pixels", "\t\t860\t540"},
                              {"Rotation", "\tFrame\tdegrees", "\t0\t0", "\t10\t90"}}),
                {},
                10,
                "origin=860,640 width=300 height=200 angle=90 feather=10 opacity=100"},
        // 200 % by 150 %: the feather grows by the square root of 3.
        Carried{"ScaleAboutTheAnchor",
                TrackedLayer({{"Anchor Point", "\tFrame\tX pixels\tY pixels", "\t\t860\t440"},
                              {"Position", "\tFrame\tX pixels\tY pixels", "\t\t860\t440"},
                              {"Scale", "\tFrame\tX percent\tY percent", "\t0\t100\t100", "\t10\t200\t150"}}),
                {},
                10,
                "origin=1060,590 width=600 height=300 angle=0 feather=17.32050807568877 opacity=100"},
        // From frame 0 to 10 the layer turns a quarter and doubles: the
        // origin, (460, 240) from Position, lands at (-480, 920) from it.
        Carried{
            "AllThree", kTransformed, {}, 10, "origin=220,1320 width=600 height=400 angle=90 feather=20 opacity=100"},
        Carried{"AllThreeAtTheReference",
                kTransformed,
                {},
                0,
                "origin=960,540 width=300 height=200 angle=0 feather=10 opacity=100"},
        // Drawn at frame 10: (260, 140) from Position there, back a quarter
        // turn and halved.
        Carried{"AnotherReferenceFrame", kTransformed, 10, 0,
                "origin=570,170 width=150 height=100 angle=-90 feather=5 opacity=100"},
        // Trackers spell units with capitals and end column lines without a tab.
        Carried{"UnitsAsTrackersSpellThem",
                TrackedLayer({
                    {"Anchor Point", "\tFrame\tX Pixels\tY Pixels\tZ Pixels", "\t\t100\t50\t0"},
                    {"Position", "\tFrame\tX Pixels\tY Pixels\tZ Pixels", "\t0\t500\t300\t0", "\t10\t700\t400\t0"},
                    {"Scale", "\tFrame\tx Percent\ty Percent\tz Percent", "\t0\t50\t50\t100", "\t10\t100\t100\t100"},
                    {"Rotation", "\tFrame\tDegrees", "\t0\t30", "\t10\t120"},
                }),
                {},
                10,
                "origin=220,1320 width=600 height=400 angle=90 feather=20 opacity=100"}),
    [](const auto& info) { return std::string(info.param.name); });

/// A tracker's export, or a layer's copied transform, with the matte's
/// origin at 450,260 on the frame the data starts.
std::vector<std::string> TrackedOrigin(const std::vector<std::vector<std::string>>& blocks) {
    std::vector<std::string> lines = {"Adobe After Effects 8.0 Keyframe Data", "", "\tUnits Per Second\t24", ""};
    for (const auto& block : blocks) {
        lines.insert(lines.end(), block.begin(), block.end());
        lines.push_back("");
    }
    lines.insert(lines.end(), {"Effects\tVT Quorvel #1\tPoint of origin #3", "\tFrame\tX pixels\tY pixels",
                               "\t\t450\t260", "", kEnd});
    return lines;
}

/// The older trackers write the surface's Position as its Anchor Point too.
const std::vector<std::string> kSurfaceTurning = TrackedOrigin({
    {"Anchor Point", "\tFrame\tX pixels\tY pixels", "\t358\t117\t28", "\t360\t133.267\t38.0123"},
    {"Position", "\tFrame\tX pixels\tY pixels", "\t358\t117\t28", "\t360\t133.267\t38.0123"},
    {"Scale", "\tFrame\tX percent\tY percent", "\t358\t100\t100", "\t360\t99.9862\t99.9862"},
    {"Rotation", "\tFrame\tDegrees", "\t358\t0", "\t360\t0.483489"},
});

INSTANTIATE_TEST_SUITE_P(
    SurfaceOrLayer, KeyTextTrackedTransform,
    ::testing::Values(
        // The anchor moves with Position: the matte moves with the surface.
        Carried{"ATrackersMovingAnchorTranslated",
                TrackedOrigin({{"Anchor Point", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100", "\t10\t150\t120"},
                               {"Position", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100", "\t10\t150\t120"}}),
                {},
                10,
                "origin=500,280 width=300 height=200 angle=0 feather=0 opacity=100"},
        // (333, 232) from Position turned by 0.483489 degrees and scaled by
        // 0.999862: (330.98476, 234.76932), worked out by hand, from
        // (133.267, 38.0123); the origin is held to 1/65536.
        Carried{"ATrackersMovingAnchorTurnedAndScaled",
                kSurfaceTurning,
                {},
                360,
                "origin=464.2517547607422,272.7816162109375 width=299.9586 height=199.9724 angle=0.483489990234375 "
                "feather=0 opacity=100"},
        // A layer's own anchor moving right by 50 moves the layer, and the
        // matte on it, left by 50.
        Carried{"ALayersAnimatedAnchor",
                TrackedOrigin({{"Transform\tAnchor Point", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100",
                                "\t10\t150\t100"},
                               {"Transform\tPosition", "\tFrame\tX pixels\tY pixels", "\t\t960\t540"}}),
                {},
                10,
                "origin=400,260 width=300 height=200 angle=0 feather=0 opacity=100"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(KeyTextControls, TheNoteSaysWhetherTheSurfaceOrTheLayerIsFollowed) {
    shots::KeyTextOptions options;
    options.track = "transform";
    const shots::Animation surface = Read(kSurfaceTurning, options);
    ASSERT_EQ(surface.Notes().size(), 1u);
    EXPECT_NE(surface.Notes()[0].Text().find(
                  "a tracker's export: the matte follows the tracked surface about its Position, "
                  "as drawn at frame 358: Position (line 10), Scale (line 15), Rotation (line 20); "
                  "its Anchor Point (line 5) does not move the matte"),
              std::string::npos)
        << surface.Notes()[0].Text();
    const shots::Animation layer =
        Read(TrackedOrigin({{"Transform\tAnchor Point", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100"}}), options);
    ASSERT_EQ(layer.Notes().size(), 1u);
    EXPECT_NE(
        layer.Notes()[0].Text().find("copied from a layer: the matte follows the layer's transform, anchor included"),
        std::string::npos)
        << layer.Notes()[0].Text();
}

shots::KeyTextOptions TransformTrack(std::optional<std::string> block = std::nullopt) {
    shots::KeyTextOptions o;
    o.track = "transform";
    o.track_block = std::move(block);
    return o;
}

INSTANTIATE_TEST_SUITE_P(
    Transform, KeyTextTrackRefused,
    ::testing::Values(
        TrackRefused{"NoTransformBlock", kTrackOnly, TransformTrack(),
                     "keys.txt: track transform found no Anchor Point, Position, Scale or Rotation block (the file "
                     "has Effects / Point Control #1 / Point #1 (line 5))"},
        TrackRefused{"ScaleInPixels", TrackedLayer({{"Scale", "\tFrame\tX pixels\tY pixels", "\t0\t100\t100"}}),
                     TransformTrack(), "keys.txt:6: Scale takes X and Y in percent"},
        TrackRefused{"NoSizeAtTheReference",
                     TrackedLayer({{"Scale", "\tFrame\tX percent\tY percent", "\t0\t0\t100", "\t5\t100\t100"}}),
                     TransformTrack(), "the layer's Scale is 0,100 percent at the reference frame 0"},
        TrackRefused{"APointTrackBlockNamed", kTransformed, TransformTrack("Position"),
                     "track_block applies to a point track, not to track transform"},
        TrackRefused{"AFaultInTheRotationUsed",
                     TrackedLayer({{"Rotation", "\tFrame\tDegrees", "\t0\t30", "\t10\t12O"}}), TransformTrack(),
                     "keys.txt:8: expected a number in column 2, found '12O'"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Keys to text and back ----

TEST_F(KeyTextControls, KeysWrittenAsTextReadBackToTheSameValueAtEveryFrame) {
    shots::Animation keys;
    for (const char* key : {"origin@0=10,20", "origin@6=40.5,-8:ease", "origin@15=0,0", "width@2=300:hold",
                            "width@7=900:ease", "width@12=100:ease", "angle@0=0", "angle@9.5=-90", "feather@3=5:hold",
                            "opacity@1=100:ease", "opacity@11=25"}) {
        keys.AddKeyOption(key);
    }
    keys.Resolve(Params());
    shots::KeyTextSettings settings;
    settings.effect_name = EffectName();
    const std::string text = shots::WriteKeyText(shots::AnimationKeyText(keys, Params(), settings));

    shots::Animation back;
    back.AddKeyText("back.txt", text);
    back.Resolve(Params(), EffectName());
    EXPECT_TRUE(back.Notes().empty());
    for (int frame = -2; frame <= 17; ++frame) EXPECT_EQ(At(back, frame), At(keys, frame)) << "frame " << frame;
    // A key off the whole frames keeps its place.
    ASSERT_EQ(back.KeysOf("angle").size(), 2u);
    EXPECT_EQ(back.KeysOf("angle")[1].frame, 9.5);
    EXPECT_EQ(back.KeysOf("angle")[1].value, shots::KeyValue{-90});
}

TEST_F(KeyTextControls, WrittenBlocksAreNamedAndIndexedAsTheModuleRegistersThem) {
    shots::Animation keys;
    for (const char* key : {"opacity@0=50", "origin@0=1,2", "height@0=3", "angle@0=4", "feather@0=5", "width@0=6"}) {
        keys.AddKeyOption(key);
    }
    keys.Resolve(Params());
    shots::KeyTextSettings settings;
    settings.effect_name = EffectName();
    const shots::KeyText text = shots::AnimationKeyText(keys, Params(), settings);
    std::vector<std::string> paths;
    std::vector<std::string> units;
    for (const shots::KeyTextBlock& block : text.blocks) {
        paths.push_back(block.PathText());
        for (const std::string& c : block.columns) units.push_back(c);
    }
    // The parameter list: 3 Point of origin, 4 Width, 5 Height, 6 Angle, 7 Feather, 8 Opacity.
    EXPECT_EQ(paths, (std::vector<std::string>{
                         "Effects / VT Quorvel #1 / Point of origin #3", "Effects / VT Quorvel #1 / Width #4",
                         "Effects / VT Quorvel #1 / Height #5", "Effects / VT Quorvel #1 / Angle #6",
                         "Effects / VT Quorvel #1 / Feather #7", "Effects / VT Quorvel #1 / Opacity #8"}));
    EXPECT_EQ(units,
              (std::vector<std::string>{"X pixels", "Y pixels", "pixels", "pixels", "degrees", "pixels", "percent"}));
}

}  // namespace
}  // namespace quorvel::test
