#include "WindowsStandIn/StateFile.h"

#include "WindowsStandIn/FileStore.h"

#include <QJsonDocument>
#include <QLockFile>

namespace WinSim::Detail {

QString StateFilePath(const QString& name, const QString& machine)
{
    return machine + "/" + name;
}

QJsonObject ReadStateFile(const QString& name, const QJsonObject& initial, const QString& machine)
{
    bool exists = false;
    const QByteArray content = ReadWholeFile(StateFilePath(name, machine), &exists);
    if (!exists) {
        return initial;
    }
    return QJsonDocument::fromJson(content).object();
}

bool UpdateStateFile(const QString& name, const std::function<bool(QJsonObject&)>& change,
                     const QJsonObject& initial, const QString& machine)
{
    const QString path = StateFilePath(name, machine);
    QLockFile lock(path + ".lock");
    if (!lock.lock()) {
        return false;
    }
    QJsonObject state = ReadStateFile(name, initial, machine);
    if (!change(state)) {
        return true;
    }
    return WriteFileAtomically(path, QJsonDocument(state).toJson(QJsonDocument::Indented));
}

}  // namespace WinSim::Detail

