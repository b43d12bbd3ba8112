// MainWindow: the panel's installed profiles, the default profile, the expected and unwanted
// profile names and the preferences window's connections.
#include "Gui/MainWindow.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Settings/ILogConfiguration.h"
#include "Common/Windows/RegistryParser.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileCorrection.h"
#include "ProfileData/ProfileDataObtainer.h"

#include <QDateTime>
#include <QFileInfo>

namespace Common = Korvel::DisplayCalibration::Common;
using Common::Application::ConnectChecked;
using namespace Common::Logging;

namespace {

// Paths as long as this or longer are not handed to the colour engine.
constexpr int MaxProfilePathLength = 255;

const QString ProfileExtension = QStringLiteral(".icm");

}  // namespace

QStringList MainWindow::ObtainProfilesFromColorDirectory()
{
    LogText(TraceLevel, "Obtaining profiles from color directory...");
    const QStringList files =
        colorDirectory.entryList({QStringLiteral("*.icm"), QStringLiteral("*.ICM")}, QDir::Files, QDir::Unsorted);
    QStringList kept;
    for (const QString& file : files) {
        if (kept.contains(file)) {
            continue;
        }
        if (file.contains(profileFileNamePrefix + "Native.") || file.contains(profileFileNamePrefix + "Native_HDR.") ||
            file.contains(profileFileNamePrefix + "Korvel_HDR10.")) {
            kept << file;
            continue;
        }
        const QString path = profileHelper->ColorDirectory() + "/" + file;
        if (profileHelper->HasBrightnessMetadata(path)) {
            if (expectedProfileNames.contains(file, Qt::CaseSensitive)) {
                kept << file;
            }
        } else if (file.contains(QLatin1String("Native"))) {
            kept << file;
        }
    }
    return kept;
}

QString MainWindow::FindDefaultProfileName()
{
    for (const auto& profile : profileData) {
        if (profile->GetFileName().contains(QLatin1String("Default"), Qt::CaseSensitive)) {
            return profile->GetFileName();
        }
    }
    return QString();
}

int MainWindow::IndexOfProfile(const QString& name)
{
    for (int i = 0; i < profileData.size(); ++i) {
        if (profileData[i]->GetFileName() == name) {
            return i;
        }
    }
    return -1;
}

QString MainWindow::GetProfileDescription(const QString& path)
{
    if (path.size() >= MaxProfilePathLength) {
        LogPieces(ErrorLevel, "Profile path too long for its description: ", path.toStdString());
        return QString();
    }
    const std::optional<QString> description = ProfileCorrection::ReadProfileDescription(path);
    if (!description) {
        LogText(ErrorLevel, "KVProfileFromPathCreate failed!");
        return QString();
    }
    return *description;
}

bool MainWindow::DetermineDefaultProfileColorSpace(const QStringList& installed, bool panelInfoRead)
{
    panelInfo.SetHdrSupported(false);
    QStringList names;
    for (QString name : installed) {
        if (name.contains(QLatin1String("Native_HDR"))) {
            panelInfo.SetHdrSupported(true);
            continue;
        }
        name.remove(profileFileNamePrefix, Qt::CaseSensitive);
        name.remove(ProfileExtension, Qt::CaseSensitive);
        names << name;
    }
    names = logConfiguration->SupportedProfileFiles(names);
    // Each pass lists the unwanted profiles anew.
    unwantedProfileNames.clear();
    ExtractUnwantedProfiles(names);

    LogText(TraceLevel, "Determining default profile color space...");
    const bool adobe = std::any_of(names.cbegin(), names.cend(),
                                   [](const QString& name) { return name.contains(QLatin1String("AdobeRGB")); });
    const QString colorSpace = adobe ? QStringLiteral("AdobeRGB") : QStringLiteral("sRGB");
    const QString gamma = QStringLiteral("2.2");
    panelInfo.SetDefaultProfileColorSpace(colorSpace);
    panelInfo.SetDefaultProfileGamma(gamma);
    if (!panelInfoRead) {
        ReadPanelInfo();
    }
    const QString deviceId = profileHelper->GetDeviceId();
    QStringList required = names;
    if (registryLoader->SetAllParameters(panelInfo.IsHdrSupported(), colorSpace, gamma, required,
                                         profileFileNamePrefix, deviceId, unwantedProfileNames)) {
        // Written and removed: nothing is left to ask for at the next check.
        unwantedProfileNames.clear();
    }
    panelInfoState = ReadPanelInfo();
    return true;
}

void MainWindow::BuildProfilePath(QString& fileName, QString& path)
{
    fileName = profileFileNameFormat;
    fileName.replace(Common::ProfileNamePlaceholder, Common::NativeHdrProfileName, Qt::CaseSensitive);
    path = profileHelper->ColorDirectory() + "/" + fileName;
}

void MainWindow::SetTrayMenuCaptions()
{
    LogText(TraceLevel, "Setting tray menu captions...");
    QStringList names;
    for (const auto& profile : profileData) {
        names << profile->GetDisplayName();
    }
    trayMenu->SetProfileNames(names);
}

