// Brings the panel's factory profile sets back from the profile server: download, signature check,
// extraction into a working directory, correction, elevated installation and activation.
//
// Driving it: make one per process with the collaborators below (none is owned; all must outlive
// it) and connect its signals by their signature strings on the GUI thread, the
// AskUserToEnableUserProfileList(bool&) one directly, since its slot answers through the flag.
// RestoreProfiles(url) starts the SDR set; each request ends in exactly one report:
// ReportProfileRestorationSuccess or ReportProfileRestorationError (the HDR10 set likewise with
// ReportProfileRestorationSuccessHdr, except that a failed HDR10 download is only logged). A failure
// after the download leaves the display's default profiles as they were before it; so does a kill
// of the SDR road, at the program's next start (PutBackDefaultsOfKilledUpdate). While the hold the
// controller hands it (HoldArchivesWhile) stands, a downloaded archive waits untouched until
// HandleHeldArchive.
#pragma once

#include "Common/Application/ServiceDeclarations.h"
#include "Common/Logging/Loggable.h"
#include "Common/Profile/DefaultProfiles.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/PreparedFrom.h"
#include "ProfileData/IProfileRestorer.h"
#include "ProfileData/ProfileData.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class ProfileDataObtainer;
class TrayMenu;

class ProfileRestorer : public IProfileRestorer, public Korvel::DisplayCalibration::Common::Logging::Loggable {
    Q_OBJECT

public:
    using ILogConfiguration = Korvel::DisplayCalibration::Common::Settings::ILogConfiguration;
    using IBiosTools = Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools;
    using IDisplayHelper = Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper;
    using IProfileHelper = Korvel::DisplayCalibration::Common::Profile::IProfileHelper;
    using IArchiveDownloader = Korvel::DisplayCalibration::Common::Network::IArchiveDownloader;
    using IProfileArchiver = Korvel::DisplayCalibration::Common::Archive::IProfileArchiver;
    using IDecrypter = Korvel::DisplayCalibration::Common::Security::IDecrypter;
    using PanelInfo = Korvel::DisplayCalibration::Common::Profile::PanelInfo;
    using ProfileDataList = QVector<std::shared_ptr<ProfileData>>;

    // `profileFileNameFormat` is the resolved file-name template, still holding "{ProfileName}".
    ProfileRestorer(ILogConfiguration* logConfiguration, TrayMenu* trayMenu, IBiosTools* biosTools,
                    IDisplayHelper* displayHelper, IProfileHelper* profileHelper,
                    IArchiveDownloader* archiveDownloader, IProfileArchiver* profileArchiver, IDecrypter* decrypter,
                    const QString& profileFileNameFormat);
    ~ProfileRestorer() override;

    void RestoreProfiles(const QString& url) override;
    void RestoreHdrProfiles(const QString& url) override;

    // Throws InvalidDigitalSignatureException unless `data` ends with a valid archive signature
    // (Security::HasValidArchiveSignature).
    static void VerifySignature(IDecrypter& decrypter, const QByteArray& data);
    // The form of the panel values handed to Tessaly: AES-encrypted UTF-8, Base64.
    static QString EncryptAndEncode(const QString& text);
    // The description a profile file of this panel carries: the panel identity, "_" and the file
    // name's part after its second "_" without ".icm".
    static QString ExpectedDescriptor(const QString& panelId, const QString& fileName);
    // At the program's start: puts back the display's defaults that an update killed after its switch
    // to sRGB (here or in Quillon) left recorded, and logs what it found.
    static void PutBackDefaultsOfKilledUpdate(IProfileHelper& profileHelper);

    // While `hold` answers true, a downloaded archive (SDR or HDR10) waits here and no step of its
    // road runs: no switch to sRGB, no installation.
    void HoldArchivesWhile(std::function<bool()> hold) { m_Hold = std::move(hold); }
    bool HasHeldArchive() const { return m_HeldArchive.has_value(); }
    // Runs the road of the archive that waited, unless the hold still stands.
    void HandleHeldArchive();

