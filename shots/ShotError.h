/// Bad input to the shot engine: a value, a key, a file or a frame list it
/// cannot use. The message is one line that names what was wrong; the tool
/// reports it with exit status 2.
#pragma once

#include <stdexcept>

namespace quorvel::shots {

class ShotError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvel::shots
