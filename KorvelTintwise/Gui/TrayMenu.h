// The tray icon with its menu: profile entries, Preferences and Quit, and the balloon
// notifications of the program.
#pragma once

#include "Common/Logging/Loggable.h"

#include <QObject>
#include <QStringList>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace Korvel::DisplayCalibration::Common::Application {
class ITrayNotifier;
class ITrayNotifierFactory;
}  // namespace Korvel::DisplayCalibration::Common::Application

class TrayMenu : public QObject, public Korvel::DisplayCalibration::Common::Logging::Loggable {
    Q_OBJECT

public:
    using ITrayNotifierFactory = Korvel::DisplayCalibration::Common::Application::ITrayNotifierFactory;

    // The menu belongs to `parent`; the tray icon is shown at once with the normal picture.
    TrayMenu(ITrayNotifierFactory* trayNotifierFactory, QWidget* parent);
    ~TrayMenu() override;

    // Rebuilds the whole menu for these display names, in list order: every entry visible,
    // unchecked, without tool tip.
    void SetProfileNames(const QStringList& names);
    // Checks the entry at `index`; an index outside the list does nothing. Only this marks an entry:
    // a user's pick leaves the mark where it is until the program marks what it applied.
    void CheckProfileAction(int index);
    void UncheckProfileActions();
    void ShowHdrProfilesOnly();
    void ShowSdrProfilesOnly();
    void SetNormalIcon();
    void SetWarningIcon();
    void HideTrayIcon();
    void ShowInformationNotification(const QString& text);
    void ShowWarningNotification(const QString& text);

    static void SetTrayIcon(QSystemTrayIcon* trayIcon, const QString& pattern);

    QSystemTrayIcon* TrayIcon() const { return trayIcon; }
    QMenu* Menu() const { return menu; }

signals:
    void PreferencesActionTriggered();
    void ProfileChangeTriggered(int index);

public slots:
    void ProfileActionTriggered(QAction* action);
    void OnTrayIconActivated(QSystemTrayIcon::ActivationReason reason);

private:
    void CreateActions();
    void ApplyStyleSheet();
    // Shows the entries of one kind (HDR when `hdr`) and hides the others with `warning` as tool tip.
    void ShowProfilesOfKind(bool hdr, const QString& warning);

    QSystemTrayIcon* trayIcon;
    QMenu* menu;
    QAction* titleAction = nullptr;
    QAction* quickSelectionAction = nullptr;
    QAction* preferencesAction = nullptr;
    QAction* quitAction = nullptr;
    QActionGroup* profileActionGroup;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Application::ITrayNotifier> trayNotifier;
};
