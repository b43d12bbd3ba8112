#include "WindowsStandIn/NamedObjects.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace WinSim {

QString LocalObjectName(const QString& name)
{
    QString machine = QFileInfo(MachineDirectory()).canonicalFilePath();
    if (machine.isEmpty()) {
        machine = QFileInfo(MachineDirectory()).absoluteFilePath();
    }
    const QByteArray digest = QCryptographicHash::hash(machine.toUtf8(), QCryptographicHash::Sha1).toHex();
    return name + "." + QString::fromLatin1(digest.left(16));
}

NamedLock::NamedLock(const QString& name, int waitMilliseconds)
{
    const QString folder = MachineDirectory() + "/locks";
    Detail::MakeMachineFolder(folder);
    const QByteArray path = QFile::encodeName(folder + "/" + name);
    int file = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0 && errno == ELOOP && ::unlink(path.constData()) == 0) {
        file = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    if (file < 0) {
        return;
    }
    QElapsedTimer waited;
    waited.start();
    while (::flock(file, LOCK_EX | LOCK_NB) != 0) {
        heldByAnother = errno == EWOULDBLOCK;
        if (!heldByAnother || waited.elapsed() >= waitMilliseconds) {
            ::close(file);
            return;
        }
        ::usleep(5000);
    }
    heldByAnother = false;
    descriptor = file;
}

NamedLock::~NamedLock()
{
    if (descriptor >= 0) {
        ::close(descriptor);
    }
}

}  // namespace WinSim
