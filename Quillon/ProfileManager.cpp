#include "Quillon/ProfileManager.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Archive/IProfileArchiver.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Network/IArchiveDownloader.h"
#include "Common/Profile/DefaultProfiles.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/PanelInfoXmlParser.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Security/ArchiveSignature.h"
#include "Common/Security/IDecrypter.h"
#include "Common/Windows/CommandLine.h"
#include "Common/Windows/RegistryParser.h"
#include "Quillon/Constants.h"
#include "Quillon/Gui/CustomMessageBox.h"
#include "Quillon/IConfiguration.h"
#include "WindowsStandIn/Time.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <exception>
#include <optional>
#include <stdexcept>

namespace Common = Korvel::DisplayCalibration::Common;
using Common::Application::ConnectChecked;

namespace {

// Translated when a manager is made.
QString RestoreFailedText;   // "Failed to restore ... %1 cannot work properly ...", filled in
QString SaveFailedText;
QString ExtractFailedText;
QString MissingProfilesText;
QString InstallFailedText;
QString ActivateFailedText;
QString EnableUserProfileListFailedText;
QString OtherFailureText;

const QString MissingProfilesMessage = QStringLiteral("Downloaded archive is missing the following profiles: ");

// One descriptor per profile kind, built once per process.
const QList<ProfileDescriptor>& DescriptorTable()
{
    static const QList<ProfileDescriptor> table = [] {
        QList<ProfileDescriptor> descriptors;
        for (const QString& key : Common::DefaultSupportedProfiles) {
            descriptors.append(ProfileDescriptor{key, QString()});
        }
        return descriptors;
    }();
    return table;
}

QString Reason(const QString& text, const std::exception& error)
{
    return text.arg(QString::fromUtf8(error.what()));
}

// Why Tessaly could not install: the system's text it gives after its last "Reason: ", without the
// error code; its whole output (the profiles it went through) stays in the log. Output without such a
// line ("Profile ... does not exist.") is the reason as a whole.
QString InstallFailureReason(const std::exception& error)
{
    const QString output = QString::fromUtf8(error.what());
    const qsizetype start = output.lastIndexOf(QLatin1String("Reason: "));
    const QString reason = start < 0 ? QString() : output.mid(start + 8).section(QLatin1String(" ("), 0, 0).trimmed();
    return reason.isEmpty() ? output.trimmed() : reason;
}

}  // namespace

ProfileManager::ProfileManager(std::shared_ptr<IConfiguration> configuration, const QString& internalPanelId,
                               std::shared_ptr<Common::HardwareInfo::IBiosTools> biosTools,
                               std::shared_ptr<Common::Network::IArchiveDownloader> archiveDownloader,
                               std::shared_ptr<Common::Profile::IProfileHelper> profileHelper,
                               std::shared_ptr<Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory,
                               std::shared_ptr<Common::Security::IDecrypter> decrypter,
                               std::shared_ptr<Common::Archive::IProfileArchiver> profileArchiver,
                               const QString& applicationTitle)
    : configuration(std::move(configuration)), biosTools(std::move(biosTools)),
      displayHelper(displayHelperFactory->Create(internalPanelId)), profileHelper(std::move(profileHelper)),
      archiveDownloader(std::move(archiveDownloader)), profileArchiver(std::move(profileArchiver)),
      decrypter(std::move(decrypter)), applicationTitle(applicationTitle)
{
    productCode = displayHelper->GetProductCode();
    InitErrorTexts();
    ConnectChecked(this->archiveDownloader.get(), SIGNAL(ArchiveDownloadFinished(QByteArray)), this,
                   SLOT(OnArchiveDownloadFinished(QByteArray)));
    ConnectChecked(this->archiveDownloader.get(), SIGNAL(ArchiveDownloadFailed(QString)), this,
                   SLOT(OnArchiveDownloadFailed(QString)));
    BuildRequiredProfileList();
}

ProfileManager::~ProfileManager() = default;

void ProfileManager::InitErrorTexts()
{
    RestoreFailedText = QObject::tr("Failed to restore the ICC profiles customized for your display. %1 cannot work "
                                    "properly without the ICC profile customized for your display.")
                            .arg(SupportDisplayName);
    SaveFailedText = RestoreFailedText + "<br>" + QObject::tr("Failed to save the profile archive.<br>Reason :%1");
    ExtractFailedText = RestoreFailedText + "<br>" + QObject::tr("Failed to extract the profiles.<br>Reason: %1");
    MissingProfilesText =
        RestoreFailedText + "<br>" + QObject::tr("Profiles are missing from the downloaded archive.<br>%1");
    InstallFailedText = RestoreFailedText + "<br>" + QObject::tr("Failed to install the profiles.<br>Reason: %1");
    ActivateFailedText = QObject::tr("Failed to activate the profile.<br>Reason: %1");
    EnableUserProfileListFailedText =
        QObject::tr("Failed to enable \"Use my settings for this device\" option.<br> Reason: %1");
    OtherFailureText = QObject::tr("Failed to restore the ICC profiles customized for your display.<br>Reason: %1");
}

