// Kernel handles: CloseHandle and WaitForSingleObject over the stand-in's handle objects.
#pragma once

#include "WindowsStandIn/Win32.h"

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000u;
constexpr DWORD WAIT_TIMEOUT = 0x00000102u;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Waits until the object is signalled (a process has ended) or `milliseconds` have passed.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

namespace WinSim::Detail {

// Base of every object a stand-in hands out as a HANDLE; CloseHandle deletes it.
class HandleObject {
public:
    virtual ~HandleObject() = default;
    // WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (with the last error set); objects that cannot
    // be waited for fail with ERROR_INVALID_HANDLE.
    virtual DWORD Wait(DWORD milliseconds);
};

}  // namespace WinSim::Detail
