// EnumDisplayDevicesW over the machine description's displays: without a device name it lists the
// display adapters' outputs ("\\.\DISPLAY1", ...); with one it lists the monitor on that output,
// whose DeviceID is the display's "deviceId".
#pragma once

#include "WindowsStandIn/Win32.h"

constexpr DWORD DISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x00000001;
constexpr DWORD DISPLAY_DEVICE_PRIMARY_DEVICE = 0x00000004;
constexpr DWORD DISPLAY_DEVICE_ACTIVE = 0x00000001;
constexpr DWORD DISPLAY_DEVICE_ATTACHED = 0x00000002;
constexpr DWORD EDD_GET_DEVICE_INTERFACE_NAME = 0x00000001;

struct DISPLAY_DEVICEW {
    DWORD cb = 0;
    WCHAR DeviceName[32] = {};
    WCHAR DeviceString[128] = {};
    DWORD StateFlags = 0;
    WCHAR DeviceID[128] = {};
    WCHAR DeviceKey[128] = {};
};

BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD deviceIndex, DISPLAY_DEVICEW* displayDevice, DWORD flags);
