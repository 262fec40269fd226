#include "simhost/FaultPlan.h"

namespace quorvel::sim {

std::optional<PF_Err> FaultPlan::OnCall(const std::string& function) {
    const int n = ++counts_[function];
    const auto it = failures_.find(function);
    if (it == failures_.end()) return std::nullopt;
    if (it->second.nth == 0 || it->second.nth == n) return it->second.code;
    return std::nullopt;
}

}  // namespace quorvel::sim
