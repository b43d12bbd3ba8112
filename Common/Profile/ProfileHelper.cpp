#include "Common/Profile/ProfileHelper.h"

#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/MultiScreenHandler.h"
#include "Common/Profile/TessalyCommand.h"
#include "Common/Spectrine/Resource.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/DisplayDevices.h"
#include "WindowsStandIn/Dxgi.h"
#include "WindowsStandIn/Files.h"
#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Time.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace Korvel::DisplayCalibration::Common::Profile {

namespace {

constexpr int DeviceIdTries = 10;
constexpr DWORD DeviceIdRetryWaitMs = 200;
constexpr DWORD ColorDirectorySize = 260;
constexpr size_t ProfileNameLength = 260;

std::wstring Wide(const QString& text)
{
    return text.toStdWString();
}

// The display-association functions of mscms.dll, bound by ordinal once per process.
struct DisplayAssociation {
    ColorProfileAddDisplayAssociationFunction add = nullptr;
    ColorProfileRemoveDisplayAssociationFunction remove = nullptr;
    ColorProfileSetDisplayDefaultAssociationFunction setDefault = nullptr;
    ColorProfileGetDisplayDefaultFunction getDefault = nullptr;
};

const DisplayAssociation& DisplayAssociationFunctions()
{
    static const DisplayAssociation functions = [] {
        DisplayAssociation bound;
        const HMODULE module = LoadLibraryA("mscms.dll");
        if (module == nullptr) {
            return bound;
        }
        bound.add = reinterpret_cast<ColorProfileAddDisplayAssociationFunction>(
            GetProcAddress(module, MAKEINTRESOURCEA(ColorProfileAddDisplayAssociationOrdinal)));
        bound.remove = reinterpret_cast<ColorProfileRemoveDisplayAssociationFunction>(
            GetProcAddress(module, MAKEINTRESOURCEA(ColorProfileRemoveDisplayAssociationOrdinal)));
        bound.setDefault = reinterpret_cast<ColorProfileSetDisplayDefaultAssociationFunction>(
            GetProcAddress(module, MAKEINTRESOURCEA(ColorProfileSetDisplayDefaultAssociationOrdinal)));
        bound.getDefault = reinterpret_cast<ColorProfileGetDisplayDefaultFunction>(
            GetProcAddress(module, MAKEINTRESOURCEA(ColorProfileGetDisplayDefaultOrdinal)));
        return bound;
    }();
    return functions;
}

// The profile files of the colour directory (unsorted).
QStringList InstalledProfileFiles(const QString& directory)
{
    return QDir(directory).entryList({QStringLiteral("*.icm"), QStringLiteral("*.ICM")}, QDir::Files, QDir::Unsorted);
}

// `token` standing alone in a file name: not preceded or followed by a letter or digit, so
// "KV_Native_HDR.icm" holds "Native" while "MyNativeSpace.icm" does not.
bool HasNameToken(const QString& fileName, const QString& token)
{
    const QRegularExpression pattern("(^|[^A-Za-z0-9])" + QRegularExpression::escape(token) + "([^A-Za-z0-9]|$)");
    return pattern.match(fileName).hasMatch();
}

// The colour directory is the system's: without elevation Windows refuses the deletion (and the
// profiles stay installed), so an unelevated clean-up loses nothing.
void DeleteProfileFile(const QString& path)
{
    DeleteFileW(Wide(path).c_str());
}

}  // namespace

ProfileHelper::ProfileHelper()
{
    {
        const TQalloMultiScreenHandler monitors;
        deviceName = QString::fromStdString(TMultiScreenHandler::GetMonitorDeviceName(0));
    }
    deviceId = DisplayDeviceId();
    colorDirectory = ReadColorDirectory();
    toolPath = TessalyCommand::ToolPath();
}

QString ProfileHelper::DisplayDeviceId() const
{
    for (int attempt = 0; attempt < DeviceIdTries; ++attempt) {
        DISPLAY_DEVICEW device{};
        device.cb = sizeof(device);
        if (EnumDisplayDevicesW(Wide(deviceName).c_str(), 0, &device, 0)) {
            return QString::fromWCharArray(device.DeviceID);
        }
        WinSim::Pause(DeviceIdRetryWaitMs);
    }
    const DWORD error = GetLastError();
    const auto settings = WinSim::OpenRegistrySettings(TessalyCommand::PanelKey());
    if (settings) {
        const QString stored = settings->value(DisplayDeviceIdValue).toString();
        if (!stored.isEmpty()) {
            return stored;
        }
    }
    throw GetDeviceIdException(std::int32_t(error),
                               ("Failed to get Display Device ID for device name: " + deviceName).toStdString());
}

