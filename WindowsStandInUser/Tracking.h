// What the simulated user keeps track of in a GUI program: every QObject made on the GUI thread
// (so that tray icons without a parent are found), the order in which windows were shown, and the
// modal dialogs and message boxes while they are shown.
#pragma once

#include "WindowsStandIn/SimulatedUser.h"

#include <QList>

class QDialog;
class QSystemTrayIcon;
class QWidget;

namespace WinSim::User::Detail {

// This program's identity (see IsTarget).
QJsonObject Identity();

// Starts watching the windows of the QApplication; called once when it is made.
void StartWatching();

// The program's tray icons, in the order they were made.
QList<QSystemTrayIcon*> TrayIcons();

// The visible top-level windows, in the order they were (last) shown; tool tips and the tray's
// own windows left out.
QList<QWidget*> ShownWindows();

// A message box: any QMessageBox, or a modal dialog whose only controls are push buttons.
bool IsMessageBox(const QDialog* dialog);
// A shown message box that no answer has reached yet.
bool IsWaiting(const QDialog* box);

// Gives the waiting message box shown last (the one on top) the first queued answer that fits it. Replies
// {"answered": false} when there is no waiting box or no answer for it.
void AnswerWaitingBox(const Reply& reply);

}  // namespace WinSim::User::Detail
