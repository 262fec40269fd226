// Suite access: suites taken on first use or at once, the four drawing
// suites among them, against the simulated host's basic suite.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/SuiteHandler.h"
#include "tests/ModuleFixture.h"

namespace quorvel::test {
namespace {

TEST(SuiteHandler, NeverAskedMakesNoHostCall) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData&) {
        SuiteHandler suites(in.pica_basicP);
        return PF_Err_NONE;
    });
    EXPECT_TRUE(host.log().calls().empty());
}

TEST(SuiteHandler, AsksOnceAndReleasesOnceWithTheSameNameAndVersion) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData&) {
        SuiteHandler suites(in.pica_basicP);
        const auto* first = suites.ANSISuite1();
        EXPECT_EQ(first, suites.ANSISuite1());
        EXPECT_NE(first, nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Strings(),
              (std::vector<std::string>{"AcquireSuite(PF ANSI Suite, 1)", "ReleaseSuite(PF ANSI Suite, 1)"}));
}

TEST(SuiteHandler, ReleasesInCatalogueOrderWhateverTheOrderOfUse) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData&) {
        SuiteHandler suites(in.pica_basicP);
        suites.DrawbotSuite1();
        suites.Iterate16Suite1();
        suites.ANSISuite1();
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Strings("ReleaseSuite"),
              (std::vector<std::string>{"ReleaseSuite(PF ANSI Suite, 1)", "ReleaseSuite(PF iterate16 Suite, 1)",
                                        "ReleaseSuite(DRAWBOT Draw Suite, 1)"}));
}

TEST(SuiteHandler, NamesEachSuiteExactlyAsTheHostRegistersIt) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData&) {
        SuiteHandler suites(in.pica_basicP);
        suites.ANSISuite1();
        suites.Iterate8Suite1();
        suites.Iterate16Suite1();
        suites.EffectCustomUISuite1();
        suites.EffectCustomUIOverlayThemeSuite1();
        suites.DrawbotSuite1();
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Strings("AcquireSuite"),
              (std::vector<std::string>{
                  "AcquireSuite(PF ANSI Suite, 1)", "AcquireSuite(PF Iterate8 Suite, 1)",
                  "AcquireSuite(PF iterate16 Suite, 1)", "AcquireSuite(PF Effect Custom UI Suite, 1)",
                  "AcquireSuite(PF Effect Custom UI Overlay Theme Suite, 1)", "AcquireSuite(DRAWBOT Draw Suite, 1)"}));
}

TEST(SuiteHandler, NullBasicSuiteThrows516) {
    EXPECT_THROW(
        {
            try {
                SuiteHandler suites(nullptr);
            } catch (PF_Err err) {
                EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
                throw;
            }
        },
        PF_Err);
}

class HandlerMissingSuite : public ::testing::TestWithParam<bool> {};

TEST_P(HandlerMissingSuite, Throws516AndReleasesWhatItHad) {
    CheckedHost host;
    if (GetParam()) {
        host.faults().NullSuite(kPFIterate8Suite);
    } else {
        host.faults().MissingSuite(kPFIterate8Suite);
    }
    PF_Err thrown = PF_Err_NONE;
    host.Run([&](PF_InData& in, PF_OutData&) {
        try {
            SuiteHandler suites(in.pica_basicP);
            suites.ANSISuite1();
            suites.Iterate8Suite1();
            ADD_FAILURE() << "no throw";
        } catch (PF_Err err) {
            thrown = err;
        }
        return PF_Err_NONE;
    });
    EXPECT_EQ(thrown, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(host.Acquired(kPFANSISuite), 1);
    EXPECT_EQ(host.Released(kPFANSISuite), 1);
    EXPECT_EQ(host.Released(kPFIterate8Suite), 0);
    EXPECT_EQ(host.out_data().out_flags, 0);
}

INSTANTIATE_TEST_SUITE_P(MissingOrNull, HandlerMissingSuite, ::testing::Bool());

TEST(SuiteHandlerTake, ReleasesExplicitlyOnce) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler suites(&in, &out);
        EXPECT_NE(suites.Take<PF_PixelFormatSuite1>(SuiteId::PixelFormat), nullptr);
        EXPECT_TRUE(suites.Release(SuiteId::PixelFormat));
        EXPECT_TRUE(suites.Release(SuiteId::PixelFormat));  // already handed back: no second release
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.Released(kPFPixelFormatSuite), 1);
}

