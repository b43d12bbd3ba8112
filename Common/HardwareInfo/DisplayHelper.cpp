#include "Common/HardwareInfo/DisplayHelper.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/Brightness.h"
#include "WindowsStandIn/DisplayDevices.h"
#include "WindowsStandIn/SetupApi.h"

#include <array>
#include <memory>
#include <vector>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
namespace {

// Enumerations end on "no more items"; this bound ends them when an index keeps failing otherwise.
constexpr DWORD MaxEnumerationIndex = 1024;

}  // namespace

IDisplayHelper* DisplayHelperFactory::Create(QString internalPanelId)
{
    return new DisplayHelper(internalPanelId);
}

DisplayHelper::DisplayHelper(const QString& internalPanelId)
    : m_InternalPanelId(internalPanelId),
      m_MonitorDataStorePath(QStringLiteral(
          "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\MonitorDataStore\\"))
{
    IdentifyInternalPanel();

    HANDLE device = CreateFileW(L"\\\\.\\LCD", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        throw GetAvailableBrightnessLevelsException("Failed to obtain brightness levels from the system.");
    }
    std::array<BYTE, 256> levels{};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS, nullptr, 0, levels.data(), DWORD(levels.size()),
                         &returned, nullptr)) {
        const DWORD error = GetLastError();
        CloseHandle(device);
        throw GetAvailableBrightnessLevelsException(std::int32_t(error), "");
    }
    for (DWORD i = 0; i < returned && i < levels.size(); ++i) {
        m_BrightnessLevels.append(levels[i]);
    }
    CloseHandle(device);

    m_NvApiAvailable = m_DdsInfoObtainer.InitializeNvApi();
    m_WindowsVersion = Windows::WindowsVersion().DisplayVersion();
}

DisplayHelper::~DisplayHelper() = default;

QList<DisplayAdapterInfo> DisplayHelper::GetAdapters()
{
    QList<DisplayAdapterInfo> adapters;
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    for (DWORD i = 0; EnumDisplayDevicesA(nullptr, i, &device, 0); ++i) {
        if ((device.StateFlags & DISPLAY_DEVICE_ATTACHED_TO_DESKTOP) != 0 &&
            (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) == 0) {
            adapters.append({QString::fromLocal8Bit(device.DeviceName), QString::fromLocal8Bit(device.DeviceString)});
        }
    }
    if (adapters.isEmpty()) {
        throw DisplayHelperException("Graphic adapter info not available.");
    }
    return adapters;
}

QList<DisplayMonitorInfo> DisplayHelper::GetMonitors(const DisplayAdapterInfo& adapter)
{
    QList<DisplayMonitorInfo> monitors;
    const QByteArray name = adapter.DeviceName.toLocal8Bit();
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    for (DWORD j = 0; EnumDisplayDevicesA(name.constData(), j, &device, EDD_GET_DEVICE_INTERFACE_NAME); ++j) {
        if ((device.StateFlags & DISPLAY_DEVICE_ACTIVE) != 0 && (device.StateFlags & DISPLAY_DEVICE_MIRRORING_DRIVER) == 0) {
            monitors.append({QString::fromLocal8Bit(device.DeviceID), QString::fromLocal8Bit(device.DeviceString),
                             device.StateFlags});
        }
    }
    if (monitors.isEmpty()) {
        throw DisplayHelperException("Monitor info not available.");
    }
    return monitors;
}

QString DisplayHelper::GetDisplayId(const QString& adapterDeviceName)
{
    const QByteArray name = adapterDeviceName.toLocal8Bit();
    DISPLAY_DEVICEA device{};
    device.cb = sizeof device;
    if (!EnumDisplayDevicesA(name.constData(), 0, &device, 0)) {
        throw GetDisplayIdException("Failed to obtain Display ID");
    }
    return QString::fromLocal8Bit(device.DeviceID);
}

QString DisplayHelper::GetInternalPanelId() const
{
    return m_InternalPanelId;
}

QString DisplayHelper::GetManufacturerId() const
{
    return m_ManufacturerId;
}

QString DisplayHelper::GetProductCode() const
{
    return m_ProductCode;
}

QString DisplayHelper::GetSerialNumber() const
{
    return m_SerialNumber;
}

QString DisplayHelper::GetAdapterDeviceName() const
{
    return m_AdapterDeviceName;
}

QString DisplayHelper::GetPanelText() const
{
    return m_PanelText;
}

