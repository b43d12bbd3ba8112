#include "WindowsStandInUser/Tracking.h"

#include "WindowsStandInUser/Input.h"
#include "WindowsStandInUser/Inspection.h"

#include <QAbstractButton>
#include <QActionEvent>
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QPointer>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <unistd.h>

// Qt's table of hooks for tools that follow the objects of a program.
extern Q_CORE_EXPORT quintptr qtHookData[];

namespace WinSim::User::Detail {
namespace {

// Slots of the hook table.
enum HookIndex : std::size_t { HookDataSize = 1, AddQObjectHook = 3, RemoveQObjectHook = 4 };
using ObjectHook = void (*)(QObject*);

// Every QObject made on the GUI thread (the thread that loads this library), with the order of
// making. Never destroyed: objects may end after this library's static data.
struct Objects {
    std::mutex mutex;
    std::unordered_map<QObject*, quint64> made;
    quint64 next = 0;
    std::thread::id guiThread = std::this_thread::get_id();
    ObjectHook previousAdd = nullptr;
    ObjectHook previousRemove = nullptr;
};

Objects& TrackedObjects()
{
    static auto* objects = new Objects;
    return *objects;
}

void ObjectMade(QObject* object)
{
    Objects& objects = TrackedObjects();
    if (std::this_thread::get_id() == objects.guiThread) {
        const std::lock_guard lock(objects.mutex);
        objects.made[object] = objects.next++;
    }
    if (objects.previousAdd != nullptr) {
        objects.previousAdd(object);
    }
}

void ObjectEnded(QObject* object)
{
    Objects& objects = TrackedObjects();
    {
        const std::lock_guard lock(objects.mutex);
        objects.made.erase(object);
    }
    if (objects.previousRemove != nullptr) {
        objects.previousRemove(object);
    }
}

const bool hooked = [] {
    if (qtHookData[HookDataSize] <= RemoveQObjectHook) {
        return false;
    }
    Objects& objects = TrackedObjects();
    objects.previousAdd = reinterpret_cast<ObjectHook>(qtHookData[AddQObjectHook]);
    objects.previousRemove = reinterpret_cast<ObjectHook>(qtHookData[RemoveQObjectHook]);
    qtHookData[AddQObjectHook] = reinterpret_cast<quintptr>(&ObjectMade);
    qtHookData[RemoveQObjectHook] = reinterpret_cast<quintptr>(&ObjectEnded);
    return true;
}();

// A widget the user gives input to (labels, frames, progress bars and the like are not).
bool IsControl(const QWidget* widget)
{
    if (const auto* edit = qobject_cast<const QTextEdit*>(widget)) {
        return !edit->isReadOnly();
    }
    if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) {
        return !edit->isReadOnly();
    }
    return widget->inherits("QAbstractButton") || widget->inherits("QLineEdit") || widget->inherits("QAbstractSpinBox") ||
           widget->inherits("QComboBox") || widget->inherits("QAbstractItemView") ||
           (widget->inherits("QAbstractSlider") && !widget->inherits("QScrollBar"));
}

// The journal of a machine that may have gone (a test's machine removed under a running program).
void JournalSafely(const QString& event, const QString& details)
{
    try {
        Journal(event, details);
    } catch (const std::exception&) {
    }
}

QString Quoted(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

// A shown modal dialog or message box, from its showing to its hiding.
struct ShownDialog {
    QWidget* window = nullptr;  // the key: the object may be ending when it hides
    QPointer<QDialog> dialog;
    bool box = false;
    bool waiting = false;       // a box no answer has reached yet
    QString line;               // the journal details known when it was shown
    QList<QMetaObject::Connection> connections;
};

class Watcher : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !trayIconPainted && object->inherits("QSystemTrayIconSys")) {
            trayIconPainted = true;
            JournalSafely(QStringLiteral("tray-icon-painted"), QString());
        }
        if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && object->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(object);
            if (widget->isWindow()) {
                if (event->type() == QEvent::Show) {
                    Shown(widget);
                } else {
                    Hidden(widget);
                }
            }
        }
        if (event->type() == QEvent::ActionAdded || event->type() == QEvent::ActionChanged ||
            event->type() == QEvent::ActionRemoved) {
            if (auto* menu = qobject_cast<QMenu*>(object)) {
                MenuActionEvent(menu, static_cast<QActionEvent*>(event));
            }
        }
        return false;
    }

    QHash<const QWidget*, quint64> shownOrder;
    std::vector<ShownDialog> dialogs;  // in the order shown
    QPointer<QAbstractButton> releasing;  // a button of a shown dialog between its release and the next event-loop pass

    ShownDialog* Find(const QWidget* window)
    {
        const auto found = std::find_if(dialogs.begin(), dialogs.end(),
                                        [window](const ShownDialog& dialog) { return dialog.window == window; });
        return found == dialogs.end() ? nullptr : &*found;
    }

