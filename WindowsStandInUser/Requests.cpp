// The requests of `winsim user` in a GUI program: registered when the library loads, served on
// the GUI thread by the native-event listener.
#include "WindowsStandInUser/Input.h"
#include "WindowsStandInUser/Inspection.h"
#include "WindowsStandInUser/PaintMark/TrayPaintMark.h"
#include "WindowsStandInUser/Tracking.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

namespace WinSim::User::Detail {
namespace {

constexpr int RetryInterval = 20;
constexpr int DefaultTimeout = 5000;

// One step on a widget, menu entry or the tray icon, retried until its target can be acted on or
// its time is up.
class Step : public QObject {
public:
    Step(const QJsonObject& request, Reply reply)
        : QObject(qApp), request(request), reply(std::move(reply)),
          deadline(request.value("timeout").toInt(DefaultTimeout))
    {
        connect(&retry, &QTimer::timeout, this, &Step::Attempt);
        retry.start(RetryInterval);
        Attempt();
    }

private:
    // Finds the target; when it can be acted on, returns the action, else sets `problem`.
    std::function<QString()> Resolve(QString& problem)
    {
        const QString action = request.value("action").toString();
        const QString target = request.value("target").toString();
        if (action == "click" && target == "tray") {
            return ResolveTray(problem);
        }
        if (action == "click" || action == "type" || action == "close") {
            const Found<QWidget*> found = FindWidget(target);
            problem = found.problem;
            if (problem.isEmpty() && action == "close" && !found.target->isWindow()) {
                problem = "\"" + target + "\" is no window";
            }
            if (!problem.isEmpty()) {
                return nullptr;
            }
            QPointer<QWidget> widget(found.target);
            const QString text = request.value("text").toString();
            const bool replace = request.value("replace").toBool();
            return [widget, text, action, replace]() -> QString {
                if (widget.isNull()) {
                    return QStringLiteral("the widget ended before the step");
                }
                if (action == "click") {
                    Click(widget);
                } else if (action == "close") {
                    CloseWindow(widget);
                } else {
                    Type(widget, text, replace);
                }
                return QString();
            };
        }
        MenuEntry entry;
        QAbstractButton* button = nullptr;
        problem = FindTrigger(target, entry, button);
        if (!problem.isEmpty()) {
            return nullptr;
        }
        if (button != nullptr) {
            QPointer<QAbstractButton> guarded(button);
            return [guarded]() -> QString {
                if (!guarded.isNull()) {
                    Click(guarded);
                }
                return QString();
            };
        }
        return [entry] { return ChooseEntry(entry); };
    }

    std::function<QString()> ResolveTray(QString& problem)
    {
        for (QSystemTrayIcon* icon : TrayIcons()) {
            if (!icon->isVisible()) {
                continue;
            }
            QPointer<QSystemTrayIcon> guarded(icon);
            const bool context = request.value("context").toBool();
            return [guarded, context]() -> QString {
                if (guarded.isNull()) {
                    return QString();
                }
                if (!context) {
                    emit guarded->activated(QSystemTrayIcon::Trigger);
                    return QString();
                }
                // As on Windows: the program hears of the request first, then the menu opens.
                emit guarded->activated(QSystemTrayIcon::Context);
                if (!guarded.isNull() && guarded->contextMenu() != nullptr) {
                    guarded->contextMenu()->popup(QCursor::pos());
                }
                return QString();
            };
        }
        problem = QStringLiteral("no visible tray icon");
        return nullptr;
    }

    void Attempt()
    {
        if (done) {
            return;
        }
        QString problem;
        const std::function<QString()> action = Resolve(problem);
        if (!action && !deadline.hasExpired()) {
            return;
        }
        done = true;
        retry.stop();
        deleteLater();
        if (!action) {
            reply({{"error", problem}, {"waited", true}});
            return;
        }
        Perform(action, Reply(reply), {{"done", true}});
    }

    QJsonObject request;
    Reply reply;
    QDeadlineTimer deadline;
    QTimer retry;
    bool done = false;
};

void Handle(const QJsonObject& request, const Reply& reply)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        reply({{"error", "this program has no user interface"}, {"gui", false}});
        return;
    }
    const QString action = request.value("action").toString();
    if (action == "hello") {
        QJsonObject identity = Identity();
        identity.insert("gui", true);
        reply(identity);
    } else if (action == "show") {
        reply(DescribeProgram());
    } else if (action == "answer") {
        AnswerWaitingBox(reply);
    } else if (action == "click" || action == "type" || action == "trigger" || action == "close") {
        new Step(request, reply);
    } else {
        reply({{"error", "unknown request " + action}});
    }
}

const bool registered = [] {
    SetRequestHandler(Handle);
    return true;
}();

}  // namespace
}  // namespace WinSim::User::Detail

namespace {

// Like the listener, only on a machine: a program run outside one has no simulated user.
void StartSimulatedUser()
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        WinSim::InstallTrayPaintMark();
    }
    try {
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr ||
            !QFileInfo::exists(WinSim::DescriptionFile())) {
            return;
        }
    } catch (const std::exception&) {
        return;
    }
    WinSim::User::Detail::StartWatching();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartSimulatedUser)
