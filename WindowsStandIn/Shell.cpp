#include "WindowsStandIn/Shell.h"

#include "WindowsStandIn/Batch.h"
#include "WindowsStandIn/Machine.h"

#include <QFileInfo>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// What a run of the interpreter and the handle to it share.
struct InterpreterState {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

// The runs still going: the process waits for them before the statics made earlier (Qt's among
// them) go, as a run may outlive its handle.
class RunningInterpreters {
public:
    ~RunningInterpreters()
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return count == 0; });
    }

    void Started()
    {
        const std::lock_guard lock(mutex);
        ++count;
    }

    void Ended()
    {
        const std::lock_guard lock(mutex);
        --count;
        changed.notify_all();
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

RunningInterpreters& Running()
{
    static RunningInterpreters running;
    return running;
}

// The handle of a batch file's run: signalled when the interpreter has run its last command.
class InterpreterHandle : public WinSim::Detail::HandleObject {
public:
    explicit InterpreterHandle(std::shared_ptr<InterpreterState> state) : state(std::move(state)) {}

    DWORD Wait(DWORD milliseconds) override
    {
        std::unique_lock lock(state->mutex);
        const auto done = [this] { return state->done; };
        if (milliseconds == INFINITE) {
            state->ended.wait(lock, done);
            return WAIT_OBJECT_0;
        }
        return state->ended.wait_for(lock, std::chrono::milliseconds(milliseconds), done) ? WAIT_OBJECT_0
                                                                                           : WAIT_TIMEOUT;
    }

private:
    std::shared_ptr<InterpreterState> state;
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
    WinSim::Journal(QStringLiteral("shell-execute"), (runas ? QStringLiteral("runas ") : QString()) + file);

    // The interpreter runs on a thread of this process: its window is hidden, and Windows' hidden
    // cmd shows nothing either. What it starts gets this process's environment, on the same
    // machine, marked elevated when the run is, and no console (standard streams on /dev/null).
    WinSim::BatchSession session;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const QByteArray text(*entry);
        if (!text.startsWith(QByteArray(WinSim::MachineVariable) + "=") &&
            !text.startsWith(QByteArray(WinSim::ElevationVariable) + "=")) {
            session.environment << text;
        }
    }
    session.environment << QByteArray(WinSim::MachineVariable) + "=" + QFile::encodeName(WinSim::MachineDirectory());
    if (elevate) {
        session.environment << QByteArray(WinSim::ElevationVariable) + "=1";
    }
    session.elevated = elevate;
    // Without a directory it starts in the caller's working directory.
    session.directory = MapFile(FromWide(info->lpDirectory));
    if (!session.directory.isEmpty() && !QFileInfo(session.directory).isDir()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int output = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (input < 0 || output < 0) {
        for (const int fd : {input, output}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    session.input = input;
    session.output = output;
    session.error = output;

    auto state = std::make_shared<InterpreterState>();
    Running().Started();
    std::thread([state, session, file] {
        try {
            WinSim::RunBatchFile(file, session);
        } catch (const std::exception&) {
            // A damaged machine file ends the run, as it ends the interpreter's process on Windows.
        }
        ::close(session.input);
        ::close(session.output);
        {
            const std::lock_guard lock(state->mutex);
            state->done = true;
        }
        state->ended.notify_all();
        Running().Ended();
    }).detach();
    if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) != 0) {
        info->hProcess = static_cast<WinSim::Detail::HandleObject*>(new InterpreterHandle(state));
    } else {
        info->hProcess = nullptr;
    }
    info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(33));
    return TRUE;
}
