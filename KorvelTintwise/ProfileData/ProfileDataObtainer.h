// Turns the panel's required profiles into the records the user interface shows: what each
// installed profile holds (read through the colour engine and its measurement data), the brightness
// stored in it and its preview image.
#pragma once

#include "Common/Logging/Loggable.h"
#include "Common/Profile/PanelInfo.h"
#include "ProfileData/ProfileData.h"
#include "Spectrine/Spectrine.h"

#include <QList>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>
#include <utility>

class TrayMenu;

namespace Korvel::DisplayCalibration::Common {
namespace HardwareInfo {
class IBiosTools;
}
namespace Profile {
class IProfileHelper;
}
namespace Settings {
class ILogConfiguration;
class ProfilesFilter;
}  // namespace Settings
}  // namespace Korvel::DisplayCalibration::Common

using ProfileDataList = QVector<std::shared_ptr<ProfileData>>;

class ProfileDataObtainer : public Korvel::DisplayCalibration::Common::Logging::Loggable {
public:
    using ILogConfiguration = Korvel::DisplayCalibration::Common::Settings::ILogConfiguration;
    using IBiosTools = Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools;
    using IProfileHelper = Korvel::DisplayCalibration::Common::Profile::IProfileHelper;
    using PanelInfo = Korvel::DisplayCalibration::Common::Profile::PanelInfo;
    using Chromaticity = ProfileData::Chromaticity;

    // Rebuilds the profile table; throws std::runtime_error without a colour directory and what the
    // model-name read throws.
    ProfileDataObtainer(ILogConfiguration* logConfiguration, IBiosTools* biosTools, TrayMenu* trayMenu,
                        IProfileHelper* profileHelper, const PanelInfo& panelInfo,
                        const QString& profileFileNameFormat);
    ~ProfileDataObtainer() override;

    // Appends the required profiles (SDR, then HDR10) that the profiles filter allows; false at the
    // first name the table does not know.
    bool BuildProfileDataList();
    // Stores into each listed profile the brightness read for its own key.
    void RefreshBrightnessLevels();
    // The brightness of each required profile, in name order (100 without a file); throws
    // std::invalid_argument for a name the table does not know.
    QList<int> ReadBrightnessLevels();
    void RefreshPreviewImages();
    ProfileDataList GetProfileDataList() const;

    void PopulateProfiles();
    void WarnMissingFilteredProfiles();
    void RunImageTransformers(bool force);
    void LoadPreviewImages();

    // Readers over one profile; engine failures are logged and give the failure values.
    double FetchGamma(KVUniStringRef path);
    double FetchLuminance(KVUniStringRef path);
    Chromaticity FetchWhitePoint(KVUniStringRef path);
    QList<Chromaticity> FetchRgbPrimaries(KVUniStringRef path);
    // -1 also for a path of 255 characters or more.
    int FetchProfileType(QString path);

    static QString GammaToString(double gamma);
    static const char* ProfileTypeToString(int type);

private:
    // What the measurement data of a profile gives to a reader's query.
    struct CxfData {
        KVColorRef* measurements = nullptr;
        KVColorRef* targets = nullptr;
        std::int32_t count = 0;
        KVProfileDisplayParamsRef params = nullptr;
        KVUniStringRef errorText = nullptr;
    };
    // Reads the measurement data of the profile at `path` and runs `query` over it; false, with the
    // failure logged at WARN, when it cannot be read. Every handle is released on every path.
    bool ReadCxfData(KVUniStringRef path, const char* allocationFailureText,
                     const std::function<void(const CxfData&)>& query);
    QString FileName(const QString& key) const;
    QString ColorDirectory() const;

    ILogConfiguration* m_LogConfiguration;
    IBiosTools* m_BiosTools;
    TrayMenu* m_TrayMenu;
    IProfileHelper* m_ProfileHelper;
    PanelInfo m_PanelInfo;
    QString m_ProfileFileNameFormat;
    QString m_ImagesDirectory;
    const Korvel::DisplayCalibration::Common::Settings::ProfilesFilter* m_ProfilesFilter;
    ProfileDataList m_ProfileDataList;
};

// The full path of the first entry whose key is `name`; empty when there is none.
QString FindProfileDataByName(const ProfileDataList& list, const QString& name);
