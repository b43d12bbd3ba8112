#pragma once

#include <QString>
#include <QStringList>

// Writes and removes the machine-wide panel values through the elevated tool. Each operation
// returns whether the command succeeded and throws its own exception (namespace
// Korvel::DisplayCalibration::Common::Profile) when the command cannot be built or run.
class IRegistryLoader {
public:
    virtual ~IRegistryLoader() = default;
    virtual bool SetDefaultProfileColorSpace(const QString& colorSpace) = 0;
    virtual bool SetDefaultProfileGamma(const QString& gamma) = 0;
    virtual bool SetHdrSupported(bool supported) = 0;
    virtual bool SetRequiredProfiles(const QStringList& profiles) = 0;
    virtual bool SetProfileFormat(const QString& format) = 0;
    virtual bool RemoveDefaultProfileColorSpace() = 0;
    virtual bool RemoveDefaultProfileGamma() = 0;
    virtual bool RemoveHdrSupported() = 0;
    virtual bool RemoveRequiredProfiles() = 0;
};
