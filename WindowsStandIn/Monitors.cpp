#include "WindowsStandIn/Monitors.h"

#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonObject>

#include <cstring>
#include <vector>

namespace {

constexpr LONG MonitorWidth = 1920;
constexpr LONG MonitorHeight = 1200;

struct Monitor {
    RECT rect;
    QByteArray deviceName;
};

std::vector<Monitor> Monitors()
{
    const WinSim::Displays::Machine machine = WinSim::Displays::Load();
    const bool clone = machine.topology == QLatin1String("clone");
    std::vector<Monitor> monitors;
    LONG nextX = 0;
    for (const WinSim::Displays::Display& display : machine.displays) {
        if (!display.active) {
            continue;
        }
        const QJsonObject position = display.json.value(QStringLiteral("position")).toObject();
        LONG x = clone ? 0 : nextX;
        LONG y = 0;
        if (!position.isEmpty()) {
            x = position.value(QStringLiteral("x")).toInt();
            y = position.value(QStringLiteral("y")).toInt();
        } else if (!clone) {
            nextX += MonitorWidth;
        }
        monitors.push_back({{x, y, x + MonitorWidth, y + MonitorHeight}, display.deviceName.toLatin1()});
    }
    return monitors;
}

HMONITOR HandleOf(std::size_t index)
{
    return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(index + 1));
}

const bool registered = WinSim::RegisterModule(
    "user32.dll",
    {{"EnumDisplayMonitors", WinSim::Export(&EnumDisplayMonitors)},
     {"GetMonitorInfoA", WinSim::Export(&GetMonitorInfoA)},
     {"MonitorFromWindow", WinSim::Export(&MonitorFromWindow)}},
    {}, [] { return WinSim::Displays::Fault("LoadLibrary", QStringLiteral("user32.dll")) == 0; });

}  // namespace

BOOL EnumDisplayMonitors(HDC dc, LPCRECT clip, MONITORENUMPROC callback, LPARAM data)
{
    if (dc != nullptr || clip != nullptr || callback == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<Monitor> monitors = Monitors();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        RECT rect = monitors[i].rect;
        if (!callback(HandleOf(i), nullptr, &rect, data)) {
            break;
        }
    }
    return TRUE;
}

BOOL GetMonitorInfoA(HMONITOR monitor, LPMONITORINFO info)
{
    if (const LONG fault = WinSim::Displays::Fault("GetMonitorInfoA"); fault != 0) {
        SetLastError(DWORD(fault));
        return FALSE;
    }
    if (info == nullptr || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXA))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::vector<Monitor> monitors = Monitors();
    const auto index = reinterpret_cast<std::uintptr_t>(monitor);
    if (index == 0 || index > monitors.size()) {
        SetLastError(ERROR_INVALID_MONITOR_HANDLE);
        return FALSE;
    }
    const Monitor& found = monitors[index - 1];
    info->rcMonitor = found.rect;
    info->rcWork = found.rect;
    info->dwFlags = found.rect.left == 0 && found.rect.top == 0 ? MONITORINFOF_PRIMARY : 0;
    if (info->cbSize == sizeof(MONITORINFOEXA)) {
        auto* extended = static_cast<MONITORINFOEXA*>(info);
        std::memset(extended->szDevice, 0, sizeof extended->szDevice);
        std::memcpy(extended->szDevice, found.deviceName.constData(),
                    std::min<std::size_t>(std::size_t(found.deviceName.size()), CCHDEVICENAME - 1));
    }
    return TRUE;
}

HMONITOR MonitorFromWindow(HWND, DWORD flags)
{
    if (flags == MONITOR_DEFAULTTONULL) {
        return nullptr;
    }
    const std::vector<Monitor> monitors = Monitors();
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (monitors[i].rect.left == 0 && monitors[i].rect.top == 0) {
            return HandleOf(i);
        }
    }
    return monitors.empty() ? nullptr : HandleOf(0);
}
