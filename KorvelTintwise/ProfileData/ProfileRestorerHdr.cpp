// The HDR10 road of the restorer and the corrections the SDR road runs before installing.
#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/PanelInfoXmlParser.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Spectrine/Resource.h"
#include "ProfileData/ProfileCorrection.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileRestorer.h"
#include "ProfileData/ProfileRestorerExceptions.h"
#include "WindowsStandIn/Time.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Logging::InfoLevel;
using Logging::TraceLevel;
using Logging::WarnLevel;
using Profile::ColorantMatrix;

constexpr DWORD StepPauseMs = 100;

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

// Removes the temporary directory when the corrections end, however they end.
class TemporaryDirectoryGuard {
public:
    explicit TemporaryDirectoryGuard(Logging::Loggable& log) : log(log) {}
    ~TemporaryDirectoryGuard()
    {
        try {
            RemoveTemporaryDirectory();
        } catch (const std::exception& error) {
            log.LogPieces(WarnLevel, "Failed to remove the temporary directory: ", error.what());
        }
    }

private:
    Logging::Loggable& log;
};

}  // namespace

void ProfileRestorer::OnHdrArchiveDownloadFinished(QByteArray data)
{
    if (HoldArchive(data, true)) {
        return;
    }
    m_PreviousDefaults = Profile::DefaultProfiles::Read(*m_ProfileHelper);
    try {
        if (!RestoreHdr10Profiles(data) || !CanActivateProfiles()) {
            return;
        }
        for (const auto& profile : m_ProfileDataList) {
            if (profile->GetName().contains(QLatin1String("HDR10"), Qt::CaseInsensitive)) {
                m_ProfileHelper->ActivateProfile(FileName(profile->GetName()), true);
                emit MarkProfileIfActive();
                break;
            }
        }
        if (!m_DisplayHelper->IsHdrActive()) {
            ActivateDefaultProfile();
        }
    } catch (const std::exception& error) {
        const QString message = QString::fromUtf8(error.what());
        ReportError(m_RestorationErrorText + QStringLiteral("<br>") + message, m_RestorationErrorText, error.what());
    } catch (...) {
        ReportError(m_RestorationErrorText, m_RestorationErrorText, "Unknown error");
    }
}

void ProfileRestorer::OnHdrArchiveDownloadFailed(QString reason)
{
    if (reason.isEmpty()) {
        reason = QStringLiteral("Unknown server error.");
    }
    // Panels without an HDR10 set have no such archive: this is not reported to the user.
    LogPieces(WarnLevel,
              Utf8(QStringLiteral("Failed to restore HDR10 profiles customized for your display. Reason: %1").arg(reason)));
}

bool ProfileRestorer::RestoreHdr10Profiles(const QByteArray& data)
{
    return RunRestoration(true, [&] {
        UnpackArchive(data, true);
        LogPieces(InfoLevel, "Profile descriptor ", CorrectDescriptorTags() ? "needs " : "does not need ", "an update");
        InstallRestoredHdrProfiles();
        WinSim::Pause(StepPauseMs);
        RemoveWorkingDirectory();
        RefreshProfileData();
        WinSim::Pause(StepPauseMs);
    });
}

void ProfileRestorer::LoadHdrPanelInfo()
{
    QFile file(WorkingPath(PanelInfoHdrFileName));
    Profile::PanelInfoXmlParser parser(&file);
    bool hdr10 = false;
    QStringList profiles;
    if (!parser.FileExists() || !parser.ReadHdr(hdr10) || !parser.ReadProfiles(profiles)) {
        throw InvalidPanelInfoException("Downloaded archive is invalid.");
    }
    m_PanelInfo.SetHdr10Supported(hdr10);
    m_PanelInfo.SetRequiredProfilesHdr10(profiles);
}

