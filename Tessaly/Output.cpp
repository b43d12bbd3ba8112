#include "Tessaly/Output.h"

#include <cstdio>

namespace Tessaly {

QTextStream& Out()
{
    static QTextStream stream(stdout);
    return stream;
}

int FailureExitCode(std::uint32_t code)
{
    return (code & 0xFFu) == 0 ? 255 : int(code & 0xFFu);
}

}  // namespace Tessaly