void MainWindow::RereadPanelInfo()
{
    panelInfo = PanelInfo();
    panelInfoState = ReadPanelInfo();
}

QStringList MainWindow::ProfileSetFingerprint() const
{
    QStringList fingerprint{profileFileNameFormat};
    for (const QString& name : {Common::HdrSupportedValue, Common::DefaultProfileColorSpaceValue,
                                Common::DefaultProfileGammaValue, Common::RequiredProfilesValue,
                                Common::ProfileFormatValue, Common::Hdr10SupportedValue,
                                Common::RequiredProfilesHdr10Value}) {
        QString value;
        Common::Windows::RegistryParser::ReadPanelInfoValue(name, value);
        fingerprint << name + '=' + value;
    }
    // A fresh listing: nothing of an earlier one is reused.
    const QFileInfoList files =
        QDir(colorDirectory.path())
            .entryInfoList({profileFileNamePrefix + "*.icm", profileFileNamePrefix + "*.ICM"}, QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        fingerprint << QStringLiteral("%1|%2|%3").arg(file.fileName()).arg(file.lastModified().toMSecsSinceEpoch()).arg(
                           file.size());
    }
    return fingerprint;
}

void MainWindow::KeepProfileData(const ProfileDataList& list, const QStringList& fingerprint)
{
    profileData = list;
    profileDataFingerprint = fingerprint;
    SetTrayMenuCaptions();
    if (preferencesDialog != nullptr) {
        preferencesDialog->FillProfileComboBoxes();
    }
}

bool MainWindow::RefreshProfileDataIfChanged()
{
    const QStringList fingerprint = ProfileSetFingerprint();
    if (fingerprint == profileDataFingerprint) {
        return true;
    }
    LogText(InfoLevel, "The installed profile set has changed; its profile data is read anew.");
    ProfileDataObtainer obtainer(logConfiguration, biosTools, trayMenu, profileHelper, panelInfo,
                                 profileFileNameFormat);
    if (!obtainer.BuildProfileDataList()) {
        LogPieces(ErrorLevel, "MainWindow", "The profile data of the installed set could not be built.");
        return false;
    }
    obtainer.RefreshBrightnessLevels();
    obtainer.RefreshPreviewImages();
    KeepProfileData(obtainer.GetProfileDataList(), fingerprint);
    // The rebuilt menus show the current mode's profiles and Windows' active one.
    if (hdrMode) {
        trayMenu->ShowHdrProfilesOnly();
    } else {
        trayMenu->ShowSdrProfilesOnly();
    }
    if (preferencesDialog != nullptr) {
        preferencesDialog->UpdateProfileInfo();
    }
    OnMarkProfileIfActive();
    return true;
}

void MainWindow::CreateProfileNames()
{
    LogText(TraceLevel, "Creating profile names...");
    LogIfLidClosed(QStringLiteral("profile names creation."));
    profileFileNameFormat = logConfiguration->Refresh(true);
    expectedProfileNames.clear();
    const qsizetype placeholder = profileFileNameFormat.lastIndexOf(Common::ProfileNamePlaceholder);
    profileFileNamePrefix = placeholder < 0 ? profileFileNameFormat : profileFileNameFormat.left(placeholder);
    for (const QString& name : panelInfo.GetRequiredProfiles()) {
        expectedProfileNames << profileFileNamePrefix + name + ProfileExtension;
    }
    if (panelInfo.IsHdrSupported()) {
        expectedProfileNames << profileFileNamePrefix + Common::NativeHdrProfileName + ProfileExtension;
    }
}

void MainWindow::ExtractUnwantedProfiles(const QStringList& wantedNames)
{
    LogText(TraceLevel, "Extracting unwanted profiles...");
    for (const QString& file : ObtainProfilesFromColorDirectory()) {
        const bool wanted = std::any_of(wantedNames.cbegin(), wantedNames.cend(), [&](const QString& name) {
            return file == profileFileNamePrefix + name + ProfileExtension;
        });
        if (!wanted && !file.contains(QLatin1String("Native_HDR"))) {
            unwantedProfileNames << file;
        }
    }
}

void MainWindow::ConnectPreferencesDialog()
{
    ConnectChecked(preferencesDialog, SIGNAL(ProfileChangeTriggered(int)), this, SLOT(OnProfileSelected(int)));
    ConnectChecked(preferencesDialog, SIGNAL(RunOnStartupChanged(int)), this, SLOT(OnRunOnStartupChanged(int)));
    ConnectChecked(preferencesDialog, SIGNAL(RestoreProfilesTriggered()), this, SLOT(OnRestoreProfilesTriggered()));
    ConnectChecked(preferencesDialog, SIGNAL(CheckForUpdateTriggered()), this, SLOT(OnCheckForUpdateTriggered()));
    ConnectChecked(this, SIGNAL(LidStateChanged(bool)), preferencesDialog, SLOT(OnLidStateChanged(bool)));
}
