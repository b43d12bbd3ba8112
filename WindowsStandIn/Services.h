// Service Control Manager stand-in over the machine's service states ("services.json", first
// taken from the description's "services": name -> "running" | "stopped"; a service that is not
// listed does not exist). Opening the manager with full access needs elevation.
#pragma once

#include "WindowsStandIn/Win32.h"

#include "WindowsStandIn/Machine.h"

#include <QString>

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_CONTROL_STOP = 0x00000001;
constexpr DWORD SERVICE_STOPPED = 0x00000001;
constexpr DWORD SERVICE_START_PENDING = 0x00000002;
constexpr DWORD SERVICE_STOP_PENDING = 0x00000003;
constexpr DWORD SERVICE_RUNNING = 0x00000004;
constexpr DWORD SERVICE_WIN32_OWN_PROCESS = 0x00000010;
constexpr DWORD ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;

struct SERVICE_STATUS {
    DWORD dwServiceType = 0;
    DWORD dwCurrentState = 0;
    DWORD dwControlsAccepted = 0;
    DWORD dwWin32ExitCode = 0;
    DWORD dwServiceSpecificExitCode = 0;
    DWORD dwCheckPoint = 0;
    DWORD dwWaitHint = 0;
};
using LPSERVICE_STATUS = SERVICE_STATUS*;

SC_HANDLE OpenSCManagerA(LPCSTR machineName, LPCSTR databaseName, DWORD desiredAccess);
SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR serviceName, DWORD desiredAccess);
BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status);
BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status);
BOOL StartServiceA(SC_HANDLE service, DWORD argumentCount, LPCSTR* arguments);
BOOL CloseServiceHandle(SC_HANDLE handle);

namespace WinSim {

// "running", "stopped", or an empty string when the service does not exist. A damaged
// "services.json" throws DamagedFileError; the Win32 functions fail with ERROR_FILE_CORRUPT.
QString ServiceState(const QString& name, const QString& machine = MachineDirectory());
// Sets a service's state ("running", "stopped", or "missing" to remove it): the machine's own tool.
void SetServiceState(const QString& name, const QString& state, const QString& machine = MachineDirectory());

}  // namespace WinSim
