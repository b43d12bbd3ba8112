#pragma once

#include <cstdint>

class IDXGIFactory;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// Whether the first output of the first adapter shows HDR (colour space RGB full G2084 P2020).
class HdrStateChecker {
public:
    HdrStateChecker();
    ~HdrStateChecker();
    HdrStateChecker(const HdrStateChecker&) = delete;
    HdrStateChecker& operator=(const HdrStateChecker&) = delete;

    // False on any failure.
    bool IsHdrActive();

private:
    IDXGIFactory* m_Factory = nullptr;
    std::uint32_t m_FactoryFlags = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
