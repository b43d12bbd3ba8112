#include "WindowsStandIn/Power.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Messages.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QMutex>

#include <cstdlib>
#include <map>
#include <memory>

namespace {

const QString BalancedScheme = QStringLiteral("381B4222-F694-41F0-9685-FF5BB260DF2E");

QString ActiveScheme()
{
    return WinSim::DescriptionValue(QStringLiteral("power.activeScheme")).toString(BalancedScheme).toUpper();
}

DWORD WriteValue(const char* fault, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value,
                 const QString& which)
{
    if (scheme == nullptr || subgroup == nullptr || setting == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG code = WinSim::Displays::Fault(fault); code != 0) {
        return DWORD(code);
    }
    WinSim::SetDescriptionValue(
        QStringLiteral("power.schemes.%1.%2.%3").arg(GuidToText(*scheme), GuidToText(*setting), which), qint64(value));
    return ERROR_SUCCESS;
}

// The live registrations of this process (a registration never unregistered ends with it).
struct Registrations {
    QMutex mutex;
    std::map<PVOID, std::unique_ptr<GUID>> handles;
};

Registrations& LiveRegistrations()
{
    static Registrations registrations;
    return registrations;
}

}  // namespace

DWORD PowerGetActiveScheme(HKEY, GUID** activePolicy)
{
    if (activePolicy == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = WinSim::Displays::Fault("PowerGetActiveScheme"); fault != 0) {
        return DWORD(fault);
    }
    auto* guid = static_cast<GUID*>(std::malloc(sizeof(GUID)));
    if (guid == nullptr) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (!GuidFromText(ActiveScheme(), *guid)) {
        std::free(guid);
        return ERROR_INVALID_DATA;
    }
    *activePolicy = guid;
    return ERROR_SUCCESS;
}

DWORD PowerWriteACValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value)
{
    return WriteValue("PowerWriteACValueIndex", scheme, subgroup, setting, value, QStringLiteral("ac"));
}

DWORD PowerWriteDCValueIndex(HKEY, const GUID* scheme, const GUID* subgroup, const GUID* setting, DWORD value)
{
    return WriteValue("PowerWriteDCValueIndex", scheme, subgroup, setting, value, QStringLiteral("dc"));
}

DWORD PowerSetActiveScheme(HKEY, const GUID* scheme)
{
    if (scheme == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (const LONG fault = WinSim::Displays::Fault("PowerSetActiveScheme"); fault != 0) {
        return DWORD(fault);
    }
    const QString name = GuidToText(*scheme);
    WinSim::SetDescriptionValue(QStringLiteral("power.activeScheme"), name);
    // The machine runs on AC power: the scheme's AC brightness becomes the panel's level.
    const QJsonValue level = WinSim::DescriptionValue(
        QStringLiteral("power.schemes.%1.%2.ac").arg(name, GuidToText(GUID_DEVICE_POWER_POLICY_VIDEO_BRIGHTNESS)));
    if (level.isDouble()) {
        for (const auto& display : WinSim::Displays::Load().displays) {
            if (display.present && display.json.value(QStringLiteral("brightness")).isObject()) {
                WinSim::Displays::SetDisplayValue(display.index, QStringLiteral("brightness.current"), level.toInt());
                break;
            }
        }
    }
    return ERROR_SUCCESS;
}

HPOWERNOTIFY RegisterPowerSettingNotification(HANDLE, const GUID* setting, DWORD flags)
{
    if (setting == nullptr || flags != DEVICE_NOTIFY_WINDOW_HANDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (const LONG fault = WinSim::Displays::Fault("RegisterPowerSettingNotification"); fault != 0) {
        SetLastError(DWORD(fault));
        return nullptr;
    }
    auto registration = std::make_unique<GUID>(*setting);
    const HPOWERNOTIFY handle = registration.get();
    {
        Registrations& registrations = LiveRegistrations();
        const QMutexLocker lock(&registrations.mutex);
        registrations.handles.emplace(handle, std::move(registration));
    }
    WinSim::Journal(QStringLiteral("power-register"), GuidToText(*setting));
    if (*setting == GUID_LIDSWITCH_STATE_CHANGE) {
        const bool open = WinSim::DescriptionValue(QStringLiteral("lid")).toString() != QLatin1String("closed");
        WinSim::PostNativeMessage(WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0, WinSim::LidSwitchRecord(open));
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL UnregisterPowerSettingNotification(HPOWERNOTIFY handle)
{
    if (const LONG fault = WinSim::Displays::Fault("UnregisterPowerSettingNotification"); fault != 0) {
        SetLastError(DWORD(fault));
        return FALSE;
    }
    Registrations& registrations = LiveRegistrations();
    const QMutexLocker lock(&registrations.mutex);
    if (registrations.handles.erase(handle) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    WinSim::Journal(QStringLiteral("power-unregister"), QString());
    return TRUE;
}
