// user32's process DPI awareness and top-level window look-ups. The machine has no windows of its
// own: look-ups are journalled and find none.
#pragma once

#include "WindowsStandIn/Win32.h"

struct DPI_AWARENESS_CONTEXT__;
using DPI_AWARENESS_CONTEXT = DPI_AWARENESS_CONTEXT__*;

inline DPI_AWARENESS_CONTEXT const DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 =
    reinterpret_cast<DPI_AWARENESS_CONTEXT>(std::intptr_t(-4));

// Both succeed.
BOOL SetProcessDPIAware();
BOOL SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT value);

// Journalled as "find-window class=... title=..." (JSON-quoted, null when not given); no window is
// found (null, last error 0).
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
// Journalled as "set-foreground-window" with the handle in hexadecimal; FALSE (no window exists).
BOOL SetForegroundWindow(HWND window);
