#include "WindowsStandIn/Shell.h"

#include "WindowsStandIn/Machine.h"

#include <QFileInfo>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

class ProcessHandle : public WinSim::Detail::HandleObject {
public:
    explicit ProcessHandle(pid_t pid) : pid(pid) {}
    ~ProcessHandle() override
    {
        if (!ended) {
            // Reap it in the background, as Windows forgets a process whose last handle is closed.
            std::thread([pid = pid] {
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        }
    }

    DWORD Wait(DWORD milliseconds) override
    {
        if (ended) {
            return WAIT_OBJECT_0;
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            int status = 0;
            const pid_t result = ::waitpid(pid, &status, milliseconds == INFINITE ? 0 : WNOHANG);
            if (result == pid) {
                ended = true;
                return WAIT_OBJECT_0;
            }
            if (result < 0 && errno != EINTR) {
                SetLastError(ERROR_INVALID_HANDLE);
                return WAIT_FAILED;
            }
            if (result == 0) {
                if (std::chrono::steady_clock::now() >= deadline) {
                    return WAIT_TIMEOUT;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

private:
    pid_t pid;
    bool ended = false;
};

QString FromWide(LPCWSTR text)
{
    return text != nullptr ? QString::fromWCharArray(text) : QString();
}

// A path as ShellExecute takes it: surrounding double quotes dropped, "\" a separator, drive C mapped.
QString MapFile(QString file)
{
    file = file.trimmed();
    if (file.size() >= 2 && file.startsWith('"') && file.endsWith('"')) {
        file = file.mid(1, file.size() - 2);
    }
    return WinSim::MapWindowsPath(file);
}

// Asks the machine's elevation prompt; false with the last error set when it is not accepted.
bool AskElevation(const QString& file)
{
    const QString answer = WinSim::DescriptionValue(QStringLiteral("elevation.prompt")).toString(QStringLiteral("accept"));
    WinSim::Journal(QStringLiteral("elevation-prompt"), answer + " " + file);
    if (answer == QLatin1String("refuse")) {
        SetLastError(ERROR_CANCELLED);
        return false;
    }
    if (answer == QLatin1String("fail")) {
        const int code = WinSim::DescriptionValue(QStringLiteral("elevation.errorCode")).toInt();
        SetLastError(code != 0 ? DWORD(code) : ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

}  // namespace

namespace WinSim {

QString ProgramDirectory()
{
    return QFileInfo(QFile::decodeName(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().toLocal8Bit()))
        .absolutePath();
}

}  // namespace WinSim

BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info)
{
    if (info == nullptr || info->cbSize != sizeof(SHELLEXECUTEINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const QString verb = FromWide(info->lpVerb);
    const bool runas = verb.compare(QLatin1String("runas"), Qt::CaseInsensitive) == 0;
    if (!runas && !verb.isEmpty() && verb.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    const QString file = MapFile(FromWide(info->lpFile));
    if (!QFileInfo(file).isFile()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QLatin1String("bat") && suffix != QLatin1String("cmd")) {
        SetLastError(ERROR_NO_ASSOCIATION);
        return FALSE;
    }
    const bool elevate = runas || WinSim::IsElevated();
    if (runas && !WinSim::IsElevated() && !AskElevation(file)) {
        return FALSE;
    }
    const QString interpreter = WinSim::ProgramDirectory() + "/winsim";
    WinSim::Journal(QStringLiteral("shell-execute"), (runas ? QStringLiteral("runas ") : QString()) + file);

    // Environment: this process's, on the same machine, marked elevated when it is.
    std::vector<QByteArray> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const QByteArray text(*entry);
        if (!text.startsWith(QByteArray(WinSim::MachineVariable) + "=") &&
            !text.startsWith(QByteArray(WinSim::ElevationVariable) + "=")) {
            environment.push_back(text);
        }
    }
    environment.push_back(QByteArray(WinSim::MachineVariable) + "=" + QFile::encodeName(WinSim::MachineDirectory()));
    if (elevate) {
        environment.push_back(QByteArray(WinSim::ElevationVariable) + "=1");
    }
    std::vector<char*> envp;
    for (QByteArray& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    QByteArray program = QFile::encodeName(interpreter);
    QByteArray name("winsim");
    QByteArray command("cmd");
    QByteArray option("/c");
    QByteArray script = QFile::encodeName(file);
    char* argv[] = {name.data(), command.data(), option.data(), script.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // A hidden window: no console to read from or write to.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    // Without a directory it starts in the caller's working directory.
    const QByteArray directory = QFile::encodeName(MapFile(FromWide(info->lpDirectory)));
    if (!directory.isEmpty()) {
        posix_spawn_file_actions_addchdir_np(&actions, directory.constData());
    }
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    auto* process = new ProcessHandle(pid);
    if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        info->hProcess = static_cast<WinSim::Detail::HandleObject*>(process);
    } else {
        delete process;
        info->hProcess = nullptr;
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
    return TRUE;
}
