#include "WindowsStandInUser/Input.h"

#include "WindowsStandIn/Messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#include <memory>
#include <optional>

namespace WinSim::User::Detail {
namespace {

// Reaches QAbstractButton::hitButton, which a button overrides with the area it takes clicks in.
struct ButtonAccess : QAbstractButton {
    using QAbstractButton::hitButton;
};

// Where a user clicks: the middle, or for a button that takes clicks only on part of it (a check
// box's indicator and text), the first point of its middle row that it takes.
QPointF ClickPoint(const QWidget* widget)
{
    const QRect area = widget->rect();
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    if (button == nullptr) {
        return QRectF(area).center();
    }
    const auto hit = &ButtonAccess::hitButton;
    if ((button->*hit)(area.center())) {
        return QRectF(area).center();
    }
    for (int x = area.left(); x <= area.right(); ++x) {
        if ((button->*hit)(QPoint(x, area.center().y()))) {
            return QPointF(x, area.center().y());
        }
    }
    return QRectF(area).center();
}

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButtons buttons, const QPointF& local)
{
    QMouseEvent event(type, local, widget->mapTo(widget->window(), local), widget->mapToGlobal(local),
                      Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The key of a typed character: Qt's key codes are the upper-case Latin-1 code points.
int KeyOf(char32_t character)
{
    switch (character) {
    case U'\n':
        return Qt::Key_Return;
    case U'\t':
        return Qt::Key_Tab;
    default:
        break;
    }
    if (character > 0xFF) {
        return Qt::Key_unknown;
    }
    return QChar(char16_t(character)).toUpper().unicode();
}

void SendKey(QWidget* widget, int key, const QString& text, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointer<QWidget> guard(widget);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    if (!guard.isNull()) {
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(widget, &release);
    }
}

}  // namespace

void Click(QWidget* widget)
{
    const QPointer<QWidget> guard(widget);
    const QPointF point = ClickPoint(widget);
    SendMouse(widget, QEvent::MouseButtonPress, Qt::LeftButton, point);
    if (!guard.isNull()) {
        SendMouse(widget, QEvent::MouseButtonRelease, Qt::NoButton, point);
    }
}

void Type(QWidget* widget, const QString& text, bool replace)
{
    QPointer<QWidget> target(widget->focusProxy() != nullptr ? widget->focusProxy() : widget);
    target->activateWindow();
    target->setFocus(Qt::MouseFocusReason);
    if (replace) {
        SendKey(target, Qt::Key_A, QString(), Qt::ControlModifier);
    }
    for (const char32_t character : text.toUcs4()) {
        if (target.isNull()) {
            return;
        }
        const QString typed = character == U'\n' ? QStringLiteral("\r") : QString::fromUcs4(&character, 1);
        SendKey(target, KeyOf(character), typed);
    }
}

void CloseWindow(QWidget* window)
{
    if (QWindow* handle = window->windowHandle()) {
        handle->close();
    } else {
        window->close();
    }
}

QString ChooseEntry(const MenuEntry& entry)
{
    // Closes the menus this step opened when the entry cannot be chosen.
    const auto fail = [&entry](const QString& problem) {
        for (qsizetype i = entry.menus.size() - 1; i >= (entry.shown ? 1 : 0); --i) {
            entry.menus[i]->hide();
        }
        return problem;
    };
    QPointer<QMenu> menu = entry.menus.first();
    if (!entry.shown) {
        menu->popup(QCursor::pos());
    }
    for (qsizetype i = 0; i + 1 < entry.actions.size(); ++i) {
        menu->setActiveAction(entry.actions[i]);
        QMenu* submenu = entry.menus[i + 1];
        if (!submenu->isVisible()) {
            return fail("the submenu \"" + ShownText(entry.actions[i]->text()) + "\" did not open");
        }
        menu = submenu;
    }
    menu->setActiveAction(entry.actions.last());
    if (menu->activeAction() != entry.actions.last()) {
        return fail("the entry \"" + ShownText(entry.actions.last()->text()) + "\" cannot be chosen");
    }
    SendKey(menu, Qt::Key_Return, QStringLiteral("\r"));
    return QString();
}

void Perform(const std::function<QString()>& action, const Reply& reply, const QJsonObject& done)
{
    auto problem = std::make_shared<std::optional<QString>>();
    WinSim::Detail::RunThenRespond([action, problem] { *problem = action(); },
                                   [reply, done, problem] {
                                       const bool failed = problem->has_value() && !(*problem)->isEmpty();
                                       reply(failed ? QJsonObject{{"error", **problem}} : done);
                                   });
}

}  // namespace WinSim::User::Detail
