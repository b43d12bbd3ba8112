#include "WindowsStandIn/SetupApi.h"

#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cstddef>
#include <string>

namespace {

struct DeviceSet {
    QList<WinSim::Displays::Display> monitors;  // present monitors, in description order
};

bool Fail(DWORD code)
{
    SetLastError(code);
    return false;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsExW(const GUID* classGuid, LPCWSTR, HWND, DWORD flags, HDEVINFO, LPCWSTR, LPVOID)
{
    if (const LONG fault = WinSim::Displays::Fault("SetupDiGetClassDevsExW"); fault != 0) {
        SetLastError(DWORD(fault));
        return INVALID_HANDLE_VALUE;
    }
    auto* set = new DeviceSet;
    if (classGuid != nullptr && *classGuid == GUID_DEVINTERFACE_MONITOR && (flags & DIGCF_DEVICEINTERFACE) != 0) {
        for (const auto& display : WinSim::Displays::Load().displays) {
            if (display.present) {
                set->monitors.append(display);
            }
        }
    }
    return set;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA*, const GUID*, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* interfaceData)
{
    if (set == nullptr || set == INVALID_HANDLE_VALUE || interfaceData == nullptr ||
        interfaceData->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (const LONG fault = WinSim::Displays::Fault("SetupDiEnumDeviceInterfaces"); fault != 0) {
        return Fail(DWORD(fault));
    }
    const auto* devices = static_cast<DeviceSet*>(set);
    if (index >= DWORD(devices->monitors.size())) {
        return Fail(ERROR_NO_MORE_ITEMS);
    }
    interfaceData->InterfaceClassGuid = GUID_DEVINTERFACE_MONITOR;
    interfaceData->Flags = 0x1;  // SPINT_ACTIVE
    interfaceData->Reserved = index;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* interfaceData,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                      LPDWORD requiredSize, SP_DEVINFO_DATA* deviceInfo)
{
    if (set == nullptr || set == INVALID_HANDLE_VALUE || interfaceData == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const auto* devices = static_cast<DeviceSet*>(set);
    const std::uintptr_t index = interfaceData->Reserved;
    if (index >= std::uintptr_t(devices->monitors.size())) {
        return Fail(ERROR_NO_SUCH_DEVINST);
    }
    // Windows hands the interface path out in lower case.
    const std::wstring path = devices->monitors[qsizetype(index)].InterfacePath().toLower().toStdWString();
    const DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) + (path.size() + 1) * sizeof(WCHAR));
    if (requiredSize != nullptr) {
        *requiredSize = needed;
    }
    if (detail == nullptr || detailSize < needed) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    std::copy(path.c_str(), path.c_str() + path.size() + 1, detail->DevicePath);
    if (deviceInfo != nullptr) {
        if (deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        deviceInfo->DevInst = DWORD(index);
        deviceInfo->Reserved = index;
    }
    return TRUE;
}

HKEY SetupDiOpenDevRegKey(HDEVINFO set, SP_DEVINFO_DATA* deviceInfo, DWORD, DWORD, DWORD keyType, REGSAM)
{
    const auto invalid = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);
    if (set == nullptr || set == INVALID_HANDLE_VALUE || deviceInfo == nullptr || keyType != DIREG_DEV) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return invalid;
    }
    if (const LONG fault = WinSim::Displays::Fault("SetupDiOpenDevRegKey"); fault != 0) {
        SetLastError(DWORD(fault));
        return invalid;
    }
    const auto* devices = static_cast<DeviceSet*>(set);
    if (deviceInfo->Reserved >= std::uintptr_t(devices->monitors.size())) {
        SetLastError(ERROR_NO_SUCH_DEVINST);
        return invalid;
    }
    const WinSim::Displays::Display& display = devices->monitors[qsizetype(deviceInfo->Reserved)];
    std::vector<std::pair<QString, WinSim::Registry::Value>> values;
    for (const QJsonValue entry : display.json.value(QStringLiteral("deviceValues")).toArray()) {
        const QJsonObject object = entry.toObject();
        values.emplace_back(object.value(QStringLiteral("name")).toString(),
                            WinSim::Registry::Value{REG_BINARY,
                                                    QByteArray::fromHex(object.value(QStringLiteral("hex")).toString().toLatin1())});
    }
    if (!display.edid.isEmpty()) {
        values.emplace_back(QStringLiteral("EDID"), WinSim::Registry::Value{REG_BINARY, display.edid});
    }
    return WinSim::Registry::OpenValueSnapshot(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Enum\\DISPLAY\\%1\\%2\\Device Parameters")
            .arg(display.pnpId, display.instance),
        std::move(values));
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    if (set == nullptr || set == INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete static_cast<DeviceSet*>(set);
    return TRUE;
}
