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

namespace WinSim {
namespace {
const QString FailuresFile = QStringLiteral("failures.json");
}

void SetInjectedFailure(const QString& function, DWORD code, const QString& qualifier, const QString& machine)
{
    const QString key = qualifier.isEmpty() ? function : function + "@" + qualifier;
    const bool written = Detail::UpdateStateFile(
        FailuresFile,
        [&](QJsonObject& failures) {
            if (code == 0) {
                failures.remove(key);
            } else {
                failures.insert(key, qint64(code));
            }
            return true;
        },
        QJsonObject(), machine);
    if (!written) {
        throw MachineError(("cannot write " + Detail::StateFilePath(FailuresFile, machine)).toStdString());
    }
    Journal(QStringLiteral("fail"), key + "=" + QString::number(code), machine);
}

std::optional<DWORD> InjectedFailure(const QString& function, const QString& qualifier)
{
    const QJsonObject failures = Detail::ReadStateFile(FailuresFile);
    if (!qualifier.isEmpty()) {
        const QJsonValue specific = failures.value(function + "@" + qualifier);
        if (specific.isDouble()) {
            return DWORD(specific.toInteger());
        }
    }
    const QJsonValue general = failures.value(function);
    if (general.isDouble()) {
        return DWORD(general.toInteger());
    }
    return std::nullopt;
}

QJsonObject InjectedFailures(const QString& machine)
{
    return Detail::ReadStateFile(FailuresFile, QJsonObject(), machine);
}

}  // namespace WinSim
