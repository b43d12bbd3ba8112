// The video brightness device "\\.\LCD": it exists while a present display has a "brightness"
// object ({"levels": [...], "current": n}); its IOCTLs read the levels and read and set the
// current level. A "DeviceIoControl" failure can be injected for one IOCTL with the control code
// ("0x230494") as the qualifier.
#pragma once

#include "WindowsStandIn/Guid.h"
#include "WindowsStandIn/Handles.h"
#include "WindowsStandIn/Win32.h"

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;

constexpr DWORD IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS = 0x230494;
constexpr DWORD IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS = 0x230498;
constexpr DWORD IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS = 0x23049C;

constexpr BYTE DISPLAYPOLICY_AC = 0x1;
constexpr BYTE DISPLAYPOLICY_DC = 0x2;
constexpr BYTE DISPLAYPOLICY_BOTH = 0x3;

struct DISPLAY_BRIGHTNESS {
    BYTE ucDisplayPolicy;
    BYTE ucACBrightness;
    BYTE ucDCBrightness;
};

// Closed with CloseHandle (Handles.h). Only the brightness device is known; other names fail with ERROR_FILE_NOT_FOUND.
HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPVOID securityAttributes,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer,
                     DWORD outSize, LPDWORD bytesReturned, LPVOID overlapped);