void ProfileRestorer::InstallRestoredHdrProfiles()
{
    const QStringList files = WorkingProfileFiles();
    QStringList missing;
    for (const QString& name : m_PanelInfo.GetRequiredProfilesHdr10()) {
        if (!files.contains(FileName(name))) {
            missing << FileName(name);
        }
    }
    if (!missing.isEmpty()) {
        RemoveWorkingDirectory();
        throw MissingProfilesException(Utf8(tr("Downloaded HDR10 archive is missing the following profiles: ") +
                                            missing.join(QStringLiteral(", "))));
    }
    try {
        QStringList paths;
        for (const QString& file : files) {
            paths << QFileInfo(WorkingPath(file)).absoluteFilePath();
        }
        m_ProfileHelper->InstallHdr10ProfilesWithPanelInfo(
            paths, EncryptAndEncode(m_PanelInfo.IsHdr10Supported() ? QStringLiteral("1") : QStringLiteral("0")),
            EncryptAndEncode(m_PanelInfo.GetRequiredProfilesHdr10().join(QLatin1Char(','))));
    } catch (...) {
        // Every failure of the installation is reported; none may pass for success.
        RemoveWorkingDirectory();
        throw;
    }
}

void ProfileRestorer::CorrectTagsForAllProfiles()
{
    LogPieces(InfoLevel, "ProfileRestorer: ", "CorrectTagsForAllProfiles started");
    Profile::ProfileModifier modifier;
    ProfileDataObtainer types(m_LogConfiguration, m_BiosTools, m_TrayMenu, m_ProfileHelper, m_PanelInfo,
                              m_ProfileFileNameFormat);
    const ProfileDataList profiles = m_ProfileDataList;
    LogPieces(TraceLevel, "allProfileData size : ", profiles.size());

    QString defaultPath;
    for (const auto& profile : profiles) {
        if (profile->GetFileName().contains(DefaultProfileName)) {
            defaultPath = WorkingPath(profile->GetFileName());
        }
    }

    bool ok = true;
    for (const auto& profile : profiles) {
        const QString path = WorkingPath(profile->GetFileName());
        const int type = types.FetchProfileType(path);
        const int kind = profile->GetColorSpaceType();
        LogPieces(InfoLevel, "Profile Type : ", ProfileDataObtainer::ProfileTypeToString(type));
        const ProfileCorrection::ColorantTarget target = ProfileCorrection::ColorantTargetFor(type, kind);
        if (target.source == ProfileCorrection::ColorantTarget::NotMhc2) {
            LogPieces(InfoLevel, "Profile type is not MHC2, hence not correcting tags.");
            continue;
        }
        LogPieces(TraceLevel, "Profile Path:  ", Utf8(path));
        ColorantMatrix colorants{};
        const bool haveColorants = ProfileCorrection::ReadColorantTarget(modifier, target, defaultPath, colorants);
        // Without a readable Default profile there is nothing to copy: re-saved as it is.
        if (target.source == ProfileCorrection::ColorantTarget::Unchanged ||
            (target.source == ProfileCorrection::ColorantTarget::DefaultProfile && !haveColorants)) {
            modifier.ResaveProfile(path, path);
            continue;
        }
        bool changed = false;
        if (!haveColorants) {
            LogPieces(WarnLevel, "No colorants to write into ", Utf8(path));
            ok = false;
        } else if (!modifier.EditRgbXyzTagsInFile(path, path, colorants, &changed)) {
            ok = false;
        }
    }

    const TemporaryDirectoryGuard temporaryDirectory(*this);
    const QString temporary = CreateTemporaryDirectory();
    const QString nativeHdrName = FileName(NativeHdrProfileName);
    const QString nativeHdrPath = WorkingPath(nativeHdrName);
    if (QFileInfo::exists(nativeHdrPath)) {
        LogPieces(TraceLevel, "nativeHdrFilePath :", Utf8(nativeHdrPath));
        const QString copy = temporary + QLatin1Char('/') + nativeHdrName;
        LogPieces(TraceLevel, "nativeHdrFileTempPath :", Utf8(copy));
        QFile::remove(copy);
        QFile::copy(nativeHdrPath, copy);
        modifier.ResaveProfile(copy, nativeHdrPath);
    }
    LogPieces(InfoLevel, "Tag correction ", ok ? "succeeded " : "failed or not needed");
    LogPieces(InfoLevel, "Native HDR profile is ", ReplaceNativeHdrProfile() ? "modified" : "not modified");
    LogPieces(InfoLevel, "Profile descriptor ", CorrectDescriptorTags() ? "needs " : "does not need ", "an update");
}

