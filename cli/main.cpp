// quorvel-host: a headless host for the Quorvel effect module.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "frames/HostError.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "shots/Session.h"
#include "shots/ShotError.h"
#include "shots/ValueText.h"

namespace {

constexpr const char* kUsage =
    "usage: quorvel-host COMMAND [options]\n"
    "\n"
    "A headless host for the Quorvel effect module: it loads the module file the\n"
    "way the real hosts do and sends it their commands.\n"
    "\n"
    "commands:\n"
    "  inspect [MODULE]  decode the module's descriptor and find its entry point\n"
    "  about             print the module's about text\n"
    "  params            list the controls the module registers (--json for machines)\n"
    "  render            render a frame (the built-in test card by default) to a file\n"
    "  overlay           render a frame and draw the on-screen controls over it\n"
    "  drag              replay a mouse drag on the on-screen controls\n"
    "  keys              print keys (--key, --keys) as the host's keyframe text, to paste\n"
    "\n"
    "Run 'quorvel-host COMMAND --help' for a command's options. The module is the\n"
    "VT_Quorvel.aex beside this tool unless --module PATH says otherwise.\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << "quorvel-host: no command given (try --help)\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    const quorvel::cli::ToolContext ctx{argv[0]};
    try {
        if (command == "inspect") return quorvel::cli::RunInspect(ctx, args);
        if (command == "about") return quorvel::cli::RunAbout(ctx, args);
        if (command == "params") return quorvel::cli::RunParams(ctx, args);
        if (command == "render") return quorvel::cli::RunRender(ctx, args);
        if (command == "overlay") return quorvel::cli::RunOverlay(ctx, args);
        if (command == "drag") return quorvel::cli::RunDrag(ctx, args);
        if (command == "keys") return quorvel::cli::RunKeys(ctx, args);
        throw quorvel::cli::UsageError("unknown command '" + command + "' (try --help)");
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
