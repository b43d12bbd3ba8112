// Tessaly's standard output and exit codes.
#pragma once

#include <QTextStream>

#include <cstdint>

namespace Tessaly {

QTextStream& Out();

// The exit status for a failure's Windows error code. A code whose status would read as success
// (0, or a multiple of 256, which the 8-bit exit status of this platform cuts to 0) becomes 255.
int FailureExitCode(std::uint32_t code);

}  // namespace Tessaly
