// MainWindow: reactions to display, lid, power, new-instance and out-of-box events, and the display
// state the activation road checks.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Application/OobeCompletedDetection.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/Profile/IProfileHelper.h"
#include "Gui/FreedMemory.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "WindowsStandIn/Messages.h"

#include <QTimer>

#include <cstdint>
#include <utility>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Common::Logging;

void MainWindow::OnDisplaySettingChanged()
{
    LogText(TraceLevel, "Handling display setting change...");
    // While an answer is pending (this road's or another's) the change is handled after it: it may
    // run elevated.
    if (IsAnswerPending()) {
        LogText(InfoLevel, "A display change is waiting for the user's answer; this one is handled after it.");
        displayChangeWaiting = true;
        return;
    }
    const RoadGuard road(*this, Road::DisplayChange);
    HandleDisplaySettingChange();
    // The display may have changed again while a box of this road was open.
    if (std::exchange(displayChangeWaiting, false) && !IsExitPending()) {
        QTimer::singleShot(0, this, &MainWindow::OnDisplaySettingChanged);
    }
}

void MainWindow::HandleDisplaySettingChange()
{
    ReleaseFreedMemorySoon();
    if (preferencesDialog == nullptr) {
        // Before the initialisation there is no window to rebuild and nothing chosen to keep.
        LogText(InfoLevel, "Application initialization is pending, display setting change was ignored");
        return;
    }
    const QString current = preferencesDialog->GetCurrentProfileName();
    LogPieces(InfoLevel, "Current Active Profile ", current.toStdString());
    try {
        LogIfLidClosed(QStringLiteral("display setting change handling."));
        if (!profileHelper->GetColorCalibrationState()) {
            AskUserToEnableColorCalibration();
            // Asked by another road: that road acts on the answer.
            if (IsQuestionOpen(Question::Calibration)) {
                return;
            }
        }
        // A refused question has asked the event loop to end: nothing more is done.
        if (IsExitPending()) {
            return;
        }
        RebuildPreferencesDialog();
        if (brightnessMismatch) {
            preferencesDialog->OnBrightnessMismatchFound();
        }
        if (!IsInternalDisplayInRegularMode(true)) {
            trayMenu->UncheckProfileActions();
            preferencesDialog->SetCurrentProfileIndex();
            return;
        }
        if (!AreAllProfilesInstalled(false)) {
            AskUserToRestoreProfiles();
            return;
        }
        if (!RefreshProfileDataIfChanged()) {
            return;
        }
        // The window's first entry is the empty one: list position = index - 1.
        const int index = preferencesDialog->FindProfileIndex(current);
        LogPieces(InfoLevel, "Active profile index after display change event: ", index);
        if (index >= 1 && index - 1 < profileData.size() && !IsAtLeast24H2()) {
            advancedProfileActivated = displayHelper->IsAdvancedColorEnabled();
            if (!displayHelper->IsHdrActive()) {
                const QString name = profileData[index - 1]->GetFileName();
                profileHelper->ActivateProfile(name, advancedProfileActivated);
                LogPieces(InfoLevel, "Successfully activated ", name.toStdString());
                trayMenu->ShowSdrProfilesOnly();
                preferencesDialog->UpdateProfileInfo();
            }
        }
        ShowHdrModeNotice(displayHelper->IsHdrActive());
        if (brightnessMismatch && oobeDetection->IsCompleted()) {
            trayMenu->SetWarningIcon();
        } else {
            trayMenu->SetNormalIcon();
        }
    } catch (const Common::HardwareInfo::DisplayHelperException& error) {
        LogPieces(ErrorLevel, "MainWindow", "DisplayHelperException occurred. Reason: ", error.what());
    } catch (const std::exception& error) {
        if (!ReportActivationFailure(error)) {
            LogPieces(ErrorLevel, "MainWindow", "Reason: ", error.what());
        }
    }
}

void MainWindow::RebuildPreferencesDialog()
{
    const bool visible = preferencesDialog->isVisible();
    preferencesDialog->close();
    disconnect(preferencesDialog, SIGNAL(ProfileChangeTriggered(int)), this, SLOT(OnProfileSelected(int)));
    disconnect(preferencesDialog, SIGNAL(RunOnStartupChanged(int)), this, SLOT(OnRunOnStartupChanged(int)));
    disconnect(preferencesDialog, SIGNAL(RestoreProfilesTriggered()), this, SLOT(OnRestoreProfilesTriggered()));
    disconnect(preferencesDialog, SIGNAL(CheckForUpdateTriggered()), this, SLOT(OnCheckForUpdateTriggered()));
    disconnect(this, SIGNAL(LidStateChanged(bool)), preferencesDialog, SLOT(OnLidStateChanged(bool)));
    preferencesDialog->deleteLater();
    preferencesDialog = new PreferencesDialog(trayMenu, productVersion, startupHelper, displayHelper, configuration,
                                              &profileData, lidClosed, this);
    preferencesDialog->FillProfileComboBoxes();
    ConnectPreferencesDialog();
    preferencesDialog->setWindowTitle(windowTitle());
    preferencesDialog->setVisible(visible);
}

void MainWindow::OnAlignProfiles()
{
    if (startupComplete) {
        if (preferencesDialog != nullptr) {
            preferencesDialog->HideDdsAlignmentOptions();
        }
    } else {
        LogText(InfoLevel, "Application initialization is pending, alignProfiles signal was ignored");
    }
}

