#pragma once

#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/DefaultProfiles.h"
#include "Quillon/ServiceDeclarations.h"

#include <QByteArray>
#include <QFileInfoList>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

KORVEL_DECLARE_OS_ERROR_EXCEPTION(SaveArchiveException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(ExtractProfilesException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(MissingProfilesException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(InvalidDigitalSignatureException);

// A profile key ("sRGB") and the file name the panel's format gives it.
struct ProfileDescriptor {
    QString key;
    QString fileName;
};

class IProfileManager : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IProfileManager() override = default;

    virtual void StartDownload() = 0;
    virtual QString BuildDownloadUrl(const QString& serial) = 0;
    virtual void SetDownloadUrl(const QString& url) = 0;
    virtual QString GetArchivePath() = 0;
};

// Downloads a replacement panel's signed archive, checks and keeps it in the working folder
// "ReplacementProfiles" below the data root (the tray program's restorer, which may run meanwhile,
// works in "DisplayProfiles"), installs its profiles (and, with "PanelInfo.xml", the
// machine-wide panel values) through one elevated Tessaly run and activates them, "Default" last.
// Every started download ends with exactly one of the two signals.
class ProfileManager : public IProfileManager {
    Q_OBJECT

public:
    ProfileManager(std::shared_ptr<IConfiguration> configuration, const QString& internalPanelId,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools> biosTools,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> archiveDownloader,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter,
                   std::shared_ptr<Korvel::DisplayCalibration::Common::Archive::IProfileArchiver> profileArchiver,
                   const QString& applicationTitle);
    ~ProfileManager() override;

    void StartDownload() override;
    // The download address for a panel serial, inserted as it is.
    QString BuildDownloadUrl(const QString& serial) override;
    void SetDownloadUrl(const QString& url) override;
    QString GetArchivePath() override;

    // At the program's start: puts back the display's defaults that an update killed after its switch
    // to sRGB (here or in the tray program) left recorded; what it found goes to the log.
    static void PutBackDefaultsOfKilledUpdate(Korvel::DisplayCalibration::Common::Profile::IProfileHelper& profileHelper);

signals:
    void ProfilesInstalledSuccessfully();
    void ProfilesInstallationFailed(QString reason);

public slots:
    void OnArchiveDownloadFinished(QByteArray archive);
    void OnArchiveDownloadFailed(QString reason);

private:
    void InitErrorTexts();
    // The steps of one run; each failure is an exception that OnArchiveDownloadFinished reports. A
    // declined question about the per-user list sets `declined` to the reason.
    void RunInstallation(const QByteArray& archive, QString& declined);
    void InstallProfilesFromArchive(const QByteArray& archive);
    void VerifyDigitalSignature(const QByteArray& download);
    void ExtractPanelInfoFile(const QString& directory);
    void ExtractProfileFiles(const QString& directory, const QStringList& profiles);
    void BuildRequiredProfileList();
    // False when the archive holds no "PanelInfo.xml" (the outputs stay as they are).
    bool ReadPanelInfo(const QString& directory, bool* hdr, QString* colorSpace, QString* gamma, QStringList* profiles);
    void InstallRequiredProfiles(const QString& directory);
    void InstallPanelInfoProfiles(const QString& directory, bool hdr, const QString& colorSpace, const QString& gamma,
                                  const QStringList& profiles);
    void PrepareNativeProfile(const QString& directory);
    void ActivateNativeHdrProfile();
    void ActivateDefaultProfile();
    // After a failed run: logs `detail`, makes `previous` the display's defaults again and returns
    // the sentence that tells the user which profile is in use now (empty when there was none).
    QString PutBack(const Korvel::DisplayCalibration::Common::Profile::DefaultProfiles& previous,
                    const QString& detail);

    QString WorkingDirectory() const;
    // The format with the product code and `key` in place.
    QString FileNameOf(const QString& key) const;
    // The ".icm" files of the folder, in the folder's order.
    static QFileInfoList ProfileFiles(const QString& directory);
    // Throws MissingProfilesException naming the `keys` that no file of `files` has exactly as its name.
    void CheckPresent(const QFileInfoList& files, const QStringList& keys) const;
    // Removes each file's profile from the display's associations; their absolute paths.
    QStringList Disassociate(const QFileInfoList& files) const;

    std::shared_ptr<IConfiguration> configuration;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools> biosTools;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> displayHelper;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> archiveDownloader;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Archive::IProfileArchiver> profileArchiver;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter;
    QString downloadUrl;
    QString applicationTitle;
    QString productCode;
    QList<ProfileDescriptor> requiredProfiles;
};
