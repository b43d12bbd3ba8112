// Power-scheme stand-ins. The active scheme is "power.activeScheme" (a GUID text; Balanced when
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
