#include "ProfileData/ProfileRestorer.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Archive/IProfileArchiver.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/Network/IArchiveDownloader.h"
#include "Common/Profile/IProfileConfigLoader.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileConfigLoader.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Settings/ILogConfiguration.h"
#include "Common/Spectrine/Resource.h"
#include "Common/Windows/CommandLine.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileRestorerExceptions.h"
#include "ProfileData/QualityReportPath.h"
#include "WindowsStandIn/Time.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Exception::OsErrorException;
using Logging::InfoLevel;
using Logging::TraceLevel;
using Logging::WarnLevel;

constexpr DWORD StepPauseMs = 100;
constexpr DWORD ClearingPauseMs = 200;
constexpr int GammaTypeBt1886 = 5;
constexpr double Rec709Gamma = -2.0;  // written as "REC709"

const char* const CreateDirectoryMessage = "Failed to create directory";
const char* const RestorationFailedLogText = "Failed to restore the ICC profiles customized for your display. ";

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

}  // namespace

ProfileRestorer::ProfileRestorer(ILogConfiguration* logConfiguration, TrayMenu* trayMenu, IBiosTools* biosTools,
                                 IDisplayHelper* displayHelper, IProfileHelper* profileHelper,
                                 IArchiveDownloader* archiveDownloader, IProfileArchiver* profileArchiver,
                                 IDecrypter* decrypter, const QString& profileFileNameFormat)
    : IProfileRestorer(nullptr),
      Loggable("ProfileRestorer"),
      m_LogConfiguration(logConfiguration),
      m_TrayMenu(trayMenu),
      m_BiosTools(biosTools),
      m_DisplayHelper(displayHelper),
      m_ProfileHelper(profileHelper),
      m_ArchiveDownloader(archiveDownloader),
      m_ProfileArchiver(profileArchiver),
      m_Decrypter(decrypter),
      m_ProfileFileNameFormat(profileFileNameFormat),
      m_WorkingDirectory(ApplicationDataDirectory() + QLatin1Char('/') + DisplayProfilesFolder)
{
    const QString SupportTail = QStringLiteral(" Please restart the computer and try it again. If problem remains, "
                                               "please contact support at %1.")
                                    .arg(SupportPageLink());
    m_CalibrationStatusText = tr("Failed to determine the status of Windows display calibration.") + SupportTail;
    m_EnableCalibrationText = tr("Failed to enable Windows display calibration.");
    m_ActiveProfileText = tr("Failed to determine the active profile.") + SupportTail;
    m_GetBrightnessText = tr("Failed to determine the brightness level.") + SupportTail;
    m_SetBrightnessText = tr("Failed to set the brightness level.") + SupportTail;
    m_ActivateText = tr("Failed to activate the profile.") + SupportTail;
    m_TemporaryDirectoryText = QStringLiteral("Failed to create temporary directory to extract the profiles.");
    m_SaveText = QStringLiteral("Failed to save the profile archive.");
    m_ExtractText = QStringLiteral("Failed to extract the profiles.");
    m_MissingText = QStringLiteral("Profiles are missing from the downloaded archive.<br>%1");
    m_InvalidText = QStringLiteral("Downloaded archive is invalid.");
    m_InstallText = QStringLiteral("Failed to install the profiles.");
    m_RestorationErrorText = tr("Failed to restore the ICC profiles customized for your display.") + SupportTail;
    m_UserListText = tr("Failed to enable \"Use my settings for this device\" option.") + SupportTail;
}

ProfileRestorer::~ProfileRestorer() = default;

void ProfileRestorer::RestoreProfiles(const QString& url)
{
    Download(url, SLOT(OnArchiveDownloadFinished(QByteArray)), SLOT(OnArchiveDownloadFailed(QString)),
             SLOT(OnHdrArchiveDownloadFinished(QByteArray)), SLOT(OnHdrArchiveDownloadFailed(QString)));
}

