#include "simhost/CallLog.h"

namespace quorvel::sim {

std::vector<std::string> CallLog::Strings(std::string_view only_function) const {
    std::vector<std::string> out;
    for (const HostCall& call : calls_) {
        if (only_function.empty() || call.function == only_function) out.push_back(call.ToString());
    }
    return out;
}

std::size_t CallLog::Count(std::string_view function) const {
    std::size_t n = 0;
    for (const HostCall& call : calls_) n += call.function == function;
    return n;
}

}  // namespace quorvel::sim