QString ProfileHelper::ReadColorDirectory()
{
    char buffer[ColorDirectorySize] = {};
    DWORD size = sizeof(buffer);
    if (!GetColorDirectoryA(nullptr, buffer, &size)) {
        throw GetColorDirectoryPathException(std::int32_t(GetLastError()), std::string());
    }
    return QString::fromUtf8(buffer);
}

const QString& ProfileHelper::ColorDirectory() const
{
    return colorDirectory;
}

const QString& ProfileHelper::GetDeviceId() const
{
    return deviceId;
}

bool ProfileHelper::GetColorCalibrationState()
{
    BOOL enabled = FALSE;
    if (!WcsGetCalibrationManagementState(&enabled)) {
        throw GetColorCalibrationException(std::int32_t(GetLastError()), std::string());
    }
    return enabled == TRUE;
}

bool ProfileHelper::IsProfileInstalled(const QString& name)
{
    return QFileInfo(colorDirectory + "/" + name).isFile();
}

void ProfileHelper::DisassociateProfile(const QString& profile)
{
    DisassociateColorProfileFromDeviceW(nullptr, Wide(profile).c_str(), Wide(deviceId).c_str());
}

void ProfileHelper::AssociateProfile(const QString& profile)
{
    AssociateColorProfileWithDeviceW(nullptr, Wide(profile).c_str(), Wide(deviceId).c_str());
}

void ProfileHelper::DisassociateSrgbProfile()
{
    DisassociateProfile(WindowsSrgbProfileFileName);
}

void ProfileHelper::AssociateSrgbProfile()
{
    AssociateProfile(WindowsSrgbProfileFileName);
}

std::vector<LUID> ProfileHelper::FindAdapter()
{
    std::vector<LUID> adapters;
    if (FAILED(CreateDXGIFactory6(0))) {
        return adapters;
    }
    DXGI_ADAPTER_DESC1 desc;
    for (UINT index = 0;
         SUCCEEDED(EnumAdapterByGpuPreference(index, DXGI_GPU_PREFERENCE_UNSPECIFIED, &desc)); ++index) {
        if ((desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) == 0) {
            adapters.push_back(desc.AdapterLuid);
        }
    }
    return adapters;
}

void ProfileHelper::ActivateProfile(const QString& name, bool advancedColor)
{
    const std::string failure = ("Failed to activate " + name + " profile").toStdString();
    if (!advancedColor) {
        if (!WcsSetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, Wide(deviceId).c_str(), CPT_ICC,
                                       CPST_RGB_WORKING_SPACE, 0, Wide(name).c_str())) {
            throw ActivateProfileException(std::int32_t(GetLastError()), failure);
        }
        return;
    }
    const std::vector<LUID> adapters = FindAdapter();
    if (adapters.empty()) {
        throw ActivateProfileException(std::int32_t(GetLastError()), failure + " - no suitable adapter found");
    }
    const DisplayAssociation& functions = DisplayAssociationFunctions();
    if (functions.add == nullptr || functions.setDefault == nullptr) {
        throw ActivateProfileException(std::int32_t(GetLastError()), failure);
    }
    const std::wstring path = Wide(colorDirectory + "\\" + name);
    for (const LUID& adapter : adapters) {
        if (adapter.LowPart == 0) {
            continue;
        }
        if (FAILED(functions.add(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, path.c_str(), adapter, 0, TRUE, TRUE))) {
            continue;
        }
        if (SUCCEEDED(functions.setDefault(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, path.c_str(), CPT_ICC,
                                           CPST_EXTENDED_DISPLAY_COLOR_MODE, adapter, 0))) {
            return;
        }
    }
    throw ActivateProfileException(std::int32_t(GetLastError()), failure);
}

void ProfileHelper::ActivateSrgbProfile()
{
    ActivateProfile(WindowsSrgbProfileFileName, false);
}