    // `fingerprint` tells what the installed set is; it is taken before each refresh reads the set,
    // so a set installed while the list is read (or before its report is handled) never passes for
    // the one the list holds.
    void FingerprintSetWith(std::function<QStringList()> fingerprint) { m_Fingerprint = std::move(fingerprint); }
    // The fingerprint taken before the last refresh; empty without one.
    const QStringList& GetListFingerprint() const { return m_ListFingerprint; }

    QString WorkingDirectory() const { return m_WorkingDirectory; }
    // The panel information and profile data of the last restoration that reached them.
    const PanelInfo& GetPanelInfo() const { return m_PanelInfo; }
    const ProfileDataList& GetProfileDataList() const { return m_ProfileDataList; }

signals:
    void ReportProfileRestorationError(const QString& message, bool shouldPerformAppExit);
    void ReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>> profilesData,
                                         Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo);
    void ReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>> profilesData,
                                            Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo);
    void ActivateProfile(int profileIndex);
    void ShowTrayNotification(TrayNotificatioLevel level, QString& message);
    void AskUserToEnableUserProfileList(bool& wasEnabled);
    void MarkProfileIfActive();

public slots:
    void OnArchiveDownloadFinished(QByteArray data);
    void OnArchiveDownloadFailed(QString reason);
    void OnHdrArchiveDownloadFinished(QByteArray data);
    void OnHdrArchiveDownloadFailed(QString reason);

