#include "WindowsStandIn/Handles.h"

DWORD WinSim::Detail::HandleObject::Wait(DWORD)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return static_cast<WinSim::Detail::HandleObject*>(handle)->Wait(milliseconds);
}

BOOL CloseHandle(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    delete static_cast<WinSim::Detail::HandleObject*>(handle);
    return TRUE;
}
