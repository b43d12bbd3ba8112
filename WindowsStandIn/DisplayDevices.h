// Display device enumeration: the GDI sources of the machine's displays (with no device name)
// and the monitors of one source (present displays; inactive ones without the active flag). A
// monitor's DeviceID is "displays.N.deviceId" when given, else made from its PnP ID.
#pragma once

#include "WindowsStandIn/Win32.h"

constexpr DWORD DISPLAY_DEVICE_ATTACHED_TO_DESKTOP = 0x1;
constexpr DWORD DISPLAY_DEVICE_ACTIVE = 0x1;
constexpr DWORD DISPLAY_DEVICE_ATTACHED = 0x2;
constexpr DWORD DISPLAY_DEVICE_PRIMARY_DEVICE = 0x4;
constexpr DWORD DISPLAY_DEVICE_MIRRORING_DRIVER = 0x8;
constexpr DWORD EDD_GET_DEVICE_INTERFACE_NAME = 0x1;

struct DISPLAY_DEVICEA {
    DWORD cb;
    CHAR DeviceName[32];
    CHAR DeviceString[128];
    DWORD StateFlags;
    CHAR DeviceID[128];
    CHAR DeviceKey[128];
};

struct DISPLAY_DEVICEW {
    DWORD cb;
    WCHAR DeviceName[32];
    WCHAR DeviceString[128];
    DWORD StateFlags;
    WCHAR DeviceID[128];
    WCHAR DeviceKey[128];
};

// `displayDevice->cb` must be the structure's size. FALSE past the last device.
BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, DISPLAY_DEVICEA* displayDevice, DWORD flags);
BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD index, DISPLAY_DEVICEW* displayDevice, DWORD flags);
