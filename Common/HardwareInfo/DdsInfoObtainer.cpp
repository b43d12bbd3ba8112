#include "Common/HardwareInfo/DdsInfoObtainer.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/NvApiClient.h"
#include "WindowsStandIn/DisplayDevices.h"

#include <array>
#include <memory>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

DdsInfoObtainer::~DdsInfoObtainer()
{
    NvApiUnload();
}

bool DdsInfoObtainer::InitializeNvApi()
{
    return NvApiInitialize() == 0;
}

DdsMode DdsInfoObtainer::GetDdsMode()
{
    auto query = std::make_unique<NvApi::DdsQuery>();
    auto buffers = std::make_unique<std::array<std::array<unsigned char, NvApi::DdsTargetBufferSize>, NvApi::DdsTargetCount>>();
    query->version = NvApi::DdsQueryVersion;
    for (int i = 0; i < NvApi::DdsTargetCount; ++i) {
        query->targets[i].buffer = (*buffers)[size_t(i)].data();
    }
    const std::int32_t status = NvApiDdsQuery(query.get());
    if (status == NvApi::NotSupported) {
        return DdsModeNone;
    }
    if (status != 0) {
        throw DdsInfoObtainerException("DDS info retrieval failure");
    }
    const NvApi::DdsTarget& integrated = query->targets[0];
    const NvApi::DdsTarget& discrete = query->targets[1];
    if (discrete.targetId != 0) {
        return (discrete.flags & 1) != 0 ? DdsModeDiscrete : DdsModeNone;
    }
    if (integrated.targetId != 0 && (integrated.flags & 1) != 0) {
        return DdsModeIntegrated;
    }
    return DdsModeNone;
}

bool DdsInfoObtainer::IsPanelOnDdsTarget(const std::wstring& panelId)
{
    DISPLAY_DEVICEW adapter{};
    adapter.cb = sizeof adapter;
    for (DWORD i = 0; EnumDisplayDevicesW(nullptr, i, &adapter, 0); ++i) {
        DISPLAY_DEVICEW monitor{};
        monitor.cb = sizeof monitor;
        for (DWORD j = 0; EnumDisplayDevicesW(adapter.DeviceName, j, &monitor, EDD_GET_DEVICE_INTERFACE_NAME); ++j) {
            if ((monitor.StateFlags & DISPLAY_DEVICE_ACTIVE) == 0) {
                continue;
            }
            if (std::wstring(monitor.DeviceID).find(panelId) != std::wstring::npos) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
