#include "WindowsStandIn/FileStore.h"

#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QThread>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace WinSim::Detail {
namespace {

constexpr const char* TemporarySuffix = ".tmp.";
// QLockFile's default stale-lock time is 30 s; the machine's files are held for milliseconds.
constexpr qint64 LockWaitMilliseconds = 40000;
// A lock file's maker takes its kernel lock one call after creating it.
constexpr qint64 DeadLockGraceMilliseconds = 500;

// The sibling a writer of `path` writes first, without the writer's pid.
QString TemporaryPrefix(const QFileInfo& target, bool hidden)
{
    return (hidden ? "." : "") + target.fileName() + TemporarySuffix;
}

int OpenForAppending(const QByteArray& path)
{
    return ::open(path.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0644);
}

// How long ago a file of this status was last modified, in milliseconds.
qint64 AgeMilliseconds(const struct stat& status)
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return (qint64(now.tv_sec) - status.st_mtim.tv_sec) * 1000 + (now.tv_nsec - status.st_mtim.tv_nsec) / 1000000;
}

// RemoveDeadLockFile for the file at `path` alone.
bool RemoveDeadLockFileOnly(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    // Its maker holds the kernel lock from the moment after it created the file: an empty, unlocked
    // file is a dead maker's only once that moment has passed. A younger one is watched until then
    // (a live maker locks or fills it meanwhile), so that a run started right after a kill does not
    // leave it to QLockFile's 30 s.
    bool dead = false;
    struct stat status {};
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &status) != 0 || status.st_size != 0 ||
            status.st_nlink == 0) {
            break;
        }
        const qint64 age = AgeMilliseconds(status);
        if (age > DeadLockGraceMilliseconds) {
            dead = true;
            break;
        }
        ::flock(fd, LOCK_UN);
        QThread::msleep(std::min<qint64>(DeadLockGraceMilliseconds + 1 - std::max<qint64>(age, 0), 10));
    }
    // Unlinked while held, as QLockFile removes a stale lock file; only while the name is still this file.
    struct stat named {};
    dead = dead && ::lstat(file.constData(), &named) == 0 && named.st_dev == status.st_dev &&
           named.st_ino == status.st_ino;
    const bool removed = dead && ::unlink(file.constData()) == 0;
    ::close(fd);
    return removed;
}

}  // namespace

void RemoveStaleTemporaries(const QString& path, bool hidden)
{
    const QFileInfo target(path);
    const QString prefix = TemporaryPrefix(target, hidden);
    const QDir directory = target.dir();
    for (const QString& name : directory.entryList({prefix + "*"}, QDir::Files | QDir::Hidden)) {
        bool ok = false;
        const qint64 pid = name.mid(prefix.size()).toLongLong(&ok);
        if (ok && pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            QFile::remove(directory.filePath(name));
        }
    }
}

std::optional<QJsonObject> ReadJsonFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!file.exists()) {
            return std::nullopt;
        }
        throw MachineError(("cannot read " + path + ": " + file.errorString()).toStdString());
    }
    return ParseJsonFile(path, file.readAll());
}

QJsonObject ParseJsonFile(const QString& path, const QByteArray& content)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(content, &error);
    if (error.error != QJsonParseError::NoError) {
        throw DamagedFileError(QStringLiteral("%1 is damaged: %2 at byte %3")
                                   .arg(path, error.errorString())
                                   .arg(qMin(qsizetype(error.offset), content.size()))
                                   .toStdString());
    }
    if (!document.isObject()) {
        throw DamagedFileError((path + " is damaged: it holds no JSON object").toStdString());
    }
    return document.object();
}

QByteArray JsonFileContent(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

void WriteJsonFile(const QString& path, const QJsonObject& object)
{
    if (!WriteFileAtomically(path, JsonFileContent(object))) {
        throw MachineError(("cannot write " + path).toStdString());
    }
}

void UpdateJsonFile(const QString& path, const std::function<bool(QJsonObject&)>& change, const QJsonObject& absent)
{
    QLockFile lock(path + ".lock");
    if (!LockPromptly(lock)) {
        throw MachineError(("cannot lock " + path).toStdString());
    }
    QJsonObject object = ReadJsonFile(path).value_or(absent);
    if (change(object)) {
        WriteJsonFile(path, object);
    }
}

bool WriteFileAtomically(const QString& path, const QByteArray& content, bool hidden)
{
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(path);
    const QByteArray temporary =
        QFile::encodeName(info.dir().filePath(TemporaryPrefix(info, hidden))) + QByteArray::number(::getpid());
    RemoveStaleTemporaries(path, hidden);

    struct stat before {};
    const bool existed = ::stat(target.constData(), &before) == 0;

    // A link standing at the sibling's name goes as a link: nothing is written through it.
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(temporary.constData(), flags, 0644);
    if (fd < 0 && errno == ELOOP && ::unlink(temporary.constData()) == 0) {
        fd = ::open(temporary.constData(), flags, 0644);
    }
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
        AdvanceModificationTime(fd, before);
    }
    if (::close(fd) != 0 || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

void AdvanceModificationTime(int fd, const struct stat& before)
{
    struct stat after {};
    if (::fstat(fd, &after) != 0) {
        return;
    }
    // Strictly increasing at millisecond resolution.
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

bool LockPromptly(QLockFile& lock)
{
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() > LockWaitMilliseconds) {
            return false;
        }
        if (!RemoveDeadLockFile(lock.fileName())) {
            QThread::msleep(2);
        }
    }
    return true;
}

bool RemoveDeadLockFile(const QString& path)
{
    // QLockFile removes a stale lock file under a second one, "<path>.rmlock".
    const bool removal = RemoveDeadLockFileOnly(path + ".rmlock");
    return RemoveDeadLockFileOnly(path) || removal;
}

bool MakeMachineFolder(const QString& path)
{
    if (QFileInfo(path).isSymLink()) {
        QFile::remove(path);
    }
    return QDir().mkpath(path);
}

bool ReplaceSymbolicLink(const QString& path, bool lockHeld)
{
    if (!QFileInfo(path).isSymLink()) {
        return true;
    }
    QLockFile lock(path + ".lock");
    if (!lockHeld && !LockPromptly(lock)) {
        return false;
    }
    const QFileInfo link(path);
    return !link.isSymLink() || WriteFileAtomically(path, link.isFile() ? ReadWholeFile(path) : QByteArray());
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
    const QByteArray file = QFile::encodeName(path);
    int fd = OpenForAppending(file);
    if (fd < 0 && errno == ELOOP && ReplaceSymbolicLink(path)) {
        fd = OpenForAppending(file);
    }
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
