// Monitors of the desktop (user32), bound at run time from "user32.dll". Each active display of
// the description is one monitor, 1920 x 1200, at "displays.N.position" {x, y} or else beside the
// previous one (all at the origin in clone topology); the monitor at the origin is the primary.
// Injectable failures: "LoadLibrary" with the qualifier "user32.dll" (the module does not load),
// "GetMonitorInfoA" (fails with that code).
#pragma once

#include "WindowsStandIn/Win32.h"

struct HMONITOR__;
using HMONITOR = HMONITOR__*;
struct HDC__;
using HDC = HDC__*;

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
using LPRECT = RECT*;
using LPCRECT = const RECT*;

constexpr DWORD MONITORINFOF_PRIMARY = 0x1;
constexpr DWORD CCHDEVICENAME = 32;
constexpr DWORD MONITOR_DEFAULTTONULL = 0;
constexpr DWORD MONITOR_DEFAULTTOPRIMARY = 1;
constexpr DWORD MONITOR_DEFAULTTONEAREST = 2;

struct MONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
};
using LPMONITORINFO = MONITORINFO*;

struct MONITORINFOEXA : MONITORINFO {
    CHAR szDevice[CCHDEVICENAME];
};

using MONITORENUMPROC = BOOL (*)(HMONITOR, HDC, LPRECT, LPARAM);

// Calls `callback` for each monitor in order until it returns FALSE. Device context and clip
// rectangle are not supported (pass null).
BOOL EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data);
// Fills a MONITORINFO, or a MONITORINFOEXA when cbSize says so.
BOOL GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info);
// There are no windows: the primary monitor (null with MONITOR_DEFAULTTONULL).
HMONITOR MonitorFromWindow(HWND window, DWORD flags);
