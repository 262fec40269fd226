/// `quorvel-host render` over a frame range: numbered files, keyframes,
/// concurrent frames, progress, resumable runs and a contact sheet.
#pragma once

#include <vector>

#include "Args.h"
#include "Commands.h"

namespace quorvel::cli {

/// The options only sequences take.
std::vector<OptionDef> SequenceOptionDefs();

/// The help text's section on sequences and keyframes.
extern const char* const kSequenceHelp;

/// Whether the arguments ask for a sequence: a sequence option, or a
/// numbered --in or --out.
bool WantsSequence(const Args& args);

/// Exit status 0 when every frame is complete, 1 when the module failed a
/// frame, 2 for bad input, 130 when interrupted.
int RunSequence(const ToolContext& ctx, const Args& args);

}  // namespace quorvel::cli
