#pragma once

#include "Common/HardwareInfo/DdsMode.h"

#include <string>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// Reads the dynamic-display-switching state through the GPU driver client.
class DdsInfoObtainer {
public:
    DdsInfoObtainer() = default;
    // Gives back the driver use of this object, whether or not it was initialised.
    virtual ~DdsInfoObtainer();
    DdsInfoObtainer(const DdsInfoObtainer&) = delete;
    DdsInfoObtainer& operator=(const DdsInfoObtainer&) = delete;

    bool InitializeNvApi();
    // Throws DdsInfoObtainerException for a driver failure other than "not supported".
    DdsMode GetDdsMode();
    bool IsPanelOnDdsTarget(const std::wstring& panelId);
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
