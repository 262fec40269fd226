/// Suites held for one block outside a SuiteHandler: failures are reported to
/// the user through the out-data record and returned, never thrown.
#pragma once

#include "host/PF_Host.h"

namespace quorvel {

inline constexpr const char* kAcquireFailureText = "Not able to acquire AEFX Suite.";
inline constexpr const char* kReleaseFailureText = "Not able to release AEFX Suite.";

/// Sets the display-error flag and writes `text` into return_msg through the
/// host's own sprintf, as the host expects its messages to arrive.
void ReportSuiteFailure(const PF_InData* in_data, PF_OutData* out_data, const char* text);

/// One suite acquired for one block. Release() hands it back explicitly and
/// reports a failure; the destructor hands it back on any other way out
/// (a thrown code included) without reporting.
class ScopedSuite {
public:
    ScopedSuite(const PF_InData* in_data, PF_OutData* out_data, const char* name, A_long version,
                const char* acquire_failure_text = nullptr, const char* release_failure_text = nullptr);
    ~ScopedSuite();

    ScopedSuite(const ScopedSuite&) = delete;
    ScopedSuite& operator=(const ScopedSuite&) = delete;

    /// 0 when the suite is held, 516 when it could not be had.
    PF_Err result() const { return result_; }
    const void* get() const { return suite_; }
    template <typename Suite>
    const Suite* as() const {
        return static_cast<const Suite*>(suite_);
    }

    /// Releases a held suite: 0, or 516 (with the report) when the host's
    /// basic suite is gone. Releasing twice does nothing the second time.
    PF_Err Release();

private:
    const PF_InData* in_data_;
    PF_OutData* out_data_;
    const char* name_;
    A_long version_;
    const char* release_failure_text_;
    const void* suite_ = nullptr;
    PF_Err result_ = PF_Err_NONE;
};

/// The four drawing suites, taken and handed back together.
struct DrawbotSuites {
    const DRAWBOT_DrawbotSuite1* draw = nullptr;
    const DRAWBOT_SupplierSuite1* supplier = nullptr;
    const DRAWBOT_SurfaceSuite1* surface = nullptr;
    const DRAWBOT_PathSuite1* path = nullptr;
};

/// Acquires Draw, Supplier, Surface and Path in that order, stopping at the
/// first failure (reported once, 516 returned; earlier suites stay held).
PF_Err AcquireDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data, DrawbotSuites* suites);

/// Releases, in the same order, the suites of `suites` that are held, and
/// clears them; a failure does not stop the others. Always returns 0.
PF_Err ReleaseDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data, DrawbotSuites* suites);

/// Holds a DrawbotSuites record and releases whatever it holds when it dies.
class ScopedDrawbotSuites {
public:
    ScopedDrawbotSuites(const PF_InData* in_data, PF_OutData* out_data);
    ~ScopedDrawbotSuites();

    ScopedDrawbotSuites(const ScopedDrawbotSuites&) = delete;
    ScopedDrawbotSuites& operator=(const ScopedDrawbotSuites&) = delete;

    PF_Err result() const { return result_; }
    const DrawbotSuites& suites() const { return suites_; }

private:
    const PF_InData* in_data_;
    PF_OutData* out_data_;
    DrawbotSuites suites_;
    PF_Err result_;
};

}  // namespace quorvel
