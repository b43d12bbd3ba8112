#include "Gui/TrayMenu.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Widgets/TrayNotifier.h"
#include "Gui/CreateIconFromPattern.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Logging::InfoLevel;
using Logging::WarnLevel;

const QList<int> LogoSizes = {16, 24, 32, 48, 1024};
const QList<int> MenuIconSizes = {256};
constexpr int NotificationMsecs = 1000;
// The dark style's highlight text colour.
constexpr int SeparatorRed = 243, SeparatorGreen = 243, SeparatorBlue = 243;

QIcon Icon(const QString& pattern, const QList<int>& sizes)
{
    QIcon icon;
    CreateIconFromPattern(icon, pattern, sizes, QIcon::Normal, QIcon::Off);
    return icon;
}

bool IsHdrEntry(const QAction* action)
{
    return action->text().contains(QLatin1String("HDR"), Qt::CaseInsensitive);
}

// A profile entry whose check mark only the program sets (`Mark`, or unchecking): a pick is marked
// once its profile is applied, so one that is dropped or applies nothing leaves the mark where it
// was. Qt checks a checkable entry when it is triggered, before it reports the trigger; that check
// is taken back at once, before the menu sees it.
class ProfileEntry : public QAction {
public:
    using QAction::QAction;

    void Mark()
    {
        marked = true;
        setChecked(true);
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::ActionChanged) {
            if (!isChecked()) {
                marked = false;
            } else if (!marked) {
                setChecked(false);
            }
        }
        return QAction::event(event);
    }

private:
    bool marked = false;
};

}  // namespace

