// The task tool (schtasks) over the machine's task store.
#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/TaskScheduler.h"

#include <QDir>

#include <optional>

namespace WinSim {
namespace {

// The tool's texts end with CR LF, as on Windows.
int Say(int fd, const QString& text, int code)
{
    WriteToStream(fd, text + "\r\n");
    return code;
}

struct Options {
    QString operation;
    QString name;
    QString xml;
    bool force = false;
};

class TaskTool {
public:
    TaskTool(int output, int error, bool elevated, const QString& directory)
        : output(output), error(error), elevated(elevated), directory(directory)
    {
    }

    int Run(const QStringList& args)
    {
        const std::optional<Options> options = Parse(args);
        if (!options) {
            return 1;
        }
        if (options->operation == "/query") {
            return Query(*options);
        }
        return options->operation == "/create" ? Create(*options) : Delete(*options);
    }

private:
    int Fail(const QString& text) { return Say(error, "ERROR: " + text, 1); }

    // Options ignore case; /TN and /XML take the next argument. Null (after the message) when the
    // arguments are not understood.
    std::optional<Options> Parse(const QStringList& args)
    {
        Options options;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString option = args[i].toLower();
            if (i == 0 && (option == "/query" || option == "/create" || option == "/delete")) {
                options.operation = option;
            } else if ((option == "/tn" || option == "/xml") && i + 1 < args.size()) {
                (option == "/tn" ? options.name : options.xml) = args[++i];
            } else if (option == "/f") {
                options.force = true;
            } else {
                Fail("Invalid argument/option - '" + args[i] + "'.\r\nType \"SCHTASKS /?\" for usage.");
                return std::nullopt;
            }
        }
        if (options.operation.isEmpty() || (options.operation != "/query" && options.name.isEmpty()) ||
            (options.operation == "/create" && options.xml.isEmpty())) {
            Fail(QStringLiteral("Invalid syntax.\r\nType \"SCHTASKS /?\" for usage."));
            return std::nullopt;
        }
        return options;
    }

    int Query(const Options& options)
    {
        QStringList names = TaskNames();
        if (!options.name.isEmpty()) {
            const QString found = FindTask(options.name);
            if (found.isEmpty()) {
                return Fail(QStringLiteral("The system cannot find the file specified."));
            }
            names = {found};
        }
        Say(output, QStringLiteral("\r\nFolder: \\"), 0);
        Say(output, QStringLiteral("%1 %2 %3").arg("TaskName", -40).arg("Next Run Time", -22).arg("Status"), 0);
        Say(output, QString(40, '=') + " " + QString(22, '=') + " " + QString(15, '='), 0);
        for (const QString& name : names) {
            Say(output, QStringLiteral("%1 %2 %3").arg(name, -40).arg("N/A", -22).arg("Ready"), 0);
        }
        return 0;
    }

    int Create(const Options& options)
    {
        bool exists = false;
        QString path = MapWindowsPath(options.xml);
        if (!directory.isEmpty() && QDir::isRelativePath(path)) {
            path = QDir(directory).filePath(path);
        }
        const QByteArray xml = Detail::ReadWholeFile(path, &exists);
        if (!exists) {
            return Fail(QStringLiteral("The system cannot find the file specified."));
        }
        QString problem;
        switch (CreateTask(options.name, xml, options.force, problem, elevated)) {
        case TaskStatus::Ok:
            return Say(output, "SUCCESS: The scheduled task \"" + options.name + "\" has successfully been created.", 0);
        case TaskStatus::AccessDenied:
            return Fail(QStringLiteral("Access is denied."));
        case TaskStatus::AlreadyExists:
            return Fail(QStringLiteral("Cannot create a file when that file already exists."));
        case TaskStatus::InvalidName:
            return Fail(QStringLiteral("The filename, directory name, or volume label syntax is incorrect."));
        default:
            return Fail("The task XML is malformed.\r\n" + problem);
        }
    }

    int Delete(const Options& options)
    {
        switch (DeleteTask(options.name)) {
        case TaskStatus::Ok:
            return Say(output, "SUCCESS: The scheduled task \"" + options.name + "\" was successfully deleted.", 0);
        case TaskStatus::NotFound:
            return Fail(QStringLiteral("The system cannot find the file specified."));
        default:
            return Fail(QStringLiteral("Access is denied."));
        }
    }

    int output;
    int error;
    bool elevated;
    QString directory;
};

}  // namespace

int RunTaskTool(const QStringList& arguments, int output, int error, bool elevated, const QString& directory)
{
    Journal(QStringLiteral("schtasks"), arguments.join(' '));
    return TaskTool(output, error, elevated, directory).Run(arguments);
}

}  // namespace WinSim
