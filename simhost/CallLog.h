/// Every call the module makes into the host, in order, with its arguments.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::sim {

struct HostCall {
    std::string function;
    std::string args;

    /// "function(args)", the form tests compare against.
    std::string ToString() const { return function + "(" + args + ")"; }
};

class CallLog {
public:
    void Add(std::string function, std::string args = {}) { calls_.push_back({std::move(function), std::move(args)}); }
    void Clear() { calls_.clear(); }

    const std::vector<HostCall>& calls() const { return calls_; }
    /// The calls as "function(args)" strings, optionally only those of one function.
    std::vector<std::string> Strings(std::string_view only_function = {}) const;
    std::size_t Count(std::string_view function) const;

private:
    std::vector<HostCall> calls_;
};

}  // namespace quorvel::sim
