#include "WindowsStandIn/DisplayDevices.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cwchar>

namespace {

// Copies `text` with its terminating zero; false when it does not fit.
template <size_t N>
bool CopyText(WCHAR (&target)[N], const QString& text)
{
    const std::wstring wide = text.toStdWString();
    if (wide.size() + 1 > N) {
        return false;
    }
    std::wmemcpy(target, wide.c_str(), wide.size() + 1);
    return true;
}

}  // namespace

BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD deviceIndex, DISPLAY_DEVICEW* displayDevice, DWORD)
{
    if (displayDevice == nullptr || displayDevice->cb != sizeof(DISPLAY_DEVICEW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (const auto code = WinSim::InjectedFailure(QStringLiteral("EnumDisplayDevicesW"))) {
        SetLastError(*code);
        return FALSE;
    }
    const QJsonArray displays = WinSim::DescriptionValue(QStringLiteral("displays")).toArray();
    const QJsonArray adapters = WinSim::DescriptionValue(QStringLiteral("adapters")).toArray();
    const DWORD size = displayDevice->cb;
    *displayDevice = DISPLAY_DEVICEW{};
    displayDevice->cb = size;

    if (device == nullptr) {
        if (deviceIndex >= DWORD(displays.size())) {
            SetLastError(ERROR_NO_MORE_ITEMS);
            return FALSE;
        }
        const QJsonObject display = displays[qsizetype(deviceIndex)].toObject();
        const QJsonObject adapter = adapters[display.value(QStringLiteral("adapter")).toInt()].toObject();
        const bool active = display.value(QStringLiteral("active")).toBool(true);
        CopyText(displayDevice->DeviceName, display.value(QStringLiteral("deviceName")).toString());
        CopyText(displayDevice->DeviceString, adapter.value(QStringLiteral("description")).toString());
        displayDevice->StateFlags = (active ? DISPLAY_DEVICE_ATTACHED_TO_DESKTOP : 0) |
                                    (deviceIndex == 0 ? DISPLAY_DEVICE_PRIMARY_DEVICE : 0);
        return TRUE;
    }

    const QString name = QString::fromWCharArray(device);
    for (const QJsonValue value : displays) {
        const QJsonObject display = value.toObject();
        if (display.value(QStringLiteral("deviceName")).toString().compare(name, Qt::CaseInsensitive) != 0) {
            continue;
        }
        if (deviceIndex != 0 || !display.value(QStringLiteral("active")).toBool(true)) {
            break;
        }
        if (!CopyText(displayDevice->DeviceName, name + "\\Monitor0") ||
            !CopyText(displayDevice->DeviceID, display.value(QStringLiteral("deviceId")).toString())) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        CopyText(displayDevice->DeviceString, QStringLiteral("Generic PnP Monitor"));
        displayDevice->StateFlags = DISPLAY_DEVICE_ACTIVE | DISPLAY_DEVICE_ATTACHED;
        return TRUE;
    }
    SetLastError(ERROR_NO_MORE_ITEMS);
    return FALSE;
}
