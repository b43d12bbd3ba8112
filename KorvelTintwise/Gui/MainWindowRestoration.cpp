// MainWindow: restoration, update-check and preferences slots.
#include "Gui/MainWindow.h"

#include "Common/HardwareInfo/DisplayHelper.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileRestorer.h"
#include "Vesperon/Vesperon.h"

#include <QCoreApplication>

using namespace Korvel::DisplayCalibration::Common::Logging;

namespace {

// Whether the update checker was initialised in this process.
bool updateCheckerInitialized = false;

// The update checks Vesperon is asked for.
constexpr int CheckAtStartup = 0;
constexpr int CheckAskedByUser = 1;

}  // namespace

void MainWindow::ResetUpdateCheckerState()
{
    updateCheckerInitialized = false;
}

void MainWindow::OnRestoreProfilesTriggered()
{
    OnRestoreProfilesTriggered(true);
}

void MainWindow::OnRestoreProfilesTriggered(bool initiatedByUser)
{
    LogPieces(InfoLevel, "Profiles restoration triggered. Initiated by user: ", initiatedByUser ? "true" : "false");
    LogIfLidClosed(QStringLiteral("profiles restoration."));
    if (restorationRunning) {
        return;
    }
    restorationRunning = true;
    if (hdrMode) {
        const char* text = "The ICC profiles customized for your display cannot be restored when HDR is turned on.";
        LogPieces(ErrorLevel, "MainWindow", text);
        ShowErrorMessage(tr(text), false);
        restorationRunning = false;
        return;
    }
    if (!IsInternalDisplayInRegularMode(false)) {
        const char* text = "The ICC profiles customized for your display cannot be restored when internal display is "
                           "turned off or displays are in clone or second screen only mode.";
        LogPieces(ErrorLevel, "MainWindow", text);
        ShowErrorMessage(tr(text), false);
        restorationRunning = false;
        return;
    }
    if (profileRestorer == nullptr) {
        // Asked for before start-up made the restorer: nothing can run yet.
        LogPieces(ErrorLevel, "MainWindow", "Profile restorer is not ready.");
        restorationRunning = false;
        return;
    }
    profileRestorer->RestoreProfiles(archiveUrl);
}

void MainWindow::OnReportProfileRestorationError(const QString& message, bool shouldPerformAppExit)
{
    LogText(TraceLevel, "Reporting profile restoration error...");
    if (AreAllProfilesInstalled(false)) {
        trayMenu->UncheckProfileActions();
        if (preferencesDialog != nullptr) {
            preferencesDialog->SetCurrentProfileIndex();
        }
        // The restorer has put the profile of before back: it is marked again.
        OnMarkProfileIfActive();
        restorationRunning = false;
        const QString text = message + QStringLiteral("<br><br>") + ContinueText();
        LogPieces(ErrorLevel, "MainWindow", text.toStdString());
        ShowErrorMessage(text, false);
        if (shouldPerformAppExit) {
            trayMenu->HideTrayIcon();
            ExitEventLoop(0);
        }
        return;
    }
    LogPieces(ErrorLevel, "MainWindow", message.toStdString());
    ShowErrorMessage(RestorationText(), true);
    trayMenu->HideTrayIcon();
    ExitEventLoop(0);
}

void MainWindow::OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>> profilesData,
                                                   Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
{
    LogText(TraceLevel, "Reporting profile restoration success...");
    profileData.clear();
    profileData = profilesData;
    requiredProfilesAvailable = true;
    SetTrayMenuCaptions();
    if (preferencesDialog != nullptr) {
        preferencesDialog->FillProfileComboBoxes();
    }
    this->panelInfo = panelInfo;
    restorationRunning = false;
    panelInfoState = 3;
    // The set the list was read from: one installed since is read anew at the next check.
    profileDataFingerprint = profileRestorer->GetListFingerprint();
    profileRestorer->RestoreHdrProfiles(QStringLiteral("%1_%2").arg(archiveUrl, QStringLiteral("HDR")));
}