TEST(SuiteHandlerTake, NullTableReportsAcquireFailure) {
    CheckedHost host;
    host.faults().NullSuite(kPFPixelFormatSuite);
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler suites(&in, &out);
        EXPECT_EQ(suites.Take<PF_PixelFormatSuite1>(SuiteId::PixelFormat), nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(host.log().Count("ReleaseSuite"), 0u);
}

TEST(SuiteHandlerTake, ReleaseWithoutBasicSuiteReportsReleaseFailure) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler suites(&in, &out);
        suites.Take<PF_PixelFormatSuite1>(SuiteId::PixelFormat);
        SPBasicSuite* basic = in.pica_basicP;
        in.pica_basicP = nullptr;
        EXPECT_FALSE(suites.Release(SuiteId::PixelFormat));
        in.pica_basicP = basic;
        basic->ReleaseSuite(kPFPixelFormatSuite, 1);  // keep the host's books straight
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to release AEFX Suite.");
}

TEST(SuiteHandlerTake, HeldAlsoByAnAccessorIsAcquiredTwiceAndTakenGoesBackFirst) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler suites(&in, &out);
        suites.DrawbotSuite1();
        suites.Take<DRAWBOT_DrawbotSuite1>(SuiteId::DrawbotDraw);
        suites.ANSISuite1();
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Strings(),
              (std::vector<std::string>{"AcquireSuite(DRAWBOT Draw Suite, 1)", "AcquireSuite(DRAWBOT Draw Suite, 1)",
                                        "AcquireSuite(PF ANSI Suite, 1)", "ReleaseSuite(DRAWBOT Draw Suite, 1)",
                                        "ReleaseSuite(PF ANSI Suite, 1)", "ReleaseSuite(DRAWBOT Draw Suite, 1)"}));
}

TEST(DrawbotSuites, TakesAllFourInOrderAndReleasesThemInOrder) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler handler(&in, &out);
        DrawbotSuites suites;
        EXPECT_TRUE(handler.TakeDrawbotSuites(suites));
        EXPECT_NE(suites.path, nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(
        host.log().Strings(),
        (std::vector<std::string>{"AcquireSuite(DRAWBOT Draw Suite, 1)", "AcquireSuite(DRAWBOT Supplier Suite, 1)",
                                  "AcquireSuite(DRAWBOT Surface Suite, 1)", "AcquireSuite(DRAWBOT Path Suite, 1)",
                                  "ReleaseSuite(DRAWBOT Draw Suite, 1)", "ReleaseSuite(DRAWBOT Supplier Suite, 1)",
                                  "ReleaseSuite(DRAWBOT Surface Suite, 1)", "ReleaseSuite(DRAWBOT Path Suite, 1)"}));
}

TEST(DrawbotSuites, StopsAtTheFirstMissingSuiteAndReportsOnce) {
    CheckedHost host;
    host.faults().MissingSuite(kDRAWBOT_SurfaceSuite);
    host.Run([](PF_InData& in, PF_OutData& out) {
        SuiteHandler handler(&in, &out);
        DrawbotSuites suites;
        EXPECT_FALSE(handler.TakeDrawbotSuites(suites));
        EXPECT_EQ(suites.path, nullptr);
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Strings("AcquireSuite"), (std::vector<std::string>{"AcquireSuite(DRAWBOT Draw Suite, 1)",
                                                                            "AcquireSuite(DRAWBOT Supplier Suite, 1)",
                                                                            "AcquireSuite(DRAWBOT Surface Suite, 1)"}));
    EXPECT_EQ(
        host.log().Strings("ReleaseSuite"),
        (std::vector<std::string>{"ReleaseSuite(DRAWBOT Draw Suite, 1)", "ReleaseSuite(DRAWBOT Supplier Suite, 1)"}));
    EXPECT_EQ(host.log().Count("sprintf"), 1u);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to acquire AEFX Suite.");
    EXPECT_EQ(host.out_data().out_flags, PF_OutFlag_DISPLAY_ERROR_MESSAGE);
}

TEST(DrawbotSuites, ReleaseWithoutBasicSuiteReportsEach) {
    CheckedHost host;
    host.Run([](PF_InData& in, PF_OutData& out) {
        SPBasicSuite* basic = in.pica_basicP;
        {
            SuiteHandler handler(&in, &out);
            DrawbotSuites suites;
            EXPECT_TRUE(handler.TakeDrawbotSuites(suites));
            in.pica_basicP = nullptr;
        }
        in.pica_basicP = basic;
        for (const char* name :
             {kDRAWBOT_DrawSuite, kDRAWBOT_SupplierSuite, kDRAWBOT_SurfaceSuite, kDRAWBOT_PathSuite}) {
            basic->ReleaseSuite(name, 1);
        }
        return PF_Err_NONE;
    });
    EXPECT_EQ(host.log().Count("sprintf"), 4u);
    EXPECT_STREQ(host.out_data().return_msg, "Not able to release AEFX Suite.");
}

}  // namespace
}  // namespace quorvel::test
