#include "WindowsStandIn/Batch.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Shell.h"
#include "WindowsStandIn/TaskScheduler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QStandardPaths>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace WinSim {
namespace {

constexpr int NotRecognised = 9009;

struct Redirection {
    int fd = 1;
    QString target;  // a file, unless `duplicate` >= 0
    int duplicate = -1;
    bool append = false;
};

struct SimpleCommand {
    QString text;  // without its redirections
    std::vector<Redirection> redirections;
    QString join;  // operator before this command: "", "&", "&&" or "||"
};

bool IsBlank(QChar c)
{
    return c == ' ' || c == '\t';
}

bool IsSpecial(QChar c)
{
    return c == '&' || c == '|' || c == '<' || c == '>';
}

// Splits an expanded line into commands with their redirections. False for what the interpreter
// does not understand (pipes), with `error` set.
bool ParseLine(const QString& line, std::vector<SimpleCommand>& commands, QString& error)
{
    commands.push_back({});
    bool quoted = false;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const QChar c = line[i];
        SimpleCommand& current = commands.back();
        if (c == '"') {
            quoted = !quoted;
            current.text += c;
            ++i;
            continue;
        }
        if (quoted) {
            current.text += c;
            ++i;
            continue;
        }
        if (c == '^') {
            if (i + 1 < n) {
                current.text += line[i + 1];
            }
            i += 2;
            continue;
        }
        if (c == '&' || c == '|') {
            const bool doubled = i + 1 < n && line[i + 1] == c;
            if (c == '|' && !doubled) {
                error = QStringLiteral("pipes are not supported");
                return false;
            }
            commands.push_back({});
            commands.back().join = doubled ? QString(2, c) : QString(c);
            i += doubled ? 2 : 1;
            continue;
        }
        if (c == '>' || c == '<') {
            Redirection redirection;
            redirection.fd = c == '>' ? 1 : 0;
            // "2>": a single digit written straight before the operator names the stream.
            const qsizetype length = current.text.size();
            if (length >= 1 && current.text[length - 1].isDigit() &&
                (length == 1 || IsBlank(current.text[length - 2]))) {
                redirection.fd = current.text[length - 1].digitValue();
                current.text.chop(1);
            }
            ++i;
            if (c == '>' && i < n && line[i] == '>') {
                redirection.append = true;
                ++i;
            }
            if (i + 1 < n && line[i] == '&' && line[i + 1].isDigit()) {
                redirection.duplicate = line[i + 1].digitValue();
                i += 2;
            } else {
                while (i < n && IsBlank(line[i])) {
                    ++i;
                }
                bool targetQuoted = false;
                while (i < n && (targetQuoted || (!IsBlank(line[i]) && !IsSpecial(line[i])))) {
                    if (line[i] == '"') {
                        targetQuoted = !targetQuoted;
                    } else {
                        redirection.target += line[i];
                    }
                    ++i;
                }
                if (redirection.target.isEmpty()) {
                    error = QStringLiteral("The syntax of the command is incorrect.");
                    return false;
                }
            }
            current.redirections.push_back(redirection);
            continue;
        }
        current.text += c;
        ++i;
    }
    return true;
}

QString MapPath(const QString& path)
{
    return MapWindowsPath(path);
}

// A path as the session's programs see it: relative ones lie in its working directory.
QString SessionPath(const QString& path, const BatchSession& session)
{
    const QString mapped = MapPath(path);
    return session.directory.isEmpty() || QDir::isAbsolutePath(mapped) ? mapped
                                                                       : QDir(session.directory).filePath(mapped);
}

// Opens the redirection files of a command; false with a message when one cannot be opened.
bool OpenRedirections(const std::vector<Redirection>& redirections, const BatchSession& session,
                      std::vector<int>& descriptors)
{
    for (const Redirection& redirection : redirections) {
        if (redirection.duplicate >= 0) {
            descriptors.push_back(-1);
            continue;
        }
        const int flags = redirection.fd == 0 ? O_RDONLY
                                              : O_WRONLY | O_CREAT | (redirection.append ? O_APPEND : O_TRUNC);
        const int fd =
            ::open(QFile::encodeName(SessionPath(redirection.target, session)).constData(), flags | O_CLOEXEC, 0644);
        if (fd < 0) {
            for (const int opened : descriptors) {
                if (opened >= 0) {
                    ::close(opened);
                }
            }
            descriptors.clear();
            return false;
        }
        descriptors.push_back(fd);
    }
    return true;
}

