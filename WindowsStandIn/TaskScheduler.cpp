#include "WindowsStandIn/TaskScheduler.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace WinSim {
namespace {

QString TasksFolder()
{
    return MapWindowsPath(QStringLiteral("C:/Windows/System32/Tasks"));
}

// What the atomic writer leaves beside a file while it writes it: no task.
bool TemporaryName(const QString& name)
{
    static const QRegularExpression temporary(QStringLiteral("\\.tmp\\.[0-9]+$"));
    return temporary.match(name).hasMatch();
}

// Task names live in the root folder (a leading "\" names it); no other folders are kept.
bool ValidName(const QString& name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    if (name.isEmpty() || name == "." || name == ".." || name.trimmed() != name || TemporaryName(name)) {
        return false;
    }
    for (const QChar c : name) {
        if (forbidden.contains(c) || c.unicode() < 0x20) {
            return false;
        }
    }
    return true;
}

QString RootName(const QString& name)
{
    return name.startsWith('\\') ? name.mid(1) : name;
}

bool BooleanText(const QString& text)
{
    return text.trimmed() == QLatin1String("true") || text.trimmed() == QLatin1String("1");
}

// Reads the element's text; false with `error` set when it holds elements.
bool ReadText(QXmlStreamReader& reader, QString& text)
{
    text = reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
    return !reader.hasError();
}

void ReadExec(QXmlStreamReader& reader, TaskDefinition& definition)
{
    TaskAction action;
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("Command")) {
            ReadText(reader, action.command);
        } else if (reader.name() == QLatin1String("Arguments")) {
            ReadText(reader, action.arguments);
        } else {
            reader.skipCurrentElement();
        }
    }
    definition.actions.append(action);
}

void ReadTriggers(QXmlStreamReader& reader, TaskDefinition& definition)
{
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("LogonTrigger")) {
            reader.skipCurrentElement();
            continue;
        }
        bool enabled = true;
        while (reader.readNextStartElement()) {
            QString text;
            if (reader.name() == QLatin1String("Enabled") && ReadText(reader, text)) {
                enabled = BooleanText(text);
            } else if (!reader.hasError()) {
                reader.skipCurrentElement();
            }
        }
        definition.logonTrigger = definition.logonTrigger || enabled;
    }
}

void ReadSettings(QXmlStreamReader& reader, TaskDefinition& definition)
{
    while (reader.readNextStartElement()) {
        QString text;
        if (reader.name() == QLatin1String("Enabled") && ReadText(reader, text)) {
            definition.enabled = BooleanText(text);
        } else if (!reader.hasError()) {
            reader.skipCurrentElement();
        }
    }
}

}  // namespace

std::optional<TaskDefinition> ParseTaskDefinition(const QByteArray& xml, QString& error)
{
    QXmlStreamReader reader(xml);
    TaskDefinition definition;
    if (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("Task") || reader.namespaceUri() != QLatin1String(TaskNamespace)) {
            error = QStringLiteral("the root element is not a Task of the task namespace");
            return std::nullopt;
        }
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("Actions")) {
                while (reader.readNextStartElement()) {
                    if (reader.name() == QLatin1String("Exec")) {
                        ReadExec(reader, definition);
                    } else {
                        reader.skipCurrentElement();
                    }
                }
            } else if (reader.name() == QLatin1String("Triggers")) {
                ReadTriggers(reader, definition);
            } else if (reader.name() == QLatin1String("Settings")) {
                ReadSettings(reader, definition);
            } else {
                reader.skipCurrentElement();
            }
        }
    }
    // The whole document must be well-formed.
    while (!reader.atEnd()) {
        reader.readNext();
    }
    if (reader.hasError()) {
        error = QStringLiteral("(%1,%2): %3").arg(reader.lineNumber()).arg(reader.columnNumber()).arg(reader.errorString());
        return std::nullopt;
    }
    if (definition.actions.isEmpty()) {
        error = QStringLiteral("the task has no Exec action");
        return std::nullopt;
    }
    for (const TaskAction& action : definition.actions) {
        if (action.command.trimmed().isEmpty()) {
            error = QStringLiteral("an Exec action has no Command");
            return std::nullopt;
        }
    }
    return definition;
}

QStringList TaskNames()
{
    // What a symbolic link shows is no task of the machine.
    if (QFileInfo(TasksFolder()).isSymLink()) {
        return {};
    }
    QStringList names = QDir(TasksFolder()).entryList(QDir::Files | QDir::NoSymLinks, QDir::Name | QDir::IgnoreCase);
    names.removeIf(TemporaryName);
    return names;
}

QString FindTask(const QString& name)
{
    const QString wanted = RootName(name);
    for (const QString& stored : TaskNames()) {
        if (stored.compare(wanted, Qt::CaseInsensitive) == 0) {
            return stored;
        }
    }
    return QString();
}

TaskStatus CreateTask(const QString& name, const QByteArray& xml, bool replace, QString& error)
{
    return CreateTask(name, xml, replace, error, IsElevated());
}

TaskStatus CreateTask(const QString& name, const QByteArray& xml, bool replace, QString& error, bool elevated)
{
    const QString wanted = RootName(name);
    if (!ValidName(wanted)) {
        return TaskStatus::InvalidName;
    }
    if (!elevated) {
        return TaskStatus::AccessDenied;
    }
    if (!ParseTaskDefinition(xml, error)) {
        return TaskStatus::InvalidDefinition;
    }
    Detail::MakeMachineFolder(TasksFolder());
    QLockFile lock(TasksFolder() + ".lock");
    if (!Detail::LockPromptly(lock)) {
        error = QStringLiteral("the task store is locked");
        return TaskStatus::AccessDenied;
    }
    const QString existing = FindTask(wanted);
    if (!existing.isEmpty()) {
        if (!replace) {
            return TaskStatus::AlreadyExists;
        }
        QFile::remove(TasksFolder() + "/" + existing);
    }
    // A link at the name is replaced, never written through.
    if (!Detail::WriteFileAtomically(TasksFolder() + "/" + wanted, xml)) {
        error = QStringLiteral("the definition could not be stored");
        return TaskStatus::AccessDenied;
    }
    Journal(QStringLiteral("task-created"), wanted);
    return TaskStatus::Ok;
}

TaskStatus DeleteTask(const QString& name)
{
    Detail::MakeMachineFolder(TasksFolder());
    QLockFile lock(TasksFolder() + ".lock");
    if (!Detail::LockPromptly(lock)) {
        return TaskStatus::AccessDenied;
    }
    const QString existing = FindTask(name);
    if (existing.isEmpty()) {
        return TaskStatus::NotFound;
    }
    if (!QFile::remove(TasksFolder() + "/" + existing)) {
        return TaskStatus::AccessDenied;
    }
    Journal(QStringLiteral("task-deleted"), existing);
    return TaskStatus::Ok;
}

std::optional<TaskDefinition> ReadTask(const QString& name)
{
    const QString existing = FindTask(name);
    if (existing.isEmpty()) {
        return std::nullopt;
    }
    QString error;
    return ParseTaskDefinition(Detail::ReadWholeFile(TasksFolder() + "/" + existing), error);
}

}  // namespace WinSim
