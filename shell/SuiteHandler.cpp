#include "shell/SuiteHandler.h"

#include "shell/Errors.h"

namespace quorvel {

namespace {

constexpr const char* kAcquireFailureText = "Not able to acquire AEFX Suite.";
constexpr const char* kReleaseFailureText = "Not able to release AEFX Suite.";

/// A basic suite without its two entries is as unusable as none at all.
bool IsUsable(const SPBasicSuite* basic) {
    return basic != nullptr && basic->AcquireSuite != nullptr && basic->ReleaseSuite != nullptr;
}

/// Sets the display-error flag and writes `text` into return_msg through the
/// host's own sprintf, as the host expects its messages to arrive.
void ReportSuiteFailure(const PF_InData* in_data, PF_OutData* out_data, const char* text) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    if (in_data->utils != nullptr && in_data->utils->ansi.sprintf != nullptr) {
        in_data->utils->ansi.sprintf(out_data->return_msg, text);
    }
}

}  // namespace

void RaiseMissingSuite() { RaiseError(PF_Err_BAD_CALLBACK_PARAM); }

SuiteHandler::SuiteHandler(SPBasicSuite* basic) : basic_(basic) {
    if (!IsUsable(basic_)) RaiseMissingSuite();
}

SuiteHandler::SuiteHandler(const PF_InData* in_data, PF_OutData* out_data, NoBasicSuite no_basic)
    : basic_(in_data->pica_basicP), in_data_(in_data), out_data_(out_data) {
    if (no_basic == NoBasicSuite::kThrow && !IsUsable(basic_)) RaiseMissingSuite();
}

SuiteHandler::~SuiteHandler() {
    // Taken suites go back before the accessors' ones: a draw hands back its
    // four drawing suites before the suites its handler took on first use.
    for (std::size_t i = 0; i < taken_.size(); ++i) Release(SuiteId(i));
    for (std::size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i] != nullptr) {
            basic_->ReleaseSuite(kSuiteCatalogue[i].name, kSuiteCatalogue[i].version);
            slots_[i] = nullptr;
        }
    }
}

const void* SuiteHandler::Acquire(SuiteId id) {
    const auto index = std::size_t(id);
    if (slots_[index] != nullptr) return slots_[index];
    // Only a handler made with NoBasicSuite::kReport can get here without one.
    if (!IsUsable(basic_)) RaiseMissingSuite();
    const void* suite = nullptr;
    const SPErr err = basic_->AcquireSuite(kSuiteCatalogue[index].name, kSuiteCatalogue[index].version, &suite);
    if (err != kSPNoError || suite == nullptr) RaiseMissingSuite();
    slots_[index] = suite;
    return suite;
}

const void* SuiteHandler::TakeNow(SuiteId id) {
    const auto index = std::size_t(id);
    if (taken_[index] != nullptr) return taken_[index];
    if (in_data_ == nullptr) return nullptr;  // made from the basic suite alone: nothing to report through
    // The in-data's basic suite is read afresh, and the host's result is not
    // consulted: only the table it hands back decides.
    const void* suite = nullptr;
    SPBasicSuite* basic = in_data_->pica_basicP;
    if (basic != nullptr && basic->AcquireSuite != nullptr) {
        basic->AcquireSuite(kSuiteCatalogue[index].name, kSuiteCatalogue[index].version, &suite);
    }
    if (suite == nullptr) ReportSuiteFailure(in_data_, out_data_, kAcquireFailureText);
    taken_[index] = suite;
    return suite;
}

bool SuiteHandler::TakeDrawbotSuites(DrawbotSuites& suites) {
    // The first failure ends it: the later suites are not asked for.
    suites = DrawbotSuites{};
    suites.draw = Take<DRAWBOT_DrawbotSuite1>(SuiteId::DrawbotDraw);
    if (suites.draw == nullptr) return false;
    suites.supplier = Take<DRAWBOT_SupplierSuite1>(SuiteId::DrawbotSupplier);
    if (suites.supplier == nullptr) return false;
    suites.surface = Take<DRAWBOT_SurfaceSuite1>(SuiteId::DrawbotSurface);
    if (suites.surface == nullptr) return false;
    suites.path = Take<DRAWBOT_PathSuite1>(SuiteId::DrawbotPath);
    return suites.path != nullptr;
}

bool SuiteHandler::Release(SuiteId id) {
    const auto index = std::size_t(id);
    if (taken_[index] == nullptr) return true;
    taken_[index] = nullptr;
    SPBasicSuite* basic = in_data_->pica_basicP;
    if (basic == nullptr || basic->ReleaseSuite == nullptr) {
        ReportSuiteFailure(in_data_, out_data_, kReleaseFailureText);
        return false;
    }
    basic->ReleaseSuite(kSuiteCatalogue[index].name, kSuiteCatalogue[index].version);
    return true;
}

}  // namespace quorvel
