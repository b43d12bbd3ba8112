// Brightness operations of DisplayHelper.
#include "Common/HardwareInfo/DisplayHelper.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/Brightness.h"
#include "WindowsStandIn/FileSecurity.h"
#include "WindowsStandIn/Power.h"

#include <chrono>
#include <string>
#include <thread>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
namespace {

HANDLE OpenBrightnessDevice()
{
    return CreateFileW(L"\\\\.\\LCD", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

}  // namespace

const QList<std::uint32_t>& DisplayHelper::GetAvailableBrightnessLevels() const
{
    return m_BrightnessLevels;
}

int DisplayHelper::GetBrightnessLevel()
{
    HANDLE device = OpenBrightnessDevice();
    if (device == INVALID_HANDLE_VALUE) {
        throw GetBrightnessLevelException("Failed to get brightness level from the system.");
    }
    DISPLAY_BRIGHTNESS brightness{};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_VIDEO_QUERY_DISPLAY_BRIGHTNESS, nullptr, 0, &brightness, sizeof brightness,
                         &returned, nullptr)) {
        const DWORD error = GetLastError();
        CloseHandle(device);
        throw GetBrightnessLevelException(std::int32_t(error), "");
    }
    CloseHandle(device);
    return brightness.ucACBrightness;
}

void DisplayHelper::SetBrightnessLevel(int level)
{
    if (level < 0 || !m_BrightnessLevels.contains(std::uint32_t(level))) {
        throw SetBrightnessLevelException("Brightness level not supported by the panel");
    }
    HANDLE device = OpenBrightnessDevice();
    if (device == INVALID_HANDLE_VALUE) {
        throw SetBrightnessLevelException("Failed to set brightness level " + std::to_string(level) + " to the system.");
    }
    DISPLAY_BRIGHTNESS brightness{0, BYTE(level), BYTE(level)};
    DWORD returned = 0;
    if (!DeviceIoControl(device, IOCTL_VIDEO_SET_DISPLAY_BRIGHTNESS, &brightness, sizeof brightness, nullptr, 0,
                         &returned, nullptr)) {
        const DWORD error = GetLastError();
        CloseHandle(device);
        throw SetBrightnessLevelException(std::int32_t(error), "");
    }
    CloseHandle(device);
}

void DisplayHelper::SetBrightnessLevelForced(int level)
{
    const qsizetype index = level < 0 ? -1 : m_BrightnessLevels.indexOf(std::uint32_t(level));
    if (index < 0) {
        throw SetBrightnessLevelException("Brightness level not supported by the panel");
    }
    if (m_BrightnessLevels.size() > 1) {
        std::uint32_t neighbour = 0;
        if (index == 0) {
            neighbour = m_BrightnessLevels[1];
        } else if (index == m_BrightnessLevels.size() - 1) {
            neighbour = m_BrightnessLevels[index - 1];
        } else {
            const std::uint32_t previous = m_BrightnessLevels[index - 1];
            const std::uint32_t next = m_BrightnessLevels[index + 1];
            const std::uint32_t value = std::uint32_t(level);
            neighbour = value - previous < next - value ? previous : next;
        }
        SetBrightnessLevel(int(neighbour));
        std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    }
    SetBrightnessLevel(level);
}

void DisplayHelper::SetBrightnessLevelInPowerScheme(int level)
{
    if (level < 0 || !m_BrightnessLevels.contains(std::uint32_t(level))) {
        throw SetBrightnessLevelException("Brightness level not supported by the panel");
    }
    GUID* scheme = nullptr;
    if (const DWORD status = PowerGetActiveScheme(nullptr, &scheme); status != ERROR_SUCCESS) {
        throw ReadPowerSchemeException(std::int32_t(status), "Error using PowerGetActiveScheme");
    }
    struct Release {
        GUID* scheme;
        ~Release() { LocalFree(scheme); }
    } release{scheme};
    if (PowerWriteACValueIndex(nullptr, scheme, &GUID_VIDEO_SUBGROUP, &GUID_DEVICE_POWER_POLICY_VIDEO_BRIGHTNESS,
                               DWORD(level)) != ERROR_SUCCESS) {
        throw SetBrightnessLevelException("Error using PowerWriteACValueIndex");
    }
    if (PowerWriteDCValueIndex(nullptr, scheme, &GUID_VIDEO_SUBGROUP, &GUID_DEVICE_POWER_POLICY_VIDEO_BRIGHTNESS,
                               DWORD(level)) != ERROR_SUCCESS) {
        throw SetBrightnessLevelException("Error using PowerWriteDCValueIndex");
    }
    if (PowerSetActiveScheme(nullptr, scheme) != ERROR_SUCCESS) {
        throw SetBrightnessLevelException("Error using PowerSetActiveScheme");
    }
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