TrayMenu::TrayMenu(ITrayNotifierFactory* trayNotifierFactory, QWidget* parent)
    : QObject(parent),
      Loggable("TrayMenu"),
      trayIcon(new QSystemTrayIcon(this)),
      menu(new QMenu(parent)),
      profileActionGroup(new QActionGroup(menu)),
      trayNotifier(trayNotifierFactory->Create(trayIcon, QString()))
{
    ApplyStyleSheet();
    trayIcon->setContextMenu(menu);
    SetTrayIcon(trayIcon, LogoIconPath);
    trayIcon->setVisible(true);
    trayIcon->setToolTip(QCoreApplication::applicationName());
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::ApplyStyleSheet()
{
    menu->setStyleSheet(
        QStringLiteral("QMenu { color: white; border-style: none }QMenu::item { height: 16px; width: 220; margin: "
                       "8px 0 8px 0; padding-left: 35px }QMenu::indicator:checked { image: "
                       "url(:/images/Dark/Widgets/checked_icon_256x256.png); }QMenu::indicator { width: 16px; "
                       "height: 16px; }") +
        QStringLiteral("QMenu::separator { height: 2px; background-color: rgb(%1, %2, %3); }")
            .arg(SeparatorRed)
            .arg(SeparatorGreen)
            .arg(SeparatorBlue));
    menu->setContentsMargins(15, 5, 25, 5);
}

void TrayMenu::CreateActions()
{
    menu->setToolTipsVisible(true);
    titleAction = new QAction(Icon(LogoIconPath, LogoSizes), QCoreApplication::applicationName(), menu);
    quickSelectionAction = new QAction(Icon(QuickSelectionIconPath, MenuIconSizes), tr("Quick Selection"), menu);
    quickSelectionAction->setEnabled(false);
    preferencesAction = new QAction(Icon(PreferencesIconPath, MenuIconSizes), tr("&Preferences..."), menu);
    preferencesAction->setToolTip(tr("Open Preference window"));
    quitAction = new QAction(Icon(CloseIconPath, MenuIconSizes), tr("&Quit"), menu);
    quitAction->setToolTip(tr("Quit application"));
}

void TrayMenu::SetProfileNames(const QStringList& names)
{
    if (quitAction != nullptr) {
        disconnect(quitAction, SIGNAL(triggered()), qApp, SLOT(quit()));
        disconnect(preferencesAction, &QAction::triggered, this, &TrayMenu::PreferencesActionTriggered);
    }
    disconnect(profileActionGroup, &QActionGroup::triggered, this, &TrayMenu::ProfileActionTriggered);
    disconnect(trayIcon, &QSystemTrayIcon::activated, this, &TrayMenu::OnTrayIconActivated);

    // The entries are freed once control is back in the event loop: a list rebuilt while one of
    // them is being triggered (a pick or the preferences action finding a new set) must not free
    // the entry under its own signal.
    const QList<QAction*> entries = menu->actions();
    for (QAction* action : entries) {
        menu->removeAction(action);
        profileActionGroup->removeAction(action);
        action->deleteLater();
    }
    CreateActions();
    menu->addAction(titleAction);
    menu->addSeparator();
    menu->addAction(quickSelectionAction);
    menu->addSeparator();
    profileActionGroup->setExclusive(true);
    for (const QString& name : names) {
        auto* action = new ProfileEntry(name, menu);
        profileActionGroup->addAction(action);
        action->setCheckable(true);
        menu->addAction(action);
    }
    menu->addSeparator();
    menu->addAction(preferencesAction);
    menu->addSeparator();
    menu->addAction(quitAction);

    connect(trayIcon, &QSystemTrayIcon::activated, this, &TrayMenu::OnTrayIconActivated);
    connect(profileActionGroup, &QActionGroup::triggered, this, &TrayMenu::ProfileActionTriggered);
    connect(preferencesAction, &QAction::triggered, this, &TrayMenu::PreferencesActionTriggered);
    connect(quitAction, SIGNAL(triggered()), qApp, SLOT(quit()));
}

void TrayMenu::CheckProfileAction(int index)
{
    const QList<QAction*> actions = profileActionGroup->actions();
    if (index >= 0 && index < actions.size()) {
        static_cast<ProfileEntry*>(actions[index])->Mark();
    }
}

void TrayMenu::UncheckProfileActions()
{
    for (QAction* action : profileActionGroup->actions()) {
        if (action->isChecked()) {
            action->setChecked(false);
            return;
        }
    }
}

void TrayMenu::ShowProfilesOfKind(bool hdr, const QString& warning)
{
    for (QAction* action : profileActionGroup->actions()) {
        const bool shown = IsHdrEntry(action) == hdr;
        action->setVisible(shown);
        action->setToolTip(shown ? QString() : warning);
    }
}

void TrayMenu::ShowHdrProfilesOnly()
{
    ShowProfilesOfKind(true, QStringList{tr("THIS IS SDR PROFILE!"),
                                         tr("In order to use it, disable HDR settings in Windows:"),
                                         tr("    1. Select the Start button or Search field, then enter settings. "
                                            "Select Settings > System > Display > Windows HD Color Settings."),
                                         tr("    2. If you have multiple displays connected to your PC, choose the "
                                            "internal display."),
                                         tr("    3. Turn off Use HDR.")}
                                 .join(QLatin1Char('\n')));
}

void TrayMenu::ShowSdrProfilesOnly()
{
    ShowProfilesOfKind(false, QStringList{tr("THIS IS HDR PROFILE!"),
                                          tr("In order to use it, enable HDR settings in Windows:"),
                                          tr("    1. Select the Start button or Search field, then enter settings. "
                                             "Select Settings > System > Display > Windows HD Color Settings."),
                                          tr("    2. If you have multiple displays connected to your PC, choose the "
                                             "internal display."),
                                          tr("    3. Turn on Use HDR.")}
                                  .join(QLatin1Char('\n')));
}

void TrayMenu::SetNormalIcon()
{
    SetTrayIcon(trayIcon, LogoIconPath);
}

void TrayMenu::SetWarningIcon()
{
    SetTrayIcon(trayIcon, LogoWarningIconPath);
}

void TrayMenu::HideTrayIcon()
{
    trayIcon->setVisible(false);
}

void TrayMenu::SetTrayIcon(QSystemTrayIcon* icon, const QString& pattern)
{
    icon->setIcon(Icon(pattern, LogoSizes));
}

void TrayMenu::ShowInformationNotification(const QString& text)
{
    LogPieces(InfoLevel, text.toStdString());
    trayNotifier->ShowInformation(text, NotificationMsecs);
}

void TrayMenu::ShowWarningNotification(const QString& text)
{
    LogPieces(WarnLevel, text.toStdString());
    trayNotifier->ShowWarning(text, NotificationMsecs);
}

void TrayMenu::ProfileActionTriggered(QAction* action)
{
    emit ProfileChangeTriggered(int(profileActionGroup->actions().indexOf(action)));
}

void TrayMenu::OnTrayIconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::Trigger) {
        emit PreferencesActionTriggered();
    }
}
