// The simulated user (`winsim user`). Requests reach a program over its native-event listener
// (Messages.h; the request functions come with WindowsStandInNetwork) and are answered by the
// program's user-interface side, the WindowsStandInUser library, which only GUI programs load and
// which registers itself as the request handler. Answers to message boxes wait in the machine
// ("user.json") until a box takes them.
#pragma once

#include "WindowsStandIn/Machine.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <functional>
#include <optional>

namespace WinSim::User {

// A request and its reply are JSON objects; a failed request replies {"error": TEXT}.
using Reply = std::function<void(const QJsonObject& reply)>;
using RequestHandler = std::function<void(const QJsonObject& request, const Reply& reply)>;

// Called on the GUI thread for every request; the handler replies once, at once or later.
// Without a handler a program replies {"error": ..., "gui": false}.
void SetRequestHandler(RequestHandler handler);

// The process ids of the machine's running programs that listen (announcements of ended ones
// are removed).
QList<qint64> ListeningPrograms(const QString& machine = MachineDirectory());

// Sends `request` to one program and waits up to `timeout` ms for its reply; nothing when the
// program does not listen or does not reply in time (nor for this process itself).
std::optional<QJsonObject> Request(qint64 pid, const QJsonObject& request, int timeout,
                                   const QString& machine = MachineDirectory());

// A program's identity is {"pid", "program" (its file name), "application" (its application name)};
// a target names a program by any of the three (empty: every program).
bool IsTarget(const QJsonObject& identity, const QString& target);

// The answer queue. An answer is {"button": TEXT} or {"close": true}, with an optional "program"
// (a process id or a program name) that restricts it to that program's boxes.
void QueueAnswer(const QJsonObject& answer, const QString& machine = MachineDirectory());
QJsonArray QueuedAnswers(const QString& machine = MachineDirectory());
// Removes and returns the first queued answer for which `fits` holds.
std::optional<QJsonObject> TakeAnswer(const std::function<bool(const QJsonObject&)>& fits,
                                      const QString& machine = MachineDirectory());

}  // namespace WinSim::User
