#include "Common/HardwareInfo/HdrStateChecker.h"

#include "WindowsStandIn/Dxgi.h"

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

HdrStateChecker::HdrStateChecker()
{
    if (FAILED(CreateDXGIFactory2(m_FactoryFlags, &m_Factory))) {
        m_Factory = nullptr;
    }
}

HdrStateChecker::~HdrStateChecker()
{
    if (m_Factory != nullptr) {
        m_Factory->Release();
    }
}

bool HdrStateChecker::IsHdrActive()
{
    if (m_Factory != nullptr && !m_Factory->IsCurrent()) {
        m_Factory->Release();
        m_Factory = nullptr;
        if (FAILED(CreateDXGIFactory2(m_FactoryFlags, &m_Factory))) {
            m_Factory = nullptr;
        }
    }
    if (m_Factory == nullptr) {
        return false;
    }
    IDXGIAdapter1* adapter = nullptr;
    if (FAILED(m_Factory->EnumAdapters1(0, &adapter))) {
        return false;
    }
    // The outputs are listed until DXGI has no more; the first one is used.
    IDXGIOutput* first = nullptr;
    for (UINT index = 0;; ++index) {
        IDXGIOutput* output = nullptr;
        if (adapter->EnumOutputs(index, &output) == DXGI_ERROR_NOT_FOUND || output == nullptr) {
            break;
        }
        if (first == nullptr) {
            first = output;
        } else {
            output->Release();
        }
    }
    adapter->Release();
    if (first == nullptr) {
        return false;
    }
    bool active = false;
    IDXGIOutput6* output6 = nullptr;
    if (SUCCEEDED(first->QueryOutput6(&output6))) {
        DXGI_OUTPUT_DESC1 description{};
        active = SUCCEEDED(output6->GetDesc1(&description)) &&
                 description.ColorSpace == DXGI_COLOR_SPACE_RGB_FULL_G2084_NONE_P2020;
        output6->Release();
    }
    first->Release();
    return active;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
