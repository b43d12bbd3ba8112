// winsim user: the simulated user of the machine's GUI programs (WindowsStandIn/SimulatedUser.h).
#include "tools/winsim/Command.h"

#include "WindowsStandIn/SimulatedUser.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

using namespace Winsim;
namespace User = WinSim::User;

constexpr int DefaultTimeout = 5000;  // for a step, from finding its program to acting
constexpr int ReplyTimeout = 5000;    // for a program's reply beyond the step's own time
constexpr int RetryInterval = 25;

struct Options {
    QString program;
    int timeout = DefaultTimeout;
    bool close = false;
    bool context = false;
    bool replace = false;
    QStringList arguments;
};

// Options may stand anywhere before "--"; what follows "--" is taken as it is.
Options Parse(QStringList args, const QStringList& flags)
{
    Options options;
    while (!args.isEmpty()) {
        const QString option = args.takeFirst();
        if (option == "--") {
            options.arguments += args;
            break;
        }
        if (!option.startsWith("--")) {
            options.arguments << option;
        } else if ((option == "--program" || option == "--timeout") && !args.isEmpty()) {
            const QString value = args.takeFirst();
            if (option == "--program") {
                options.program = value;
                continue;
            }
            bool ok = false;
            options.timeout = value.toInt(&ok);
            if (!ok || options.timeout < 0) {
                throw UsageError{"bad timeout " + value};
            }
        } else if (flags.contains(option)) {
            (option == "--close" ? options.close : option == "--replace" ? options.replace : options.context) = true;
        } else {
            throw UsageError{"unknown option " + option};
        }
    }
    return options;
}

// The identities of the running GUI programs that `target` names (all of them for an empty one);
// a program that does not reply within `timeout` ms is left out.
QList<QJsonObject> GuiPrograms(const QString& target, int timeout = ReplyTimeout)
{
    QList<QJsonObject> programs;
    for (const qint64 pid : User::ListeningPrograms()) {
        const std::optional<QJsonObject> identity = User::Request(pid, {{"action", "hello"}}, timeout);
        if (identity && identity->value("gui").toBool() && User::IsTarget(*identity, target)) {
            programs << *identity;
        }
    }
    return programs;
}

QString Named(const QJsonObject& program)
{
    return program.value("program").toString() + " (" + QString::number(program.value("pid").toInteger()) + ")";
}

int Show(const Options& options)
{
    Expect(options.arguments, 0);
    QJsonArray programs;
    for (const qint64 pid : User::ListeningPrograms()) {
        const std::optional<QJsonObject> shown = User::Request(pid, {{"action", "show"}}, ReplyTimeout);
        if (!shown) {
            // A program whose GUI thread is busy is listed all the same.
            if (User::IsTarget({{"pid", pid}}, options.program)) {
                programs.append(QJsonObject{{"pid", pid}, {"error", "did not reply"}});
            }
        } else if (!shown->contains("error") && User::IsTarget(*shown, options.program)) {
            programs.append(*shown);
        }
    }
    if (programs.isEmpty() && !options.program.isEmpty()) {
        return Fail("no program " + options.program + " with a user interface runs");
    }
    const QJsonObject shown{{"programs", programs}, {"answers", User::QueuedAnswers()}};
    std::fputs(QJsonDocument(shown).toJson(QJsonDocument::Indented).constData(), stdout);
    return 0;
}

int Answer(const Options& options)
{
    if (options.close == (options.arguments.size() == 1) || options.arguments.size() > 1) {
        throw UsageError{QStringLiteral("answer needs BUTTON or --close")};
    }
    QJsonObject answer = options.close ? QJsonObject{{"close", true}} : QJsonObject{{"button", options.arguments[0]}};
    if (!options.program.isEmpty()) {
        answer.insert("program", options.program);
    }
    User::QueueAnswer(answer);
    // A box already shown takes it now; otherwise the next box takes it when it shows.
    for (const QJsonObject& program : GuiPrograms(options.program)) {
        const auto outcome = User::Request(program.value("pid").toInteger(), {{"action", "answer"}}, ReplyTimeout);
        if (outcome && outcome->contains("error")) {
            return Fail(outcome->value("error").toString());
        }
        if (outcome && outcome->value("answered").toBool()) {
            Print("answered \"" + outcome->value("title").toString() + "\" in " + Named(program));
            return 0;
        }
    }
    Print(QStringLiteral("queued"));
    return 0;
}

