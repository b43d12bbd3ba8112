#include "WindowsStandIn/ColorSystem.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <functional>

namespace {

const QString StateName = QStringLiteral("colour.json");

QString FromWide(LPCWSTR text)
{
    return text != nullptr ? QString::fromWCharArray(text) : QString();
}

QString FromNarrow(LPCSTR text)
{
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

// Profiles are known by their file name; callers may pass a full path ("\" or "/" separators).
QString ProfileFileName(const QString& profile)
{
    QString name = profile;
    name.replace('\\', '/');
    return name.section('/', -1);
}

bool IsInstalled(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(WinSim::ColorDirectory() + "/" + fileName).isFile();
}

QString ScopeName(WCS_PROFILE_MANAGEMENT_SCOPE scope)
{
    return scope == WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE ? QStringLiteral("systemWide")
                                                               : QStringLiteral("currentUser");
}

QString SubTypeName(COLORPROFILESUBTYPE subType)
{
    switch (subType) {
    case CPST_PERCEPTUAL: return QStringLiteral("PERCEPTUAL");
    case CPST_RELATIVE_COLORIMETRIC: return QStringLiteral("RELATIVE_COLORIMETRIC");
    case CPST_SATURATION: return QStringLiteral("SATURATION");
    case CPST_ABSOLUTE_COLORIMETRIC: return QStringLiteral("ABSOLUTE_COLORIMETRIC");
    case CPST_NONE: return QStringLiteral("NONE");
    case CPST_RGB_WORKING_SPACE: return QStringLiteral("RGB_WORKING_SPACE");
    case CPST_CUSTOM_WORKING_SPACE: return QStringLiteral("CUSTOM_WORKING_SPACE");
    case CPST_STANDARD_DISPLAY_COLOR_MODE: return QStringLiteral("STANDARD_DISPLAY_COLOR_MODE");
    case CPST_EXTENDED_DISPLAY_COLOR_MODE: return QStringLiteral("EXTENDED_DISPLAY_COLOR_MODE");
    }
    return QString();
}

bool Fail(DWORD code)
{
    SetLastError(code);
    return false;
}

// The injected failure of `function` (for `qualifier`), already reported through SetLastError.
bool Injected(const char* function, const QString& qualifier = QString())
{
    if (const auto code = WinSim::InjectedFailure(QString::fromLatin1(function), qualifier)) {
        SetLastError(*code);
        return true;
    }
    return false;
}

HRESULT InjectedHresult(const char* function, const QString& qualifier)
{
    if (const auto code = WinSim::InjectedFailure(QString::fromLatin1(function), qualifier)) {
        SetLastError((*code & 0x80000000u) != 0 ? (*code & 0xFFFFu) : *code);
        return (*code & 0x80000000u) != 0 ? HRESULT(*code) : HRESULT_FROM_WIN32(*code);
    }
    return S_OK;
}

HRESULT FailHresult(DWORD code)
{
    SetLastError(code);
    return HRESULT_FROM_WIN32(code);
}

bool Update(const std::function<void(QJsonObject&)>& change)
{
    const bool written = WinSim::Detail::UpdateStateFile(StateName, [&](QJsonObject& state) {
        change(state);
        return true;
    });
    return written || Fail(ERROR_GEN_FAILURE);
}

QJsonObject State()
{
    return WinSim::Detail::ReadStateFile(StateName);
}

// state[a][b]... as an object path edit.
QJsonValue At(const QJsonObject& object, const QStringList& path)
{
    QJsonValue node = object;
    for (const QString& part : path) {
        node = node.toObject().value(part);
    }
    return node;
}

void SetAt(QJsonObject& object, const QStringList& path, const QJsonValue& value)
{
    if (path.size() == 1) {
        if (value.isUndefined()) {
            object.remove(path.first());
        } else {
            object.insert(path.first(), value);
        }
        return;
    }
    QJsonObject child = object.value(path.first()).toObject();
    SetAt(child, path.mid(1), value);
    object.insert(path.first(), child);
}

QJsonArray WithName(QJsonArray list, const QString& name)
{
    for (const QJsonValue value : list) {
        if (value.toString().compare(name, Qt::CaseInsensitive) == 0) {
            return list;
        }
    }
    list.append(name);
    return list;
}

QJsonArray WithoutName(const QJsonArray& list, const QString& name)
{
    QJsonArray kept;
    for (const QJsonValue value : list) {
        if (value.toString().compare(name, Qt::CaseInsensitive) != 0) {
            kept.append(value);
        }
    }
    return kept;
}

// Removes every mention of an uninstalled profile from the state.
void ForgetProfile(QJsonValueRef node, const QString& name)
{
    if (node.isArray()) {
        node = WithoutName(node.toArray(), name);
    } else if (node.isObject()) {
        QJsonObject object = node.toObject();
        for (const QString& key : object.keys()) {
            const QJsonValue child = object.value(key);
            if (child.isString() && child.toString().compare(name, Qt::CaseInsensitive) == 0) {
                object.remove(key);
            } else {
                ForgetProfile(object[key], name);
            }
        }
        node = object;
    }
}

bool KnownAdapter(const LUID& luid)
{
    for (const QJsonValue value : WinSim::DescriptionValue(QStringLiteral("adapters")).toArray()) {
        const QJsonObject id = value.toObject().value(QStringLiteral("luid")).toObject();
        if (DWORD(id.value(QStringLiteral("low")).toInteger()) == luid.LowPart &&
            LONG(id.value(QStringLiteral("high")).toInteger()) == luid.HighPart) {
            return true;
        }
    }
    return false;
}

QString DisplayKey(const LUID& luid, UINT32 sourceId)
{
    return QString::number(luid.HighPart) + ":" + QString::number(luid.LowPart) + ":" + QString::number(sourceId);
}

QString LegacyScope(const QJsonObject& state, const QString& device)
{
    return At(state, {QStringLiteral("usePerUserProfiles"), device}).toBool() ? QStringLiteral("currentUser")
                                                                                : QStringLiteral("systemWide");
}

template <typename Char>
BOOL DeliverDirectory(Char* buffer, LPDWORD size, const std::basic_string<Char>& text)
{
    if (size == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD needed = DWORD((text.size() + 1) * sizeof(Char));
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), needed);
    *size = needed;
    return TRUE;
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
    *isEnabled = State().value(QStringLiteral("calibrationManagement")).toBool() ? TRUE : FALSE;
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
    *usePerUserProfiles =
        At(State(), {QStringLiteral("usePerUserProfiles"), FromWide(deviceName)}).toBool() ? TRUE : FALSE;
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
    const QJsonValue name =
        At(State(), {QStringLiteral("defaults"), ScopeName(scope), FromWide(deviceName), SubTypeName(subType)});
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

BOOL InstallColorProfileA(LPCSTR machineName, LPCSTR profileName)
{
    if (machineName != nullptr || profileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("InstallColorProfileA")) {
        return FALSE;
    }
    if (!WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const QString source = WinSim::MapWindowsPath(FromNarrow(profileName));
    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    const QByteArray header = file.read(128);
    if (header.size() < 128 || header.mid(36, 4) != "acsp") {
        return Fail(ERROR_INVALID_PROFILE);
    }
    const QString name = ProfileFileName(source);
    const QString target = WinSim::ColorDirectory() + "/" + name;
    if (QFileInfo(source).canonicalFilePath() != QFileInfo(target).canonicalFilePath()) {
        const QString staging = target + ".installing";
        QFile::remove(staging);
        if (!QFile::copy(source, staging)) {
            QFile::remove(staging);
            return Fail(ERROR_ACCESS_DENIED);
        }
        QFile::remove(target);
        if (!QFile::rename(staging, target)) {
            QFile::remove(staging);
            return Fail(ERROR_ACCESS_DENIED);
        }
    }
    WinSim::Journal(QStringLiteral("colour-install"), name);
    return TRUE;
}

BOOL UninstallColorProfileA(LPCSTR machineName, LPCSTR profileName, BOOL deleteFile)
{
    if (machineName != nullptr || profileName == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("UninstallColorProfileA")) {
        return FALSE;
    }
    if (!WinSim::IsElevated()) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const QString name = ProfileFileName(FromNarrow(profileName));
    if (!IsInstalled(name)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    if (deleteFile && !QFile::remove(WinSim::ColorDirectory() + "/" + name)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    Update([&](QJsonObject& state) {
        for (const QString& key : {QStringLiteral("associations"), QStringLiteral("defaults"),
                                   QStringLiteral("displayAssociations")}) {
            if (state.contains(key)) {
                ForgetProfile(state[key], name);
            }
        }
    });
    WinSim::Journal(QStringLiteral("colour-uninstall"), name);
    return TRUE;
}

BOOL GetColorDirectoryA(LPCSTR machineName, LPSTR buffer, LPDWORD size)
{
    if (machineName != nullptr) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    if (Injected("GetColorDirectoryA")) {
        return FALSE;
    }
    return DeliverDirectory<char>(buffer, size, WinSim::ColorDirectory().toStdString());
}

BOOL GetColorDirectoryW(LPCWSTR machineName, LPWSTR buffer, LPDWORD size)
{
    if (machineName != nullptr) {
        return Fail(ERROR_NOT_SUPPORTED);
    }
    if (Injected("GetColorDirectoryW")) {
        return FALSE;
    }
    return DeliverDirectory<wchar_t>(buffer, size, WinSim::ColorDirectory().toStdWString());
}

namespace {

// The checks every display-association call makes before it touches the state: an injected
// failure for this adapter, an adapter the machine has, and elevation for machine-wide changes.
HRESULT CheckDisplayAssociationCall(const char* function, LUID adapter, WCS_PROFILE_MANAGEMENT_SCOPE scope,
                                    bool changesState)
{
    if (const HRESULT injected = InjectedHresult(function, QString::number(adapter.LowPart))) {
        return injected;
    }
    if (!KnownAdapter(adapter)) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    if (changesState && scope == WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE && !WinSim::IsElevated()) {
        return FailHresult(ERROR_ACCESS_DENIED);
    }
    return S_OK;
}

HRESULT AddDisplayAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, LUID adapter, UINT32 sourceId,
                              BOOL setAsDefault, BOOL advancedColor)
{
    if (profileName == nullptr) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileAddDisplayAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    if (!IsInstalled(name)) {
        return FailHresult(ERROR_FILE_NOT_FOUND);
    }
    const QStringList display{QStringLiteral("displayAssociations"), ScopeName(scope), DisplayKey(adapter, sourceId)};
    const QString list = advancedColor ? QStringLiteral("advancedColorProfiles") : QStringLiteral("profiles");
    const QString subType = SubTypeName(advancedColor ? CPST_EXTENDED_DISPLAY_COLOR_MODE : CPST_STANDARD_DISPLAY_COLOR_MODE);
    if (!Update([&](QJsonObject& state) {
            SetAt(state, display + QStringList{list}, WithName(At(state, display + QStringList{list}).toArray(), name));
            if (setAsDefault) {
                SetAt(state, display + QStringList{QStringLiteral("defaults"), subType}, name);
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    WinSim::Journal(QStringLiteral("colour-display-associate"), display.last() + " " + list + " " + name);
    return S_OK;
}

HRESULT RemoveDisplayAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, LUID adapter,
                                 UINT32 sourceId, BOOL advancedColor)
{
    if (profileName == nullptr) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileRemoveDisplayAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    const QStringList display{QStringLiteral("displayAssociations"), ScopeName(scope), DisplayKey(adapter, sourceId)};
    const QString list = advancedColor ? QStringLiteral("advancedColorProfiles") : QStringLiteral("profiles");
    const QString subType = SubTypeName(advancedColor ? CPST_EXTENDED_DISPLAY_COLOR_MODE : CPST_STANDARD_DISPLAY_COLOR_MODE);
    bool found = false;
    if (!Update([&](QJsonObject& state) {
            const QJsonArray before = At(state, display + QStringList{list}).toArray();
            const QJsonArray after = WithoutName(before, name);
            found = after.size() != before.size();
            SetAt(state, display + QStringList{list}, after);
            const QStringList defaultPath = display + QStringList{QStringLiteral("defaults"), subType};
            if (At(state, defaultPath).toString().compare(name, Qt::CaseInsensitive) == 0) {
                SetAt(state, defaultPath, QJsonValue(QJsonValue::Undefined));
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    if (!found) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    WinSim::Journal(QStringLiteral("colour-display-disassociate"), display.last() + " " + list + " " + name);
    return S_OK;
}

HRESULT SetDisplayDefaultAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, COLORPROFILETYPE type,
                                     COLORPROFILESUBTYPE subType, LUID adapter, UINT32 sourceId)
{
    if (profileName == nullptr || type != CPT_ICC ||
        (subType != CPST_STANDARD_DISPLAY_COLOR_MODE && subType != CPST_EXTENDED_DISPLAY_COLOR_MODE)) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileSetDisplayDefaultAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    const QStringList display{QStringLiteral("displayAssociations"), ScopeName(scope), DisplayKey(adapter, sourceId)};
    const QString list = subType == CPST_EXTENDED_DISPLAY_COLOR_MODE ? QStringLiteral("advancedColorProfiles")
                                                                     : QStringLiteral("profiles");
    bool associated = false;
    if (!Update([&](QJsonObject& state) {
            const QJsonArray profiles = At(state, display + QStringList{list}).toArray();
            associated = WithName(profiles, name).size() == profiles.size();
            if (associated) {
                SetAt(state, display + QStringList{QStringLiteral("defaults"), SubTypeName(subType)}, name);
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    if (!associated) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    WinSim::Journal(QStringLiteral("colour-display-default"), display.last() + " " + SubTypeName(subType) + " " + name);
    return S_OK;
}

HRESULT GetDisplayDefault(WCS_PROFILE_MANAGEMENT_SCOPE scope, LUID adapter, UINT32 sourceId, COLORPROFILETYPE type,
                          COLORPROFILESUBTYPE subType, PWSTR* profileName)
{
    if (profileName == nullptr || type != CPT_ICC || SubTypeName(subType).isEmpty()) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    *profileName = nullptr;
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileGetDisplayDefault", adapter, scope, false);
        refused != S_OK) {
        return refused;
    }
    const QJsonValue name = At(State(), {QStringLiteral("displayAssociations"), ScopeName(scope),
                                         DisplayKey(adapter, sourceId), QStringLiteral("defaults"),
                                         SubTypeName(subType)});
    if (!name.isString()) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    const std::wstring text = name.toString().toStdWString();
    auto* memory = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (memory == nullptr) {
        return FailHresult(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::wmemcpy(memory, text.c_str(), text.size() + 1);
    *profileName = memory;
    return S_OK;
}

const bool registered = WinSim::RegisterModule(
    "mscms.dll",
    {{"WcsGetCalibrationManagementState", WinSim::Export(&WcsGetCalibrationManagementState)},
     {"WcsSetCalibrationManagementState", WinSim::Export(&WcsSetCalibrationManagementState)}},
    {{ColorProfileAddDisplayAssociationOrdinal, WinSim::Export(&AddDisplayAssociation)},
     {ColorProfileRemoveDisplayAssociationOrdinal, WinSim::Export(&RemoveDisplayAssociation)},
     {ColorProfileSetDisplayDefaultAssociationOrdinal, WinSim::Export(&SetDisplayDefaultAssociation)},
     {ColorProfileGetDisplayDefaultOrdinal, WinSim::Export(&GetDisplayDefault)}},
    nullptr);

}  // namespace

namespace WinSim {

QString ColorDirectory(const QString& machine)
{
    return MapWindowsPath(QStringLiteral("C:/Windows/System32/spool/drivers/color"), machine);
}

QJsonObject ColorSystemState(const QString& machine)
{
    QJsonObject state = Detail::ReadStateFile(StateName, QJsonObject(), machine);
    if (!state.contains(QStringLiteral("calibrationManagement"))) {
        state.insert(QStringLiteral("calibrationManagement"), false);
    }
    QJsonArray installed;
    const QStringList files = QDir(ColorDirectory(machine)).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        installed.append(file);
    }
    state.insert(QStringLiteral("colorDirectory"), ColorDirectory(machine));
    state.insert(QStringLiteral("installed"), installed);
    return state;
}

}  // namespace WinSim
