#include "WindowsStandIn/Com.h"

#include "WindowsStandIn/SimulatedDisplays.h"

#include <atomic>

namespace {

struct ApartmentState {
    int count = 0;
    DWORD model = 0;
};
thread_local ApartmentState apartment;
std::atomic<bool> securityInitialised{false};

}  // namespace

HRESULT CoInitializeEx(LPVOID, DWORD coInit)
{
    if (const HRESULT fault = WinSim::Displays::FaultResult("CoInitializeEx"); fault != 0) {
        return fault;
    }
    if (apartment.count > 0 && apartment.model != coInit) {
        return RPC_E_CHANGED_MODE;
    }
    apartment.model = coInit;
    return apartment.count++ == 0 ? S_OK : S_FALSE;
}

HRESULT CoInitialize(LPVOID reserved)
{
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize()
{
    if (apartment.count > 0) {
        --apartment.count;
    }
}

HRESULT CoInitializeSecurity(LPVOID, LONG, LPVOID, LPVOID, DWORD, DWORD, LPVOID, DWORD, LPVOID)
{
    if (const HRESULT fault = WinSim::Displays::FaultResult("CoInitializeSecurity"); fault != 0) {
        return fault;
    }
    return securityInitialised.exchange(true) ? RPC_E_TOO_LATE : S_OK;
}
