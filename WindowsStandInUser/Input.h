// Input as a user gives it: mouse clicks, key presses, closing a window, choosing a menu entry.
// Everything is sent through QApplication, so event filters and notify() see it as they would.
#pragma once

#include "WindowsStandIn/SimulatedUser.h"
#include "WindowsStandInUser/Inspection.h"

#include <functional>

class QWidget;

namespace WinSim::User::Detail {

// A left click (press, then release) where the widget takes clicks.
void Click(QWidget* widget);
// Focuses the widget and types `text` as key presses; "\n" is Return, "\t" is Tab. With `replace`,
// selects all first (Ctrl+A), so that the text takes the place of what the widget held.
void Type(QWidget* widget, const QString& text, bool replace = false);
// Closes a window as its title bar's close button would.
void CloseWindow(QWidget* window);
// Opens the entry's menus as needed and chooses the entry with the keyboard; a problem or empty.
QString ChooseEntry(const MenuEntry& entry);

// Runs `action` (which returns a problem or an empty text) and replies `done` or the problem. When
// the action opens a modal dialog (a nested event loop), the reply goes out from within that loop,
// so the caller is not kept waiting for the dialog.
void Perform(const std::function<QString()>& action, const Reply& reply, const QJsonObject& done);

}  // namespace WinSim::User::Detail
