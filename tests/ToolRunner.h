// Runs the host tool as a user would and captures what it prints.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::test {

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

/// A scratch folder for one test, removed with everything in it when the test ends.
class ScratchDir {
public:
    /// A new folder of its own: made by mkdtemp, never one that a process
    /// with the same id left behind (process ids come round again in a long
    /// run, and a death test's child never removes its folders).
    ScratchDir() {
        std::string name = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
        if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a scratch folder in " + name);
        path_ = name;
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& path() const { return path_; }
    std::string str(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

/// Runs quorvel-host with `args`; stdout and stderr go through files in a
/// scratch folder, so any amount of output is captured. `shell_first` is
/// shell text run before it in the same shell (a `ulimit`, say); `runner`
/// a command that runs it (one that takes away privileges, say).
inline ToolResult RunTool(const std::vector<std::string>& args, const std::string& shell_first = "",
                          const std::string& runner = "") {
    static int counter = 0;
    // One folder for the test program's runs, removed when the program ends.
    static const ScratchDir dir;
    const auto out = dir / ("out" + std::to_string(counter));
    const auto err = dir / ("err" + std::to_string(counter++));
    std::string command = (shell_first.empty() ? "" : shell_first + "; exec ") + (runner.empty() ? "" : runner + " ") +
                          ShellQuote(QUORVEL_HOST_TOOL);
    for (const std::string& a : args) command += " " + ShellQuote(a);
    command += " >" + ShellQuote(out.string()) + " 2>" + ShellQuote(err.string()) + " </dev/null";
    const int raw = std::system(command.c_str());
    ToolResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = Slurp(out);
    r.err = Slurp(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

}  // namespace quorvel::test
