// MainWindow: correction of the installed profiles' colorant and description tags once the
// out-of-box experience ends. The corrected copies are made in the temporary directory and only they
// are installed, together, each in place of the file it was made from, and only while those files
// are still the ones read; nothing installed is touched before its replacement is complete.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/PreparedFrom.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Spectrine/Resource.h"
#include "ProfileData/ProfileCorrection.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileRestorer.h"

#include <QFileInfo>

#include <iostream>
#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Common::Logging;

namespace {

// Rounds of a correction whose installed files another program replaced while it was prepared.
constexpr int MaxCorrectionRounds = 3;

// Only files count: a name that is empty leaves a path naming the folder.
bool IsFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

// Removes the temporary directory on every way out of a correction run.
class TemporaryDirectoryGuard {
public:
    explicit TemporaryDirectoryGuard(Loggable& log) : log(log) {}
    ~TemporaryDirectoryGuard()
    {
        try {
            Common::RemoveTemporaryDirectory();
        } catch (const std::exception& error) {
            log.LogPieces(ErrorLevel, "MainWindow", "Failed to remove the temporary directory: ", error.what());
        }
    }
    TemporaryDirectoryGuard(const TemporaryDirectoryGuard&) = delete;
    TemporaryDirectoryGuard& operator=(const TemporaryDirectoryGuard&) = delete;

private:
    Loggable& log;
};

}  // namespace

void MainWindow::CorrectTagsForAllProfiles(ProfileDataObtainer* obtainer)
{
    LogPieces(InfoLevel, "MainWindow: ", "CorrectTagsForAllProfiles started");
    if (profileFileNameFormat.isEmpty()) {
        // Without the panel's file names no profile is known: there is nothing to correct.
        LogPieces(ErrorLevel, "MainWindow", "The profile file names are not known; nothing is corrected.");
        return;
    }
    std::unique_ptr<ProfileDataObtainer> reread;
    for (int round = 1; CorrectTagsOnce(*obtainer) == Correction::Stale; ++round) {
        if (round == MaxCorrectionRounds) {
            LogPieces(ErrorLevel, "MainWindow", "The installed profiles kept changing while they were corrected; ",
                      "their correction is left.");
            return;
        }
        LogPieces(InfoLevel, "The installed profiles changed since the correction read them; it is prepared again ",
                  "from the profiles installed now (round ", round + 1, ").");
        // Another program installed a set: its panel values, names and profile data are read anew.
        if (!AreAllProfilesInstalled(false) || !RefreshProfileDataIfChanged()) {
            LogPieces(ErrorLevel, "MainWindow", "The installed profile set is not complete; nothing is corrected.");
            return;
        }
        reread = std::make_unique<ProfileDataObtainer>(logConfiguration, biosTools, trayMenu, profileHelper, panelInfo,
                                                       profileFileNameFormat);
        if (!reread->BuildProfileDataList()) {
            LogPieces(ErrorLevel, "MainWindow", "The profile data of the installed set could not be built.");
            return;
        }
        obtainer = reread.get();
    }
}