QString ProfileManager::BuildDownloadUrl(const QString& serial)
{
    return DownloadUrlTemplate().arg(serial);
}

void ProfileManager::SetDownloadUrl(const QString& url)
{
    downloadUrl = url;
}

void ProfileManager::StartDownload()
{
    archiveDownloader->DownloadArchive(QUrl(downloadUrl, QUrl::TolerantMode));
}

QString ProfileManager::WorkingDirectory() const
{
    return QDir(Common::ApplicationDataDirectory()).filePath(WorkingFolderName);
}

QString ProfileManager::GetArchivePath()
{
    return QDir(WorkingDirectory()).filePath(Common::ProfileArchiveFileName);
}

QString ProfileManager::FileNameOf(const QString& key) const
{
    QString name = configuration->GetFileNameFormat();
    name.replace(Common::DisplayProductCodePlaceholder, productCode, Qt::CaseSensitive);
    name.replace(Common::ProfileNamePlaceholder, key, Qt::CaseSensitive);
    return name;
}

void ProfileManager::OnArchiveDownloadFailed(QString reason)
{
    emit ProfilesInstallationFailed(tr("Failed to download the ICC profiles customized for your display.<br>%1").arg(reason));
}

void ProfileManager::OnArchiveDownloadFinished(QByteArray archive)
{
    // What a failure puts back: the first step below changes the display's default. Recorded until
    // the outcome is known, so that a kill before that does not leave the display on sRGB.
    std::optional<Common::Profile::DefaultProfilesRecord> record(std::in_place, *profileHelper);
    for (const QString& note : record->Notes()) {
        qWarning().noquote() << note;
    }
    const Common::Profile::DefaultProfiles previous = record->Previous();
    // The outcome is signalled after the guarded block, so that nothing a receiver does can add a second one.
    QString failure;
    QString detail;
    try {
        try {
            RunInstallation(archive, failure);
        } catch (const std::exception& error) {
            detail = QString::fromUtf8(error.what());
            throw;
        }
    } catch (const SaveArchiveException& error) {
        failure = Reason(SaveFailedText, error);
    } catch (const ExtractProfilesException& error) {
        failure = Reason(ExtractFailedText, error);
    } catch (const MissingProfilesException& error) {
        failure = Reason(MissingProfilesText, error);
    } catch (const Common::Profile::InstallProfileException& error) {
        failure = InstallFailedText.arg(InstallFailureReason(error));
    } catch (const Common::Profile::ActivateProfileException& error) {
        failure = Reason(ActivateFailedText, error);
    } catch (const Common::Profile::EnableUserProfileListException& error) {
        failure = Reason(EnableUserProfileListFailedText, error);
    } catch (const Common::Windows::CommandLineException& error) {
        failure = Reason(tr("Failed to restore the ICC profiles customized for your display.<br>Reason: %1"), error);
    } catch (const std::exception& error) {
        failure = Reason(OtherFailureText, error);
    }
    if (!failure.isNull()) {
        failure += PutBack(previous, detail);
        record.reset();
        emit ProfilesInstallationFailed(failure);
        return;
    }
    record.reset();
    emit ProfilesInstalledSuccessfully();
}

void ProfileManager::PutBackDefaultsOfKilledUpdate(Common::Profile::IProfileHelper& profileHelper)
{
    const QString found = Common::Profile::DefaultProfilesRecord::PutBackLeftRecord(profileHelper).Description();
    if (!found.isEmpty()) {
        qWarning().noquote() << found;
    }
}

