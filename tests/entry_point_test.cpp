// The entry point as the host sees it: which commands it answers, what
// global setup and about write, and how failures come back.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

using sim::HostApp;

constexpr std::uint32_t kVersion = 0x00080001;
constexpr A_long kGlobalFlags = 0x06008400;

class UnhandledCommand : public ::testing::TestWithParam<PF_Cmd> {};

TEST_P(UnhandledCommand, ReturnsZeroAndLeavesOutDataUntouched) {
    CheckedHost host;
    PF_OutData out;
    std::memset(&out, 0xA5, sizeof out);
    PF_OutData before;
    std::memcpy(&before, &out, sizeof out);

    EXPECT_EQ(host.Call(GetParam(), out), PF_Err_NONE);
    EXPECT_EQ(std::memcmp(&before, &out, sizeof out), 0);
    EXPECT_TRUE(host.log().calls().empty()) << host.log().calls().front().ToString();
}

TEST_P(UnhandledCommand, ReadsNothingEvenWithoutRecords) {
    EXPECT_EQ(Module().entry()(GetParam(), nullptr, nullptr, nullptr, nullptr, nullptr), PF_Err_NONE);
}

INSTANTIATE_TEST_SUITE_P(Selectors, UnhandledCommand,
                         ::testing::Values(2, 3, 5, 6, 7, 8, 9, 10, 12, 13, 14, 16, 17, 100, 0x7FFFFFFF, -1, -100,
                                           PF_Cmd(0x80000000)));

TEST(GlobalSetup, AfterEffectsWritesVersionAndFlagsAndTakesNoSuite) {
    CheckedHost host(HostApp::AfterEffects);
    PF_OutData out;
    std::memset(&out, 0, sizeof out);
    out.out_flags = 0x1;  // an assignment, not an OR, must clear this
    ASSERT_EQ(host.Call(PF_Cmd_GLOBAL_SETUP, out), PF_Err_NONE);
    EXPECT_EQ(out.my_version, kVersion);
    EXPECT_EQ(out.out_flags, kGlobalFlags);
    EXPECT_EQ(host.log().Count("AcquireSuite"), 0u);
    EXPECT_EQ(out.return_msg[0], '\0');
}

TEST(GlobalSetup, PremiereDeclaresFloatThenEightBitAndReleasesTheSuite) {
    CheckedHost host(HostApp::Premiere);
    ASSERT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.out_data().my_version, kVersion);
    EXPECT_EQ(host.out_data().out_flags, kGlobalFlags);
    const std::vector<std::string> expected = {
        "AcquireSuite(PF Pixel Format Suite, 1)", "ClearSupportedPixelFormats()",
        "AddSupportedPixelFormat(0x61724742)",    "AddSupportedPixelFormat(0x61726762)",
        "ReleaseSuite(PF Pixel Format Suite, 1)",
    };
    EXPECT_EQ(host.log().Strings(), expected);
    EXPECT_EQ(host.declared_formats(),
              (std::vector<PrPixelFormat>{PrPixelFormat_BGRA_4444_32f, PrPixelFormat_BGRA_4444_8u}));
}

TEST(GlobalSetup, PremiereIgnoresFailuresOfTheRegistrationCalls) {
    CheckedHost host(HostApp::Premiere);
    host.faults().FailCall("ClearSupportedPixelFormats", 1, 77);
    host.faults().FailCall("AddSupportedPixelFormat", 1, 78);
    EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.log().Count("AddSupportedPixelFormat"), 2u);
    EXPECT_EQ(host.Released(kPFPixelFormatSuite), 1);
    EXPECT_EQ(host.out_data().out_flags, kGlobalFlags);
}

class GlobalSetupWithoutPixelFormats : public ::testing::TestWithParam<bool> {};

TEST_P(GlobalSetupWithoutPixelFormats, ReportsAndStillSucceeds) {
    CheckedHost host(HostApp::Premiere);
    if (GetParam()) {
        host.faults().MissingSuite(kPFPixelFormatSuite);
    } else {
        host.faults().NullSuite(kPFPixelFormatSuite);
    }
    EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.out_data().out_flags, 0x06008500);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(host.log().Count("ReleaseSuite"), 0u);
    EXPECT_EQ(host.log().Count("AddSupportedPixelFormat"), 0u);
}

INSTANTIATE_TEST_SUITE_P(MissingOrNull, GlobalSetupWithoutPixelFormats, ::testing::Bool());

TEST(GlobalSetup, PremiereWithoutBasicSuiteReportsAndSucceeds) {
    CheckedHost host(HostApp::Premiere);
    host.faults().NoBasicSuite();
    EXPECT_EQ(host.GlobalSetup(), PF_Err_NONE);
    EXPECT_EQ(host.out_data().out_flags, 0x06008500);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to acquire AEFX Suite.");
}

TEST(About, WritesNameVersionAndDescriptionAndReleasesTheAnsiSuite) {
    for (HostApp app : {HostApp::AfterEffects, HostApp::Premiere}) {
        CheckedHost host(app);
        ASSERT_EQ(host.About(), PF_Err_NONE);
        const std::string text = host.out_data().return_msg;
        const std::string head = "Quorvel v1.0\rQuorvel plugin for Adobe Premiere. ";
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_LE(text.size(), 255u);
        EXPECT_EQ(host.out_data().out_flags, 0);
        const std::vector<std::string> expected = {
            "AcquireSuite(PF ANSI Suite, 1)",
            "sprintf(\"%s v%d.%d\r%s\")",
            "ReleaseSuite(PF ANSI Suite, 1)",
        };
        EXPECT_EQ(host.log().Strings(), expected);
    }
}

TEST(About, WorksBeforeGlobalSetupAndTwiceInARow) {
    CheckedHost host;
    ASSERT_EQ(host.About(), PF_Err_NONE);
    const std::string first = host.out_data().return_msg;
    ASSERT_EQ(host.About(), PF_Err_NONE);
    EXPECT_EQ(first, host.out_data().return_msg);
}

struct AboutFailure {
    const char* name;
    void (*plan)(sim::FaultPlan&);
};

class AboutFails : public ::testing::TestWithParam<AboutFailure> {};

TEST_P(AboutFails, Returns516WithoutMessage) {
    CheckedHost host;
    GetParam().plan(host.faults());
    EXPECT_EQ(host.About(), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.out_data().out_flags, 0);
    EXPECT_EQ(host.out_data().return_msg[0], '\0');
    EXPECT_EQ(host.log().Count("ReleaseSuite"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, AboutFails,
    ::testing::Values(AboutFailure{"NoBasicSuite", [](sim::FaultPlan& f) { f.NoBasicSuite(); }},
                      AboutFailure{"MissingAnsi", [](sim::FaultPlan& f) { f.MissingSuite(kPFANSISuite); }},
                      AboutFailure{"NullAnsi", [](sim::FaultPlan& f) { f.NullSuite(kPFANSISuite); }},
                      AboutFailure{"AcquireErrors", [](sim::FaultPlan& f) { f.FailCall("AcquireSuite", 1, 9); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EntryPoint, HandledCommandsWithoutRecordsFailInsteadOfCrashing) {
    for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP, PF_Cmd_RENDER, PF_Cmd_EVENT}) {
        EXPECT_NE(Module().entry()(cmd, nullptr, nullptr, nullptr, nullptr, nullptr), PF_Err_NONE) << cmd;
    }
}

}  // namespace
}  // namespace quorvel::test