// Each installed file is digested before it is read: the installation is refused when one of them
// changes before it runs, so a copy never replaces a file another program installed after it was made.
MainWindow::Correction MainWindow::CorrectTagsOnce(ProfileDataObtainer& obtainer)
{
    Common::Profile::ProfileModifier modifier;
    const ProfileDataList profiles = obtainer.GetProfileDataList();
    LogPieces(TraceLevel, "allProfileData size : ", profiles.size());

    const QString defaultPath = FindProfileDataByName(profiles, Common::DefaultProfileName);
    if (defaultPath.isEmpty()) {
        LogPieces(ErrorLevel, "MainWindow", "Failed to get default profile path.");
        return Correction::Done;
    }
    QString nativeHdrName;
    QString nativeHdrPath;
    BuildProfilePath(nativeHdrName, nativeHdrPath);
    QStringList read{nativeHdrName};
    for (const auto& profile : profiles) {
        read << profile->GetFileName();
    }
    Common::Profile::PreparedFrom preparedFrom;
    try {
        preparedFrom = Common::Profile::ReadPreparedFrom(profileHelper->ColorDirectory(), read);
    } catch (const std::exception& error) {
        LogPieces(ErrorLevel, "MainWindow", error.what());
        return Correction::Done;
    }
    const TemporaryDirectoryGuard guard(*this);
    const QString temporary = Common::CreateTemporaryDirectory();

    // The copies whose colorants were corrected, each named once.
    QStringList corrected;
    for (const auto& profile : profiles) {
        const QString source = profile->GetFullPath();
        if (!IsFile(source)) {
            LogPieces(ErrorLevel, "MainWindow", "Profile ", source.toStdString(), " doesn't exist!");
            return Correction::Done;
        }
        const QString destination = temporary + QLatin1Char('/') + profile->GetFileName();
        LogPieces(TraceLevel, "input profile Path:  ", source.toStdString());
        LogPieces(TraceLevel, "output profile Path: ", destination.toStdString());
        const int type = obtainer.FetchProfileType(source);
        LogPieces(InfoLevel, "Profile Type : ", ProfileDataObtainer::ProfileTypeToString(type));

        const ProfileCorrection::ColorantTarget target =
            ProfileCorrection::ColorantTargetFor(type, profile->GetColorSpaceType());
        if (target.source == ProfileCorrection::ColorantTarget::NotMhc2) {
            LogText(InfoLevel, "Profile type is not MHC2, hence not correcting tags.");
        }
        Common::Profile::ColorantMatrix colorants{};
        // A target that cannot be read or made corrects nothing: the profile is only re-saved.
        const bool haveTarget = ProfileCorrection::ReadColorantTarget(modifier, target, defaultPath, colorants);
        if (!modifier.ResaveProfile(source, destination)) {
            LogPieces(ErrorLevel, "MainWindow", "Failed to write ", destination.toStdString());
        }
        if (haveTarget) {
            bool changed = false;
            if (!modifier.EditRgbXyzTagsInFile(source, destination, colorants, &changed)) {
                changed = false;
            }
            LogPieces(InfoLevel, "Did profile got corrected, for profile ", profile->GetFileName().toStdString(), ": ",
                      changed ? 1 : 0);
            if (changed && !corrected.contains(destination)) {
                corrected << destination;
            }
        } else if (target.source == ProfileCorrection::ColorantTarget::DefaultProfile ||
                   target.source == ProfileCorrection::ColorantTarget::Standard) {
            LogPieces(ErrorLevel, "MainWindow", "No colorants to correct ", profile->GetFileName().toStdString(),
                      " with; it is only re-saved.");
        }
    }

    const QString nativeHdrCopy = temporary + QLatin1Char('/') + nativeHdrName;
    if (IsFile(nativeHdrPath) && !modifier.ResaveProfile(nativeHdrPath, nativeHdrCopy)) {
        LogPieces(ErrorLevel, "MainWindow", "Failed to write ", nativeHdrCopy.toStdString());
    }
    const bool nativeHdrReplaced = ReplaceNativeHdrProfileInTempDir();
    LogPieces(InfoLevel, "Native HDR profile is ", nativeHdrReplaced ? "modified" : "not modified");
    QStringList described;
    const bool descriptors = CheckAndFixDescriptorTags(temporary, &described);
    LogPieces(InfoLevel, "Profile descriptor ", descriptors ? "needs " : "does not need ", "an update");

    // Only what was corrected goes in; the generic native HDR profile only together with a correction.
    QStringList installList = corrected;
    for (const QString& path : described) {
        if (!installList.contains(path)) {
            installList << path;
        }
    }
    if (installList.isEmpty()) {
        LogPieces(ErrorLevel, "MainWindow", "CorrectTagsForAllProfiles() failed or not required");
        return Correction::Done;
    }
    if (nativeHdrReplaced && !installList.contains(nativeHdrCopy)) {
        installList << nativeHdrCopy;
    }
    QStringList missing;
    for (const QString& path : installList) {
        if (!IsFile(path)) {
            missing << path;
        }
    }
    if (!missing.isEmpty()) {
        LogPieces(ErrorLevel, "MainWindow", "Corrected profiles not installed, missing: ",
                  missing.join(QStringLiteral(", ")).toStdString());
        return Correction::Done;
    }
    try {
        profileHelper->InstallCorrectedProfiles(installList, preparedFrom);
        return Correction::Done;
    } catch (const std::exception& error) {
        LogPieces(ErrorLevel, "MainWindow", "InstallProfiles failed : ", error.what());
        std::cout << "Failed to install profile: " << std::endl << "Reason: " << error.what() << std::endl;
    }
    // Refused for a changed file, or failed while another program replaced the files: the copies
    // are stale either way.
    try {
        return Common::Profile::ChangedSince(profileHelper->ColorDirectory(), preparedFrom).isEmpty()
                   ? Correction::Done
                   : Correction::Stale;
    } catch (const std::exception&) {
        return Correction::Stale;
    }
}

