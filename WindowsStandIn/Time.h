// The programs' own sleeps and waits stay real; a test may shorten them for one machine through
// the description's "time.waitScale" (a factor, 0 for no wait).
#pragma once

#include "WindowsStandIn/Win32.h"

namespace WinSim {

void Pause(DWORD milliseconds);
// A wait of `milliseconds` as the machine's "time.waitScale" makes it.
DWORD ScaledWait(DWORD milliseconds);

}  // namespace WinSim
