// quorvel-host: a headless host for the Quorvel effect module.
#include <algorithm>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "frames/HostError.h"
#include "shots/Session.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace {

using quorvel::cli::ToolContext;

/// A command: its name, what follows the name in the list of commands, a
/// line on what it does, and what runs it.
struct Command {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const ToolContext& ctx, const std::vector<std::string>& args);
};

constexpr Command kCommands[] = {
    {"inspect", " [MODULE]", "decode the module's descriptor and find its entry point", quorvel::cli::RunInspect},
    {"about", "", "print the module's about text", quorvel::cli::RunAbout},
    {"params", "", "list the controls the module registers (--json for machines)", quorvel::cli::RunParams},
    {"render", "", "render a frame (the built-in test card by default) to a file", quorvel::cli::RunRender},
    {"overlay", "", "render a frame and draw the on-screen controls over it", quorvel::cli::RunOverlay},
    {"drag", "", "replay a mouse drag on the on-screen controls", quorvel::cli::RunDrag},
    {"handles", "", "list the on-screen handles and where to click them", quorvel::cli::RunHandles},
    {"keys", "", "print keys (--key, --keys) as the host's keyframe text, to paste", quorvel::cli::RunKeys},
};

std::string Usage() {
    std::string usage =
        "usage: quorvel-host COMMAND [options]\n"
        "\n"
        "A headless host for the Quorvel effect module: it loads the module file the\n"
        "way the real hosts do and sends it their commands.\n"
        "\n"
        "commands:\n";
    std::size_t widest = 0;
    for (const Command& command : kCommands) {
        widest = std::max(widest, std::string(command.name).size() + std::string(command.arguments).size());
    }
    for (const Command& command : kCommands) {
        const std::string head = std::string(command.name) + command.arguments;
        usage += "  " + head + std::string(widest - head.size() + 2, ' ') + command.summary + "\n";
    }
    return usage +
           "\n"
           "Run 'quorvel-host COMMAND --help' for a command's options. The module is the\n"
           "VT_Quorvel.aex beside this tool unless --module PATH says otherwise.\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "quorvel-host: no command given (try --help)\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << Usage();
        return 0;
    }
    const std::string name = args[0];
    args.erase(args.begin());
    const ToolContext ctx{argv[0]};
    try {
        for (const Command& command : kCommands) {
            if (name == command.name) return command.run(ctx, args);
        }
        throw quorvel::cli::UsageError("unknown command '" + name + "' (try --help)");
    } catch (const quorvel::cli::UsageError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    } catch (const quorvel::shots::ShotError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    } catch (const quorvel::shots::ModuleFailure& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 1;
    } catch (const quorvel::sim::HostError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    } catch (const std::bad_alloc&) {
        std::cerr << "quorvel-host: out of memory (is the frame too large for this machine?)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    }
}
