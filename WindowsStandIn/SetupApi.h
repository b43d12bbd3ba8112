// SetupAPI stand-in for the present monitor interfaces and their hardware registry keys. A
// monitor's key holds the values of "displays.N.deviceValues" ([{"name", "hex"}], binary, in
// that order) and then "EDID" (REG_BINARY, "displays.N.edid") when the display has one.
// An injected "SetupDiEnumDeviceInterfaces" failure applies to every index, the end included.
#pragma once

#include "WindowsStandIn/Guid.h"
#include "WindowsStandIn/Win32.h"

using HDEVINFO = void*;

constexpr DWORD DIGCF_PRESENT = 0x2;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x10;
constexpr DWORD DICS_FLAG_GLOBAL = 0x1;
constexpr DWORD DIREG_DEV = 0x1;
constexpr DWORD ERROR_NO_SUCH_DEVINST = 0xE000020B;

// {E6F07B5F-EE97-4A90-B076-33F57BF4EAA7}
inline constexpr GUID GUID_DEVINTERFACE_MONITOR = {0xE6F07B5F, 0xEE97, 0x4A90,
                                                   {0xB0, 0x76, 0x33, 0xF5, 0x7B, 0xF4, 0xEA, 0xA7}};

struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    std::uintptr_t Reserved;
};

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    std::uintptr_t Reserved;
};

// Variable length: DevicePath runs on past the structure.
struct SP_DEVICE_INTERFACE_DETAIL_DATA_W {
    DWORD cbSize;  // sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)
    WCHAR DevicePath[1];
};

HDEVINFO SetupDiGetClassDevsExW(const GUID* classGuid, LPCWSTR enumerator, HWND parent, DWORD flags,
                                HDEVINFO deviceInfoSet, LPCWSTR machineName, LPVOID reserved);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* deviceInfo, const GUID* interfaceClass,
                                 DWORD index, SP_DEVICE_INTERFACE_DATA* interfaceData);
// With no buffer: FALSE, ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                      LPDWORD requiredSize, SP_DEVINFO_DATA* deviceInfo);
// INVALID_HANDLE_VALUE on failure.
HKEY SetupDiOpenDevRegKey(HDEVINFO set, SP_DEVINFO_DATA* deviceInfo, DWORD scope, DWORD hwProfile, DWORD keyType,
                          REGSAM desired);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);
