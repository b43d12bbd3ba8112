#include "Common/Windows/ServiceHelper.h"

#include "WindowsStandIn/Services.h"

#include <memory>

namespace Korvel::DisplayCalibration::Common::Windows {

const QString DisplayEnhancementServiceName = QStringLiteral("DisplayEnhancementService");

namespace {

struct HandleCloser {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<SC_HANDLE__, HandleCloser>;

// Opens the manager and the service; on failure `error` holds the code of the failing call.
ServiceHandle Open(const QString& name, DWORD access, ServiceHandle& manager, std::uint32_t& error)
{
    manager.reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) {
        error = GetLastError();
        return nullptr;
    }
    ServiceHandle service(OpenServiceA(manager.get(), name.toLatin1().constData(), access));
    if (!service) {
        error = GetLastError();
    }
    return service;
}

// A failing call's code, never 0.
std::uint32_t Failure(std::uint32_t error)
{
    return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace

bool ServiceHelper::IsRunning(const QString& name)
{
    ServiceHandle manager;
    std::uint32_t error = 0;
    const ServiceHandle service =
        Open(name, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS, manager, error);
    SERVICE_STATUS status{};
    return service && QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED;
}

// A state that cannot be read is a failure, not a stopped service: only a missing service or a
// stopped one needs no stop.
std::uint32_t ServiceHelper::StopService(const QString& name)
{
    ServiceHandle manager;
    std::uint32_t error = 0;
    const ServiceHandle service =
        Open(name, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS, manager, error);
    if (!service) {
        return manager && error == ERROR_SERVICE_DOES_NOT_EXIST ? 0 : Failure(error);
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) {
        return Failure(GetLastError());
    }
    if (status.dwCurrentState == SERVICE_STOPPED) {
        return 0;
    }
    return ControlService(service.get(), SERVICE_CONTROL_STOP, &status) ? 0 : Failure(GetLastError());
}

std::uint32_t ServiceHelper::StartService(const QString& name)
{
    if (IsRunning(name)) {
        return 0;
    }
    ServiceHandle manager;
    std::uint32_t error = 0;
    const ServiceHandle service =
        Open(name, SERVICE_START | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS, manager, error);
    if (!service) {
        return error;
    }
    return StartServiceA(service.get(), 0, nullptr) ? 0 : GetLastError();
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
