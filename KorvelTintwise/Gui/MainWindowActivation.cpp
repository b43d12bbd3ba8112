// MainWindow: profile activation, the default profile and marking the profile Windows holds active.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Windows/RegistryParser.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Common::Logging;

void MainWindow::OnProfileSelected(int index)
{
    LogText(TraceLevel, "Handling profile selection...");
    Q_UNUSED(index);
}

void MainWindow::OnActivateProfile(int index)
{
    LogPieces(TraceLevel, "Activating profile with index ", index, "...");
}

void MainWindow::ActivateProfile(std::shared_ptr<ProfileData> profile)
{
    LogText(TraceLevel, "Applying profile...");
    Q_UNUSED(profile);
}

void MainWindow::ActivateDefaultProfile()
{
    for (const auto& profile : profileData) {
        const QString name = profile->GetFileName();
        if (name.contains(QLatin1String("Default"), Qt::CaseSensitive)) {
            profileHelper->ActivateProfile(name, advancedProfileActivated);
            LogPieces(InfoLevel, "Successfully activated ", name.toStdString());
            return;
        }
    }
}

void MainWindow::OnMarkProfileIfActive()
{
    try {
        const bool advancedColor = IsAtLeast24H2() ? hdrMode : (hdrMode || advancedProfileActivated);
        LogPieces(InfoLevel, "Advance color status: ", advancedColor ? 1 : 0);
        const QString active = profileHelper->ReadActiveHdrProfile(advancedColor);
        LogPieces(InfoLevel, "Active profile: ", active.toStdString());
        const int index = IndexOfProfile(active);
        LogPieces(InfoLevel, "Active profile index:", index);
        if (index >= 0 && !profileData.isEmpty()) {
            if (IsActiveProfileRequired(active)) {
                trayMenu->CheckProfileAction(index);
                if (preferencesDialog != nullptr) {
                    preferencesDialog->SelectProfile(index);
                }
                SetLastAppliedProfileIndex(index);
                LogPieces(InfoLevel, "Profile with index ", index, " marked as active.");
            } else {
                LogPieces(InfoLevel, "Profile ", active.toStdString(), " with index ", index,
                          " is not in correct Color Management profile list.");
            }
        }
    } catch (...) {
        LogText(InfoLevel, "Exception occured in MarkProfileIfActive");
    }
}

bool MainWindow::IsActiveProfileRequired(const QString& name)
{
    const int index = IndexOfProfile(name);
    if (index < 0) {
        return false;
    }
    const QString key = profileData[index]->GetName();
    const QStringList required = hdrMode ? panelInfo.GetRequiredProfilesHdr10() : panelInfo.GetRequiredProfiles();
    return required.contains(key, Qt::CaseSensitive);
}

// The value is optional: a refused or failed write is logged and the program runs on. Without any
// panel values it waits for them: they are rebuilt with the device id in one write, and a lone
// device id would make the missing values look unreadable.
void MainWindow::RegisterDisplayDeviceId()
{
    QString stored;
    if (Common::Windows::RegistryParser::ReadPanelInfoValue(Common::DisplayDeviceIdValue, stored) &&
        !stored.isEmpty()) {
        return;
    }
    if (!Common::Windows::RegistryParser().GroupHasKeys(Common::PanelInfoGroup)) {
        LogText(InfoLevel, "No panel values yet: the display device id is written with them.");
        return;
    }
    try {
        if (!registryLoader->SetParameter(Common::DisplayDeviceIdValue, profileHelper->GetDeviceId())) {
            LogPieces(ErrorLevel, "MainWindow", "Failed to register the display device id.");
        }
    } catch (const std::exception& error) {
        LogPieces(ErrorLevel, "MainWindow", "Failed to register the display device id. Reason: ", error.what());
    }
}
