/// The viewer options: which window the overlay is shown in, and how the
/// layer sits in the composition and the window over it.
#pragma once

#include <tuple>
#include <vector>

#include "Args.h"
#include "View.h"

namespace quorvel::cli {

std::vector<OptionDef> ViewOptionDefs();
/// The view from the options; the identity by default (window pixel =
/// composition pixel = layer pixel).
sim::View ParseView(const Args& args);

}  // namespace quorvel::cli
