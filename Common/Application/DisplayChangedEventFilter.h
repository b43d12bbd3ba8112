// Turns Windows' display-change message into two signals: alignProfiles at once for each message,
// displaySettingsChanged once, 2000 ms after the last message of a burst.
#pragma once

#include "Common/Logging/Loggable.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

class QTimer;

namespace Korvel::DisplayCalibration::Common::Application {

class DisplayChangedEventFilter : public QObject, public QAbstractNativeEventFilter, public Logging::Loggable {
    Q_OBJECT

public:
    DisplayChangedEventFilter();
    ~DisplayChangedEventFilter() override;

    // Handles WM_DISPLAYCHANGE of "windows_generic_MSG" events; lets every message through (false).
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void displaySettingsChanged();
    void alignProfiles();

private:
    QTimer* timer;
};

}  // namespace Korvel::DisplayCalibration::Common::Application
