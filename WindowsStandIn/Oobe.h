// The out-of-box experience (OOBE) of the machine: the description's "oobe.completed".
//
// RegisterWaitUntilOOBECompleted fails with ERROR_INVALID_STATE (5023) once OOBE is finished;
// while it is pending, the registration waits until `winsim event oobe-complete` finishes it, and
// then calls the callback once, on a thread of the stand-in (never the caller's thread). The
// failure "RegisterWaitUntilOOBECompleted" can be injected (`winsim fail`).
#pragma once

#include "WindowsStandIn/Win32.h"

using OOBE_COMPLETED_CALLBACK = void (*)(PVOID CallbackContext);

BOOL RegisterWaitUntilOOBECompleted(OOBE_COMPLETED_CALLBACK OOBECompletedCallback, PVOID CallbackContext,
                                    PVOID* WaitHandle);
// Ends a registration; a callback that is running has returned when this returns.
BOOL UnregisterWaitUntilOOBECompleted(PVOID WaitHandle);

namespace WinSim {

// Marks OOBE finished and wakes the pending registrations of the machine's running programs;
// returns how many were woken.
int CompleteOobe();

}  // namespace WinSim