void MainWindow::OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>> profilesData,
                                                      Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
{
    LogText(TraceLevel, "Reporting HDR profile restoration success...");
    QStringList keys;
    for (const auto& profile : profileData) {
        keys << profile->GetName();
    }
    for (const auto& profile : profilesData) {
        if (!keys.contains(profile->GetName(), Qt::CaseSensitive)) {
            profileData.append(profile);
        }
    }
    restorationRunning = false;
    this->panelInfo.SetHdr10Supported(panelInfo.IsHdr10Supported());
    this->panelInfo.SetRequiredProfilesHdr10(panelInfo.GetRequiredProfilesHdr10());
    panelInfoState = 3;
    profileDataFingerprint = profileRestorer->GetListFingerprint();
    SetTrayMenuCaptions();
    if (preferencesDialog != nullptr) {
        preferencesDialog->FillProfileComboBoxes();
    }
    ShowHdrModeNotice(displayHelper->IsHdrActive());
}

void MainWindow::OnShowTrayNotification(TrayNotificatioLevel level, QString& message)
{
    LogPieces(InfoLevel, "Showing tray notification message: ", message.toStdString());
    switch (level) {
    case TrayNotificationInformation:
        trayMenu->ShowInformationNotification(message);
        break;
    case TrayNotificationWarning:
        trayMenu->ShowWarningNotification(message);
        break;
    default:
        break;
    }
}

void MainWindow::InitializeUpdateChecker()
{
    if (updateCheckerInitialized) {
        return;
    }
    const QByteArray feed = CreateDownloadUrl().toUtf8();
    VesperonParameters parameters{};
    parameters.size = sizeof(VesperonParameters);
    parameters.feedUrl = feed.constData();
    parameters.firstText = "";
    parameters.secondText = "";
    const int status = VesperonInitialize(&parameters);
    if (status == 0) {
        LogPieces(InfoLevel, "Vesperon initialized successfully. Status: ", status);
    } else {
        LogPieces(WarnLevel, "Failed to initialize Vesperon. Status: ", status);
    }
    updateCheckerInitialized = true;
}

void MainWindow::CheckForUpdatesOnInitialization()
{
    LogText(InfoLevel, "Check for updates triggered...");
    InitializeUpdateChecker();
    VesperonCheckForUpdates(CheckAtStartup);
}

void MainWindow::OnCheckForUpdateTriggered()
{
    LogText(TraceLevel, "Handling checking for update...");
    InitializeUpdateChecker();
    VesperonCheckForUpdates(CheckAskedByUser);
}

void MainWindow::OnPreferencesActionTriggered()
{
    LogText(TraceLevel, "Handling Preferences action...");
    const RoadGuard road(*this, Road::Preferences);
    if (!road) {
        LogText(InfoLevel, "The preferences action is waiting for the user's answer; this one is dropped.");
        return;
    }
    // Called from inside Qt's menu code, which an exception cannot unwind (see OnProfileSelected).
    try {
        if (!HaveRequiredProfiles()) {
            AskUserToRestoreProfiles();
            return;
        }
        LogIfLidClosed(QStringLiteral("preferences action trigger handling."));
        ShowHdrModeNotice(displayHelper->IsHdrActive());
        if (preferencesDialog != nullptr) {
            preferencesDialog->show();
            preferencesDialog->activateWindow();
            preferencesDialog->raise();
        }
    } catch (const std::exception& error) {
        // A failed read shows nothing more: the program runs on.
        if (!ReportReadFailure(error)) {
            EndOnUnexpectedError();
        }
    } catch (...) {
        EndOnUnexpectedError();
    }
}

void MainWindow::OnRunOnStartupChanged(int state)
{
    LogText(TraceLevel, "Handling run on startup option change...");
    if (preferencesDialog != nullptr) {
        preferencesDialog->ApplyRunOnStartup(state);
    }
}
