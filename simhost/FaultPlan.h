/// What the simulated host should get wrong, so tests can watch the module
/// cope: suites it lacks, suites it hands out as null, calls that fail.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "host/PF_Host.h"

namespace quorvel::sim {

using SuiteKey = std::pair<std::string, A_long>;

class FaultPlan {
public:
    /// AcquireSuite answers "not found" for this suite.
    void MissingSuite(const std::string& name, A_long version = 1) { missing_.insert({name, version}); }
    /// AcquireSuite answers success but leaves the table null.
    void NullSuite(const std::string& name, A_long version = 1) { null_table_.insert({name, version}); }
    /// The host passes no basic suite at all.
    void NoBasicSuite() { no_basic_suite_ = true; }
    /// The `nth` call (counted from 1) of `function` returns `code`; nth 0 means every call.
    void FailCall(const std::string& function, int nth, PF_Err code) { failures_[function] = {nth, code}; }
    /// The custom UI suite hands out a null drawing reference.
    void NullDrawingReference() { null_draw_ref_ = true; }

    bool IsMissing(const SuiteKey& key) const { return missing_.count(key) != 0; }
    bool IsNull(const SuiteKey& key) const { return null_table_.count(key) != 0; }
    bool no_basic_suite() const { return no_basic_suite_; }
    bool null_drawing_reference() const { return null_draw_ref_; }

    /// Counts a call of `function`; the planned failure code if this call fails.
    std::optional<PF_Err> OnCall(const std::string& function);

    void Clear() { *this = FaultPlan(); }

private:
    struct Failure {
        int nth = 0;
        PF_Err code = PF_Err_NONE;
    };
    std::set<SuiteKey> missing_;
    std::set<SuiteKey> null_table_;
    std::map<std::string, Failure> failures_;
    std::map<std::string, int> counts_;
    bool no_basic_suite_ = false;
    bool null_draw_ref_ = false;
};

}  // namespace quorvel::sim