private:
    // Journals an entry of a tray menu that becomes checked, or no longer shows checked (unchecked,
    // or a checked entry leaving the menu): "menu-check text=\"...\" checked=true|false".
    void MenuActionEvent(QMenu* menu, QActionEvent* event)
    {
        QAction* action = event->action();
        if (action == nullptr || !action->isCheckable()) {
            return;
        }
        const bool shown = event->type() != QEvent::ActionRemoved && action->isChecked();
        if (shown == checkedEntries.contains(action) || !IsTrayMenu(menu)) {
            return;
        }
        if (shown) {
            checkedEntries.insert(action);
            connect(action, &QObject::destroyed, this, [this, action] { checkedEntries.remove(action); });
        } else {
            checkedEntries.remove(action);
            disconnect(action, &QObject::destroyed, this, nullptr);
        }
        JournalSafely(QStringLiteral("menu-check"), "text=" + Quoted(ShownText(action->text())) +
                                                        " checked=" + (shown ? "true" : "false"));
    }

    static bool IsTrayMenu(const QMenu* menu)
    {
        const auto holds = [](const auto& self, const QMenu* tree, const QMenu* wanted) -> bool {
            if (tree == wanted) {
                return true;
            }
            for (const QAction* entry : tree->actions()) {
                if (entry->menu() != nullptr && self(self, entry->menu(), wanted)) {
                    return true;
                }
            }
            return false;
        };
        for (const QSystemTrayIcon* icon : TrayIcons()) {
            if (icon->contextMenu() != nullptr && holds(holds, icon->contextMenu(), menu)) {
                return true;
            }
        }
        return false;
    }

    // The tray menus' entries last journalled as checked.
    QSet<const QAction*> checkedEntries;

    void Shown(QWidget* window)
    {
        shownOrder[window] = ++shownCount;
        auto* dialog = qobject_cast<QDialog*>(window);
        if (dialog == nullptr || Find(window) != nullptr) {
            return;
        }
        const bool box = IsMessageBox(dialog);
        if (!box && !dialog->isModal()) {
            return;
        }
        ShownDialog shown{window, dialog, box, box, Describe(dialog, box), {}};
        for (QAbstractButton* button : VisibleIn<QAbstractButton>(dialog)) {
            shown.connections << connect(button, &QAbstractButton::released, this, [this, button] {
                releasing = button;
                QTimer::singleShot(0, this, [this] { releasing = nullptr; });
            });
        }
        dialogs.push_back(shown);
        if (box) {
            JournalSafely(QStringLiteral("message-box-shown"), shown.line);
            const QPointer<QDialog> guarded(dialog);
            QTimer::singleShot(0, this, [guarded] {
                if (!guarded.isNull()) {
                    AnswerFromQueue(guarded, nullptr);
                }
            });
        }
    }

    void Hidden(QWidget* window)
    {
        shownOrder.remove(window);
        ShownDialog* shown = Find(window);
        if (shown == nullptr) {
            return;
        }
        // A dialog that is ending is no longer a QDialog: its details are those known at showing.
        auto* dialog = qobject_cast<QDialog*>(window);
        const QString details = dialog != nullptr ? Describe(dialog, shown->box) : shown->line;
        if (shown->box) {
            QString answer = QStringLiteral("closed");
            if (releasing != nullptr && dialog != nullptr && dialog->isAncestorOf(releasing)) {
                answer = ShownText(releasing->text());
            } else if (const auto* messageBox = qobject_cast<QMessageBox*>(dialog); messageBox && messageBox->clickedButton()) {
                answer = ShownText(messageBox->clickedButton()->text());
            }
            JournalSafely(QStringLiteral("message-box"), details + " answer=" + Quoted(answer));
        } else {
            QString result = QStringLiteral("ended");
            if (dialog != nullptr) {
                result = dialog->result() == QDialog::Accepted   ? QStringLiteral("accepted")
                         : dialog->result() == QDialog::Rejected ? QStringLiteral("rejected")
                                                                 : QString::number(dialog->result());
            }
            JournalSafely(QStringLiteral("dialog"), details + " result=" + result);
        }
        for (const QMetaObject::Connection& connection : shown->connections) {
            disconnect(connection);
        }
        dialogs.erase(dialogs.begin() + (shown - dialogs.data()));
    }

    static QString Describe(const QDialog* dialog, bool box)
    {
        if (box) {
            QString line = "icon=" + MessageBoxIcon(dialog) + " title=" + Quoted(dialog->windowTitle()) +
                           " text=" + Quoted(MessageBoxText(dialog));
            if (const auto* messageBox = qobject_cast<const QMessageBox*>(dialog)) {
                if (!messageBox->informativeText().isEmpty()) {
                    line += " informative=" + Quoted(messageBox->informativeText());
                }
                if (!messageBox->detailedText().isEmpty()) {
                    line += " details=" + Quoted(messageBox->detailedText());
                }
            }
            return line;
        }
        return "class=" + QString::fromLatin1(dialog->metaObject()->className()) + " object=" +
               Quoted(dialog->objectName()) + " title=" + Quoted(dialog->windowTitle());
    }

    quint64 shownCount = 0;
    bool trayIconPainted = false;  // a tray host has painted one of the program's tray icons

public:
    // Gives the box the first queued answer that fits this program; `reply` (optional) hears the outcome.
    static void AnswerFromQueue(QDialog* box, const Reply& reply);
};

