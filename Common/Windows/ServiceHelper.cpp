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

std::uint32_t ServiceHelper::StopService(const QString& name)
{
    if (!IsRunning(name)) {
        return 0;
    }
    ServiceHandle manager;
    std::uint32_t error = 0;
    const ServiceHandle service =
        Open(name, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS, manager, error);
    if (!service) {
        return error;
    }
    SERVICE_STATUS status{};
    return ControlService(service.get(), SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
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
