// winsim cmd and winsim schtasks: the command interpreter behind ShellExecuteExW and the task tool.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/TaskScheduler.h"

#include <cstdio>
#include <optional>

namespace {

using namespace Winsim;
using WinSim::TaskStatus;

int Cmd(QStringList args)
{
    if (args.size() != 2 || args[0].compare(QLatin1String("/c"), Qt::CaseInsensitive) != 0) {
        throw UsageError{QStringLiteral("cmd needs /c FILE")};
    }
    const int code = WinSim::RunBatchFile(args[1]);
    std::fflush(stdout);
    return code;
}

// The task tool's texts end with CR LF, as on Windows.
int Say(std::FILE* stream, const QString& text, int code)
{
    std::fputs((text + "\r\n").toUtf8().constData(), stream);
    return code;
}

int SchTasksError(const QString& text)
{
    return Say(stderr, "ERROR: " + text, 1);
}

struct SchTasksOptions {
    QString operation;
    QString name;
    QString xml;
    bool force = false;
};

// Options ignore case; /TN and /XML take the next argument. Null (after the message) when the
// arguments are not understood.
std::optional<SchTasksOptions> ParseSchTasks(const QStringList& args)
{
    SchTasksOptions options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString option = args[i].toLower();
        if (i == 0 && (option == "/query" || option == "/create" || option == "/delete")) {
            options.operation = option;
        } else if ((option == "/tn" || option == "/xml") && i + 1 < args.size()) {
            (option == "/tn" ? options.name : options.xml) = args[++i];
        } else if (option == "/f") {
            options.force = true;
        } else {
            SchTasksError("Invalid argument/option - '" + args[i] + "'.\r\nType \"SCHTASKS /?\" for usage.");
            return std::nullopt;
        }
    }
    if (options.operation.isEmpty() || (options.operation != "/query" && options.name.isEmpty()) ||
        (options.operation == "/create" && options.xml.isEmpty())) {
        SchTasksError(QStringLiteral("Invalid syntax.\r\nType \"SCHTASKS /?\" for usage."));
        return std::nullopt;
    }
    return options;
}

int QueryTasks(const SchTasksOptions& options)
{
    QStringList names = WinSim::TaskNames();
    if (!options.name.isEmpty()) {
        const QString found = WinSim::FindTask(options.name);
        if (found.isEmpty()) {
            return SchTasksError(QStringLiteral("The system cannot find the file specified."));
        }
        names = {found};
    }
    Say(stdout, QStringLiteral("\r\nFolder: \\"), 0);
    Say(stdout, QStringLiteral("%1 %2 %3").arg("TaskName", -40).arg("Next Run Time", -22).arg("Status"), 0);
    Say(stdout, QString(40, '=') + " " + QString(22, '=') + " " + QString(15, '='), 0);
    for (const QString& name : names) {
        Say(stdout, QStringLiteral("%1 %2 %3").arg(name, -40).arg("N/A", -22).arg("Ready"), 0);
    }
    return 0;
}

int CreateTask(const SchTasksOptions& options)
{
    bool exists = false;
    const QByteArray xml = WinSim::Detail::ReadWholeFile(WinSim::MapWindowsPath(options.xml), &exists);
    if (!exists) {
        return SchTasksError(QStringLiteral("The system cannot find the file specified."));
    }
    QString error;
    switch (WinSim::CreateTask(options.name, xml, options.force, error)) {
    case TaskStatus::Ok:
        return Say(stdout, "SUCCESS: The scheduled task \"" + options.name + "\" has successfully been created.", 0);
    case TaskStatus::AccessDenied:
        return SchTasksError(QStringLiteral("Access is denied."));
    case TaskStatus::AlreadyExists:
        return SchTasksError(QStringLiteral("Cannot create a file when that file already exists."));
    case TaskStatus::InvalidName:
        return SchTasksError(QStringLiteral("The filename, directory name, or volume label syntax is incorrect."));
    default:
        return SchTasksError("The task XML is malformed.\r\n" + error);
    }
}

int DeleteTask(const SchTasksOptions& options)
{
    switch (WinSim::DeleteTask(options.name)) {
    case TaskStatus::Ok:
        return Say(stdout, "SUCCESS: The scheduled task \"" + options.name + "\" was successfully deleted.", 0);
    case TaskStatus::NotFound:
        return SchTasksError(QStringLiteral("The system cannot find the file specified."));
    default:
        return SchTasksError(QStringLiteral("Access is denied."));
    }
}

int SchTasks(QStringList args)
{
    WinSim::Journal(QStringLiteral("schtasks"), args.join(' '));
    const std::optional<SchTasksOptions> options = ParseSchTasks(args);
    if (!options) {
        return 1;
    }
    if (options->operation == "/query") {
        return QueryTasks(*options);
    }
    return options->operation == "/create" ? CreateTask(*options) : DeleteTask(*options);
}

const bool registered =
    RegisterCommand(QStringLiteral("cmd"), QStringLiteral("cmd /c FILE"),
                    QStringLiteral("runs a batch file as the command interpreter would; exits with its last exit code"),
                    Cmd) &&
    RegisterCommand(QStringLiteral("schtasks"),
                    QStringLiteral("schtasks /Query [/TN NAME] | /Create [/F] /TN NAME /XML FILE | /Delete [/F] /TN NAME"),
                    QStringLiteral("the task tool over the machine's task store (creating needs elevation); exit "
                                   "code 1 for a missing task or refused request"),
                    SchTasks);

}  // namespace
