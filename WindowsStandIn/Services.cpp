#include "WindowsStandIn/Services.h"

#include "WindowsStandIn/StateFile.h"

#include <QJsonObject>

#include <optional>

struct SC_HANDLE__ {
    bool manager = false;
    DWORD access = 0;
    QString name;
};

namespace {

const QString StateName = QStringLiteral("services.json");

QJsonObject Initial(const QString& machine)
{
    return WinSim::DescriptionValue(QStringLiteral("services"), machine).toObject();
}

// The state of `name` in `services`: "running", "stopped", or empty when it is not there.
QString Find(const QJsonObject& services, const QString& name)
{
    for (auto it = services.begin(); it != services.end(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0) {
            return it.value().toString();
        }
    }
    return QString();
}

// As Find on the machine's services, or nullopt with the last error set when they cannot be read.
std::optional<QString> StateOf(const QString& name)
{
    const std::optional<QJsonObject> services =
        WinSim::Detail::TryReadStateFile(StateName, Initial(WinSim::MachineDirectory()));
    return services ? std::optional<QString>(Find(*services, name)) : std::nullopt;
}

BOOL Fail(DWORD code)
{
    SetLastError(code);
    return FALSE;
}

bool Injected(const char* function)
{
    if (const auto code = WinSim::InjectedFailure(QString::fromLatin1(function))) {
        SetLastError(*code);
        return true;
    }
    return false;
}

// False with the last error set when the services cannot be changed.
bool ChangeState(const QString& name, const QString& state)
{
    return WinSim::Detail::TryUpdateStateFile(
        StateName,
        [&](QJsonObject& services) {
            services.insert(name, state);
            return true;
        },
        Initial(WinSim::MachineDirectory()));
}

}  // namespace

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR, DWORD desiredAccess)
{
    if (machineName != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (Injected("OpenSCManagerA")) {
        return nullptr;
    }
    if ((desiredAccess & ~SC_MANAGER_CONNECT) != 0 && !WinSim::IsElevated()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return new SC_HANDLE__{true, desiredAccess, QString()};
}

SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess)
{
    if (manager == nullptr || !manager->manager) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (serviceName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (Injected("OpenServiceA")) {
        return nullptr;
    }
    const QString name = QString::fromLatin1(serviceName);
    const std::optional<QString> state = StateOf(name);
    if (!state) {
        return nullptr;
    }
    if (state->isEmpty()) {
        SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
        return nullptr;
    }
    if ((desiredAccess & (SERVICE_START | SERVICE_STOP)) != 0 && !WinSim::IsElevated()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return new SC_HANDLE__{false, desiredAccess, name};
}

BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status)
{
    if (service == nullptr || service->manager || (service->access & SERVICE_QUERY_STATUS) == 0) {
        return Fail(service == nullptr || service->manager ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
    }
    if (status == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Injected("QueryServiceStatus")) {
        return FALSE;
    }
    const std::optional<QString> state = StateOf(service->name);
    if (!state) {
        return FALSE;
    }
    if (state->isEmpty()) {
        return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    }
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = *state == QLatin1String("running") ? SERVICE_RUNNING : SERVICE_STOPPED;
    return TRUE;
}

BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status)
{
    if (service == nullptr || service->manager) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (control != SERVICE_CONTROL_STOP || status == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if ((service->access & SERVICE_STOP) == 0) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (Injected("ControlService")) {
        return FALSE;
    }
    const std::optional<QString> state = StateOf(service->name);
    if (!state) {
        return FALSE;
    }
    if (*state != QLatin1String("running")) {
        return Fail(ERROR_SERVICE_NOT_ACTIVE);
    }
    if (!ChangeState(service->name, QStringLiteral("stopped"))) {
        return FALSE;
    }
    WinSim::Journal(QStringLiteral("service-stop"), service->name);
    *status = SERVICE_STATUS{};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = SERVICE_STOP_PENDING;
    return TRUE;
}

BOOL StartServiceA(SC_HANDLE service, DWORD, LPCSTR*)
{
    if (service == nullptr || service->manager) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if ((service->access & SERVICE_START) == 0) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    if (Injected("StartServiceA")) {
        return FALSE;
    }
    const std::optional<QString> state = StateOf(service->name);
    if (!state) {
        return FALSE;
    }
    if (*state == QLatin1String("running")) {
        return Fail(ERROR_SERVICE_ALREADY_RUNNING);
    }
    if (!ChangeState(service->name, QStringLiteral("running"))) {
        return FALSE;
    }
    WinSim::Journal(QStringLiteral("service-start"), service->name);
    return TRUE;
}

BOOL CloseServiceHandle(SC_HANDLE handle)
{
    if (handle == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    delete handle;
    return TRUE;
}

namespace WinSim {

QString ServiceState(const QString& name, const QString& machine)
{
    return Find(Detail::ReadStateFile(StateName, Initial(machine), machine), name);
}

void SetServiceState(const QString& name, const QString& state, const QString& machine)
{
    if (state != QLatin1String("running") && state != QLatin1String("stopped") && state != QLatin1String("missing")) {
        throw MachineError(("unknown service state \"" + state + "\" (running, stopped, missing)").toStdString());
    }
    Detail::UpdateStateFile(
        StateName,
        [&](QJsonObject& services) {
            for (const QString& key : services.keys()) {
                if (key.compare(name, Qt::CaseInsensitive) == 0) {
                    services.remove(key);
                }
            }
            if (state != QLatin1String("missing")) {
                services.insert(name, state);
            }
            return true;
        },
        Initial(machine), machine);
    Journal(QStringLiteral("service-set"), name + "=" + state, machine);
}

}  // namespace WinSim
