#include "WindowsStandIn/FileStore.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace WinSim::Detail {

bool WriteFileAtomically(const QString& path, const QByteArray& content)
{
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary = target + ".tmp." + QByteArray::number(::getpid());

    struct stat before {};
    const bool existed = ::stat(target.constData(), &before) == 0;

    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written, size_t(content.size() - written));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            ::unlink(temporary.constData());
            return false;
        }
        written += n;
    }
    if (existed) {
        struct stat after {};
        ::fstat(fd, &after);
        // Keep modification times strictly increasing at millisecond resolution.
        const auto ms = [](const timespec& t) { return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000; };
        if (ms(after.st_mtim) <= ms(before.st_mtim)) {
            const qint64 next = ms(before.st_mtim) + 1;
            timespec times[2];
            times[0].tv_sec = 0;
            times[0].tv_nsec = UTIME_OMIT;
            times[1].tv_sec = time_t(next / 1000);
            times[1].tv_nsec = long(next % 1000) * 1000000;
            ::futimens(fd, times);
        }
    }
    if (::close(fd) != 0 || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

bool LockPromptly(QLockFile& lock)
{
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError) {
            return false;
        }
        QThread::msleep(2);
    }
    return true;
}

QByteArray ReadWholeFile(const QString& path, bool* exists)
{
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (exists != nullptr) {
        *exists = opened;
    }
    return opened ? file.readAll() : QByteArray();
}

void AppendLine(const QString& path, const QByteArray& line)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return;
    }
    QByteArray data = line;
    if (!data.endsWith('\n')) {
        data.append('\n');
    }
    [[maybe_unused]] const ssize_t n = ::write(fd, data.constData(), size_t(data.size()));
    ::close(fd);
}

}  // namespace WinSim::Detail
