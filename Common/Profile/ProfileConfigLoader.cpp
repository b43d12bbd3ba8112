#include "Common/Profile/ProfileConfigLoader.h"

#include "Common/Application/Constants.h"
#include "Common/Settings/ILogConfiguration.h"

namespace Korvel::DisplayCalibration::Common::Profile {

DefaultProfileConfigLoader::DefaultProfileConfigLoader(Settings::ILogConfiguration* configuration)
    : configuration(configuration)
{
}

bool DefaultProfileConfigLoader::Load(PanelInfo& target)
{
    target.SetDefaultProfileColorSpace(DefaultProfileColorSpace);
    target.SetDefaultProfileGamma(DefaultProfileGamma);
    target.SetHdrSupported(true);
    target.SetRequiredProfiles(configuration->SupportedProfileFiles(DefaultSupportedProfiles));
    return true;
}

ProfileConfigLoader::ProfileConfigLoader(const QString& path, Settings::ILogConfiguration* configuration)
    : file(path), parser(std::make_shared<PanelInfoXmlParser>(&file)), configuration(configuration)
{
}

bool ProfileConfigLoader::Load(PanelInfo& target)
{
    const bool parsed = Parse();
    if (parsed) {
        target = panelInfo;
    }
    return parsed;
}

bool ProfileConfigLoader::Parse()
{
    bool read = false;
    if (parser->FileExists()) {
        QString colorSpace;
        read = parser->ReadColorSpace(colorSpace);
        panelInfo.SetDefaultProfileColorSpace(colorSpace);

        QString gamma;
        read = parser->ReadGamma(gamma) && read;
        panelInfo.SetDefaultProfileGamma(gamma);

        bool hdr = false;
        read = parser->ReadHdr(hdr) && read;
        panelInfo.SetHdrSupported(hdr);

        QStringList profiles;
        read = parser->ReadProfiles(profiles) && read;
        panelInfo.SetRequiredProfiles(configuration->SupportedProfileFiles(profiles));
    }
    const bool colorSpaceSupported = panelInfo.IsColorSpaceSupported();
    const bool gammaSupported = panelInfo.IsGammaSupported();
    const bool profilesKnown = panelInfo.AreRequiredProfilesKnown();
    return read && colorSpaceSupported && gammaSupported && profilesKnown;
}

std::unique_ptr<IProfileConfigLoader> ProfileConfigLoaderFactory::Create(Settings::ILogConfiguration* configuration,
                                                                         int kind, const QString& path)
{
    switch (kind) {
    case 0:
        return std::make_unique<DefaultProfileConfigLoader>(configuration);
    case 1:
        return std::make_unique<ProfileConfigLoader>(path, configuration);
    default:
        return nullptr;
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
