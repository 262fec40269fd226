/// Per-call access to host suites: every suite a command takes is held by
/// its handler and released when the handler dies, on every way out of the
/// block that owns it.
///
/// A suite is taken in one of two ways. The accessors take it on first use,
/// and a suite they cannot have is fatal for the call: 516 is thrown. Take
/// and TakeDrawbotSuites take it at once, and a suite they cannot have is
/// shown to the user through the out-data record while the call goes on.
#pragma once

#include <array>
#include <cstddef>

#include "host/PF_Host.h"

namespace quorvel {

/// Throws the missing-suite code as a plain PF_Err value; only the entry
/// point catches it.
[[noreturn]] void RaiseMissingSuite();

struct SuiteCatalogueEntry {
    const char* name;
    A_long version;
};

/// Every suite a handler can hand out, in acquisition-slot and release order.
/// The accessors take the first six; the drawing suites and the pixel format
/// suite are taken with Take and TakeDrawbotSuites.
enum class SuiteId : std::size_t {
    ANSI,
    Iterate8,
    Iterate16,
    EffectCustomUI,
    EffectCustomUIOverlayTheme,
    DrawbotDraw,
    DrawbotSupplier,
    DrawbotSurface,
    DrawbotPath,
    PixelFormat,
    Count
};

inline constexpr std::array<SuiteCatalogueEntry, std::size_t(SuiteId::Count)> kSuiteCatalogue = {{
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kPFIterate8Suite, kPFIterate8SuiteVersion1},
    {kPFIterate16Suite, kPFIterate16SuiteVersion1},
    {kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1},
    {kPFEffectCustomUIOverlayThemeSuite, kPFEffectCustomUIOverlayThemeSuiteVersion1},
    {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1},
    {kDRAWBOT_SupplierSuite, kDRAWBOT_SupplierSuite_Version1},
    {kDRAWBOT_SurfaceSuite, kDRAWBOT_SurfaceSuite_Version1},
    {kDRAWBOT_PathSuite, kDRAWBOT_PathSuite_Version1},
    {kPFPixelFormatSuite, kPFPixelFormatSuiteVersion1},
}};

/// The four drawing suites of one draw, as TakeDrawbotSuites hands them out;
/// the handler that took them still owns them.
struct DrawbotSuites {
    const DRAWBOT_DrawbotSuite1* draw = nullptr;
    const DRAWBOT_SupplierSuite1* supplier = nullptr;
    const DRAWBOT_SurfaceSuite1* surface = nullptr;
    const DRAWBOT_PathSuite1* path = nullptr;
};

/// What making a handler does when the host gave no basic suite.
enum class NoBasicSuite {
    kThrow,   ///< throws 516, as any suite the call cannot do without
    kReport,  ///< nothing yet: each Take then reports the suite it cannot have
};

class SuiteHandler {
public:
    /// A handler whose suites come through the accessors only. Throws 516
    /// when the host gave no basic suite.
    explicit SuiteHandler(SPBasicSuite* basic);
    /// A handler that can also Take suites; it tells the user of a suite it
    /// cannot take or hand back through `out_data`.
    SuiteHandler(const PF_InData* in_data, PF_OutData* out_data, NoBasicSuite no_basic = NoBasicSuite::kThrow);
    /// Hands back the suites taken with Take and TakeDrawbotSuites, then
    /// those the accessors took, each group in catalogue order.
    ~SuiteHandler();

    SuiteHandler(const SuiteHandler&) = delete;
    SuiteHandler& operator=(const SuiteHandler&) = delete;

    /// Each accessor returns a non-null table or throws 516.
    const PF_ANSICallbacksSuite1* ANSISuite1() { return Get<PF_ANSICallbacksSuite1>(SuiteId::ANSI); }
    const PF_Iterate8Suite1* Iterate8Suite1() { return Get<PF_Iterate8Suite1>(SuiteId::Iterate8); }
    const PF_iterate16Suite1* Iterate16Suite1() { return Get<PF_iterate16Suite1>(SuiteId::Iterate16); }
    const PF_EffectCustomUISuite1* EffectCustomUISuite1() {
        return Get<PF_EffectCustomUISuite1>(SuiteId::EffectCustomUI);
    }
    const PF_EffectCustomUIOverlayThemeSuite1* EffectCustomUIOverlayThemeSuite1() {
        return Get<PF_EffectCustomUIOverlayThemeSuite1>(SuiteId::EffectCustomUIOverlayTheme);
    }
    const DRAWBOT_DrawbotSuite1* DrawbotSuite1() { return Get<DRAWBOT_DrawbotSuite1>(SuiteId::DrawbotDraw); }

    /// Takes the suite now, whether or not an accessor holds it too. Only the
    /// table the host hands back decides: null when there is none, after
    /// setting the display-error flag and "Not able to acquire AEFX Suite."
    /// in the out-data.
    template <typename Suite>
    const Suite* Take(SuiteId id) {
        return static_cast<const Suite*>(TakeNow(id));
    }

    /// Takes Draw, Supplier, Surface and Path in that order into `suites`,
    /// stopping at the first that cannot be had (told once, as Take does);
    /// those taken before stay held. False then.
    bool TakeDrawbotSuites(DrawbotSuites& suites);

    /// Hands a suite taken with Take back now. False when the host's basic
    /// suite is gone, after telling the user "Not able to release AEFX
    /// Suite."; true when the suite is not held.
    bool Release(SuiteId id);

private:
    template <typename Suite>
    const Suite* Get(SuiteId id) {
        return static_cast<const Suite*>(Acquire(id));
    }
    const void* Acquire(SuiteId id);
    const void* TakeNow(SuiteId id);

    SPBasicSuite* basic_;
    /// The call's records, for Take: null in a handler made from the basic
    /// suite alone, which cannot Take.
    const PF_InData* in_data_ = nullptr;
    PF_OutData* out_data_ = nullptr;
    /// Filled by the accessors.
    std::array<const void*, std::size_t(SuiteId::Count)> slots_{};
    /// Filled by Take, apart from the accessors' slots: a suite may be held
    /// both ways at once, and the host then sees it acquired twice.
    std::array<const void*, std::size_t(SuiteId::Count)> taken_{};
};

}  // namespace quorvel
