// The Task Scheduler's store: one definition file per task in the machine's
// "C:/Windows/System32/Tasks" folder, named after the task (names compare ignoring case).
// `RunTaskTool` is the command-line tool over it (`winsim schtasks`, and "SchTasks" in batch files,
// which the interpreter runs in its own process); `winsim event logon` starts the logon tasks.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace WinSim {

inline constexpr const char* TaskNamespace = "http://schemas.microsoft.com/windows/2004/02/mit/task";

struct TaskAction {
    QString command;    // as written, possibly in double quotes
    QString arguments;  // one text, split as Windows programs split their command line
};

struct TaskDefinition {
    bool enabled = true;
    bool logonTrigger = false;  // an enabled LogonTrigger
    QList<TaskAction> actions;
};

// Reads a task definition with a conforming XML parser (the encoding from its byte-order mark and
// declaration); null with `error` set when it is no well-formed definition with an Exec action.
std::optional<TaskDefinition> ParseTaskDefinition(const QByteArray& xml, QString& error);

enum class TaskStatus { Ok, NotFound, AlreadyExists, AccessDenied, InvalidName, InvalidDefinition };

QStringList TaskNames();
// The stored name of a task (its own spelling), or an empty string.
QString FindTask(const QString& name);
// Creation needs elevation (of this process, or `elevated` for a tool run on an elevated one's
// behalf); the definition is stored as given once it parses.
TaskStatus CreateTask(const QString& name, const QByteArray& xml, bool replace, QString& error);
TaskStatus CreateTask(const QString& name, const QByteArray& xml, bool replace, QString& error, bool elevated);
TaskStatus DeleteTask(const QString& name);
std::optional<TaskDefinition> ReadTask(const QString& name);

// schtasks: "/Query [/TN NAME]", "/Create [/F] /TN NAME /XML FILE", "/Delete [/F] /TN NAME" (options
// ignore case), with schtasks' texts (lines ending in CR LF) written to the descriptors `output` and
// `error`; journalled as "schtasks" with its arguments. A relative /XML path lies in `directory`
// (empty: this process's working directory). Returns the exit code: 0, or 1 for a missing task, a
// refused request or arguments it does not understand.
int RunTaskTool(const QStringList& arguments, int output, int error, bool elevated,
                const QString& directory = QString());

}  // namespace WinSim