void ProfileHelper::RemoveAdvancedColorAssociation(const QString& name)
{
    const std::vector<LUID> adapters = FindAdapter();
    if (adapters.empty()) {
        throw RemoveAdvancedColorAssociationException(
            ("Failed to disassociate " + name + "error : " + QString::number(GetLastError())).toStdString());
    }
    const DisplayAssociation& functions = DisplayAssociationFunctions();
    if (functions.remove == nullptr) {
        return;
    }
    const std::wstring path = Wide(colorDirectory + "\\" + name);
    for (const LUID& adapter : adapters) {
        if (adapter.LowPart != 0) {
            functions.remove(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, path.c_str(), adapter, 0, TRUE);
        }
    }
}

// The failure's code is ERROR_NOT_FOUND only when every adapter asked answered that it has no default.
QString ProfileHelper::ReadAdapterDefault(int subType)
{
    const std::vector<LUID> adapters = FindAdapter();
    const DisplayAssociation& functions = DisplayAssociationFunctions();
    DWORD failure = ERROR_GEN_FAILURE;
    bool asked = false;
    if (!adapters.empty() && functions.getDefault != nullptr) {
        for (const LUID& adapter : adapters) {
            if (adapter.LowPart == 0) {
                continue;
            }
            PWSTR name = nullptr;
            const HRESULT result = functions.getDefault(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, adapter, 0, CPT_ICC,
                                                        COLORPROFILESUBTYPE(subType), &name);
            if (SUCCEEDED(result) && name != nullptr) {
                const QString profile = QString::fromWCharArray(name);
                LocalFree(name);
                return profile;
            }
            const DWORD code = SUCCEEDED(result) ? ERROR_INVALID_DATA : GetLastError();
            if (!asked || failure == ERROR_NOT_FOUND) {
                failure = code;
            }
            asked = true;
        }
    }
    throw ReadActiveProfileException(std::int32_t(failure), std::string());
}

QString ProfileHelper::ReadActiveProfile(bool advancedColor)
{
    if (advancedColor) {
        return ReadAdapterDefault(CPST_EXTENDED_DISPLAY_COLOR_MODE);
    }
    WCHAR buffer[ProfileNameLength] = {};
    if (!WcsGetDefaultColorProfile(WCS_PROFILE_MANAGEMENT_SCOPE_CURRENT_USER, Wide(deviceId).c_str(), CPT_ICC,
                                   CPST_RGB_WORKING_SPACE, 0, sizeof(buffer), buffer)) {
        throw ReadActiveProfileException(std::int32_t(GetLastError()), std::string());
    }
    buffer[ProfileNameLength - 1] = 0;
    return QString::fromWCharArray(buffer);
}

QString ProfileHelper::ReadActiveHdrProfile(bool extended)
{
    return ReadAdapterDefault(extended ? CPST_EXTENDED_DISPLAY_COLOR_MODE : CPST_STANDARD_DISPLAY_COLOR_MODE);
}

// A setting that cannot be read is reported as such, never as switched off.
bool ProfileHelper::IsUserProfileListEnabled()
{
    BOOL enabled = FALSE;
    if (!WcsGetUsePerUserProfiles(Wide(deviceId).c_str(), CLASS_MONITOR, &enabled)) {
        throw ReadUserProfileListException(std::int32_t(GetLastError()),
                                           "Failed to read \"Use my settings for this device\" option");
    }
    return enabled == TRUE;
}

void ProfileHelper::EnableUserProfileList()
{
    if (!WcsSetUsePerUserProfiles(Wide(deviceId).c_str(), CLASS_MONITOR, TRUE)) {
        throw EnableUserProfileListException(std::int32_t(GetLastError()), std::string());
    }
}

void ProfileHelper::DisableUserProfileList()
{
    if (!WcsSetUsePerUserProfiles(Wide(deviceId).c_str(), CLASS_MONITOR, FALSE)) {
        throw DisableUserProfileListException(std::int32_t(GetLastError()), std::string());
    }
}

// The system's own SDR profiles: the native ones, the ones without MHC2 correction, and those
// carrying brightness metadata. HDR10 profiles are left to the HDR10 set.
QStringList ProfileHelper::InstalledSdrSet() const
{
    QStringList names;
    for (const QString& name : InstalledProfileFiles(colorDirectory)) {
        if (HasNameToken(name, QStringLiteral("HDR10"))) {
            continue;
        }
        if (HasNameToken(name, NativeProfileName) || HasNameToken(name, QStringLiteral("NO_MHC2")) ||
            CarriesBrightnessMetadata(colorDirectory + "/" + name)) {
            names << name;
        }
    }
    return names;
}

