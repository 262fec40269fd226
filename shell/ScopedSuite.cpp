#include "shell/ScopedSuite.h"

namespace quorvel {

namespace {

/// Acquisition as the scoped forms do it: only the returned pointer decides.
const void* TryAcquire(const PF_InData* in_data, const char* name, A_long version) {
    const void* suite = nullptr;
    SPBasicSuite* basic = in_data->pica_basicP;
    if (basic != nullptr && basic->AcquireSuite != nullptr) {
        basic->AcquireSuite(name, version, &suite);
    }
    return suite;
}

/// False when there is no basic suite to release through.
bool TryRelease(const PF_InData* in_data, const char* name, A_long version) {
    SPBasicSuite* basic = in_data->pica_basicP;
    if (basic == nullptr || basic->ReleaseSuite == nullptr) return false;
    basic->ReleaseSuite(name, version);
    return true;
}

}  // namespace

void ReportSuiteFailure(const PF_InData* in_data, PF_OutData* out_data, const char* text) {
    out_data->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
    if (in_data->utils != nullptr && in_data->utils->ansi.sprintf != nullptr) {
        in_data->utils->ansi.sprintf(out_data->return_msg, text);
    }
}

ScopedSuite::ScopedSuite(const PF_InData* in_data, PF_OutData* out_data, const char* name, A_long version,
                         const char* acquire_failure_text, const char* release_failure_text)
    : in_data_(in_data),
      out_data_(out_data),
      name_(name),
      version_(version),
      release_failure_text_(release_failure_text != nullptr ? release_failure_text : kReleaseFailureText) {
    suite_ = TryAcquire(in_data_, name_, version_);
    if (suite_ == nullptr) {
        ReportSuiteFailure(in_data_, out_data_,
                           acquire_failure_text != nullptr ? acquire_failure_text : kAcquireFailureText);
        result_ = PF_Err_BAD_CALLBACK_PARAM;
    }
}

ScopedSuite::~ScopedSuite() {
    if (suite_ != nullptr) TryRelease(in_data_, name_, version_);
}

PF_Err ScopedSuite::Release() {
    if (suite_ == nullptr) return PF_Err_NONE;
    suite_ = nullptr;
    if (!TryRelease(in_data_, name_, version_)) {
        ReportSuiteFailure(in_data_, out_data_, release_failure_text_);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return PF_Err_NONE;
}

namespace {

// Visits the record's four slots in acquisition and release order.
template <typename Fn>
void ForEachDrawbotSuite(DrawbotSuites& suites, Fn&& fn) {
    fn(kDRAWBOT_DrawSuite, A_long(kDRAWBOT_DrawSuite_Version1), suites.draw);
    fn(kDRAWBOT_SupplierSuite, A_long(kDRAWBOT_SupplierSuite_Version1), suites.supplier);
    fn(kDRAWBOT_SurfaceSuite, A_long(kDRAWBOT_SurfaceSuite_Version1), suites.surface);
    fn(kDRAWBOT_PathSuite, A_long(kDRAWBOT_PathSuite_Version1), suites.path);
}

}  // namespace

PF_Err AcquireDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data, DrawbotSuites* suites) {
    bool failed = false;
    ForEachDrawbotSuite(*suites, [&]<typename Suite>(const char* name, A_long version, const Suite*& slot) {
        if (failed) return;
        slot = static_cast<const Suite*>(TryAcquire(in_data, name, version));
        if (slot == nullptr) {
            ReportSuiteFailure(in_data, out_data, kAcquireFailureText);
            failed = true;
        }
    });
    return failed ? PF_Err(PF_Err_BAD_CALLBACK_PARAM) : PF_Err(PF_Err_NONE);
}

PF_Err ReleaseDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data, DrawbotSuites* suites) {
    ForEachDrawbotSuite(*suites, [&]<typename Suite>(const char* name, A_long version, const Suite*& slot) {
        if (slot == nullptr) return;
        slot = nullptr;
        if (!TryRelease(in_data, name, version)) ReportSuiteFailure(in_data, out_data, kReleaseFailureText);
    });
    return PF_Err_NONE;
}

ScopedDrawbotSuites::ScopedDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data)
    : in_data_(in_data), out_data_(out_data), result_(AcquireDrawbotSuites(in_data, out_data, &suites_)) {}

ScopedDrawbotSuites::~ScopedDrawbotSuites() {
    ReleaseDrawbotSuites(in_data_, out_data_, &suites_);
}

}  // namespace quorvel
