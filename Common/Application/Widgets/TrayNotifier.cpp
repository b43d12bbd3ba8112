#include "Common/Application/Widgets/TrayNotifier.h"

#include <QSystemTrayIcon>

namespace Korvel::DisplayCalibration::Common::Application {

TrayNotifier::TrayNotifier(QSystemTrayIcon* trayIcon, const QString& title) : trayIcon(trayIcon), title(title)
{
}

void TrayNotifier::ShowInformation(const QString& text, int msecs)
{
    trayIcon->showMessage(title, text, QSystemTrayIcon::Information, msecs);
}

void TrayNotifier::ShowWarning(const QString& text, int msecs)
{
    trayIcon->showMessage(title, text, QSystemTrayIcon::Warning, msecs);
}

void TrayNotifier::ShowCritical(const QString& text, int msecs)
{
    trayIcon->showMessage(title, text, QSystemTrayIcon::Critical, msecs);
}

ITrayNotifier* TrayNotifierFactory::Create(QSystemTrayIcon* trayIcon, const QString& title)
{
    return new TrayNotifier(trayIcon, title);
}

}  // namespace Korvel::DisplayCalibration::Common::Application
