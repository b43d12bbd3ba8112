#include "WindowsStandIn/Brightness.h"

#include "WindowsStandIn/Handles.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace {

struct BrightnessDevice : WinSim::Detail::HandleObject {};

// The display that owns the brightness device, or -1.
int PanelIndex(const WinSim::Displays::Machine& machine, QJsonObject* brightness)
{
    for (const auto& display : machine.displays) {
        const QJsonValue value = display.json.value(QStringLiteral("brightness"));
        if (display.present && value.isObject()) {
            *brightness = value.toObject();
            return display.index;
        }
    }
    return -1;
}

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

}  // namespace

HANDLE CreateFileW(LPCWSTR fileName, DWORD, DWORD, LPVOID, DWORD creationDisposition, DWORD, HANDLE)
{
    if (fileName == nullptr || QString::fromWCharArray(fileName).compare(QLatin1String("\\\\.\\LCD"), Qt::CaseInsensitive) != 0 ||
        creationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (const LONG fault = WinSim::Displays::Fault("CreateFileW"); fault != 0) {
        SetLastError(DWORD(fault));
        return INVALID_HANDLE_VALUE;
    }
    QJsonObject brightness;
    if (PanelIndex(WinSim::Displays::Load(), &brightness) < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    return static_cast<WinSim::Detail::HandleObject*>(new BrightnessDevice);
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inSize, LPVOID outBuffer, DWORD outSize,
                     LPDWORD bytesReturned, LPVOID)
{
    if (device == nullptr || device == INVALID_HANDLE_VALUE ||
        dynamic_cast<BrightnessDevice*>(static_cast<WinSim::Detail::HandleObject*>(device)) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    QJsonObject brightness;
    const int panel = PanelIndex(machine, &brightness);
    if (panel < 0) {
        return Fail(ERROR_GEN_FAILURE);  // the panel went away while the device was open
    }
    QList<BYTE> levels;
    for (const QJsonValue level : brightness.value(QStringLiteral("levels")).toArray()) {
        levels.append(BYTE(level.toInt()));
    }
    switch (ioControlCode) {
    case IOCTL_VIDEO_QUERY_SUPPORTED_BRIGHTNESS: {
        if (const LONG fault = WinSim::Displays::Fault("DeviceIoControl", QStringLiteral("0x230494")); fault != 0) {
            return Fail(DWORD(fault));
        }
        if (outBuffer == nullptr || outSize < DWORD(levels.size())) {
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::copy(levels.begin(), levels.end(), static_cast<BYTE*>(outBuffer));
        if (bytesReturned != nullptr) {
            *bytesReturned = DWORD(levels.size());
        }
        return TRUE;
    }
    case IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS: {
        if (const LONG fault = WinSim::Displays::Fault("DeviceIoControl", QStringLiteral("0x230498")); fault != 0) {
            return Fail(DWORD(fault));
        }
        if (outBuffer == nullptr || outSize < sizeof(DISPLAY_BRIGHTNESS)) {
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        const BYTE current = BYTE(brightness.value(QStringLiteral("current")).toInt());
        *static_cast<DISPLAY_BRIGHTNESS*>(outBuffer) = {DISPLAYPOLICY_BOTH, current, current};
        if (bytesReturned != nullptr) {
            *bytesReturned = sizeof(DISPLAY_BRIGHTNESS);
        }
        return TRUE;
    }
    case IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS: {
        if (const LONG fault = WinSim::Displays::Fault("DeviceIoControl", QStringLiteral("0x23049C")); fault != 0) {
            return Fail(DWORD(fault));
        }
        if (inBuffer == nullptr || inSize < sizeof(DISPLAY_BRIGHTNESS)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        const auto* request = static_cast<const DISPLAY_BRIGHTNESS*>(inBuffer);
        // The machine runs on AC power: the AC level is the one shown.
        if (!levels.contains(request->ucACBrightness)) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        WinSim::Displays::SetDisplayValue(panel, QStringLiteral("brightness.current"), int(request->ucACBrightness));
        if (bytesReturned != nullptr) {
            *bytesReturned = 0;
        }
        return TRUE;
    }
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}
