// Balloon notifications from the application's tray icon, with a fixed title.
#pragma once

#include <QString>

class QSystemTrayIcon;

namespace Korvel::DisplayCalibration::Common::Application {

class ITrayNotifier {
public:
    virtual ~ITrayNotifier() = default;
    virtual void ShowInformation(const QString& text, int msecs) = 0;
    virtual void ShowWarning(const QString& text, int msecs) = 0;
    virtual void ShowCritical(const QString& text, int msecs) = 0;
};

class TrayNotifier : public ITrayNotifier {
public:
    // The tray icon is not owned.
    TrayNotifier(QSystemTrayIcon* trayIcon, const QString& title);
    void ShowInformation(const QString& text, int msecs) override;
    void ShowWarning(const QString& text, int msecs) override;
    void ShowCritical(const QString& text, int msecs) override;

private:
    QSystemTrayIcon* trayIcon;
    QString title;
};

class ITrayNotifierFactory {
public:
    virtual ~ITrayNotifierFactory() = default;
    // A new notifier; the caller owns it.
    virtual ITrayNotifier* Create(QSystemTrayIcon* trayIcon, const QString& title) = 0;
};

class TrayNotifierFactory : public ITrayNotifierFactory {
public:
    ITrayNotifier* Create(QSystemTrayIcon* trayIcon, const QString& title) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Application
