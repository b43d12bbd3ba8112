// HDR, bits per colour, advanced colour and calibration management of DisplayHelper.
#include "Common/HardwareInfo/DisplayHelper.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/HdrStateChecker.h"
#include "Common/HardwareInfo/TimestampedLog.h"
#include "WindowsStandIn/DisplayConfig.h"
#include "WindowsStandIn/Dxgi.h"
#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/RegistrySettings.h"

#include <QSettings>

#include <vector>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
namespace {

struct ActiveDisplayConfig {
    std::vector<DISPLAYCONFIG_PATH_INFO> paths;
    std::vector<DISPLAYCONFIG_MODE_INFO> modes;
};

ActiveDisplayConfig QueryActiveDisplayConfig()
{
    constexpr UINT32 flags = QDC_ONLY_ACTIVE_PATHS | QDC_VIRTUAL_MODE_AWARE;
    UINT32 pathCount = 0;
    UINT32 modeCount = 0;
    LONG result = GetDisplayConfigBufferSizes(flags, &pathCount, &modeCount);
    if (result != LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException(result, "GetDisplayConfigBufferSizes failed");
    }
    ActiveDisplayConfig config;
    config.paths.resize(std::max<UINT32>(pathCount, 1));
    config.modes.resize(std::max<UINT32>(modeCount, 1));
    result = QueryDisplayConfig(flags, &pathCount, config.paths.data(), &modeCount, config.modes.data(), nullptr);
    if (result != LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException(result, "QueryDisplayConfig failed");
    }
    config.paths.resize(pathCount);
    config.modes.resize(modeCount);
    return config;
}

using GetCalibrationState = BOOL (*)(BOOL*);
using SetCalibrationState = BOOL (*)(BOOL);

}  // namespace

bool DisplayHelper::IsHdrActive()
{
    try {
        HdrStateChecker checker;
        return checker.IsHdrActive();
    } catch (...) {
        return false;
    }
}

void DisplayHelper::SetHdrState(bool enable)
{
    const ActiveDisplayConfig config = QueryActiveDisplayConfig();
    const DISPLAYCONFIG_PATH_INFO* primary = nullptr;
    for (const DISPLAYCONFIG_PATH_INFO& path : config.paths) {
        if ((path.flags & DISPLAYCONFIG_PATH_ACTIVE) == 0) {
            continue;
        }
        // A path without a source mode (the invalid index marker) or with one outside the list has no position.
        const UINT32 modeIndex = SourceModeIndex(path.sourceInfo);
        if (modeIndex == DISPLAYCONFIG_SOURCE_MODE_IDX_INVALID || modeIndex >= config.modes.size()) {
            continue;
        }
        const DISPLAYCONFIG_MODE_INFO& mode = config.modes[modeIndex];
        if (mode.infoType == DISPLAYCONFIG_MODE_INFO_TYPE_SOURCE && mode.sourceMode.position.x == 0 &&
            mode.sourceMode.position.y == 0) {
            primary = &path;
            break;
        }
    }
    if (primary == nullptr) {
        throw DisplayHelperException("Primary path not found");
    }
    DISPLAYCONFIG_GET_ADVANCED_COLOR_INFO info{};
    info.header.type = DISPLAYCONFIG_DEVICE_INFO_GET_ADVANCED_COLOR_INFO;
    info.header.size = sizeof info;
    info.header.adapterId = primary->sourceInfo.adapterId;
    info.header.id = primary->targetInfo.id;
    LONG result = DisplayConfigGetDeviceInfo(&info.header);
    if (result != LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException(result, "Error getting HDR state");
    }
    if ((info.value & 0x1) == 0) {
        throw DisplayHelperException(0, "HDR is not supported on this display.");
    }
    DISPLAYCONFIG_SET_ADVANCED_COLOR_STATE state{};
    state.header.type = DISPLAYCONFIG_DEVICE_INFO_SET_ADVANCED_COLOR_STATE;
    state.header.size = sizeof state;
    state.header.adapterId = primary->sourceInfo.adapterId;
    state.header.id = primary->targetInfo.id;
    state.value = enable ? 1 : 0;
    result = DisplayConfigSetDeviceInfo(&state.header);
    if (result != LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException(result, "Error setting HDR state.");
    }
}

