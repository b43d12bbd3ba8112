#include "WindowsStandIn/Oobe.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// A pending registration is a FIFO in the machine's "oobe-waits" folder, held open by its process.
// CompleteOobe writes a byte into every FIFO it can open; a FIFO nobody holds belongs to an ended
// process and is removed. The waiting thread also watches a pipe that unregistering writes to.

namespace {

const QString CompletedKey = QStringLiteral("oobe.completed");

QString WaitsFolder()
{
    return WinSim::MachineDirectory() + "/oobe-waits";
}

bool OobeCompleted()
{
    return WinSim::DescriptionValue(CompletedKey).toBool(false);
}

class OobeWait {
public:
    OobeWait(OOBE_COMPLETED_CALLBACK callback, PVOID context) : callback(callback), context(context) {}

    ~OobeWait()
    {
        if (cancel[1] >= 0) {
            const char byte = 0;
            while (::write(cancel[1], &byte, 1) < 0 && errno == EINTR) {
            }
        }
        if (thread.joinable()) {
            if (thread.get_id() == std::this_thread::get_id()) {
                thread.detach();  // unregistered from its own callback: the thread ends by itself
            } else {
                thread.join();
            }
        }
        for (const int fd : {fifo, cancel[0], cancel[1]}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        if (!path.isEmpty()) {
            QFile::remove(path);
        }
    }

    // Makes the FIFO; false with the last error set.
    bool Open()
    {
        static std::atomic<int> counter{0};
        WinSim::Detail::MakeMachineFolder(WaitsFolder());
        path = WaitsFolder() + "/" + QString::number(::getpid()) + "-" + QString::number(++counter);
        const QByteArray native = QFile::encodeName(path);
        ::unlink(native.constData());
        if (::mkfifo(native.constData(), 0600) != 0 || ::pipe2(cancel, O_CLOEXEC) != 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return false;
        }
        // Read-write, so that the FIFO has a reader (this process) from now on and never reports
        // a hang-up.
        fifo = ::open(native.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fifo < 0) {
            SetLastError(ERROR_GEN_FAILURE);
            return false;
        }
        return true;
    }

    // Waits on a thread of its own; a byte written before is not lost.
    void Listen()
    {
        thread = std::thread([this] { Run(); });
    }

private:
    void Run()
    {
        pollfd fds[2] = {{fifo, POLLIN, 0}, {cancel[0], POLLIN, 0}};
        while (true) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (fds[1].revents != 0) {
                return;
            }
            if ((fds[0].revents & POLLIN) != 0) {
                break;
            }
        }
        QFile::remove(path);
        callback(context);
    }

    OOBE_COMPLETED_CALLBACK callback;
    PVOID context;
    QString path;
    int fifo = -1;
    int cancel[2] = {-1, -1};
    std::thread thread;
};

}  // namespace

BOOL RegisterWaitUntilOOBECompleted(OOBE_COMPLETED_CALLBACK OOBECompletedCallback, PVOID CallbackContext,
                                    PVOID* WaitHandle)
{
    if (OOBECompletedCallback == nullptr || WaitHandle == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    try {
        if (const auto code = WinSim::InjectedFailure(QStringLiteral("RegisterWaitUntilOOBECompleted"))) {
            SetLastError(*code);
            return FALSE;
        }
        if (OobeCompleted()) {
            SetLastError(ERROR_INVALID_STATE);
            return FALSE;
        }
        auto wait = std::make_unique<OobeWait>(OOBECompletedCallback, CallbackContext);
        if (!wait->Open()) {
            return FALSE;
        }
        // Completed meanwhile: CompleteOobe may have looked at the folder before this wait was there.
        if (OobeCompleted()) {
            wait.reset();
            SetLastError(ERROR_INVALID_STATE);
            return FALSE;
        }
        wait->Listen();
        *WaitHandle = wait.release();
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    } catch (const WinSim::MachineError&) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
}

BOOL UnregisterWaitUntilOOBECompleted(PVOID WaitHandle)
{
    if (WaitHandle == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    delete static_cast<OobeWait*>(WaitHandle);
    return TRUE;
}

namespace WinSim {

int CompleteOobe()
{
    SetDescriptionValue(CompletedKey, true);
    int woken = 0;
    const QDir folder(WaitsFolder());
    for (const QString& name : folder.entryList(QDir::System | QDir::Files)) {
        const QByteArray native = QFile::encodeName(folder.filePath(name));
        // Only a waiting program's FIFO is woken: a link or a file there is never written to.
        const int fd = ::open(native.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENXIO) {
                ::unlink(native.constData());  // nobody holds it: its process has ended
            }
            continue;
        }
        struct stat kind {};
        if (::fstat(fd, &kind) != 0 || !S_ISFIFO(kind.st_mode)) {
            ::close(fd);
            continue;
        }
        const char byte = 1;
        if (::write(fd, &byte, 1) == 1) {
            ++woken;
        }
        ::close(fd);
    }
    return woken;
}

}  // namespace WinSim
