#include "Common/Windows/CommandLine.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Shell.h"
#include "WindowsStandIn/Time.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <string>

namespace Korvel::DisplayCalibration::Common::Windows {
namespace {

constexpr std::uint32_t NoExitCode = 0xFFFFFFFFu;
const char* const ScriptFailureMessage = "Failed to create scheduled task command.";
const char* const ElevationRefusedMessage = "Administrator privileges not granted by user.";
const char* const LockTimeoutMessage = "Another elevated command did not end in time.";
// How long a run waits for another one; that one may be waiting for the user at the prompt.
constexpr DWORD LockWaitMilliseconds = 120000;

QString ScriptsFolder()
{
    return ScriptsDirectory();
}

// cmd expands "%...%" in a batch file even inside double quotes; "%%" stands for one "%".
QString EscapeForBatch(QString text)
{
    return text.replace(QLatin1Char('%'), QLatin1String("%%"));
}

std::mutex& RunMutex()
{
    static std::mutex mutex;
    return mutex;
}

// The lock that serialises runs across the processes sharing one scripts folder: an advisory lock
// on a file beside it, which the kernel releases when its holder ends, however it ends. Whatever
// the file holds does not matter; a symbolic link at its name is removed, never opened.
class ScriptsLock {
public:
    explicit ScriptsLock(const QString& path) : fd(Open(path))
    {
        if (fd < 0) {
            throw CommandLineException(ScriptFailureMessage);
        }
        const qint64 bound = WinSim::ScaledWait(LockWaitMilliseconds);
        QElapsedTimer waited;
        waited.start();
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool held = errno == EWOULDBLOCK || errno == EINTR;
            if (!held || waited.elapsed() >= bound) {
                ::close(fd);
                throw CommandLineException(held ? LockTimeoutMessage : ScriptFailureMessage);
            }
            QThread::msleep(10);
        }
    }
    ~ScriptsLock() { ::close(fd); }

    static int Open(const QString& path)
    {
        const QByteArray name = QFile::encodeName(path);
        int file = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (file < 0 && errno == ELOOP && ::unlink(name.constData()) == 0) {
            file = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        }
        return file;
    }
    ScriptsLock(const ScriptsLock&) = delete;
    ScriptsLock& operator=(const ScriptsLock&) = delete;

private:
    int fd;
};

}  // namespace

QString CommandLine::scriptPath;
QString CommandLine::outputPath;
QString CommandLine::exitCodePath;

QString CommandLine::QuotePath(const QString& path)
{
    return "\"" + QDir::toNativeSeparators(path) + "\"";
}

QString CommandLine::QuoteArgument(const QString& value)
{
    using Exception::OsErrorException;
    if (value.isEmpty()) {
        throw OsErrorException("An empty value cannot be passed on a command line.");
    }
    if (value.contains('"') || value.contains('\r') || value.contains('\n') || value.contains(QChar(0))) {
        throw OsErrorException("A value holding a double quote, a line break or a null character cannot be passed "
                               "on a command line.");
    }
    if (value.size() > MaximumLineLength) {
        throw OsErrorException("A value of " + std::to_string(value.size()) +
                               " characters does not fit on a command line.");
    }
    qsizetype trailing = 0;
    while (trailing < value.size() && value[value.size() - 1 - trailing] == '\\') {
        ++trailing;
    }
    return "\"" + value + QString(trailing, '\\') + "\"";
}

std::uint32_t CommandLine::Run(const QString& command, bool elevated, QString& output)
{
    // The tray program and the updater share the scripts folder: one run at a time, across processes.
    std::lock_guard processLock(RunMutex());
    const QString folder = ScriptsFolder();
    const ScriptsLock folderLock(folder + ".lock");
    try {
        Cleanup();
        WriteScript(command);
        Execute(elevated);
        output = ReadOutput();
        const std::uint32_t code = ReadExitCode();
        Cleanup();
        return code;
    } catch (...) {
        Cleanup();
        throw;
    }
}

void CommandLine::Cleanup()
{
    QString folder;
    try {
        folder = ScriptsFolder();
    } catch (const std::exception&) {
        return;
    }
    const QDir directory(folder);
    for (const QString& name :
         directory.entryList({QStringLiteral("*.txt"), QStringLiteral("*.bat")}, QDir::Files | QDir::Hidden)) {
        QFile::remove(directory.filePath(name));
    }
}

void CommandLine::WriteScript(const QString& command)
{
    const QString folder = ScriptsFolder();
    scriptPath = folder + "/" + BatchFileName;
    outputPath = folder + "/" + OutputFileName;
    exitCodePath = folder + "/" + ExitCodeFileName;

    // A line break would start a second command in the batch file; cmd cuts a longer line.
    const QString line = EscapeForBatch(command) + " > " + EscapeForBatch(QuotePath(outputPath)) + " 2>&1 &&" +
                         " echo %errorLevel% > " + EscapeForBatch(QuotePath(exitCodePath));
    if (command.contains('\n') || command.contains('\r') || command.contains(QChar(0)) ||
        line.size() > MaximumLineLength) {
        throw CommandLineException(ScriptFailureMessage);
    }
    // Written beside and renamed: a link at the batch file's name is replaced, never written through.
    if (!WinSim::Detail::WriteFileAtomically(scriptPath, "chcp 65001\r\n" + line.toUtf8())) {
        throw CommandLineException(ScriptFailureMessage);
    }
}

void CommandLine::Execute(bool elevated)
{
    const std::wstring file = QuotePath(scriptPath).toStdWString();
    const std::wstring verb = L"runas";
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = nullptr;
    info.lpVerb = elevated ? verb.c_str() : nullptr;
    info.lpFile = file.c_str();
    info.lpParameters = nullptr;
    info.lpDirectory = nullptr;
    info.nShow = SW_HIDE;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        if (error == ERROR_CANCELLED) {
            throw CommandLineException(QCoreApplication::translate("QObject", ElevationRefusedMessage).toStdString());
        }
        throw CommandLineException(std::int32_t(error), std::string());
    }
    if (info.hProcess != nullptr) {
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
    }
}

QString CommandLine::ReadOutput()
{
    QFile file(outputPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const QByteArray bytes = file.readAll().simplified();
    if (bytes.isEmpty()) {
        return QString();
    }
    QString text = QString::fromUtf8(bytes);
    text.replace(QLatin1String("'\""), QLatin1String("\""));
    text.replace(QLatin1String("\"'"), QLatin1String("\""));
    if (text.endsWith('.')) {
        text.chop(1);
    }
    return text;
}

std::uint32_t CommandLine::ReadExitCode()
{
    QFile file(exitCodePath);
    if (!file.open(QIODevice::ReadOnly)) {
        return NoExitCode;
    }
    bool ok = false;
    const std::uint32_t code = QString::fromUtf8(file.readAll()).simplified().toUInt(&ok, 10);
    return ok ? code : NoExitCode;
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