unsigned int DisplayHelper::GetBitsPerColor()
{
    if (FAILED(CoInitialize(nullptr))) {
        return 0;
    }
    unsigned int bits = 0;
    IDXGIFactory* factory = nullptr;
    if (SUCCEEDED(CreateDXGIFactory1(&factory))) {
        IDXGIAdapter1* adapter = nullptr;
        if (SUCCEEDED(factory->EnumAdapters1(0, &adapter))) {
            IDXGIOutput* output = nullptr;
            if (SUCCEEDED(adapter->EnumOutputs(0, &output))) {
                IDXGIOutput6* output6 = nullptr;
                if (SUCCEEDED(output->QueryOutput6(&output6))) {
                    DXGI_OUTPUT_DESC1 description{};
                    if (SUCCEEDED(output6->GetDesc1(&description))) {
                        bits = description.BitsPerColor;
                    }
                    output6->Release();
                }
                output->Release();
            }
            adapter->Release();
        }
        factory->Release();
    }
    CoUninitialize();
    return bits;
}

bool DisplayHelper::IsAtLeast24H2(const Windows::WindowsDisplayVersion& version)
{
    if (version.number != 24) {
        return version.number > 24;
    }
    if (version.letter != 'H') {
        return version.letter > 'H';
    }
    return version.release >= 2;
}

QString DisplayHelper::ReadMonitorDataStoreValue(const QString& name, const QString& fallback, const char* logLabel)
{
    QString value = fallback;
    const std::unique_ptr<QSettings> store = WinSim::OpenRegistrySettings(m_MonitorDataStorePath);
    const QStringList groups = store ? store->childGroups() : QStringList();
    WriteGenericLogLine(QStringLiteral("subGroups count: %1").arg(groups.size()).toStdString());
    for (const QString& group : groups) {
        const QString panelIdFromRegistry = group.left(7);
        WriteGenericLogLine(QStringLiteral("panelIdFromRegistry: %1").arg(panelIdFromRegistry).toStdString());
        WriteGenericLogLine(QStringLiteral("m_InternalPanelId: %1").arg(m_InternalPanelId).toStdString());
        if (panelIdFromRegistry != m_InternalPanelId) {
            continue;
        }
        const std::unique_ptr<QSettings> monitor = WinSim::OpenRegistrySettings(m_MonitorDataStorePath + group);
        if (monitor) {
            value = monitor->value(name, fallback).toString();
        }
        WriteGenericLogLine(QStringLiteral("%1: %2").arg(QLatin1String(logLabel), value).toStdString());
        break;
    }
    return value;
}

bool DisplayHelper::IsAdvancedColorEnabled()
{
    return ReadMonitorDataStoreValue(QStringLiteral("AdvancedColorEnabled"), QStringLiteral("0"), "IsACMActivated") ==
           QLatin1String("1");
}

bool DisplayHelper::IsAutoColorManagementEnabled()
{
    return ReadMonitorDataStoreValue(QStringLiteral("AutoColorManagementEnabled"), QStringLiteral("0"),
                                     "IsACMActivated") == QLatin1String("1");
}

bool DisplayHelper::IsACMSupported()
{
    const QString name = IsAtLeast24H2(m_WindowsVersion) ? QStringLiteral("AutoColorManagementEnabled")
                                                          : QStringLiteral("AdvancedColorEnabled");
    return ReadMonitorDataStoreValue(name, QStringLiteral("-1"), "IsACMSupported") != QLatin1String("-1");
}

bool DisplayHelper::EnableWindowsCalibrationManagement()
{
    HMODULE library = LoadLibraryW(L"mscms");
    if (library == nullptr) {
        return false;
    }
    const auto get = reinterpret_cast<GetCalibrationState>(GetProcAddress(library, "WcsGetCalibrationManagementState"));
    const auto set = reinterpret_cast<SetCalibrationState>(GetProcAddress(library, "WcsSetCalibrationManagementState"));
    if (get == nullptr || set == nullptr) {
        FreeLibrary(library);
        return false;
    }
    BOOL state = FALSE;
    if (get(&state) && state == FALSE) {
        set(TRUE);
        get(&state);
    }
    FreeLibrary(library);
    return state == TRUE;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
