#include "WindowsStandIn/NamedObjects.h"

#include "WindowsStandIn/Machine.h"

#include <QCryptographicHash>
#include <QFileInfo>

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

}  // namespace WinSim
