// Run-time binding stand-ins: LoadLibrary/GetProcAddress over modules inside this process.
// A stand-in area registers its module and exports at start-up:
//
//     static const bool registered = WinSim::RegisterModule("user32.dll", {
//         {"EnumDisplayMonitors", WinSim::Export(&EnumDisplayMonitors)}}, {}, nullptr);
//
// LoadLibrary of an unregistered module, or of one whose `available` check says no (a machine
// without that driver), fails with ERROR_MOD_NOT_FOUND.
#pragma once

#include "WindowsStandIn/Win32.h"

#include <functional>
#include <map>
#include <string>

struct HINSTANCE__;
using HMODULE = HINSTANCE__*;
using FARPROC = void (*)();

constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800;

// An ordinal passed as the name of GetProcAddress.
inline LPCSTR MAKEINTRESOURCEA(WORD ordinal)
{
    return reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(ordinal));
}

HMODULE LoadLibraryA(LPCSTR fileName);
HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);  // a name, or an ordinal through MAKEINTRESOURCEA
BOOL FreeLibrary(HMODULE module);

namespace WinSim {

template <typename Function>
FARPROC Export(Function* function)
{
    return reinterpret_cast<FARPROC>(function);
}

// Registers a module by file name (matched ignoring case and any folder). Registering a module
// again adds its exports (a name keeps its first registration), and the module loads
// only when every `available` check says yes. Returns true.
bool RegisterModule(const std::string& fileName, const std::map<std::string, FARPROC>& byName,
                    const std::map<WORD, FARPROC>& byOrdinal, std::function<bool()> available);

}  // namespace WinSim