void ProfileManager::RunInstallation(const QByteArray& archive, QString& declined)
{
    profileHelper->ActivateSrgbProfile();
    InstallProfilesFromArchive(archive);
    if (!profileHelper->IsUserProfileListEnabled()) {
        CustomMessageBox question(
            QMessageBox::Question, applicationTitle,
            tr("\"Use my settings for this device\" option in Color Management is disabled. The ICC profiles cannot "
               "be applied if \"Use my settings for this device\" option is disabled.<br><br>Would you like to "
               "enable \"Use my settings for this device\" option?"),
            nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
        // Only "OK" consents; a box closed otherwise ends the run with this reason.
        if (question.exec() != QDialog::Accepted) {
            declined = tr("The ICC profiles cannot be applied if \"Use my settings for this device\" option is "
                          "disabled.");
            return;
        }
        profileHelper->EnableUserProfileList();
    }
    profileHelper->DisassociateSrgbProfile();
}

void ProfileManager::InstallProfilesFromArchive(const QByteArray& archive)
{
    const QString directory = WorkingDirectory();
    // A folder that cannot be emptied would mix an earlier run's files into this one.
    if (!Common::RemoveFolder(directory)) {
        throw SaveArchiveException("Failed to remove directory");
    }
    WinSim::Pause(200);
    if (!Common::MakeFolder(Common::ApplicationDataDirectory(), directory)) {
        throw SaveArchiveException("Failed to create directory");
    }
    VerifyDigitalSignature(archive);

    QFile file(GetArchivePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw SaveArchiveException(file.errorString().toStdString());
    }
    const qint64 written = file.write(archive);
    file.flush();
    if (written != archive.size() || file.error() != QFileDevice::NoError) {
        throw SaveArchiveException(file.errorString().toStdString());
    }
    file.close();

    WinSim::Pause(100);
    ExtractPanelInfoFile(directory);
    WinSim::Pause(100);

    bool hdr = false;
    QString colorSpace;
    QString gamma;
    QStringList profiles = Common::DefaultSupportedProfiles;
    const bool hasPanelInfo = ReadPanelInfo(directory, &hdr, &colorSpace, &gamma, &profiles);
    ExtractProfileFiles(directory, profiles);
    WinSim::Pause(100);

    if (hasPanelInfo) {
        if (hdr) {
            PrepareNativeProfile(directory);
        }
        InstallPanelInfoProfiles(directory, hdr, colorSpace, gamma, profiles);
        if (hdr) {
            ActivateNativeHdrProfile();
        }
        ActivateDefaultProfile();
    } else {
        PrepareNativeProfile(directory);
        InstallRequiredProfiles(directory);
        ActivateNativeHdrProfile();
        ActivateDefaultProfile();
    }
}

void ProfileManager::VerifyDigitalSignature(const QByteArray& download)
{
    if (!Common::Security::HasValidArchiveSignature(*decrypter, download)) {
        throw InvalidDigitalSignatureException("Profile archive does not have valid digital signature");
    }
}

QString ProfileManager::PutBack(const Common::Profile::DefaultProfiles& previous, const QString& detail)
{
    if (!detail.isEmpty()) {
        qWarning().noquote() << "Profile installation failed:" << detail;
    }
    QString failure;
    switch (previous.PutBack(*profileHelper, failure)) {
    case Common::Profile::DefaultProfiles::PutBackResult::PreviousInUse:
        return "<br><br>" + tr("The previously active ICC profile remains in use.");
    case Common::Profile::DefaultProfiles::PutBackResult::NoSdrProfile:
        return QString();
    case Common::Profile::DefaultProfiles::PutBackResult::Failed:
        break;
    }
    qWarning().noquote() << "The previous default profiles could not be put back:" << failure;
    return "<br><br>" + tr("The previously active ICC profile could not be applied again.");
}

void ProfileManager::ExtractPanelInfoFile(const QString& directory)
{
    try {
        profileArchiver->DecompressFile(GetArchivePath(), directory, Common::PanelInfoFileName);
    } catch (const std::exception& error) {
        throw ExtractProfilesException(error.what());
    }
}

void ProfileManager::ExtractProfileFiles(const QString& directory, const QStringList& profiles)
{
    try {
        QStringList fileNames;
        for (const QString& profile : profiles) {
            fileNames << FileNameOf(profile);
        }
        profileArchiver->DecompressProfiles(GetArchivePath(), directory, fileNames);
    } catch (const std::exception& error) {
        throw ExtractProfilesException(error.what());
    }
}

void ProfileManager::BuildRequiredProfileList()
{
    for (const QString& key : Common::DefaultSupportedProfiles) {
        const auto& table = DescriptorTable();
        const auto entry = std::find_if(table.cbegin(), table.cend(),
                                        [&key](const ProfileDescriptor& descriptor) { return descriptor.key == key; });
        if (entry == table.cend()) {
            throw std::invalid_argument(("Invalid profile name specified: " + key).toStdString());
        }
        ProfileDescriptor descriptor = *entry;
        descriptor.fileName = FileNameOf(key);
        requiredProfiles.append(descriptor);
    }
}

bool ProfileManager::ReadPanelInfo(const QString& directory, bool* hdr, QString* colorSpace, QString* gamma,
                                   QStringList* profiles)
{
    const QString path = directory + "/" + Common::PanelInfoFileName;
    if (!QFileInfo::exists(path)) {
        return false;
    }
    try {
        QFile file(path);
        Common::Profile::PanelInfoXmlParser parser(&file);
        if (!parser.ReadHdr(*hdr)) {
            throw ExtractProfilesException("Panel archive is not valid!");
        }
        if (!parser.ReadColorSpace(*colorSpace)) {
            throw ExtractProfilesException("Panel Info get color space failed!");
        }
        if (!parser.ReadGamma(*gamma)) {
            throw ExtractProfilesException("Panel Info get supported gamma failed!");
        }
        if (!parser.ReadProfiles(*profiles)) {
            throw ExtractProfilesException("Panel Info get supported profiles failed!");
        }
        Common::Profile::PanelInfo panelInfo;
        panelInfo.SetHdrSupported(*hdr);
        panelInfo.SetRequiredProfiles(*profiles);
        panelInfo.SetDefaultProfileGamma(*gamma);
        panelInfo.SetDefaultProfileColorSpace(*colorSpace);
        if (!panelInfo.IsValid()) {
            throw ExtractProfilesException("Downloaded archive contains invalid Panel Info data!");
        }
        return true;
    } catch (const std::exception& error) {
        throw ExtractProfilesException(error.what());
    }
}

QFileInfoList ProfileManager::ProfileFiles(const QString& directory)
{
    return QDir(directory).entryInfoList({QStringLiteral("*.icm")});
}

void ProfileManager::CheckPresent(const QFileInfoList& files, const QStringList& keys) const
{
    QStringList missing;
    for (const QString& key : keys) {
        const QString fileName = FileNameOf(key);
        const bool present = std::any_of(files.cbegin(), files.cend(),
                                         [&fileName](const QFileInfo& file) { return file.fileName() == fileName; });
        if (!present && !missing.contains(key)) {
            missing << key;
        }
    }
    if (!missing.isEmpty()) {
        throw MissingProfilesException((MissingProfilesMessage + missing.join(", ") + ".").toStdString());
    }
}

QStringList ProfileManager::Disassociate(const QFileInfoList& files) const
{
    QStringList paths;
    for (const QFileInfo& file : files) {
        profileHelper->DisassociateProfile(file.fileName());
        paths << file.absoluteFilePath();
    }
    return paths;
}

void ProfileManager::InstallRequiredProfiles(const QString& directory)
{
    const QFileInfoList files = ProfileFiles(directory);
    QStringList keys;
    for (const ProfileDescriptor& descriptor : requiredProfiles) {
        keys << descriptor.key;
    }
    CheckPresent(files, keys);
    const QStringList paths = Disassociate(files);

    const int panelValues = Common::Windows::RegistryParser().CheckValues(
        Common::PanelInfoGroup, {Common::HdrSupportedValue, Common::DefaultProfileColorSpaceValue,
                                 Common::DefaultProfileGammaValue, Common::RequiredProfilesValue});
    if (panelValues == 0) {
        profileHelper->InstallProfiles(paths);
    } else {
        profileHelper->InstallProfilesRemovingPanelInfo(paths);
    }
    for (const ProfileDescriptor& descriptor : requiredProfiles) {
        profileHelper->ActivateProfile(descriptor.fileName, false);
    }
}

void ProfileManager::InstallPanelInfoProfiles(const QString& directory, bool hdr, const QString& colorSpace,
                                              const QString& gamma, const QStringList& profiles)
{
    const QFileInfoList files = ProfileFiles(directory);
    // Every file an activation below names must be there before anything is installed.
    QStringList needed = profiles;
    needed << Common::DefaultProfileName;
    if (hdr) {
        needed << Common::NativeProfileName;
    }
    CheckPresent(files, needed);
    const QStringList paths = Disassociate(files);

    QString format = configuration->GetFileNameFormat();
    format.replace(Common::DisplayProductCodePlaceholder, productCode, Qt::CaseSensitive);
    const qsizetype separator = format.lastIndexOf(QLatin1Char('_'));
    const QString profileFormat = separator < 0 ? QString() : format.left(separator + 1);
    profileHelper->InstallProfilesWithPanelInfo(
        paths, RegistryLoader::EncryptToBase64(hdr ? QStringLiteral("1") : QStringLiteral("0")),
        RegistryLoader::EncryptToBase64(colorSpace), RegistryLoader::EncryptToBase64(gamma),
        RegistryLoader::EncryptToBase64("\"" + profiles.join(", ") + "\""), RegistryLoader::EncryptToBase64(profileFormat));
    for (const QString& profile : profiles) {
        profileHelper->ActivateProfile(FileNameOf(profile), false);
    }
}

void ProfileManager::PrepareNativeProfile(const QString& directory)
{
    const QString source = directory + "/" + FileNameOf(Common::NativeProfileName);
    const QString target = directory + "/" + FileNameOf(Common::NativeHdrProfileName);
    if (QFileInfo::exists(target)) {
        QFile::remove(target);
    }
    QFile::copy(source, target);
}

void ProfileManager::ActivateNativeHdrProfile()
{
    profileHelper->ActivateProfile(FileNameOf(Common::NativeHdrProfileName), true);
}

void ProfileManager::ActivateDefaultProfile()
{
    profileHelper->ActivateProfile(FileNameOf(Common::DefaultProfileName), false);
}
