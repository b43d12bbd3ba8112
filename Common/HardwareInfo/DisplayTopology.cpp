// Display topology and dynamic display switching of DisplayHelper.
#include "Common/HardwareInfo/DisplayHelper.h"

#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/DisplayConfig.h"

#include <exception>
#include <vector>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

std::uint32_t DisplayHelper::GetDisplayTopology()
{
    UINT32 pathCount = 0;
    UINT32 modeCount = 0;
    if (GetDisplayConfigBufferSizes(QDC_ONLY_ACTIVE_PATHS, &pathCount, &modeCount) != LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException("Display topology retrieval preparation failure.");
    }
    std::vector<DISPLAYCONFIG_PATH_INFO> paths(std::max<UINT32>(pathCount, 1));
    std::vector<DISPLAYCONFIG_MODE_INFO> modes(std::max<UINT32>(modeCount, 1));
    DISPLAYCONFIG_TOPOLOGY_ID topology = DISPLAYCONFIG_TOPOLOGY_ID(0xFFFFFFFF);
    if (QueryDisplayConfig(QDC_DATABASE_CURRENT, &pathCount, paths.data(), &modeCount, modes.data(), &topology) !=
        LONG(ERROR_SUCCESS)) {
        throw DisplayHelperException("Display topology retrieval failure.");
    }
    return std::uint32_t(topology);
}

bool DisplayHelper::IsDuplicateTopology()
{
    return (GetDisplayTopology() & DISPLAYCONFIG_TOPOLOGY_CLONE) != 0;
}

bool DisplayHelper::IsInternalDisplayInTopology()
{
    const std::uint32_t topology = GetDisplayTopology();
    const bool ddsActive = IsDdsActive();
    if ((topology & (DISPLAYCONFIG_TOPOLOGY_INTERNAL | DISPLAYCONFIG_TOPOLOGY_EXTEND)) != 0) {
        return true;
    }
    return ddsActive;
}

bool DisplayHelper::IsDdsActive()
{
    if (!m_NvApiAvailable) {
        return false;
    }
    try {
        const DdsMode mode = m_DdsInfoObtainer.GetDdsMode();
        return mode == DdsModeIntegrated || mode == DdsModeDiscrete;
    } catch (...) {
        return false;
    }
}

bool DisplayHelper::IsInternalPanelOnDdsTarget()
{
    try {
        return m_DdsInfoObtainer.IsPanelOnDdsTarget(m_InternalPanelId.toStdWString());
    } catch (...) {
        return false;
    }
}

bool DisplayHelper::IsInternalDisplayAvailable()
{
    const bool available = IsDdsActive() ? IsInternalPanelOnDdsTarget() : IsInternalDisplayInTopology();
    return available && !IsDuplicateTopology();
}

DdsMode DisplayHelper::GetDdsMode()
{
    if (!m_NvApiAvailable) {
        return DdsModeNone;
    }
    try {
        return m_DdsInfoObtainer.GetDdsMode();
    } catch (...) {
        return DdsModeNone;
    }
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
