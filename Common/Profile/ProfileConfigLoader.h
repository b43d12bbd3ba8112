// Profile-configuration loaders: built-in defaults, or a panel-information XML file, with the
// required profiles narrowed by the program configuration.
#pragma once

#include "Common/Profile/IProfileConfigLoader.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/PanelInfoXmlParser.h"

#include <QFile>

namespace Korvel::DisplayCalibration::Common::Profile {

class DefaultProfileConfigLoader : public IProfileConfigLoader {
public:
    explicit DefaultProfileConfigLoader(Settings::ILogConfiguration* configuration);
    // Sets the default colour space, gamma, HDR support and required profiles; always succeeds.
    bool Load(PanelInfo& target) override;

private:
    Settings::ILogConfiguration* configuration;
};

class ProfileConfigLoader : public IProfileConfigLoader {
public:
    ProfileConfigLoader(const QString& path, Settings::ILogConfiguration* configuration);
    // Succeeds when every value was read and the record is valid; only then is the target
    // replaced by the read record.
    bool Load(PanelInfo& target) override;

private:
    bool Parse();

    QFile file;
    std::shared_ptr<PanelInfoXmlParser> parser;
    Settings::ILogConfiguration* configuration;
    PanelInfo panelInfo;
};

class ProfileConfigLoaderFactory : public IProfileConfigLoaderFactory {
public:
    std::unique_ptr<IProfileConfigLoader> Create(Settings::ILogConfiguration* configuration, int kind,
                                                 const QString& path) override;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
