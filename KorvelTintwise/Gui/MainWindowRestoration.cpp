// MainWindow: restoration, update-check and preferences slots.
#include "Gui/MainWindow.h"

using namespace Korvel::DisplayCalibration::Common::Logging;

namespace {

// Whether the update checker was initialised in this process.
bool updateCheckerInitialized = false;

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
}

void MainWindow::OnReportProfileRestorationError(const QString& message, bool shouldPerformAppExit)
{
    LogText(TraceLevel, "Reporting profile restoration error...");
    Q_UNUSED(message);
    Q_UNUSED(shouldPerformAppExit);
}

void MainWindow::OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>> profilesData,
                                                   Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
{
    LogText(TraceLevel, "Reporting profile restoration success...");
    Q_UNUSED(profilesData);
    Q_UNUSED(panelInfo);
}

void MainWindow::OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>> profilesData,
                                                      Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
{
    LogText(TraceLevel, "Reporting HDR profile restoration success...");
    Q_UNUSED(profilesData);
    Q_UNUSED(panelInfo);
}

void MainWindow::OnShowTrayNotification(TrayNotificatioLevel level, QString& message)
{
    LogPieces(InfoLevel, "Showing tray notification message: ", message.toStdString());
    Q_UNUSED(level);
}

void MainWindow::CheckForUpdatesOnInitialization()
{
    LogText(InfoLevel, "Check for updates triggered...");
    Q_UNUSED(updateCheckerInitialized);
}

void MainWindow::OnCheckForUpdateTriggered()
{
    LogText(TraceLevel, "Handling checking for update...");
}

void MainWindow::OnPreferencesActionTriggered()
{
    LogText(TraceLevel, "Handling Preferences action...");
}

void MainWindow::OnRunOnStartupChanged(int state)
{
    LogText(TraceLevel, "Handling run on startup option change...");
    Q_UNUSED(state);
}
