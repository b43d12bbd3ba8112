// ShellExecuteExW: opens a batch file with the stand-in's command interpreter, elevated with the
// "runas" verb. Elevation asks the machine's prompt (description "elevation.prompt": "accept",
// "refuse" fails with ERROR_CANCELLED, "fail" fails with "elevation.errorCode"); a process that is
// already elevated is not asked. The interpreter runs hidden (no console output) as
// `winsim cmd /c FILE` from the program folder; see Batch.h for what it understands.
#pragma once

#include "WindowsStandIn/Handles.h"

#include <QString>

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

constexpr ULONG SEE_MASK_DEFAULT = 0x00000000u;
constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040u;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

struct SHELLEXECUTEINFOW {
    DWORD cbSize = 0;  // sizeof(SHELLEXECUTEINFOW)
    ULONG fMask = 0;
    HWND hwnd = nullptr;
    LPCWSTR lpVerb = nullptr;  // "runas", "open" or null (the default action)
    LPCWSTR lpFile = nullptr;  // may be enclosed in double quotes; "\" is a separator
    LPCWSTR lpParameters = nullptr;
    LPCWSTR lpDirectory = nullptr;
    int nShow = 0;
    HINSTANCE hInstApp = nullptr;
    HANDLE hProcess = nullptr;  // set with SEE_MASK_NOCLOSEPROCESS; close with CloseHandle
};

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

namespace WinSim {

// The folder of the running program (the program folder: build/bin).
QString ProgramDirectory();

}  // namespace WinSim