void ProfileRestorer::RestoreHdrProfiles(const QString& url)
{
    Download(url, SLOT(OnHdrArchiveDownloadFinished(QByteArray)), SLOT(OnHdrArchiveDownloadFailed(QString)),
             SLOT(OnArchiveDownloadFinished(QByteArray)), SLOT(OnArchiveDownloadFailed(QString)));
}

void ProfileRestorer::Download(const QString& url, const char* finishedSlot, const char* failedSlot,
                               const char* otherFinishedSlot, const char* otherFailedSlot)
{
    const char* const finished = SIGNAL(ArchiveDownloadFinished(QByteArray));
    const char* const failed = SIGNAL(ArchiveDownloadFailed(QString));
    // The latest request decides which slots hear the answer; a repeated request connects once.
    for (const char* slot : {otherFinishedSlot, finishedSlot}) {
        disconnect(m_ArchiveDownloader, finished, this, slot);
    }
    for (const char* slot : {otherFailedSlot, failedSlot}) {
        disconnect(m_ArchiveDownloader, failed, this, slot);
    }
    Application::ConnectChecked(m_ArchiveDownloader, finished, this, finishedSlot, Qt::UniqueConnection);
    Application::ConnectChecked(m_ArchiveDownloader, failed, this, failedSlot, Qt::UniqueConnection);
    m_ArchiveDownloader->DownloadArchive(QUrl(url));
}

bool ProfileRestorer::HoldArchive(const QByteArray& data, bool hdr10)
{
    if (!m_Hold || !m_Hold()) {
        return false;
    }
    LogPieces(InfoLevel, "The downloaded archive waits for the user's answer", hdr10 ? " (HDR10)." : ".");
    m_HeldArchive = HeldArchive{data, hdr10};
    return true;
}

void ProfileRestorer::HandleHeldArchive()
{
    if (!m_HeldArchive || (m_Hold && m_Hold())) {
        return;
    }
    const HeldArchive held = std::move(*m_HeldArchive);
    m_HeldArchive.reset();
    LogPieces(InfoLevel, "The archive that waited is restored now.");
    if (held.hdr10) {
        OnHdrArchiveDownloadFinished(held.data);
    } else {
        OnArchiveDownloadFinished(held.data);
    }
}

