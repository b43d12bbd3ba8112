// Restoration of the panel's factory profile sets from the profile server.
#pragma once

#include <QObject>
#include <QString>

// The level of a tray notification the restorer asks for.
enum TrayNotificatioLevel : int {
    TrayNotificationWarning = 0,
    TrayNotificationInformation = 1,
};

class IProfileRestorer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IProfileRestorer() override = default;

    // Start the download of the SDR (HDR10) archive at `url`; the outcome arrives later as a signal.
    virtual void RestoreProfiles(const QString& url) = 0;
    virtual void RestoreHdrProfiles(const QString& url) = 0;
};