bool ProfileRestorer::ReplaceNativeHdrProfile()
{
    const QString nativePath = WorkingPath(FileName(NativeHdrProfileName));
    if (!QFileInfo::exists(nativePath)) {
        return false;
    }
    const Spectrine::UniString enginePath(KVUniStringCreateFromUtf8(nativePath.toUtf8().constData()));
    const double luminance = m_ProfileDataObtainer->FetchLuminance(enginePath.Get());
    if (!(ProfileCorrection::GenericNativeHdrThreshold > luminance)) {
        return false;
    }
    if (!QFileInfo::exists(ProfileCorrection::GenericNativeHdrResource)) {
        LogPieces(InfoLevel, "No need to modify the Native_HDR profile");
        return false;
    }
    // The native profile stays until the generic one is completely in its place.
    QString error;
    if (!ProfileCorrection::PutGenericNativeHdrProfile(m_WorkingDirectory, nativePath, error)) {
        LogPieces(WarnLevel, "Failed to put the generic native HDR profile in place: ", Utf8(error));
        return false;
    }
    LogPieces(InfoLevel, "Replaced the Native_HDR file in the DisplayProfiles directory");
    return true;
}

bool ProfileRestorer::CorrectDescriptorTags()
{
    QStringList fileNames;
    for (const auto& profile : m_ProfileDataList) {
        fileNames << FileName(profile->GetName());
    }
    fileNames << FileName(NativeHdrProfileName);
    bool needed = false;
    for (const QString& file : fileNames) {
        const QString path = WorkingPath(file);
        if (QFileInfo::exists(path) && !CheckDescriptorTag(path, file)) {
            FixDescriptorTag(path, file);
            needed = true;
        }
    }
    return needed;
}

QString ProfileRestorer::ExpectedDescriptor(const QString& panelId, const QString& fileName)
{
    const qsizetype first = fileName.indexOf(QLatin1Char('_'));
    const qsizetype second = first < 0 ? -1 : fileName.indexOf(QLatin1Char('_'), first + 1);
    QString rest = second < 0 ? QString() : fileName.mid(second + 1);
    rest.remove(QStringLiteral(".icm"), Qt::CaseSensitive);
    return panelId + QLatin1Char('_') + rest;
}

QString ProfileRestorer::ProfileDescription(const QString& path)
{
    const std::optional<QString> description = ProfileCorrection::ReadProfileDescription(path);
    if (!description) {
        LogPieces(WarnLevel, "KVProfileFromPathCreate failed!");
        return QString();
    }
    return *description;
}

bool ProfileRestorer::CheckDescriptorTag(const QString& path, const QString& fileName)
{
    LogPieces(InfoLevel, "Checking descriptor tag of ", Utf8(path));
    return ProfileDescription(path).contains(ExpectedDescriptor(m_DisplayHelper->GetInternalPanelId(), fileName));
}

void ProfileRestorer::FixDescriptorTag(const QString& path, const QString& fileName)
{
    LogPieces(InfoLevel, "Fixing descriptor tag of ", Utf8(path));
    LogPieces(InfoLevel, "Existing descriptor tag is: ", Utf8(ProfileDescription(path)));
    const ProfileCorrection::DescriptionWrite written = ProfileCorrection::WriteProfileDescription(
        path, ExpectedDescriptor(m_DisplayHelper->GetInternalPanelId(), fileName));
    if (written == ProfileCorrection::DescriptionWrite::NotOpened ||
        written == ProfileCorrection::DescriptionWrite::TooLong) {
        LogPieces(WarnLevel, "KVEditableICCProfileFromPathCreate failed!");
        return;
    }
    const bool ok = written == ProfileCorrection::DescriptionWrite::Written;
    LogPieces(InfoLevel, "Status: ", ok ? "ok" : "not ok");
    if (ok) {
        LogPieces(InfoLevel, "Updated descriptor tag is now: ", Utf8(ProfileDescription(path)));
    }
}