void ProfileRestorer::OnArchiveDownloadFinished(QByteArray data)
{
    if (HoldArchive(data, false)) {
        return;
    }
    const QString& generic = m_RestorationErrorText;
    const QString br = QStringLiteral("<br>");
    // Recorded until the road ends, so that a kill before that does not leave the display on sRGB.
    const Profile::DefaultProfilesRecord record(*m_ProfileHelper);
    for (const QString& note : record.Notes()) {
        LogPieces(WarnLevel, Utf8(note));
    }
    m_PreviousDefaults = record.Previous();
    try {
        m_InstalledAtStart = ReadInstalledPanelProfiles();
        m_ProfileHelper->ActivateSrgbProfile();
        emit MarkProfileIfActive();
        if (!RestoreSdrProfiles(data) || !CanActivateProfiles() || m_DisplayHelper->IsHdrActive()) {
            return;
        }
        if (!m_ProfileHelper->IsUserProfileListEnabled()) {
            bool wasEnabled = false;
            emit AskUserToEnableUserProfileList(wasEnabled);
            if (!wasEnabled) {
                return;
            }
            m_ProfileHelper->EnableUserProfileList();
        }
        ActivateDefaultProfile();
        if (m_PanelInfo.IsHdrSupported()) {
            m_ProfileHelper->ActivateProfile(FileName(NativeHdrProfileName), true);
        }
    } catch (const CreateTemporaryDirectoryException& error) {
        ReportError(generic + br + m_TemporaryDirectoryText, generic, error.what());
    } catch (const SaveArchiveException& error) {
        ReportError(generic + br + m_SaveText, generic, error.what());
    } catch (const ExtractProfilesException& error) {
        ReportError(generic + br + m_ExtractText, generic, error.what());
    } catch (const MissingProfilesException& error) {
        ReportError(generic + br + m_MissingText.arg(QString::fromUtf8(error.what())), generic, error.what());
    } catch (const InvalidPanelInfoException& error) {
        ReportError(generic, generic, error.what());
    } catch (const Profile::InstallProfileException& error) {
        ReportError(generic + br + m_InstallText, generic, error.what());
    } catch (const Profile::GetColorCalibrationException& error) {
        ReportError(m_CalibrationStatusText, m_CalibrationStatusText, error.what());
    } catch (const Profile::EnableColorCalibrationException& error) {
        ReportError(m_EnableCalibrationText, m_EnableCalibrationText, error.what());
    } catch (const Profile::ReadActiveProfileException& error) {
        ReportError(m_ActiveProfileText, m_ActiveProfileText, error.what());
    } catch (const HardwareInfo::GetBrightnessLevelException& error) {
        ReportError(m_GetBrightnessText, m_GetBrightnessText, error.what());
    } catch (const HardwareInfo::SetBrightnessLevelException& error) {
        ReportError(m_SetBrightnessText, m_SetBrightnessText, error.what());
    } catch (const Profile::ActivateProfileException& error) {
        ReportError(m_ActivateText, m_ActivateText, error.what());
    } catch (const Profile::EnableUserProfileListException& error) {
        ReportError(m_UserListText, m_UserListText, error.what());
    } catch (const Windows::CommandLineException& error) {
        const QString message = QString::fromUtf8(error.what());
        ReportError(message, message, error.what());
    } catch (const std::exception& error) {
        // Any other failure (an invalid signature, an unreadable profile ...) is reported, never
        // left to end the program.
        ReportError(generic + br + QString::fromUtf8(error.what()), generic, error.what());
    } catch (...) {
        ReportError(generic, generic, "Unknown error");
    }
}

void ProfileRestorer::OnArchiveDownloadFailed(QString reason)
{
    if (reason.isEmpty()) {
        reason = QStringLiteral("Unknown server error.");
    }
    LogPieces(WarnLevel, Utf8(QStringLiteral("Failed to restore the ICC profiles customized for your display. Reason: %1")
                                  .arg(reason)));
    // Nothing was changed yet.
    emit ReportProfileRestorationError(m_RestorationErrorText + QStringLiteral("<br><br>") + PreviousInUseText(), false);
}

void ProfileRestorer::PutBackDefaultsOfKilledUpdate(IProfileHelper& profileHelper)
{
    const QString found = Profile::DefaultProfilesRecord::PutBackLeftRecord(profileHelper).Description();
    if (!found.isEmpty()) {
        Logging::Loggable("ProfileRestorer").LogPieces(WarnLevel, Utf8(found));
    }
}

QString ProfileRestorer::PreviousInUseText()
{
    return tr("The previously active ICC profile remains in use.");
}

bool ProfileRestorer::RestoreSdrProfiles(const QByteArray& data)
{
    return RunRestoration(false, [&] {
        UnpackArchive(data, false);
        RebuildRec709Profile();
        if (m_PanelInfo.IsHdrSupported()) {
            CopyNativeToNativeHdr();
            WinSim::Pause(StepPauseMs);
        }
        CorrectTagsForAllProfiles();
        KeepInstalledHdr10Profiles();
        InstallRestoredProfiles();
        WinSim::Pause(StepPauseMs);
        CopyQualityReports();
        RemoveWorkingDirectory();
        RefreshProfileData();
        WinSim::Pause(StepPauseMs);
    });
}

bool ProfileRestorer::RunRestoration(bool hdr10, const std::function<void()>& steps)
{
    try {
        steps();
    } catch (const OsErrorException&) {
        RemoveWorkingDirectory();
        throw;
    } catch (const std::exception& error) {
        RemoveWorkingDirectory();
        ReportError(QString::fromUtf8(RestorationFailedLogText), m_RestorationErrorText, error.what());
        return false;
    }
    ReportSuccess(hdr10);
    return true;
}

