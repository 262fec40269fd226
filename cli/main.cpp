// quorvel-host: a headless host for the Quorvel effect module.
#include <algorithm>
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/SettingFlags.h"
#include "frames/HostError.h"
#include "shots/Session.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace {

using quorvel::cli::Command;
using quorvel::cli::ToolContext;

constexpr Command kCommands[] = {
    {{"inspect", " [MODULE]", "Decodes the module's descriptor and finds its entry point.", "Inspecting the module"},
     quorvel::cli::RunInspect},
    {{"about", "", "Prints the module's about text.", "Inspecting the module"}, quorvel::cli::RunAbout},
    {{"params", "", "Lists the controls the module registers.", "Inspecting the module"}, quorvel::cli::RunParams},
    {{"render", "", "Renders a frame, or a shot, through the module into files.", "Rendering"},
     quorvel::cli::RunRender},
    {{"overlay", "", "Renders a frame and draws the on-screen controls over it.", "The on-screen controls"},
     quorvel::cli::RunOverlay},
    {{"drag", "", "Replays a mouse drag on the on-screen controls.", "The on-screen controls"}, quorvel::cli::RunDrag},
    {{"handles", "", "Lists the on-screen handles and where to click them.", "The on-screen controls"},
     quorvel::cli::RunHandles},
    {{"keys", "", "Prints keys as the host's keyframe text, to paste.", "Shots: frame ranges and keyframes"},
     quorvel::cli::RunKeys},
};

/// Read as a command, though it is written as an option.
constexpr Command kVersion = {{"--version", "", "Prints the tool's version and the module's.", "Inspecting the module"},
                              quorvel::cli::RunVersion};

/// Makes the manual page at build time; not listed.
constexpr quorvel::cli::CommandInfo kManualPage = {
    "manual-page", "", "Writes the manual page from the commands' declarations and the template's prose.", "Options"};

std::string Usage() {
    std::string usage =
        "usage: quorvel-host COMMAND [options]\n"
        "       quorvel-host --version [--module PATH]\n"
        "\n"
        "A headless host for the Quorvel effect module: it loads the module file the\n"
        "way the real hosts do and sends it their commands.\n"
        "\n"
        "Commands:\n";
    std::size_t widest = 0;
    for (const Command& command : kCommands) {
        widest = std::max(widest, std::string(command.info.name).size() + std::string(command.info.arguments).size());
    }
    for (const Command& command : kCommands) {
        const std::string head = std::string(command.info.name) + command.info.arguments;
        usage += "  " + head + std::string(widest - head.size() + 2, ' ') + command.info.summary + "\n";
    }
    return usage +
           "\n"
           "Run 'quorvel-host COMMAND --help' for a command's options. The module is the\n"
           "VT_Quorvel.aex beside this tool unless --module PATH says otherwise.\n"
           "\n"
           "More: quorvel-host(1); docs/tool.md\n";
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
    try {
        if (name == kManualPage.name) {
            std::vector<const Command*> described;
            for (const Command& command : kCommands) described.push_back(&command);
            described.push_back(&kVersion);
            return quorvel::cli::RunManualPage(ToolContext{argv[0], &kManualPage}, args, described);
        }
        if (name == kVersion.info.name) return kVersion.run(ToolContext{argv[0], &kVersion.info}, args);
        for (const Command& command : kCommands) {
            if (name == command.info.name) return command.run(ToolContext{argv[0], &command.info}, args);
        }
        throw quorvel::cli::UsageError("unknown command '" + name + "' (try --help)");
    } catch (const quorvel::cli::UsageError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    } catch (const quorvel::shots::ShotError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(quorvel::cli::Spelled(e.message())) << "\n";
        return quorvel::cli::StatusOf(e.kind());
    } catch (const quorvel::shots::ModuleFailure& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 1;
    } catch (const quorvel::frames::HostError& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(quorvel::cli::Spelled(e.message())) << "\n";
        return quorvel::cli::StatusOf(e.kind());
    } catch (const std::bad_alloc&) {
        std::cerr << "quorvel-host: out of memory (is the frame too large for this machine?)\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "quorvel-host: " << quorvel::shots::Printable(e.what()) << "\n";
        return 2;
    }
}
