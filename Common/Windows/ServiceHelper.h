#pragma once

#include <QString>

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::Windows {

// The Windows display enhancement service, stopped around profile changes.
extern const QString DisplayEnhancementServiceName;  // "DisplayEnhancementService"

class IServiceHelper {
public:
    virtual ~IServiceHelper() = default;
    virtual bool IsRunning(const QString& name) = 0;
    virtual std::uint32_t StopService(const QString& name) = 0;
    virtual std::uint32_t StartService(const QString& name) = 0;
};

class ServiceHelper : public IServiceHelper {
public:
    // True unless the service is stopped; any failure to find out gives false.
    bool IsRunning(const QString& name) override;
    // 0 when the service is missing or stopped, or the stop request was accepted (without waiting for
    // the service to stop); otherwise the Windows error code of the first failing call, a state that
    // cannot be read included.
    std::uint32_t StopService(const QString& name) override;
    // 0 when the service runs or was started; otherwise the Windows error code of the first failing call.
    std::uint32_t StartService(const QString& name) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