void ProfileRestorer::UnpackArchive(const QByteArray& data, bool hdr10)
{
    PrepareWorkingDirectory();
    VerifySignature(data);
    SaveArchive(data);
    WinSim::Pause(StepPauseMs);
    ExtractFile(hdr10 ? PanelInfoHdrFileName : PanelInfoFileName);
    WinSim::Pause(StepPauseMs);
    hdr10 ? LoadHdrPanelInfo() : LoadPanelInfo();
    const QString prefix = ProfileFormatPrefix();
    QStringList names;
    for (const QString& name :
         hdr10 ? m_PanelInfo.GetRequiredProfilesHdr10() : m_PanelInfo.GetRequiredProfiles()) {
        names << FileName(name);
    }
    ExtractProfiles(names);
    m_PanelInfo.SetProfileFormat(prefix);
    WinSim::Pause(StepPauseMs);
    RefreshProfileData(Previews::Skip);
}

void ProfileRestorer::ReportSuccess(bool hdr10)
{
    if (hdr10) {
        emit ReportProfileRestorationSuccessHdr(m_ProfileDataList, m_PanelInfo);
        ShowNotification(TrayNotificationInformation,
                         tr("Customized HDR ICC profiles for your display are restored successfully."));
    } else {
        emit ReportProfileRestorationSuccess(m_ProfileDataList, m_PanelInfo);
        ShowNotification(TrayNotificationInformation,
                         tr("Customized ICC profiles for your display are restored successfully."));
    }
}

void ProfileRestorer::ReportError(const QString& logged, const QString& emitted, const char* reason)
{
    LogPieces(WarnLevel, Utf8(logged), " Reason: ", reason != nullptr ? reason : "");
    QString message = emitted;
    QString failure;
    switch (m_PreviousDefaults.PutBack(*m_ProfileHelper, failure)) {
    case Profile::DefaultProfiles::PutBackResult::PreviousInUse:
        message += QStringLiteral("<br><br>") + PreviousInUseText();
        break;
    case Profile::DefaultProfiles::PutBackResult::NoSdrProfile:
        break;
    case Profile::DefaultProfiles::PutBackResult::Failed:
        LogPieces(WarnLevel, "The previous default profiles could not be put back: ", Utf8(failure));
        message += QStringLiteral("<br><br>") + tr("The previously active ICC profile could not be applied again.");
        break;
    }
    emit ReportProfileRestorationError(message, false);
}

void ProfileRestorer::ShowNotification(TrayNotificatioLevel level, const QString& text)
{
    QString message = text;
    emit ShowTrayNotification(level, message);
}

bool ProfileRestorer::CanActivateProfiles()
{
    if (m_DisplayHelper->IsDuplicateTopology()) {
        ShowNotification(TrayNotificationWarning,
                         tr("Displays are in clone mode. The ICC profile can be applied when displays are not in "
                            "clone or second screen only mode."));
        return false;
    }
    if (!m_DisplayHelper->IsInternalDisplayInTopology()) {
        ShowNotification(TrayNotificationWarning,
                         tr("Internal display is turned off. The ICC profile can be applied when internal display "
                            "is turned on."));
        return false;
    }
    return true;
}

void ProfileRestorer::ActivateDefaultProfile()
{
    int index = -1;
    for (int i = 0; i < m_ProfileDataList.size(); ++i) {
        if (m_ProfileDataList[i]->GetName() == DefaultProfileName) {
            index = i;
            break;
        }
    }
    emit ActivateProfile(index);
}

void ProfileRestorer::PrepareWorkingDirectory()
{
    // Nothing of an earlier download may stay beside the new one.
    if (QFileInfo::exists(m_WorkingDirectory) && !RemoveWorkingDirectory()) {
        throw SaveArchiveException("Failed to empty directory " + Utf8(m_WorkingDirectory));
    }
    WinSim::Pause(ClearingPauseMs);
    if (!MakeFolder(ApplicationDataDirectory(), m_WorkingDirectory)) {
        throw SaveArchiveException(CreateDirectoryMessage);
    }
}

