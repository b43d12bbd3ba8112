// Turns Windows power-setting broadcasts into a Qt signal.
#pragma once

#include "WindowsStandIn/Messages.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

class PowerSettingsChangedEventFilter : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    PowerSettingsChangedEventFilter();

    // Emits PowerSettingsChanged for WM_POWERBROADCAST with PBT_POWERSETTINGCHANGE; lets every
    // message through (returns false). Only "windows_generic_MSG" events are looked at.
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    // The broadcast's lParam: the address of its POWERBROADCAST_SETTING, valid only while the
    // signal is delivered directly.
    void PowerSettingsChanged(LPARAM lParam);
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
