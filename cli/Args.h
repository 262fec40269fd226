/// Command-line options of the host tool. An option's value is always the
/// next argument, even when it starts with a minus sign ("--angle -17.5"),
/// or follows an equals sign ("--angle=-17.5").
#pragma once

#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::cli {

struct OptionDef {
    std::string name;  ///< without the leading dashes
    std::string value_name;  ///< empty for a flag
    std::string help;
    bool repeatable = false;
};

class Args {
public:
    /// Throws UsageError for an unknown option, a missing value, a value
    /// given to a flag, or an option given twice that may appear once.
    Args(const std::vector<std::string>& argv, const std::vector<OptionDef>& defs);

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> Get(const std::string& name) const;
    std::vector<std::string> GetAll(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    std::map<std::string, std::vector<std::string>> values_;
    std::vector<std::string> positional_;
};

/// Bad command-line input: reported as one line, exit status 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// The option list as help text, one option a line.
std::string OptionsHelp(const std::vector<OptionDef>& defs);

}  // namespace quorvel::cli