void MainWindow::OnOobeCompleted()
{
    LogText(TraceLevel, "Handling OOBE completion...");
    // Before the end of start-up the profile names and the list do not exist yet (a start-up box
    // may be open): the report is handled once start-up is complete.
    if (!startupComplete) {
        LogText(InfoLevel, "Application initialization is pending, OOBE completion is handled after it");
        oobeCompletionWaiting = true;
        return;
    }
    if (IsExitPending()) {
        return;
    }
    if (IsRoadRunning(Road::OutOfBox)) {
        LogText(InfoLevel, "OOBE completion is being handled already; this report is dropped.");
        return;
    }
    // Its correction and registry write run elevated: nothing of it starts over an open question.
    if (IsAnswerPending()) {
        LogText(InfoLevel, "OOBE completion waits for the user's answer");
        oobeCompletionWaiting = true;
        return;
    }
    const RoadGuard road(*this, Road::OutOfBox);
    ReleaseFreedMemorySoon();
    try {
        if (!HaveRequiredProfiles()) {
            AskUserToRestoreProfiles();
        } else {
            ProfileDataObtainer obtainer(logConfiguration, biosTools, trayMenu, profileHelper, panelInfo,
                                         profileFileNameFormat);
            if (!obtainer.BuildProfileDataList()) {
                LogText(InfoLevel, "Something happend with Loading of profile, Checking again!");
                AskUserToRestoreProfiles();
                return;
            }
            CorrectTagsForAllProfiles(&obtainer);
        }
    } catch (const std::exception& error) {
        // A failed read starts nothing: the program runs on with the profile in force.
        if (ReportReadFailure(error)) {
            return;
        }
        throw;
    }
    // A refused restoration has asked the event loop to end: nothing more is done.
    if (IsExitPending()) {
        return;
    }
    CheckForUpdatesOnInitialization();
    RegisterDisplayDeviceId();
}

void MainWindow::OnBrightnessMismatchFound()
{
    LogText(TraceLevel, "Handling brightness mismatch...");
    brightnessMismatch = true;
    if (preferencesDialog != nullptr) {
        preferencesDialog->OnBrightnessMismatchFound();
    }
    if (oobeDetection->IsCompleted()) {
        trayMenu->SetWarningIcon();
        const QString text = QObject::tr(
            "Brightness not accurate for the selected profile. Reselect the profile to correct the brightness");
        LogPieces(InfoLevel, "Showing tray notification message: ", text.toStdString());
        trayMenu->ShowWarningNotification(text);
    }
}

void MainWindow::OnPowerSettingsChanged(LPARAM lParam)
{
    const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
    if (setting == nullptr || !(setting->PowerSetting == GUID_LIDSWITCH_STATE_CHANGE)) {
        return;
    }
    if (setting->Data[0] == 0) {
        LogPieces(DebugLevel, "MainWindow", "Lid closing detected.");
        lidClosed = true;
    } else {
        LogPieces(DebugLevel, "MainWindow", "Lid opening detected.");
        lidClosed = false;
    }
    emit LidStateChanged(lidClosed);
}

bool MainWindow::IsLidClosed() const
{
    return lidClosed;
}

bool MainWindow::IsInternalDisplayInRegularMode(bool notify)
{
    LogText(TraceLevel, "Checking if internal display is in regular mode...");
    if (lidClosed) {
        LogText(WarnLevel, "Lid is closed. Omitting internal display mode regularity check.");
        if (notify) {
            trayMenu->ShowWarningNotification(LidText());
        }
        return false;
    }
    const auto irregular = [this, notify](const QString& notice) {
        if (notify) {
            trayMenu->ShowWarningNotification(notice);
        }
        if (preferencesDialog != nullptr) {
            preferencesDialog->HideWarningSigns();
        }
        trayMenu->SetNormalIcon();
    };
    try {
        if (displayHelper->IsDuplicateTopology()) {
            LogText(TraceLevel, "Irregular (clone) display mode detected.");
            irregular(tr("Displays are in clone mode. The ICC profile can be applied when displays are not in clone or "
                         "second screen only mode."));
            return false;
        }
        if (!displayHelper->IsInternalDisplayInTopology()) {
            LogText(TraceLevel, "Internal display not used.");
            irregular(tr("Internal display is turned off. The ICC profile can be applied when internal display is "
                         "turned on."));
            return false;
        }
    } catch (const Common::HardwareInfo::DisplayHelperException& error) {
        LogPieces(ErrorLevel, "MainWindow", "DisplayHelperException occurred. Reason: ", error.what());
    } catch (const std::exception& error) {
        LogPieces(ErrorLevel, "MainWindow", "Reason: ", error.what());
    }
    return true;
}

void MainWindow::ObtainInternalDisplayHardwareInfo()
{
    LogText(TraceLevel, "Obtaining internal display hardware info...");
    LogPieces(InfoLevel, "Display manufacturer ID: ", displayHelper->GetManufacturerId().toStdString(), ", ",
              "Display product code: ", displayHelper->GetProductCode().toStdString());
}

void MainWindow::OnNewApplicationInstanceStarted()
{
    LogText(TraceLevel, "Handling new application instance notification...");
    const bool own = HasArgument(Common::WithGuiSwitch);
    std::uint64_t value = 0;
    const bool read = instanceGuard != nullptr && instanceGuard->ReadData(value) == 0;
    if (((read && value != 0) || (!read && own)) && preferencesDialog != nullptr) {
        LogText(InfoLevel, "Show GUI on the screen since the new runtime attempt requested it.");
        preferencesDialog->setVisible(true);
        preferencesDialog->activateWindow();
        preferencesDialog->raise();
        return;
    }
    LogText(InfoLevel, "Show notification message on the screen since the new runtime attempt occured.");
    ShowAnotherInstanceNotification();
    LogText(InfoLevel, "Notification message about new runtime attempt occurrence shown.");
}
