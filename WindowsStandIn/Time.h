// The programs' own sleeps and waits stay real; a test may shorten them for one machine through
// the description's "time.waitScale" (a factor, 0 for no wait).
//
// The machine's clocks, as the programs read them: the monotonic clock counts nanoseconds from the
// machine's start (the host's steady clock, moved by "time.monotonicOffsetMs"), the wall clock is the
// host's UTC time moved by "time.wallClockOffset" seconds. `winsim clock` moves them.
#pragma once

#include "WindowsStandIn/Win32.h"

#include <cstdint>

// kernel32's Sleep: WinSim::Pause.
void Sleep(DWORD milliseconds);

namespace WinSim {

void Pause(DWORD milliseconds);
// A wait of `milliseconds` as the machine's "time.waitScale" makes it.
DWORD ScaledWait(DWORD milliseconds);

// The standard steady clock of the machine, in nanoseconds; a reboot starts it again from 0.
std::int64_t MonotonicNanoseconds();
// Seconds since 1970-01-01 UTC on the machine's wall clock.
std::int64_t WallClockSeconds();

// Time passes on the machine: both clocks move forward.
void AdvanceClocks(std::int64_t seconds);
// The user sets the wall clock (or the time zone changes it): only the wall clock moves.
void ShiftWallClock(std::int64_t seconds);
// The machine restarts after being off for `secondsOff`: the monotonic clock starts from 0, the
// wall clock moves forward by the time off.
void Reboot(std::int64_t secondsOff);

}  // namespace WinSim
