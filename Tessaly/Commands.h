// Carries out what a parsed command line asks for and returns Tessaly's exit code.
#pragma once

#include "Tessaly/Options.h"

namespace Tessaly {

// Prints the product-version line, then runs at most one profile operation and all registry
// options. A failure that escapes a command is printed once, as its reason.
int Execute(const Options& options);

}  // namespace Tessaly