void ProfileRestorer::VerifySignature(const QByteArray& data)
{
    VerifySignature(*m_Decrypter, data);
}

void ProfileRestorer::SaveArchive(const QByteArray& data)
{
    QFile file(ArchivePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw SaveArchiveException(Utf8(file.errorString()));
    }
    const qint64 written = file.write(data);
    if (written != data.size() || file.error() != QFileDevice::NoError || !file.flush()) {
        const std::string message = Utf8(file.errorString());
        file.close();
        QFile::remove(file.fileName());
        throw SaveArchiveException(message);
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        QFile::remove(file.fileName());
        throw SaveArchiveException(Utf8(file.errorString()));
    }
}

void ProfileRestorer::ExtractFile(const QString& fileName)
{
    try {
        m_ProfileArchiver->DecompressFile(ArchivePath(), m_WorkingDirectory, fileName);
    } catch (const std::exception& error) {
        throw ExtractProfilesException(error.what());
    }
}

void ProfileRestorer::ExtractProfiles(const QStringList& names)
{
    try {
        m_ProfileArchiver->DecompressProfiles(ArchivePath(), m_WorkingDirectory, names);
    } catch (const std::exception& error) {
        throw ExtractProfilesException(error.what());
    }
}

void ProfileRestorer::LoadPanelInfo()
{
    m_LoaderKind =
        QDir(m_WorkingDirectory).entryList({QStringLiteral("*.xml")}, QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty()
            ? 0
            : 1;
    m_ConfigLoader.reset();
    m_ConfigLoader = Profile::ProfileConfigLoaderFactory().Create(m_LogConfiguration, m_LoaderKind,
                                                                  WorkingPath(PanelInfoFileName));
    if (!m_ConfigLoader || !m_ConfigLoader->Load(m_PanelInfo)) {
        throw InvalidPanelInfoException(Utf8(m_InvalidText));
    }
}

QString ProfileRestorer::ProfileFormatPrefix()
{
    const QString format = m_LogConfiguration->Refresh(false);
    const qsizetype last = format.lastIndexOf(QLatin1Char('_'));
    return last < 0 ? QString() : format.left(last + 1);
}

void ProfileRestorer::RefreshProfileData(Previews previews)
{
    m_ListFingerprint = m_Fingerprint ? m_Fingerprint() : QStringList();
    auto obtainer = std::make_shared<ProfileDataObtainer>(m_LogConfiguration, m_BiosTools, m_TrayMenu,
                                                          m_ProfileHelper, m_PanelInfo, m_ProfileFileNameFormat);
    // An unknown name ends the list early; the brightness read below then fails on it.
    obtainer->BuildProfileDataList();
    obtainer->RefreshBrightnessLevels();
    if (previews == Previews::Refresh) {
        obtainer->RefreshPreviewImages();
    }
    m_ProfileDataObtainer = obtainer;
    m_ProfileDataList = obtainer->GetProfileDataList();
}

void ProfileRestorer::RebuildRec709Profile()
{
    const QStringList matches =
        QDir(m_WorkingDirectory)
            .entryList({QStringLiteral("*_REC709.icm"), QStringLiteral("*_REC709.ICM")}, QDir::Files, QDir::Name);
    if (matches.isEmpty()) {
        return;
    }
    const QString path = WorkingPath(matches.first());
    Profile::ProfileModifier modifier;
    int gammaType = -1;
    if (!modifier.ReadMeasurementsFromProfile(path, &gammaType)) {
        LogPieces(WarnLevel, "No measurements in ", Utf8(path), "; the profile is kept as it is.");
        return;
    }
    if (gammaType == GammaTypeBt1886) {
        return;
    }
    const Spectrine::UniString enginePath(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
    const ProfileData::Chromaticity white = m_ProfileDataObtainer->FetchWhitePoint(enginePath.Get());
    const double luminance = m_ProfileDataObtainer->FetchLuminance(enginePath.Get());
    if (!(white.first > 0.0 && white.second > 0.0 && luminance > 0.0)) {
        LogPieces(WarnLevel, "No white point or luminance in ", Utf8(path), "; the profile is kept as it is.");
        return;
    }
    const double whitePoint[2] = {white.first, white.second};
    if (!modifier.BuildAndSaveProfile(path, whitePoint, luminance, Rec709Gamma)) {
        LogPieces(WarnLevel, "Failed to rebuild ", Utf8(path), "; the profile is kept as it is.");
    }
}

void ProfileRestorer::CopyNativeToNativeHdr()
{
    const QString source = WorkingPath(FileName(NativeProfileName));
    const QString target = WorkingPath(FileName(NativeHdrProfileName));
    QFile::remove(target);
    if (!QFile::copy(source, target)) {
        LogPieces(WarnLevel, "Failed to copy ", Utf8(source), " to ", Utf8(target));
    }
}

void ProfileRestorer::KeepInstalledHdr10Profiles()
{
    for (auto it = m_KeptHdr10.cbegin(); it != m_KeptHdr10.cend(); ++it) {
        QFile::remove(WorkingPath(it.key()));
    }
    m_KeptHdr10.clear();
    const qsizetype placeholder = m_ProfileFileNameFormat.indexOf(ProfileNamePlaceholder);
    if (placeholder < 0) {
        return;
    }
    const QRegularExpression hdr10File(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(m_ProfileFileNameFormat.left(placeholder)) +
                                            ".*HDR10.*" +
                                            QRegularExpression::escape(m_ProfileFileNameFormat.mid(
                                                placeholder + ProfileNamePlaceholder.size()))));
    const QDir colorDirectory(m_ProfileHelper->ColorDirectory());
    for (const QString& name : colorDirectory.entryList({QStringLiteral("*.icm")}, QDir::Files, QDir::Name)) {
        if (!hdr10File.match(name).hasMatch() || QFileInfo::exists(WorkingPath(name))) {
            continue;
        }
        const QByteArray digest = Profile::InstalledFileDigest(colorDirectory.path(), name);
        if (!QFile::copy(colorDirectory.filePath(name), WorkingPath(name))) {
            LogPieces(WarnLevel, "Failed to copy the installed HDR10 profile ", Utf8(name),
                      " to the working directory");
            continue;
        }
        m_KeptHdr10.insert(name, digest);
    }
}

Profile::PreparedFrom ProfileRestorer::ReadInstalledPanelProfiles() const
{
    const qsizetype placeholder = m_ProfileFileNameFormat.indexOf(ProfileNamePlaceholder);
    if (placeholder < 0) {
        return {};
    }
    const QString prefix = m_ProfileFileNameFormat.left(placeholder);
    const QString suffix = m_ProfileFileNameFormat.mid(placeholder + ProfileNamePlaceholder.size());
    QStringList names;
    for (const QString& name : QDir(m_ProfileHelper->ColorDirectory()).entryList(QDir::Files, QDir::Name)) {
        if (name.startsWith(prefix) && name.endsWith(suffix) && name.size() > prefix.size() + suffix.size()) {
            names << name;
        }
    }
    return Profile::ReadPreparedFrom(m_ProfileHelper->ColorDirectory(), names);
}

QStringList ProfileRestorer::WorkingProfileFiles() const
{
    return QDir(m_WorkingDirectory).entryList({QStringLiteral("*.icm")}, QDir::Files, QDir::Name);
}

void ProfileRestorer::InstallRestoredProfiles()
{
    const QStringList files = WorkingProfileFiles();
    QStringList missing;
    for (const auto& data : m_ProfileDataList) {
        if (!files.contains(data->GetFileName()) && !data->GetName().contains(QLatin1String("HDR10"))) {
            missing << data->GetName();
        }
    }
    if (!missing.isEmpty()) {
        throw MissingProfilesException(
            Utf8(tr("Downloaded archive is missing the following profiles: ") + missing.join(QStringLiteral(", "))));
    }
    try {
        for (int attempt = 1;; ++attempt) {
            QStringList paths;
            // Files absent when the road started must still be absent; the kept HDR10 profiles as copied.
            Profile::PreparedFrom preparedFrom = m_InstalledAtStart;
            for (const QString& file : WorkingProfileFiles()) {
                m_ProfileHelper->DisassociateProfile(file);
                paths << QFileInfo(WorkingPath(file)).absoluteFilePath();
                if (!preparedFrom.contains(file)) {
                    preparedFrom.insert(file, QByteArray());
                }
            }
            for (auto it = m_KeptHdr10.cbegin(); it != m_KeptHdr10.cend(); ++it) {
                preparedFrom.insert(it.key(), it.value());
            }
            try {
                m_ProfileHelper->InstallProfilesWithPanelInfo(
                    paths, EncryptAndEncode(m_PanelInfo.IsHdrSupported() ? QStringLiteral("1") : QStringLiteral("0")),
                    EncryptAndEncode(m_PanelInfo.GetDefaultProfileColorSpace()),
                    EncryptAndEncode(m_PanelInfo.GetDefaultProfileGamma()),
                    EncryptAndEncode(m_PanelInfo.GetRequiredProfiles().join(QLatin1Char(','))),
                    EncryptAndEncode(m_PanelInfo.GetProfileFormat()), preparedFrom);
                return;
            } catch (const OsErrorException&) {
                // Another program replaced a kept HDR10 profile after it was copied: copied again, once.
                if (attempt > 1 || Profile::ChangedSince(m_ProfileHelper->ColorDirectory(), m_KeptHdr10).isEmpty()) {
                    throw;
                }
                LogPieces(WarnLevel, "The installed HDR10 profiles changed since they were copied; they are copied again.");
                KeepInstalledHdr10Profiles();
            }
        }
    } catch (...) {
        // Every failure of the installation is reported; none may pass for success.
        RemoveWorkingDirectory();
        throw;
    }
}

void ProfileRestorer::CopyQualityReports()
{
    for (const auto& data : m_ProfileDataObtainer->GetProfileDataList()) {
        if (data->GetFileName().contains(QLatin1String("DICOM"))) {
            continue;
        }
        const QString source = QualityReportPath(WorkingPath(data->GetFileName()));
        const QString target = QualityReportPath(data->GetFullPath());
        if (source.isEmpty() || target.isEmpty() || !QFileInfo::exists(source) || QFileInfo::exists(target)) {
            continue;
        }
        if (!QFile::copy(source, target)) {
            LogPieces(WarnLevel, "Failed to copy the quality report ", Utf8(source), " to ", Utf8(target));
        }
    }
}

bool ProfileRestorer::RemoveWorkingDirectory()
{
    std::error_code error;
    std::filesystem::remove_all(QFile::encodeName(m_WorkingDirectory).toStdString(), error);
    if (error || QFileInfo::exists(m_WorkingDirectory)) {
        LogPieces(WarnLevel, "Failed to remove ", Utf8(m_WorkingDirectory), ": ", error.message());
        return false;
    }
    return true;
}

QString ProfileRestorer::EncryptAndEncode(const QString& text)
{
    return RegistryLoader::EncryptToBase64(text);
}

QString ProfileRestorer::FileName(const QString& key) const
{
    return QString(m_ProfileFileNameFormat).replace(ProfileNamePlaceholder, key);
}

QString ProfileRestorer::WorkingPath(const QString& fileName) const
{
    return m_WorkingDirectory + QLatin1Char('/') + fileName;
}

QString ProfileRestorer::ArchivePath() const
{
    return WorkingPath(ProfileArchiveFileName);
}
