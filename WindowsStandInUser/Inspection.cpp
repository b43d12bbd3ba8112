#include "WindowsStandInUser/Inspection.h"

#include "WindowsStandInUser/Tracking.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTextEdit>

#include <utility>

namespace WinSim::User::Detail {
namespace {

QJsonArray DescribeMenu(const QMenu* menu)
{
    QJsonArray entries;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            entries.append(QJsonObject{{"separator", true}, {"visible", action->isVisible()}});
            continue;
        }
        QJsonObject entry{{"text", ShownText(action->text())},
                          {"visible", action->isVisible()},
                          {"enabled", action->isEnabled()},
                          {"checkable", action->isCheckable()},
                          {"checked", action->isChecked()}};
        if (const QMenu* submenu = action->menu()) {
            entry.insert("menu", DescribeMenu(submenu));
        }
        entries.append(entry);
    }
    return entries;
}

// The text a listed widget shows; nothing for widgets that are not listed.
std::optional<QString> ListedText(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return ShownText(button->text());
    }
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        return label->text().isEmpty() ? std::nullopt : std::optional(label->text());
    }
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
        return edit->text();
    }
    if (const auto* edit = qobject_cast<const QTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    if (const auto* box = qobject_cast<const QComboBox*>(widget)) {
        return box->currentText();
    }
    if (const auto* box = qobject_cast<const QAbstractSpinBox*>(widget)) {
        return box->text();
    }
    return std::nullopt;
}

void DescribeWidgets(const QWidget* parent, QJsonArray& widgets)
{
    for (QObject* child : parent->children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget == nullptr || widget->isWindow() || !widget->isVisible()) {
            continue;
        }
        if (const std::optional<QString> text = ListedText(widget)) {
            QJsonObject entry{{"object", widget->objectName()},
                              {"class", widget->metaObject()->className()},
                              {"text", *text},
                              {"enabled", widget->isEnabled()}};
            if (const auto* button = qobject_cast<const QAbstractButton*>(widget); button && button->isCheckable()) {
                entry.insert("checked", button->isChecked());
            }
            widgets.append(entry);
        }
        // The editors inside spin and combo boxes are part of them.
        if (qobject_cast<const QAbstractSpinBox*>(widget) == nullptr && qobject_cast<const QComboBox*>(widget) == nullptr) {
            DescribeWidgets(widget, widgets);
        }
    }
}

QJsonObject DescribeMessageBox(const QDialog* box)
{
    QJsonArray buttons;
    for (const QAbstractButton* button : MessageBoxButtons(box)) {
        buttons.append(ShownText(button->text()));
    }
    QJsonObject description{{"icon", MessageBoxIcon(box)},
                            {"text", MessageBoxText(box)},
                            {"buttons", buttons},
                            {"waiting", IsWaiting(box)}};
    if (const auto* messageBox = qobject_cast<const QMessageBox*>(box)) {
        if (!messageBox->informativeText().isEmpty()) {
            description.insert("informativeText", messageBox->informativeText());
        }
        if (!messageBox->detailedText().isEmpty()) {
            description.insert("detailedText", messageBox->detailedText());
        }
    }
    return description;
}

QJsonObject DescribeWindow(const QWidget* window)
{
    QJsonObject description{{"class", window->metaObject()->className()},
                            {"object", window->objectName()},
                            {"title", window->windowTitle()},
                            {"modal", window->isModal()}};
    if (const auto* menu = qobject_cast<const QMenu*>(window)) {
        description.insert("menu", DescribeMenu(menu));
        return description;
    }
    if (const auto* dialog = qobject_cast<const QDialog*>(window); dialog && IsMessageBox(dialog)) {
        description.insert("messageBox", DescribeMessageBox(dialog));
    }
    QJsonArray widgets;
    DescribeWidgets(window, widgets);
    description.insert("widgets", widgets);
    return description;
}

// The picture of a message box that is not a QMessageBox, told by comparing it with the style's
// standard message-box icons at its size.
QString PictureIcon(const QDialog* box)
{
    static const std::pair<QStyle::StandardPixmap, const char*> icons[] = {
        {QStyle::SP_MessageBoxInformation, "information"},
        {QStyle::SP_MessageBoxWarning, "warning"},
        {QStyle::SP_MessageBoxCritical, "critical"},
        {QStyle::SP_MessageBoxQuestion, "question"},
    };
    for (const QLabel* label : VisibleIn<QLabel>(box)) {
        const QPixmap picture = label->pixmap();
        if (picture.isNull()) {
            continue;
        }
        const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QSize size = picture.deviceIndependentSize().toSize();
        for (const auto& [pixmap, name] : icons) {
            const QPixmap standard = box->style()->standardIcon(pixmap, nullptr, box).pixmap(size).scaled(
                size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            if (standard.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied) == image) {
                return QString::fromLatin1(name);
            }
        }
        return QStringLiteral("other");
    }
    return QStringLiteral("none");
}

bool InWindowOf(const QWidget* widget, const QWidget* window)
{
    return widget->window() == window;
}

}  // namespace

QString ShownText(const QString& text)
{
    QString shown;
    for (qsizetype i = 0; i < text.size() && text[i] != '\t'; ++i) {
        if (text[i] == '&' && i + 1 < text.size()) {
            ++i;
            if (text[i] == '\t') {
                break;
            }
        }
        shown += text[i];
    }
    return shown;
}

