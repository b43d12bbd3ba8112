// What the simulated user sees of a GUI program, as the JSON that `winsim user show` prints, and
// the lookups of the widgets and menu entries a step acts on.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QAction;
class QDialog;
class QMenu;

namespace WinSim::User::Detail {

// The visible widgets of type T in `window` itself (not in windows of its own, such as a dialog
// made with `window` as parent), in tree order; with a name, only those of that object name.
template <typename T>
QList<T*> VisibleIn(const QWidget* window, const QString& objectName = QString())
{
    QList<T*> found;
    for (T* widget : window->findChildren<T*>(objectName)) {
        if (widget->isVisible() && widget->window() == window) {
            found << widget;
        }
    }
    return found;
}

// A text as the user sees it: "&" mnemonics and a "\t" shortcut part removed.
QString ShownText(const QString& text);

QJsonObject DescribeProgram();

// "question", "information", "warning", "critical", "none" ("other" for an unknown picture).
QString MessageBoxIcon(const QDialog* box);
QString MessageBoxText(const QDialog* box);
QList<QAbstractButton*> MessageBoxButtons(const QDialog* box);
// The button a BUTTON answer names: its shown text or, in a QMessageBox, its standard name
// ("Yes", "Ok"), both without regard to case.
QAbstractButton* MessageBoxButton(const QDialog* box, const QString& name);

// A lookup either finds its target or says why not ("no visible widget ...").
template <typename T>
struct Found {
    T target{};
    QString problem;
};

// The visible widget with this object name. With a modal dialog shown, only its widgets count;
// of several, the one in the window shown last.
Found<QWidget*> FindWidget(const QString& objectName);

// A menu entry the user can reach: the path of menus from the one to open first to the one that
// holds `action`, with the entries that open each submenu.
struct MenuEntry {
    QList<QMenu*> menus;
    QList<QAction*> actions;  // the last one is the entry itself
    bool shown = false;       // the first menu is already shown
};
// An entry with this shown text of a shown menu, else of a tray icon's menu, else a push button
// with this text; an entry in `entry`, a button in `button`.
QString FindTrigger(const QString& text, MenuEntry& entry, QAbstractButton*& button);

}  // namespace WinSim::User::Detail