private:
    // Keeps `data` for HandleHeldArchive when the hold stands; true when it does.
    bool HoldArchive(const QByteArray& data, bool hdr10);
    // Steps of a restoration. Those that fail throw the exceptions of ProfileRestorerExceptions.h.
    void VerifySignature(const QByteArray& data);
    // Replaces "ProfileArchive.zip" in the working directory by `data`.
    void SaveArchive(const QByteArray& data);
    // The SDR (HDR10) restoration after the download; false when it reported its own error.
    // OsErrorExceptions leave it after the working directory is removed.
    bool RestoreSdrProfiles(const QByteArray& data);
    bool RestoreHdr10Profiles(const QByteArray& data);
    // Rebuilds the working directory's REC709 profile with the BT.1886 tone curve from its measurements.
    void RebuildRec709Profile();
    void CorrectTagsForAllProfiles();
    // Puts the generic native HDR profile in place of a native HDR profile under 550 cd/m²; true when done.
    bool ReplaceNativeHdrProfile();
    // Rewrites the descriptions that lack the panel's descriptor; true when any needed it.
    bool CorrectDescriptorTags();
    bool CheckDescriptorTag(const QString& path, const QString& fileName);
    void FixDescriptorTag(const QString& path, const QString& fileName);
    void InstallRestoredProfiles();
    void InstallRestoredHdrProfiles();
    void CopyQualityReports();
    // Removes the working directory with all it holds; false (logged) when something stays.
    bool RemoveWorkingDirectory();
    // Routes the downloader's outcome to one pair of slots and starts the download.
    void Download(const QString& url, const char* finishedSlot, const char* failedSlot, const char* otherFinishedSlot,
                  const char* otherFailedSlot);
    // Runs the steps of one road: an OsErrorException leaves it (after the working directory is
    // removed) for the slot to report; any other failure is reported here (false). Success is reported.
    bool RunRestoration(bool hdr10, const std::function<void()>& steps);
    // What both roads do first: the signed archive saved and checked in the emptied working directory,
    // its panel information read and its required profiles extracted, the profile data refreshed.
    void UnpackArchive(const QByteArray& data, bool hdr10);
    // Empties (removes and creates) the working directory; throws SaveArchiveException.
    void PrepareWorkingDirectory();
    void ExtractFile(const QString& fileName);
    void ExtractProfiles(const QStringList& names);
    void LoadPanelInfo();
    void LoadHdrPanelInfo();
    // The resolved file-name format up to and including its last "_".
    QString ProfileFormatPrefix();
    // Previews are transformed only for the profiles installed: the refresh before the install
    // (whose list only names the files to install and copy reports for) leaves them to the one after.
    enum class Previews { Skip, Refresh };
    void RefreshProfileData(Previews previews = Previews::Refresh);
    void CopyNativeToNativeHdr();
    // Puts the panel's HDR10 profiles that are installed already beside the SDR set, so that they are
    // installed again with it: the controller takes the installed profiles for one set only when
    // they were written together, and the HDR10 road that follows may bring none. Each installed
    // file is digested before it is copied (m_KeptHdr10); copies of an earlier call are replaced.
    void KeepInstalledHdr10Profiles();
    void ActivateDefaultProfile();
    // False when the displays are cloned or the internal one is off (after the tray warning).
    bool CanActivateProfiles();
    // Logs `logged` + " Reason: " + the failure at WARN, puts back the display's defaults of the
    // road's start and reports `emitted` with what is in use now.
    void ReportError(const QString& logged, const QString& emitted, const char* reason);
    static QString PreviousInUseText();
    void ShowNotification(TrayNotificatioLevel level, const QString& text);
    void ReportSuccess(bool hdr10);
    QString FileName(const QString& key) const;
    QString WorkingPath(const QString& fileName) const;
    QString ArchivePath() const;
    QString ProfileDescription(const QString& path);
    QStringList WorkingProfileFiles() const;
    // The digests of the panel's profiles in the colour directory (file names of the template).
    Korvel::DisplayCalibration::Common::Profile::PreparedFrom ReadInstalledPanelProfiles() const;

    ILogConfiguration* m_LogConfiguration;
    TrayMenu* m_TrayMenu;
    IBiosTools* m_BiosTools;
    IDisplayHelper* m_DisplayHelper;
    IProfileHelper* m_ProfileHelper;
    IArchiveDownloader* m_ArchiveDownloader;
    IProfileArchiver* m_ProfileArchiver;
    IDecrypter* m_Decrypter;
    PanelInfo m_PanelInfo;
    int m_LoaderKind = 0;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileConfigLoader> m_ConfigLoader;
    ProfileDataList m_ProfileDataList;
    QString m_ProfileFileNameFormat;
    std::shared_ptr<ProfileDataObtainer> m_ProfileDataObtainer;
    QString m_WorkingDirectory;
    // The installed HDR10 profiles copied beside the SDR set, with their digests as read: the
    // installation is refused when one of them changed before it ran.
    Korvel::DisplayCalibration::Common::Profile::PreparedFrom m_KeptHdr10;
    // The panel's installed profiles when the road's download arrived: the installation is refused
    // when another program replaced one of them since, so the download never overwrites a newer set.
    Korvel::DisplayCalibration::Common::Profile::PreparedFrom m_InstalledAtStart;
    std::function<bool()> m_Hold;
    std::function<QStringList()> m_Fingerprint;
    QStringList m_ListFingerprint;
    // The archive that arrived while the hold stood (the latest one).
    struct HeldArchive {
        QByteArray data;
        bool hdr10 = false;
    };
    std::optional<HeldArchive> m_HeldArchive;
    // The display's defaults when the running road's download arrived.
    Korvel::DisplayCalibration::Common::Profile::DefaultProfiles m_PreviousDefaults;

    QString m_CalibrationStatusText;
    QString m_EnableCalibrationText;
    QString m_ActiveProfileText;
    QString m_GetBrightnessText;
    QString m_SetBrightnessText;
    QString m_ActivateText;
    QString m_TemporaryDirectoryText;
    QString m_SaveText;
    QString m_ExtractText;
    QString m_MissingText;
    QString m_InvalidText;
    QString m_InstallText;
    QString m_RestorationErrorText;
    QString m_UserListText;
};