QJsonObject DescribeProgram()
{
    QJsonArray trays;
    for (const QSystemTrayIcon* icon : TrayIcons()) {
        QJsonObject tray{{"toolTip", icon->toolTip()}, {"visible", icon->isVisible()}};
        if (const QMenu* menu = icon->contextMenu()) {
            tray.insert("menu", DescribeMenu(menu));
        }
        trays.append(tray);
    }
    QJsonArray windows;
    for (const QWidget* window : ShownWindows()) {
        windows.append(DescribeWindow(window));
    }
    QJsonObject program = Identity();
    program.insert("tray", trays);
    program.insert("windows", windows);
    return program;
}

QString MessageBoxIcon(const QDialog* box)
{
    if (const auto* messageBox = qobject_cast<const QMessageBox*>(box)) {
        switch (messageBox->icon()) {
        case QMessageBox::Information:
            return QStringLiteral("information");
        case QMessageBox::Warning:
            return QStringLiteral("warning");
        case QMessageBox::Critical:
            return QStringLiteral("critical");
        case QMessageBox::Question:
            return QStringLiteral("question");
        default:
            return QStringLiteral("none");
        }
    }
    return PictureIcon(box);
}

QString MessageBoxText(const QDialog* box)
{
    if (const auto* messageBox = qobject_cast<const QMessageBox*>(box)) {
        return messageBox->text();
    }
    QStringList texts;
    for (const QLabel* label : VisibleIn<QLabel>(box)) {
        if (!label->text().isEmpty()) {
            texts << label->text();
        }
    }
    return texts.join('\n');
}

QList<QAbstractButton*> MessageBoxButtons(const QDialog* box)
{
    return VisibleIn<QAbstractButton>(box);
}

QAbstractButton* MessageBoxButton(const QDialog* box, const QString& name)
{
    const auto* messageBox = qobject_cast<const QMessageBox*>(box);
    const QMetaEnum standardNames = QMetaEnum::fromType<QMessageBox::StandardButtons>();
    for (QAbstractButton* button : MessageBoxButtons(box)) {
        if (ShownText(button->text()).compare(name, Qt::CaseInsensitive) == 0) {
            return button;
        }
        if (messageBox != nullptr &&
            QString::fromLatin1(standardNames.valueToKey(messageBox->standardButton(button))).compare(name, Qt::CaseInsensitive) == 0) {
            return button;
        }
    }
    return nullptr;
}

Found<QWidget*> FindWidget(const QString& objectName)
{
    QList<QWidget*> candidates;  // of the window shown last first
    const QList<QWidget*> windows = ShownWindows();
    for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
        if ((*window)->objectName() == objectName) {
            candidates << *window;
        }
        candidates += VisibleIn<QWidget>(*window, objectName);
    }
    if (candidates.isEmpty()) {
        return {nullptr, "no visible widget \"" + objectName + "\""};
    }
    QWidget* target = candidates.first();
    if (const QWidget* modal = QApplication::activeModalWidget()) {
        const auto inModal = std::find_if(candidates.begin(), candidates.end(),
                                          [modal](const QWidget* widget) { return InWindowOf(widget, modal); });
        if (inModal == candidates.end()) {
            return {nullptr, "\"" + objectName + "\" is blocked by the modal dialog \"" + modal->windowTitle() + "\""};
        }
        target = *inModal;
    }
    if (!target->isEnabled()) {
        return {target, "\"" + objectName + "\" is disabled"};
    }
    return {target, QString()};
}

namespace {

// Looks for the entry in `menu` and its submenus, extending `entry` with the path to it.
QString FindInMenu(QMenu* menu, const QString& text, MenuEntry& entry)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || !action->isVisible()) {
            continue;
        }
        if (ShownText(action->text()) == text) {
            entry.menus << menu;
            entry.actions << action;
            return action->isEnabled() ? QString() : "the menu entry \"" + text + "\" is disabled";
        }
        if (QMenu* submenu = action->menu(); submenu && action->isEnabled()) {
            MenuEntry inner;
            const QString problem = FindInMenu(submenu, text, inner);
            if (!inner.actions.isEmpty()) {
                entry.menus = QList<QMenu*>{menu} + inner.menus;
                entry.actions = QList<QAction*>{action} + inner.actions;
                return problem;
            }
        }
    }
    return QString();
}

}  // namespace

QString FindTrigger(const QString& text, MenuEntry& entry, QAbstractButton*& button)
{
    entry = MenuEntry();
    button = nullptr;
    const QList<QWidget*> windows = ShownWindows();
    for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
        if (auto* menu = qobject_cast<QMenu*>(*window)) {
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator() && action->isVisible() && ShownText(action->text()) == text) {
                    entry = MenuEntry{{menu}, {action}, true};
                    return action->isEnabled() ? QString() : "the menu entry \"" + text + "\" is disabled";
                }
            }
        }
    }
    for (const QSystemTrayIcon* icon : TrayIcons()) {
        if (QMenu* menu = icon->contextMenu(); menu && icon->isVisible()) {
            const QString problem = FindInMenu(menu, text, entry);
            if (!entry.actions.isEmpty()) {
                return problem;
            }
        }
    }
    const QWidget* modal = QApplication::activeModalWidget();
    QString problem = "no visible menu entry or button \"" + text + "\"";
    for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
        for (QAbstractButton* candidate : VisibleIn<QAbstractButton>(*window)) {
            if (ShownText(candidate->text()) != text) {
                continue;
            }
            if (modal != nullptr && !InWindowOf(candidate, modal)) {
                problem = "the button \"" + text + "\" is blocked by the modal dialog \"" + modal->windowTitle() + "\"";
                continue;
            }
            button = candidate;
            return candidate->isEnabled() ? QString() : "the button \"" + text + "\" is disabled";
        }
    }
    return problem;
}

}  // namespace WinSim::User::Detail
