#pragma once

#include <QString>

#include <memory>

namespace Korvel::DisplayCalibration::Common::Settings {
class ILogConfiguration;
}

namespace Korvel::DisplayCalibration::Common::Profile {

class PanelInfo;

// Fills a panel-information record; the target is changed only on success.
class IProfileConfigLoader {
public:
    virtual ~IProfileConfigLoader() = default;
    virtual bool Load(PanelInfo& target) = 0;
};

class IProfileConfigLoaderFactory {
public:
    virtual ~IProfileConfigLoaderFactory() = default;
    // Kind 0: built-in defaults (path unused); kind 1: the panel-information XML file at `path`;
    // any other kind: null. The configuration is not owned and must outlive the loader.
    virtual std::unique_ptr<IProfileConfigLoader> Create(Settings::ILogConfiguration* configuration, int kind,
                                                         const QString& path) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