Watcher* CurrentWatcher()
{
    static QPointer<Watcher> watcher;
    if (watcher.isNull() && qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        watcher = new Watcher(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(watcher);
    }
    return watcher;
}

void Watcher::AnswerFromQueue(QDialog* box, const Reply& reply)
{
    const auto answered = [reply](const QJsonObject& outcome) {
        if (reply) {
            reply(outcome);
        }
    };
    ShownDialog* shown = CurrentWatcher()->Find(box);
    if (shown == nullptr || !shown->waiting) {
        answered({{"answered", false}});
        return;
    }
    const QJsonObject identity = Identity();
    std::optional<QJsonObject> answer;
    try {
        answer = TakeAnswer(
            [&identity](const QJsonObject& queued) { return IsTarget(identity, queued.value("program").toString()); });
    } catch (const std::exception& error) {
        answered({{"error", QString::fromUtf8(error.what())}});
        return;
    }
    if (!answer) {
        answered({{"answered", false}});
        return;
    }
    const QString title = box->windowTitle();
    const bool close = answer->value("close").toBool();
    const QString name = answer->value("button").toString();
    QAbstractButton* button = close ? nullptr : MessageBoxButton(box, name);
    QString problem;
    if (!close && button == nullptr) {
        QStringList names;
        for (const QAbstractButton* candidate : MessageBoxButtons(box)) {
            names << ShownText(candidate->text());
        }
        problem = "the message box \"" + title + "\" has no button \"" + name + "\" (it has " + names.join(", ") + ")";
    } else if (button != nullptr && !button->isEnabled()) {
        problem = "the button \"" + name + "\" of the message box \"" + title + "\" is disabled";
    }
    if (!problem.isEmpty()) {
        JournalSafely(QStringLiteral("answer-refused"), problem);
        answered({{"error", problem}});
        return;
    }
    shown->waiting = false;
    const QPointer<QDialog> guarded(box);
    Perform(
        [guarded, button, close, title]() -> QString {
            if (guarded.isNull()) {
                return QString();
            }
            if (!close) {
                Click(button);
                return QString();
            }
            CloseWindow(guarded);
            if (!guarded.isNull() && guarded->isVisible()) {
                if (ShownDialog* still = CurrentWatcher()->Find(guarded)) {
                    still->waiting = true;
                }
                return "the message box \"" + title + "\" cannot be closed";
            }
            return QString();
        },
        answered, QJsonObject{{"answered", true}, {"title", title}});
}

}  // namespace

QJsonObject Identity()
{
    return {{"pid", qint64(::getpid())},
            {"program", QFileInfo(QCoreApplication::applicationFilePath()).fileName()},
            {"application", QCoreApplication::applicationName()}};
}

void StartWatching()
{
    CurrentWatcher();
}

QList<QSystemTrayIcon*> TrayIcons()
{
    std::vector<std::pair<quint64, QSystemTrayIcon*>> icons;
    {
        Objects& objects = TrackedObjects();
        const std::lock_guard lock(objects.mutex);
        for (const auto& [object, order] : objects.made) {
            if (auto* icon = qobject_cast<QSystemTrayIcon*>(object)) {
                icons.emplace_back(order, icon);
            }
        }
    }
    std::sort(icons.begin(), icons.end());
    QList<QSystemTrayIcon*> result;
    for (const auto& icon : icons) {
        result << icon.second;
    }
    return result;
}

QList<QWidget*> ShownWindows()
{
    const Watcher* watcher = CurrentWatcher();
    QList<QWidget*> windows;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() != Qt::ToolTip && !window->inherits("QSystemTrayIconSys")) {
            windows << window;
        }
    }
    std::stable_sort(windows.begin(), windows.end(), [watcher](const QWidget* left, const QWidget* right) {
        return watcher->shownOrder.value(left) < watcher->shownOrder.value(right);
    });
    return windows;
}

bool IsMessageBox(const QDialog* dialog)
{
    if (qobject_cast<const QMessageBox*>(dialog) != nullptr) {
        return true;
    }
    if (!dialog->isModal()) {
        return false;
    }
    bool buttons = false;
    for (const QWidget* widget : VisibleIn<QWidget>(dialog)) {
        if (!IsControl(widget)) {
            continue;
        }
        const auto* button = qobject_cast<const QPushButton*>(widget);
        if (button == nullptr || button->isCheckable()) {
            return false;
        }
        buttons = true;
    }
    return buttons;
}

bool IsWaiting(const QDialog* box)
{
    const ShownDialog* shown = CurrentWatcher()->Find(box);
    return shown != nullptr && shown->waiting;
}

void AnswerWaitingBox(const Reply& reply)
{
    const std::vector<ShownDialog>& dialogs = CurrentWatcher()->dialogs;
    for (auto shown = dialogs.rbegin(); shown != dialogs.rend(); ++shown) {
        if (shown->waiting && !shown->dialog.isNull()) {
            Watcher::AnswerFromQueue(shown->dialog, reply);
            return;
        }
    }
    reply({{"answered", false}});
}

}  // namespace WinSim::User::Detail