void DisplayHelper::IdentifyInternalPanel()
{
    QString panelMonitor;
    bool found = false;
    for (const DisplayAdapterInfo& adapter : GetAdapters()) {
        for (const DisplayMonitorInfo& monitor : GetMonitors(adapter)) {
            if (monitor.DeviceID.contains(m_InternalPanelId, Qt::CaseSensitive)) {
                m_AdapterDeviceName = adapter.DeviceName;
                panelMonitor = monitor.DeviceID;
                found = true;
                break;
            }
        }
        if (found) {
            break;
        }
    }
    if (!found) {
        throw DisplayHelperException("Internal panel is not detected. Turn it ON and then please try again.");
    }
    std::int32_t unread = 0;
    for (const MonitorEdidRecord& record : ReadMonitorEdids(unread)) {
        if (record.DevicePath.compare(panelMonitor, Qt::CaseInsensitive) != 0) {
            continue;
        }
        // A key whose values could not be read is no panel without an EDID.
        if (record.ReadError != 0) {
            throw GetMonitorEdidException(record.ReadError, "Failed to obtain Monitor Edid");
        }
        m_ManufacturerId = record.ManufacturerId;
        m_ProductCode = QStringLiteral("%1").arg(record.ProductCode, 4, 16, QLatin1Char('0')).toUpper();
        m_SerialNumber = record.SerialText.simplified().remove(QLatin1Char('\n')).remove(QLatin1Char(' '));
        m_PanelText = record.PanelText;
        return;
    }
    // An interface that could not be read may be the panel's: that is a failed read, not a panel
    // without an EDID.
    if (unread != 0) {
        throw GetMonitorEdidException(unread, "Failed to obtain Monitor Edid");
    }
    throw DisplayHelperException("Failed to read Display Serial Number");
}

QList<MonitorEdidRecord> DisplayHelper::ReadMonitorEdids(std::int32_t& unread)
{
    HDEVINFO set = SetupDiGetClassDevsExW(&GUID_DEVINTERFACE_MONITOR, nullptr, nullptr,
                                          DIGCF_PRESENT | DIGCF_DEVICEINTERFACE, nullptr, nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        throw GetMonitorEdidException("Failed to obtain Monitor Edid");
    }
    QList<MonitorEdidRecord> records;
    for (DWORD index = 0; index < MaxEnumerationIndex; ++index) {
        SP_DEVICE_INTERFACE_DATA interfaceData{};
        interfaceData.cbSize = sizeof interfaceData;
        const auto remember = [&unread](DWORD error) {
            if (unread == 0) {
                unread = std::int32_t(error != 0 ? error : ERROR_GEN_FAILURE);
            }
        };
        if (!SetupDiEnumDeviceInterfaces(set, nullptr, &GUID_DEVINTERFACE_MONITOR, index, &interfaceData)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NO_MORE_ITEMS) {
                break;
            }
            remember(error);
            continue;
        }
        DWORD size = 0;
        if (SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, nullptr, 0, &size, nullptr) ||
            GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            remember(GetLastError());
            continue;
        }
        std::vector<std::byte> buffer(std::max<size_t>(size, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        SP_DEVINFO_DATA deviceInfo{};
        deviceInfo.cbSize = sizeof deviceInfo;
        if (!SetupDiGetDeviceInterfaceDetailW(set, &interfaceData, detail, size, nullptr, &deviceInfo)) {
            remember(GetLastError());
            continue;
        }
        HKEY key = SetupDiOpenDevRegKey(set, &deviceInfo, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE)) {
            // The interface is known but its device key is not readable: its record carries the error.
            MonitorEdidRecord record;
            record.DevicePath = QString::fromWCharArray(detail->DevicePath);
            record.ReadError = std::int32_t(GetLastError() != 0 ? GetLastError() : ERROR_GEN_FAILURE);
            records.append(record);
            continue;
        }
        MonitorEdidRecord record = ParseEdid(key);
        record.DevicePath = QString::fromWCharArray(detail->DevicePath);
        records.append(record);
        RegCloseKey(key);
    }
    SetupDiDestroyDeviceInfoList(set);
    return records;
}

MonitorEdidRecord DisplayHelper::ParseEdid(HKEY deviceKey)
{
    MonitorEdidRecord record;
    for (DWORD index = 0; index < MaxEnumerationIndex; ++index) {
        std::array<char, 128> name{};
        std::array<BYTE, 1024> data{};
        DWORD nameSize = DWORD(name.size());
        DWORD dataSize = DWORD(data.size());
        DWORD type = 0;
        const LSTATUS status = RegEnumValueA(deviceKey, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
        if (status == LSTATUS(ERROR_NO_MORE_ITEMS)) {
            break;
        }
        if (status != LSTATUS(ERROR_SUCCESS)) {
            if (record.ReadError == 0) {
                record.ReadError = std::int32_t(status);
            }
            continue;
        }
        if (std::string(name.data()) != "EDID") {
            continue;
        }
        // A short EDID is refused: the record keeps its empty fields.
        DecodeEdid(QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(dataSize)), record);
        record.ReadError = 0;
        break;
    }
    return record;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
