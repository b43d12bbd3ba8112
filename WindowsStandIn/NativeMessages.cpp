// Delivery of native messages to this process's filters (the listener in Network/ brings those of
// other processes here).
#include "WindowsStandIn/Messages.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace WinSim {

QByteArray LidSwitchRecord(bool open)
{
    QByteArray record(int(offsetof(POWERBROADCAST_SETTING, Data) + sizeof(DWORD)), '\0');
    auto* setting = reinterpret_cast<POWERBROADCAST_SETTING*>(record.data());
    setting->PowerSetting = GUID_LIDSWITCH_STATE_CHANGE;
    setting->DataLength = sizeof(DWORD);
    const DWORD state = open ? 1 : 0;
    std::memcpy(setting->Data, &state, sizeof state);
    return record;
}

void DeliverNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record)
{
    MSG msg{};
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = DWORD(QDateTime::currentMSecsSinceEpoch());
    std::vector<std::uint64_t> storage((std::size_t(record.size()) + 7) / 8 + 1, 0);
    if (!record.isEmpty()) {
        std::memcpy(storage.data(), record.constData(), std::size_t(record.size()));
        msg.lParam = reinterpret_cast<LPARAM>(storage.data());
    }
    QCoreApplication* application = QCoreApplication::instance();
    QAbstractEventDispatcher* dispatcher =
        application != nullptr ? QAbstractEventDispatcher::instance(application->thread()) : nullptr;
    if (dispatcher != nullptr) {
        qintptr result = 0;
        dispatcher->filterNativeEvent(NativeEventType, &msg, &result);
    }
}

void PostNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record)
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        application, [message, wParam, lParam, record] { DeliverNativeMessage(message, wParam, lParam, record); },
        Qt::QueuedConnection);
}

}  // namespace WinSim
