#include "WindowsStandIn/StateFile.h"

#include "WindowsStandIn/FileStore.h"

namespace WinSim::Detail {

QString StateFilePath(const QString& name, const QString& machine)
{
    return machine + "/" + name;
}

QJsonObject ReadStateFile(const QString& name, const QJsonObject& initial, const QString& machine)
{
    return ReadJsonFile(StateFilePath(name, machine)).value_or(initial);
}

bool UpdateStateFile(const QString& name, const std::function<bool(QJsonObject&)>& change,
                     const QJsonObject& initial, const QString& machine)
{
    UpdateJsonFile(StateFilePath(name, machine), change, initial);
    return true;
}

namespace {

template <typename Result, typename Operation>
Result Reporting(Result failure, Operation operation)
{
    try {
        return operation();
    } catch (const DamagedFileError&) {
        SetLastError(ERROR_FILE_CORRUPT);
    } catch (const MachineError&) {
        SetLastError(ERROR_GEN_FAILURE);
    }
    return failure;
}

}  // namespace

std::optional<QJsonObject> TryReadStateFile(const QString& name, const QJsonObject& initial)
{
    return Reporting<std::optional<QJsonObject>>(std::nullopt, [&] { return ReadStateFile(name, initial); });
}

bool TryUpdateStateFile(const QString& name, const std::function<bool(QJsonObject&)>& change,
                        const QJsonObject& initial)
{
    return Reporting(false, [&] { return UpdateStateFile(name, change, initial); });
}

}  // namespace WinSim::Detail

namespace WinSim {
namespace {
const QString FailuresFile = QStringLiteral("failures.json");
}

void SetInjectedFailure(const QString& function, DWORD code, const QString& qualifier, const QString& machine)
{
    const QString key = qualifier.isEmpty() ? function : function + "@" + qualifier;
    Detail::UpdateStateFile(
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