int Step(const QString& action, const Options& options, QJsonObject request)
{
    const QDeadlineTimer deadline(options.timeout);
    QList<QJsonObject> programs;
    const auto helloTimeout = [&deadline] { return int(std::clamp<qint64>(deadline.remainingTime(), 100, ReplyTimeout)); };
    while ((programs = GuiPrograms(options.program, helloTimeout())).isEmpty() && !deadline.hasExpired()) {
        QThread::msleep(RetryInterval);
    }
    if (programs.isEmpty()) {
        return Fail("no program" + (options.program.isEmpty() ? QString() : " " + options.program) +
                    " with a user interface runs (waited " + QString::number(options.timeout) + " ms)");
    }
    if (programs.size() > 1) {
        QStringList names;
        for (const QJsonObject& program : programs) {
            names << Named(program);
        }
        return Fail("several programs run: " + names.join(", ") + "; choose one with --program");
    }
    const int remaining = int(deadline.remainingTime());
    request.insert("action", action);
    request.insert("timeout", remaining);
    const auto outcome = User::Request(programs.first().value("pid").toInteger(), request, remaining + ReplyTimeout);
    if (!outcome) {
        return Fail(Named(programs.first()) + " did not reply");
    }
    if (outcome->contains("error")) {
        const bool waited = outcome->value("waited").toBool();
        return Fail(outcome->value("error").toString() +
                    (waited ? " (waited " + QString::number(options.timeout) + " ms)" : QString()));
    }
    return 0;
}

int UserCommand(QStringList args)
{
    if (args.isEmpty()) {
        throw UsageError{QStringLiteral("user needs an action")};
    }
    const QString action = args.takeFirst();
    if (action == "show") {
        return Show(Parse(args, {}));
    }
    if (action == "answer") {
        return Answer(Parse(args, {"--close"}));
    }
    if (action == "type") {
        const Options options = Parse(args, {"--replace"});
        Expect(options.arguments, 2);
        return Step(action, options,
                    {{"target", options.arguments[0]}, {"text", options.arguments[1]}, {"replace", options.replace}});
    }
    if (action == "click") {
        const Options options = Parse(args, {"--context"});
        Expect(options.arguments, 1);
        return Step(action, options, {{"target", options.arguments[0]}, {"context", options.context}});
    }
    if (action == "trigger" || action == "close") {
        const Options options = Parse(args, {});
        Expect(options.arguments, 1);
        return Step(action, options, {{"target", options.arguments[0]}});
    }
    throw UsageError{"unknown user action " + action};
}

const bool registered = RegisterCommand(
    QStringLiteral("user"),
    QStringLiteral("user show|answer|type|click|trigger|close [--program PID|NAME] [--timeout MS] ..."),
    QStringLiteral("acts as the user of the machine's GUI programs (steps wait up to MS, default 5000):\n"
                   "        show                           prints tray icons, menus and shown windows as JSON\n"
                   "        answer BUTTON|--close          answers the message box shown, else the next one\n"
                   "        type [--replace] OBJECT TEXT   types TEXT into a widget, key by key (--replace:\n"
                   "                                       selects all first, so TEXT replaces what it held)\n"
                   "        click OBJECT|tray [--context]  clicks a widget or the tray icon\n"
                   "        trigger TEXT                   chooses a menu entry, else presses a button, by text\n"
                   "        close OBJECT                   closes a shown window as its title bar's button would"),
    UserCommand);

}  // namespace
