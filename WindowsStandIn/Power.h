// Power-scheme stand-ins and power-setting notifications. The active scheme is "power.activeScheme" (a GUID text; Balanced when
// absent); written values are kept as "power.schemes.<SCHEME>.<SETTING>" = {"ac", "dc"}.
// Activating a scheme applies its display-brightness AC value to the brightness device.
#pragma once

#include "WindowsStandIn/Guid.h"
#include "WindowsStandIn/Win32.h"

// {7516B95F-F776-4464-8C53-06167F40CC99}
inline constexpr GUID GUID_VIDEO_SUBGROUP = {0x7516B95F, 0xF776, 0x4464, {0x8C, 0x53, 0x06, 0x16, 0x7F, 0x40, 0xCC, 0x99}};
// {ADED5E82-B909-4619-9949-F5D71DAC0BCB}
inline constexpr GUID GUID_DEVICE_POWER_POLICY_VIDEO_BRIGHTNESS = {0xADED5E82, 0xB909, 0x4619,
                                                                   {0x99, 0x49, 0xF5, 0xD7, 0x1D, 0xAC, 0x0B, 0xCB}};

// The scheme GUID is allocated; release it with LocalFree.
DWORD PowerGetActiveScheme(HKEY userRootPowerKey, GUID** activePolicy);
DWORD PowerWriteACValueIndex(HKEY rootPowerKey, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                             DWORD value);
DWORD PowerWriteDCValueIndex(HKEY rootPowerKey, const GUID* scheme, const GUID* subgroup, const GUID* setting,
                             DWORD value);
DWORD PowerSetActiveScheme(HKEY userRootPowerKey, const GUID* scheme);

// Power-setting notifications: recipient is a window handle (DEVICE_NOTIFY_WINDOW_HANDLE).
using HPOWERNOTIFY = PVOID;
constexpr DWORD DEVICE_NOTIFY_WINDOW_HANDLE = 0;

// Registers for broadcasts of `setting` (journalled "power-register <GUID>"). As on Windows, the
// setting's current value is posted to the program at once: for the lid switch a WM_POWERBROADCAST
// with the description's "lid", reaching the native event filters from the event loop. Null with
// the last error set on an injected failure ("RegisterPowerSettingNotification").
HPOWERNOTIFY RegisterPowerSettingNotification(HANDLE recipient, const GUID* setting, DWORD flags);
// FALSE with ERROR_INVALID_HANDLE for a handle that is not registered, or with the injected code
// ("UnregisterPowerSettingNotification").
BOOL UnregisterPowerSettingNotification(HPOWERNOTIFY handle);
