/// Per-call access to host suites: acquired on first use, released when the
/// handler dies, on every way out of the block that owns it.
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
enum class SuiteId : std::size_t {
    ANSI,
    Iterate8,
    Iterate16,
    EffectCustomUI,
    EffectCustomUIOverlayTheme,
    DrawbotDraw,
    Count
};

inline constexpr std::array<SuiteCatalogueEntry, std::size_t(SuiteId::Count)> kSuiteCatalogue = {{
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kPFIterate8Suite, kPFIterate8SuiteVersion1},
    {kPFIterate16Suite, kPFIterate16SuiteVersion1},
    {kPFEffectCustomUISuite, kPFEffectCustomUISuiteVersion1},
    {kPFEffectCustomUIOverlayThemeSuite, kPFEffectCustomUIOverlayThemeSuiteVersion1},
    {kDRAWBOT_DrawSuite, kDRAWBOT_DrawSuite_Version1},
}};

class SuiteHandler {
public:
    /// Throws 516 when the host gave no basic suite.
    explicit SuiteHandler(SPBasicSuite* basic);
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

private:
    template <typename Suite>
    const Suite* Get(SuiteId id) {
        return static_cast<const Suite*>(Acquire(id));
    }
    const void* Acquire(SuiteId id);

    SPBasicSuite* basic_;
    std::array<const void*, std::size_t(SuiteId::Count)> slots_{};
};

}  // namespace quorvel