bool MainWindow::ReplaceNativeHdrProfileInTempDir()
{
    const QString temporary = Common::CreateTemporaryDirectory();
    nativeHdrProfileData = std::make_shared<ProfileDataObtainer>(logConfiguration, biosTools, trayMenu, profileHelper,
                                                                 panelInfo, profileFileNameFormat);
    QString name;
    QString installed;
    BuildProfilePath(name, installed);
    const Common::Spectrine::UniString enginePath(KVUniStringCreateFromUtf8(installed.toUtf8().constData()));
    const double luminance = nativeHdrProfileData->FetchLuminance(enginePath.Get());
    if (!(IsFile(installed) && luminance < ProfileCorrection::GenericNativeHdrThreshold)) {
        return false;
    }
    // The working copy stays until the generic profile is completely in its place.
    const QString target = temporary + QLatin1Char('/') + name;
    QString error;
    if (!ProfileCorrection::PutGenericNativeHdrProfile(temporary, target, error)) {
        LogPieces(ErrorLevel, "MainWindow", "Failed to replace the Native_HDR file in the temp directory: ",
                  error.toStdString());
        return false;
    }
    LogText(InfoLevel, "Replaced the Native_HDR file in the temp directory");
    // Named for this panel like the profile it replaces, so the replacement alone changes no descriptor.
    ProfileCorrection::WriteProfileDescription(
        target, ProfileRestorer::ExpectedDescriptor(displayHelper->GetInternalPanelId(), name));
    return true;
}

bool MainWindow::CheckAndFixDescriptorTags(const QString& directory, QStringList* fixedPaths)
{
    bool fixed = false;
    const auto fix = [&](const QString& path, const QString& name) {
        if (FixDescriptorTag(path, name)) {
            fixed = true;
            if (fixedPaths != nullptr && !fixedPaths->contains(path)) {
                *fixedPaths << path;
            }
        }
    };
    for (const auto& profile : profileData) {
        const QString name = QString(profileFileNameFormat)
                                 .replace(Common::ProfileNamePlaceholder, profile->GetName(), Qt::CaseSensitive);
        const QString path = directory + QLatin1Char('/') + name;
        if (IsFile(path) && !CheckDescriptorTag(path, name)) {
            fix(path, name);
        }
    }
    QString name;
    QString installed;
    BuildProfilePath(name, installed);
    const QString path = directory + QLatin1Char('/') + name;
    if (IsFile(installed) && IsFile(path) && !CheckDescriptorTag(path, name)) {
        fix(path, name);
    }
    return fixed;
}

bool MainWindow::CheckDescriptorTag(const QString& path, const QString& fileName)
{
    LogPieces(InfoLevel, "Checking descriptor tag of ", path.toStdString());
    return GetProfileDescription(path).contains(
        ProfileRestorer::ExpectedDescriptor(displayHelper->GetInternalPanelId(), fileName), Qt::CaseSensitive);
}

bool MainWindow::FixDescriptorTag(const QString& path, const QString& fileName)
{
    LogPieces(InfoLevel, "Fixing descriptor tag of ", path.toStdString());
    LogPieces(InfoLevel, "Existing descriptor tag is: ", GetProfileDescription(path).toStdString());
    const QString descriptor = ProfileRestorer::ExpectedDescriptor(displayHelper->GetInternalPanelId(), fileName);
    switch (ProfileCorrection::WriteProfileDescription(path, descriptor)) {
    case ProfileCorrection::DescriptionWrite::TooLong:
        LogPieces(ErrorLevel, "MainWindow", "Profile path or descriptor too long for the colour engine: ",
                  path.toStdString());
        return false;
    case ProfileCorrection::DescriptionWrite::NotOpened:
        LogPieces(ErrorLevel, "MainWindow", "KVEditableICCProfileFromPathCreate failed!");
        return false;
    case ProfileCorrection::DescriptionWrite::NotWritten:
        LogText(InfoLevel, "Status: not ok");
        break;
    case ProfileCorrection::DescriptionWrite::Written:
        LogText(InfoLevel, "Status: ok");
        LogPieces(InfoLevel, "Updated descriptor tag is now: ", GetProfileDescription(path).toStdString());
        return true;
    }
    LogPieces(InfoLevel, "Updated descriptor tag is now: ", GetProfileDescription(path).toStdString());
    return false;
}
