#include "Common/HardwareInfo/MultiScreenHandler.h"

#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/Monitors.h"

#include <vector>

namespace {

struct MonitorEntry {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
    std::int32_t index;
    std::uint32_t primary;
    std::string deviceName;
};

// Filled once, on the GUI thread, before any other thread could make a handler.
std::vector<MonitorEntry> monitorTable;
bool monitorTableFilled = false;

using EnumDisplayMonitorsFunction = BOOL (*)(HDC, LPCRECT, MONITORENUMPROC, LPARAM);
using MonitorFromWindowFunction = HMONITOR (*)(HWND, DWORD);
using GetMonitorInfoAFunction = BOOL (*)(HMONITOR, LPMONITORINFO);

constexpr int User32Missing = 20005;

struct User32 {
    EnumDisplayMonitorsFunction enumDisplayMonitors = nullptr;
    MonitorFromWindowFunction monitorFromWindow = nullptr;
    GetMonitorInfoAFunction getMonitorInfoA = nullptr;
};

User32& BoundUser32()
{
    static User32 functions;
    return functions;
}

// Binds the user32 functions once: 0 when all three are there, User32Missing otherwise.
int LoadUser32()
{
    static const int result = [] {
        User32& functions = BoundUser32();
        HMODULE module = LoadLibraryA("user32.dll");
        if (module != nullptr) {
            functions.enumDisplayMonitors =
                reinterpret_cast<EnumDisplayMonitorsFunction>(GetProcAddress(module, "EnumDisplayMonitors"));
            functions.monitorFromWindow =
                reinterpret_cast<MonitorFromWindowFunction>(GetProcAddress(module, "MonitorFromWindow"));
            functions.getMonitorInfoA = reinterpret_cast<GetMonitorInfoAFunction>(GetProcAddress(module, "GetMonitorInfoA"));
        }
        return functions.enumDisplayMonitors != nullptr && functions.monitorFromWindow != nullptr &&
                       functions.getMonitorInfoA != nullptr
                   ? 0
                   : User32Missing;
    }();
    return result;
}

BOOL AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    if (data == 0) {
        return TRUE;
    }
    const GetMonitorInfoAFunction getMonitorInfo = BoundUser32().getMonitorInfoA;
    MONITORINFOEXA info{};
    info.cbSize = sizeof(info);
    const BOOL result = getMonitorInfo != nullptr ? getMonitorInfo(monitor, &info) : FALSE;
    if (!result) {
        return FALSE;
    }
    info.szDevice[CCHDEVICENAME - 1] = '\0';
    monitorTable.push_back({std::int16_t(info.rcMonitor.top), std::int16_t(info.rcMonitor.left),
                            std::int16_t(info.rcMonitor.bottom), std::int16_t(info.rcMonitor.right),
                            std::int32_t(monitorTable.size()), info.dwFlags & MONITORINFOF_PRIMARY, info.szDevice});
    return result;
}

}  // namespace

TMultiScreenHandler::TMultiScreenHandler()
{
    if (monitorTableFilled) {
        return;
    }
    if (LoadUser32() == 0) {
        BoundUser32().enumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(this));
    }
    monitorTableFilled = true;
}

TMultiScreenHandler::~TMultiScreenHandler() = default;

std::string TMultiScreenHandler::GetMonitorDeviceName(int index)
{
    if (index < 0 || std::size_t(index) >= monitorTable.size()) {
        return std::string();
    }
    return monitorTable[std::size_t(index)].deviceName;
}

TQalloMultiScreenHandler::TQalloMultiScreenHandler() : TMultiScreenHandler(), reserved(0) {}

TQalloMultiScreenHandler::~TQalloMultiScreenHandler() = default;
