// Per-user settings under HKEY_CURRENT_USER\Software\<organisation>\<application>, named by the
// application object. Writers read the value back from the registry and throw when it differs.
#pragma once

#include "Common/Exception/OsErrorException.h"
#include "Common/Logging/Loggable.h"
#include "Common/Settings/IConfiguration.h"

#include <QSettings>
#include <QString>

#include <memory>

KORVEL_DECLARE_OS_ERROR_EXCEPTION(WriteLastAppliedProfileException);

namespace Korvel::DisplayCalibration::Common::Settings {

class Configuration : public IConfiguration, public Logging::Loggable {
public:
    // Opens the settings and writes the first-run values that are missing.
    Configuration();

    QStringList RequiredProfiles() override;
    int LastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind) override;
    void SetLastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind, int index) override;
    bool AlignProfilesOnDDSModeChange() override;
    void SetAlignProfilesOnDDSModeChange(bool enabled) override;

private:
    QVariant Read(const QString& key);
    void Write(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> settings;
};

class ConfigurationFactory : public IConfigurationFactory {
public:
    IConfiguration* Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
