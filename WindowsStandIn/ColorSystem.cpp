// The device functions of the colour system: calibration management, the per-user switch,
// defaults and associations per scope and device.
#include "WindowsStandIn/ColorSystem.h"

#include "WindowsStandIn/ColorState.h"
#include "WindowsStandIn/Modules.h"

#include <cwchar>

namespace {

using namespace WinSim::Detail::Colour;

QString LegacyScope(const QJsonObject& state, const QString& device)
{
    return At(state, {QStringLiteral("usePerUserProfiles"), device}).toBool() ? QStringLiteral("currentUser")
                                                                                : QStringLiteral("systemWide");
}

}  // namespace

BOOL WcsGetCalibrationManagementState(BOOL* isEnabled)
{
    if (isEnabled == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("WcsGetCalibrationManagementState")) {
        return FALSE;
    }
    const std::optional<QJsonObject> state = State();
    if (!state) {
        return FALSE;
    }
    *isEnabled = state->value(QStringLiteral("calibrationManagement")).toBool() ? TRUE : FALSE;
    return TRUE;
}

BOOL WcsSetCalibrationManagementState(BOOL isEnabled)
{
    if (Injected("WcsSetCalibrationManagementState")) {
        return FALSE;
    }
    if (!WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (!Update([&](QJsonObject& state) { state.insert(QStringLiteral("calibrationManagement"), isEnabled != FALSE); })) {
        return FALSE;
    }
    WinSim::Journal(QStringLiteral("colour-calibration"), isEnabled ? QStringLiteral("on") : QStringLiteral("off"));
    return TRUE;
}

BOOL WcsGetUsePerUserProfiles(LPCWSTR deviceName, DWORD deviceClass, BOOL* usePerUserProfiles)
{
    if (deviceName == nullptr || usePerUserProfiles == nullptr || deviceClass != CLASS_MONITOR) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("WcsGetUsePerUserProfiles")) {
        return FALSE;
    }
    const std::optional<QJsonObject> state = State();
    if (!state) {
        return FALSE;
    }
    *usePerUserProfiles = At(*state, {QStringLiteral("usePerUserProfiles"), FromWide(deviceName)}).toBool() ? TRUE : FALSE;
    return TRUE;
}

BOOL WcsSetUsePerUserProfiles(LPCWSTR deviceName, DWORD deviceClass, BOOL usePerUserProfiles)
{
    if (deviceName == nullptr || deviceClass != CLASS_MONITOR) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("WcsSetUsePerUserProfiles")) {
        return FALSE;
    }
    const QString device = FromWide(deviceName);
    return Update([&](QJsonObject& state) {
        SetAt(state, {QStringLiteral("usePerUserProfiles"), device}, usePerUserProfiles != FALSE);
    });
}

BOOL WcsSetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE scope, LPCWSTR deviceName, COLORPROFILETYPE type,
                               COLORPROFILESUBTYPE subType, DWORD, LPCWSTR profileName)
{
    if (deviceName == nullptr || profileName == nullptr || type != CPT_ICC || SubTypeName(subType).isEmpty()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("WcsSetDefaultColorProfile")) {
        return FALSE;
    }
    if (scope == WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE && !WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const QString name = ProfileFileName(FromWide(profileName));
    if (!IsInstalled(name)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const QString device = FromWide(deviceName);
    if (!Update([&](QJsonObject& state) {
            const QStringList associations{QStringLiteral("associations"), ScopeName(scope), device};
            SetAt(state, associations, WithName(At(state, associations).toArray(), name));
            SetAt(state, {QStringLiteral("defaults"), ScopeName(scope), device, SubTypeName(subType)}, name);
        })) {
        return FALSE;
    }
    WinSim::Journal(QStringLiteral("colour-default"), ScopeName(scope) + " " + SubTypeName(subType) + " " + name);
    return TRUE;
}

BOOL WcsGetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE scope, LPCWSTR deviceName, COLORPROFILETYPE type,
                               COLORPROFILESUBTYPE subType, DWORD, DWORD profileNameSize, LPWSTR profileName)
{
    if (deviceName == nullptr || profileName == nullptr || type != CPT_ICC || SubTypeName(subType).isEmpty()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("WcsGetDefaultColorProfile")) {
        return FALSE;
    }
    const std::optional<QJsonObject> state = State();
    if (!state) {
        return FALSE;
    }
    const QJsonValue name =
        At(*state, {QStringLiteral("defaults"), ScopeName(scope), FromWide(deviceName), SubTypeName(subType)});
    if (!name.isString()) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const std::wstring text = name.toString().toStdWString();
    if ((text.size() + 1) * sizeof(WCHAR) > profileNameSize) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::wmemcpy(profileName, text.c_str(), text.size() + 1);
    return TRUE;
}

BOOL AssociateColorProfileWithDeviceW(LPCWSTR machineName, LPCWSTR profileName, LPCWSTR deviceName)
{
    if (machineName != nullptr || profileName == nullptr || deviceName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("AssociateColorProfileWithDeviceW")) {
        return FALSE;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    if (!IsInstalled(name)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const QString device = FromWide(deviceName);
    return Update([&](QJsonObject& state) {
        const QStringList path{QStringLiteral("associations"), LegacyScope(state, device), device};
        SetAt(state, path, WithName(At(state, path).toArray(), name));
    });
}

BOOL DisassociateColorProfileFromDeviceW(LPCWSTR machineName, LPCWSTR profileName, LPCWSTR deviceName)
{
    if (machineName != nullptr || profileName == nullptr || deviceName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("DisassociateColorProfileFromDeviceW")) {
        return FALSE;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    const QString device = FromWide(deviceName);
    bool found = false;
    if (!Update([&](QJsonObject& state) {
            const QStringList path{QStringLiteral("associations"), LegacyScope(state, device), device};
            const QJsonArray before = At(state, path).toArray();
            const QJsonArray after = WithoutName(before, name);
            found = after.size() != before.size();
            SetAt(state, path, after);
        })) {
        return FALSE;
    }
    return found || Fail(ERROR_FILE_NOT_FOUND);
}

namespace {

const bool registered = WinSim::RegisterModule(
    "mscms.dll",
    {{"WcsGetCalibrationManagementState", WinSim::Export(&WcsGetCalibrationManagementState)},
     {"WcsSetCalibrationManagementState", WinSim::Export(&WcsSetCalibrationManagementState)}},
    {}, nullptr);

}  // namespace