QStringList ProfileHelper::InstalledHdr10Set() const
{
    QStringList names;
    for (const QString& name : InstalledProfileFiles(colorDirectory)) {
        if (HasNameToken(name, QStringLiteral("HDR10"))) {
            names << name;
        }
    }
    return names;
}

void ProfileHelper::RemoveInstalledSdrProfiles()
{
    for (const QString& name : InstalledSdrSet()) {
        DeleteProfileFile(colorDirectory + "/" + name);
    }
}

void ProfileHelper::RemoveInstalledHdr10Profiles()
{
    for (const QString& name : InstalledHdr10Set()) {
        DeleteProfileFile(colorDirectory + "/" + name);
    }
}

namespace {

using EngineString = Spectrine::UniString;
using EngineProfile = Spectrine::Profile;

const QString BrightnessName = QStringLiteral("Brightness");

// Reads the "Brightness" value of the profile's metadata into `text`: KVSuccess, KVErrorTagNotFound
// when the profile has no 'meta' tag, KVErrorNameNotFound when the dictionary has no such value, or
// the engine's error when the file cannot be read or is no profile.
KVStatus ReadBrightnessText(const QString& path, QString& text)
{
    const EngineString enginePath(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
    KVStatus status = KVSuccess;
    const bool tagged = KVIsTagInProfile(enginePath.Get(), KVTagSignature("meta"), &status);
    if (status != KVSuccess) {
        return status;
    }
    if (!tagged) {
        return KVErrorTagNotFound;
    }
    const EngineProfile profile(KVProfileFromPathCreate(enginePath.Get(), &status));
    if (status != KVSuccess || !profile) {
        return status != KVSuccess ? status : KVErrorInvalidProfile;
    }
    const EngineString name(KVUniStringCreateFromUtf8(BrightnessName.toUtf8().constData()));
    const EngineString value(KVProfileGetMetaDataValueForName(profile.Get(), name.Get(), &status));
    if (status == KVSuccess) {
        text = QString::fromUtf8(KVUniStringToUtf8(value.Get()));
    }
    return status;
}

// The file carries no brightness of ours: no metadata, or no profile at all (a damaged or foreign
// file, or one removed since it was listed). Any other status is a read that failed.
bool CarriesNoBrightness(KVStatus status)
{
    return status == KVErrorTagNotFound || status == KVErrorNameNotFound || status == KVErrorInvalidProfile ||
           status == KVErrorFileNotFound;
}

// True with the brightness text; false when the file carries none; throws when the read failed.
bool ReadBrightness(const QString& path, QString& text)
{
    const KVStatus status = ReadBrightnessText(path, text);
    if (status == KVSuccess) {
        return true;
    }
    if (CarriesNoBrightness(status)) {
        return false;
    }
    throw ReadProfileBrightnessException(("Failed to read the metadata of the profile " + path).toStdString() +
                                         ". Colour engine status: " + std::to_string(status));
}

}  // namespace

bool ProfileHelper::CarriesBrightnessMetadata(const QString& path)
{
    QString text;
    return ReadBrightnessText(path, text) == KVSuccess;
}

// HDR profiles are known by "hdr" in their file name (the folders on the way do not count).
bool ProfileHelper::HasBrightnessMetadata(const QString& path)
{
    QString fileName = path;
    fileName.replace('\\', '/');
    if (fileName.section('/', -1).contains(QLatin1String("hdr"))) {
        return true;
    }
    QString text;
    return ReadBrightness(path, text);
}

int ProfileHelper::ReadProfileBrightness(const QString& path)
{
    QString text;
    if (!ReadBrightness(path, text)) {
        return defaultBrightness;
    }
    bool ok = false;
    const int whole = text.toInt(&ok, 10);
    if (ok) {
        return whole;
    }
    const double number = text.toDouble(&ok);
    // A value outside the integer range cannot be a brightness.
    if (!ok || !std::isfinite(number) || std::trunc(number) < double(std::numeric_limits<int>::min()) ||
        std::trunc(number) > double(std::numeric_limits<int>::max())) {
        throw ReadProfileBrightnessException(std::string());
    }
    return int(std::trunc(number));
}

IProfileHelper* ProfileHelperFactory::Create()
{
    return new ProfileHelper();
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
