// Windows Color System stand-in: installed profiles (the machine's colour directory), device
// associations and defaults per scope, the per-user switch, calibration management, and the
// display-association functions of mscms.dll that callers bind by ordinal (230, 231, 232, 234).
// The state lives in "<machine>/colour.json"; `winsim colour` prints it.
#pragma once

#include "WindowsStandIn/Dxgi.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Win32.h"

#include <QJsonObject>
#include <QString>

using PCWSTR = const wchar_t*;
using PWSTR = wchar_t*;
using UINT32 = std::uint32_t;

enum WCS_PROFILE_MANAGEMENT_SCOPE {
    WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE = 0,
    WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER = 1,
};

enum COLORPROFILETYPE {
    CPT_ICC = 0,
    CPT_DMP = 1,
    CPT_CAMP = 2,
    CPT_GMMP = 3,
};

enum COLORPROFILESUBTYPE {
    CPST_PERCEPTUAL = 0,
    CPST_RELATIVE_COLORIMETRIC = 1,
    CPST_SATURATION = 2,
    CPST_ABSOLUTE_COLORIMETRIC = 3,
    CPST_NONE = 4,
    CPST_RGB_WORKING_SPACE = 5,
    CPST_CUSTOM_WORKING_SPACE = 6,
    CPST_STANDARD_DISPLAY_COLOR_MODE = 7,
    CPST_EXTENDED_DISPLAY_COLOR_MODE = 8,
};

constexpr DWORD CLASS_MONITOR = 0x6D6E7472;  // 'mntr'
constexpr DWORD ERROR_INVALID_PROFILE = 2011;

BOOL WcsGetCalibrationManagementState(BOOL* isEnabled);
BOOL WcsSetCalibrationManagementState(BOOL isEnabled);  // administrator only
BOOL WcsGetUsePerUserProfiles(LPCWSTR deviceName, DWORD deviceClass, BOOL* usePerUserProfiles);
BOOL WcsSetUsePerUserProfiles(LPCWSTR deviceName, DWORD deviceClass, BOOL usePerUserProfiles);
BOOL WcsSetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE scope, LPCWSTR deviceName, COLORPROFILETYPE type,
                               COLORPROFILESUBTYPE subType, DWORD profileId, LPCWSTR profileName);
// `profileNameSize` is the buffer's size in bytes.
BOOL WcsGetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE scope, LPCWSTR deviceName, COLORPROFILETYPE type,
                               COLORPROFILESUBTYPE subType, DWORD profileId, DWORD profileNameSize,
                               LPWSTR profileName);
BOOL AssociateColorProfileWithDeviceW(LPCWSTR machineName, LPCWSTR profileName, LPCWSTR deviceName);
BOOL DisassociateColorProfileFromDeviceW(LPCWSTR machineName, LPCWSTR profileName, LPCWSTR deviceName);
// Administrator only: copy the file into the colour directory / delete it from there.
BOOL InstallColorProfileA(LPCSTR machineName, LPCSTR profileName);
BOOL UninstallColorProfileA(LPCSTR machineName, LPCSTR profileName, BOOL deleteFile);
// `size` is in bytes; the directory is the machine's, as a path of this system.
BOOL GetColorDirectoryA(LPCSTR machineName, LPSTR buffer, LPDWORD size);
BOOL GetColorDirectoryW(LPCWSTR machineName, LPWSTR buffer, LPDWORD size);

// The display-association functions, reached through GetProcAddress(LoadLibrary("mscms.dll"), ordinal).
using ColorProfileAddDisplayAssociationFunction = HRESULT (*)(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName,
                                                              LUID targetAdapterId, UINT32 sourceId, BOOL setAsDefault,
                                                              BOOL associateAsAdvancedColor);
using ColorProfileRemoveDisplayAssociationFunction = HRESULT (*)(WCS_PROFILE_MANAGEMENT_SCOPE scope,
                                                                 PCWSTR profileName, LUID targetAdapterId,
                                                                 UINT32 sourceId, BOOL dissociateAdvancedColor);
using ColorProfileSetDisplayDefaultAssociationFunction = HRESULT (*)(WCS_PROFILE_MANAGEMENT_SCOPE scope,
                                                                     PCWSTR profileName, COLORPROFILETYPE type,
                                                                     COLORPROFILESUBTYPE subType,
                                                                     LUID targetAdapterId, UINT32 sourceId);
// The name is allocated for the caller, who releases it with LocalFree.
using ColorProfileGetDisplayDefaultFunction = HRESULT (*)(WCS_PROFILE_MANAGEMENT_SCOPE scope, LUID targetAdapterId,
                                                          UINT32 sourceId, COLORPROFILETYPE type,
                                                          COLORPROFILESUBTYPE subType, PWSTR* profileName);
constexpr WORD ColorProfileAddDisplayAssociationOrdinal = 230;
constexpr WORD ColorProfileRemoveDisplayAssociationOrdinal = 231;
constexpr WORD ColorProfileSetDisplayDefaultAssociationOrdinal = 232;
constexpr WORD ColorProfileGetDisplayDefaultOrdinal = 234;

namespace WinSim {

// The machine's colour directory ("C:/Windows/System32/spool/drivers/color", mapped).
QString ColorDirectory(const QString& machine = MachineDirectory());
// The colour-system state with the installed profiles, as `winsim colour` prints it.
QJsonObject ColorSystemState(const QString& machine = MachineDirectory());
// Removes the partial copies that InstallColorProfileA runs of `fileName` left in the colour
// directory when they were killed; a run still going keeps its copy.
void RemoveInterruptedProfileCopies(const QString& fileName);

}  // namespace WinSim
