/// Errors of the simulated host itself (bad module files, bad input), as
/// opposed to the error codes the module returns.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::frames {

class HostError : public std::runtime_error {
public:
    explicit HostError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace quorvel::frames
