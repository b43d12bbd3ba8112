// COM start-up stand-ins: per-thread initialisation and the once-per-process security set-up.
// Every stand-in function fails with the code a test injects for it by name (`winsim fail`).
#pragma once

#include "WindowsStandIn/Win32.h"

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);
constexpr HRESULT RPC_E_CHANGED_MODE = HRESULT(0x80010106u);
constexpr HRESULT RPC_E_TOO_LATE = HRESULT(0x80010119u);
constexpr HRESULT CO_E_NOTINITIALIZED = HRESULT(0x800401F0u);

constexpr bool SUCCEEDED(HRESULT result) { return result >= 0; }
constexpr bool FAILED(HRESULT result) { return result < 0; }
constexpr HRESULT HRESULT_FROM_WIN32(DWORD code)
{
    return code == 0 ? S_OK : HRESULT((code & 0xFFFFu) | 0x80070000u);
}

constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

constexpr DWORD RPC_C_AUTHN_LEVEL_DEFAULT = 0;
constexpr DWORD RPC_C_AUTHN_LEVEL_CALL = 3;
constexpr DWORD RPC_C_IMP_LEVEL_IMPERSONATE = 3;
constexpr DWORD RPC_C_AUTHN_WINNT = 10;
constexpr DWORD RPC_C_AUTHZ_NONE = 0;
constexpr DWORD EOAC_NONE = 0;

// S_OK on a thread's first call, S_FALSE on later ones; RPC_E_CHANGED_MODE for another model.
HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();

// Succeeds once per process; every later call gets RPC_E_TOO_LATE, as on Windows.
HRESULT CoInitializeSecurity(LPVOID securityDescriptor, LONG authServiceCount, LPVOID authServices,
                             LPVOID reserved1, DWORD authnLevel, DWORD impLevel, LPVOID authList,
                             DWORD capabilities, LPVOID reserved3);