void CloseAll(const std::vector<int>& descriptors)
{
    for (const int fd : descriptors) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

// Where a built-in command's output and error text go after its redirections.
struct Streams {
    int out = 1;
    int err = 2;
};

Streams ResolveStreams(const std::vector<Redirection>& redirections, const std::vector<int>& descriptors,
                       const BatchSession& session)
{
    int table[10] = {session.input, session.output, session.error, 3, 4, 5, 6, 7, 8, 9};
    for (size_t k = 0; k < redirections.size(); ++k) {
        const Redirection& redirection = redirections[k];
        if (redirection.fd > 9) {
            continue;
        }
        table[redirection.fd] = redirection.duplicate >= 0 ? table[redirection.duplicate] : descriptors[k];
    }
    return {table[1], table[2]};
}

int Spawn(const QString& program, const QStringList& arguments, const std::vector<Redirection>& redirections,
          const std::vector<int>& descriptors, const BatchSession& session)
{
    std::vector<QByteArray> storage;
    storage.push_back(QFile::encodeName(program));
    for (const QString& argument : arguments) {
        storage.push_back(argument.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& entry : storage) {
        argv.push_back(entry.data());
    }
    argv.push_back(nullptr);

    QByteArrayList environment = session.environment;
    std::vector<char*> envp;
    for (QByteArray& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The session's streams first (a stream that is already in place stays as it is), then the
    // command's redirections in order.
    const int streams[3] = {session.input, session.output, session.error};
    for (int fd = 0; fd < 3; ++fd) {
        if (streams[fd] != fd) {
            posix_spawn_file_actions_adddup2(&actions, streams[fd], fd);
        }
    }
    for (size_t k = 0; k < redirections.size(); ++k) {
        const int source = redirections[k].duplicate >= 0 ? redirections[k].duplicate : descriptors[k];
        posix_spawn_file_actions_adddup2(&actions, source, redirections[k].fd);
    }
    const QByteArray directory = QFile::encodeName(session.directory);
    if (!directory.isEmpty()) {
        posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
    }
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        return NotRecognised;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

// Names the stand-in's task tool (unless the description's "programs" puts another program there).
bool IsTaskTool(const QString& name)
{
    const QString base = MapPath(name).section('/', -1);
    if (base.compare(QLatin1String("schtasks"), Qt::CaseInsensitive) != 0 &&
        base.compare(QLatin1String("schtasks.exe"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    const QJsonObject replacements = DescriptionValue(QStringLiteral("programs")).toObject();
    for (auto it = replacements.begin(); it != replacements.end(); ++it) {
        if (it.key().compare(base, Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return true;
}

int RunCommand(const SimpleCommand& command, const BatchSession& session)
{
    QString text = command.text;
    while (!text.isEmpty() && (IsBlank(text.front()) || text.front() == '@')) {
        text.remove(0, 1);
    }
    std::vector<int> descriptors;
    if (!OpenRedirections(command.redirections, session, descriptors)) {
        WriteToStream(session.error, QStringLiteral("The system cannot find the path specified.\r\n"));
        return 1;
    }
    const Streams streams = ResolveStreams(command.redirections, descriptors, session);

    // The program's name: up to the first blank, or a quoted run.
    QString name;
    qsizetype end = 0;
    if (text.startsWith('"')) {
        const qsizetype close = text.indexOf('"', 1);
        end = close < 0 ? text.size() : close + 1;
        name = text.mid(1, (close < 0 ? text.size() : close) - 1);
    } else {
        while (end < text.size() && !IsBlank(text[end])) {
            ++end;
        }
        name = text.left(end);
    }
    const QString rest = text.mid(end);
    int result = 0;
    const QString builtin = name.toLower();
    if (builtin.isEmpty() || builtin == QLatin1String("rem")) {
        result = 0;
    } else if (builtin == QLatin1String("echo")) {
        WriteToStream(streams.out, rest.mid(1) + "\r\n");
    } else if (builtin == QLatin1String("chcp")) {
        bool ok = false;
        const uint page = rest.trimmed().toUInt(&ok);
        if (ok) {
            WriteToStream(streams.out, "Active code page: " + QString::number(page) + "\r\n");
        } else {
            WriteToStream(streams.err, QStringLiteral("Invalid code page\r\n"));
            result = 1;
        }
    } else if (IsTaskTool(name)) {
        Journal(session.elevated ? QStringLiteral("run-elevated") : QStringLiteral("run"), text.trimmed());
        result = RunTaskTool(SplitCommandLine(rest), streams.out, streams.err, session.elevated, session.directory);
    } else {
        QStringList arguments;
        const QString program = ResolveProgram(name, arguments);
        arguments << SplitCommandLine(rest);
        if (program.isEmpty()) {
            WriteToStream(streams.err, "'" + name +
                                       "' is not recognized as an internal or external command,\r\n"
                                       "operable program or batch file.\r\n");
            result = NotRecognised;
        } else {
            Journal(session.elevated ? QStringLiteral("run-elevated") : QStringLiteral("run"), text.trimmed());
            result = Spawn(program, arguments, command.redirections, descriptors, session);
        }
    }
    CloseAll(descriptors);
    return result;
}

}  // namespace

void WriteToStream(int fd, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t result = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result <= 0) {
            return;
        }
        written += result;
    }
}

QString ResolveProgram(const QString& name, QStringList& leadingArguments)
{
    QString path = MapPath(name);
    const QString base = path.section('/', -1);
    const QJsonObject replacements = DescriptionValue(QStringLiteral("programs")).toObject();
    for (auto it = replacements.begin(); it != replacements.end(); ++it) {
        if (it.key().compare(base, Qt::CaseInsensitive) == 0) {
            return it.value().toString();
        }
    }
    if (base.compare(QLatin1String("schtasks"), Qt::CaseInsensitive) == 0 ||
        base.compare(QLatin1String("schtasks.exe"), Qt::CaseInsensitive) == 0) {
        leadingArguments << QStringLiteral("schtasks");
        return ProgramDirectory() + "/winsim";
    }
    const bool exe = base.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive);
    const QString withoutExe = exe ? path.chopped(4) : path;
    if (path.contains('/')) {
        for (const QString& candidate : {path, withoutExe}) {
            if (QFileInfo(candidate).isFile() && QFileInfo(candidate).isExecutable()) {
                return candidate;
            }
        }
        if (base.compare(QLatin1String("Tessaly.exe"), Qt::CaseInsensitive) == 0) {
            const QString built = ProgramDirectory() + "/Tessaly";
            return QFileInfo(built).isExecutable() ? built : QString();
        }
        return QString();
    }
    const QString found = QStandardPaths::findExecutable(withoutExe);
    return found.isEmpty() ? QStandardPaths::findExecutable(path) : found;
}

QString ExpandBatchLine(const QString& line, const std::function<QString(const QString&)>& lookup)
{
    QString out;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = line[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < n && line[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (i + 1 < n && (line[i + 1].isDigit() || line[i + 1] == '*')) {
            i += 2;  // batch parameters: none are passed
            continue;
        }
        const qsizetype close = line.indexOf('%', i + 1);
        if (close < 0) {
            ++i;  // a lone "%" is dropped
            continue;
        }
        const QString value = lookup(line.mid(i + 1, close - i - 1));
        out += value;  // an undefined name expands to nothing
        i = close + 1;
    }
    return out;
}

QStringList SplitCommandLine(const QString& text)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == '\\') {
            qsizetype count = 0;
            while (i + count < n && text[i + count] == '\\') {
                ++count;
            }
            inArgument = true;
            if (i + count < n && text[i + count] == '"') {
                current += QString(count / 2, '\\');
                if (count % 2 == 1) {
                    current += '"';
                    i += count + 1;
                } else {
                    i += count;  // the quote is read next
                }
            } else {
                current += QString(count, '\\');
                i += count;
            }
        } else if (c == '"') {
            inArgument = true;
            if (quoted && i + 1 < n && text[i + 1] == '"') {
                current += '"';
                i += 2;
            } else {
                quoted = !quoted;
                ++i;
            }
        } else if (IsBlank(c) && !quoted) {
            if (inArgument) {
                arguments << current;
                current.clear();
                inArgument = false;
            }
            ++i;
        } else {
            current += c;
            inArgument = true;
            ++i;
        }
    }
    if (inArgument) {
        arguments << current;
    }
    return arguments;
}

BatchSession CurrentBatchSession()
{
    BatchSession session;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        session.environment << QByteArray(*entry);
    }
    session.elevated = IsElevated();
    return session;
}

int RunBatchFile(const QString& path)
{
    return RunBatchFile(path, CurrentBatchSession());
}

int RunBatchFile(const QString& path, const BatchSession& session)
{
    QFile file(SessionPath(path, session));
    if (!file.open(QIODevice::ReadOnly)) {
        WriteToStream(session.error, QStringLiteral("The system cannot find the path specified.\r\n"));
        return 1;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    file.close();

    int errorLevel = 0;
    const auto lookup = [&session, &errorLevel](const QString& name) -> QString {
        for (const QByteArray& entry : session.environment) {
            const qsizetype equals = entry.indexOf('=');
            if (equals > 0 && QString::fromLocal8Bit(entry.left(equals)).compare(name, Qt::CaseInsensitive) == 0) {
                return QString::fromLocal8Bit(entry.mid(equals + 1));
            }
        }
        if (name.compare(QLatin1String("errorLevel"), Qt::CaseInsensitive) == 0) {
            return QString::number(errorLevel);
        }
        if (name.compare(QLatin1String("cd"), Qt::CaseInsensitive) == 0) {
            return session.directory.isEmpty() ? QDir::currentPath() : session.directory;
        }
        return QString();
    };
    for (QString line : lines) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QString expanded = ExpandBatchLine(line, lookup);
        std::vector<SimpleCommand> commands;
        QString error;
        if (!ParseLine(expanded, commands, error)) {
            WriteToStream(session.error, error + "\r\n");
            errorLevel = 255;
            continue;
        }
        bool succeeded = true;
        for (const SimpleCommand& command : commands) {
            if ((command.join == QLatin1String("&&") && !succeeded) ||
                (command.join == QLatin1String("||") && succeeded)) {
                continue;
            }
            const QString trimmed = command.text.trimmed();
            if (trimmed.isEmpty() && command.redirections.empty()) {
                continue;
            }
            errorLevel = RunCommand(command, session);
            succeeded = errorLevel == 0;
        }
    }
    return errorLevel;
}

}  // namespace WinSim
