// MainWindow: profile activation, the default profile and marking the profile Windows holds active.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/DdsMode.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Windows/RegistryExceptions.h"
#include "Common/Windows/RegistryParser.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Common::Logging;

namespace {

// The position of the first entry whose key is `key`; -1 when there is none.
int IndexOfKey(const MainWindow::ProfileDataList& list, const QString& key)
{
    for (int i = 0; i < list.size(); ++i) {
        if (list[i]->GetName() == key) {
            return i;
        }
    }
    return -1;
}

}  // namespace

// A pick comes from inside Qt's menu and combo-box code, whose frames an exception cannot unwind
// (their guards would be left behind): what no handler of the road takes ends the program here, as
// the event dispatch would.
void MainWindow::OnProfileSelected(int index)
{
    try {
        LogText(TraceLevel, "Handling profile selection...");
        if (IsRoadRunning(Road::Activation)) {
            LogText(InfoLevel, "A profile activation is waiting for the user's answer; this selection is dropped.");
            return;
        }
        LogIfLidClosed(QStringLiteral("profile selection handling."));
        if (!IsInternalDisplayInRegularMode(true)) {
            trayMenu->UncheckProfileActions();
            if (preferencesDialog != nullptr) {
                preferencesDialog->SetCurrentProfileIndex();
            }
            return;
        }
        const int count = int(expectedProfileNames.size());
        LogPieces(InfoLevel, "No. of profiles are ", count, " and profile to activate is ", index);
        if (index >= 0 && index < count) {
            LogPieces(InfoLevel, "Activating selected profile: ", expectedProfileNames[index].toStdString());
        } else {
            LogText(InfoLevel, "Activating selected profile");
        }
        OnActivateProfile(index);
    } catch (...) {
        EndOnUnexpectedError();
    }
}

bool MainWindow::ReportActivationFailure(const std::exception& error)
{
    namespace Profile = Common::Profile;
    namespace Hardware = Common::HardwareInfo;
    QString text;
    bool withReason = false;
    bool read = false;
    if (dynamic_cast<const Profile::GetColorCalibrationException*>(&error) != nullptr) {
        text = CalibrationStateText();
        read = true;
    } else if (dynamic_cast<const Profile::EnableColorCalibrationException*>(&error) != nullptr) {
        text = EnableCalibrationText();
        withReason = true;
    } else if (dynamic_cast<const Profile::ReadActiveProfileException*>(&error) != nullptr) {
        text = ActiveProfileText();
        read = true;
    } else if (dynamic_cast<const Hardware::GetBrightnessLevelException*>(&error) != nullptr) {
        text = BrightnessReadText();
        read = true;
    } else if (dynamic_cast<const Hardware::SetBrightnessLevelException*>(&error) != nullptr) {
        text = BrightnessSetText();
    } else if (dynamic_cast<const Profile::ActivateProfileException*>(&error) != nullptr) {
        text = ActivationText();
    } else {
        return false;
    }
    const QString message = text + QStringLiteral(" Reason: ") + QString::fromUtf8(error.what());
    LogPieces(ErrorLevel, "MainWindow", message.toStdString());
    if (read) {
        // Nothing was applied: the profile in force stays so and the program runs on.
        ShowErrorMessage(text, false);
        return true;
    }
    ShowErrorMessage(withReason ? message : text, true);
    trayMenu->HideTrayIcon();
    ExitEventLoop(0);
    return true;
}

bool MainWindow::ReportReadFailure(const std::exception& error)
{
    namespace Profile = Common::Profile;
    if (dynamic_cast<const Profile::ReadUserProfileListException*>(&error) == nullptr &&
        dynamic_cast<const Profile::ReadProfileBrightnessException*>(&error) == nullptr &&
        dynamic_cast<const Common::HardwareInfo::GetMonitorEdidException*>(&error) == nullptr &&
        dynamic_cast<const Common::HardwareInfo::ReadPowerSchemeException*>(&error) == nullptr &&
        dynamic_cast<const Common::Windows::ReadRegistryException*>(&error) == nullptr) {
        return false;
    }
    ShowUnexpectedError(error, false);
    return true;
}

void MainWindow::OnActivateProfile(int index)
{
    LogPieces(TraceLevel, "Activating profile with index ", index, "...");
    const RoadGuard road(*this, Road::Activation);
    if (!road) {
        LogText(InfoLevel, "A profile activation is waiting for the user's answer; this one is dropped.");
        return;
    }
    LogIfLidClosed(QStringLiteral("profile activation."));
    trayMenu->SetNormalIcon();
    if (preferencesDialog != nullptr) {
        preferencesDialog->HideWarningSigns();
    }
    try {
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
        if (index < 0 || index >= profileData.size()) {
            if (!AreAllProfilesInstalled(false)) {
                AskUserToRestoreProfiles();
            }
            return;
        }
        // The index names an entry of the list the menu was built from: the same profile is looked
        // up in the list of the set installed now, and again after a question (the set may have been
        // replaced or broken while it was open).
        const QString key = profileData[index]->GetName();
        const auto findInstalled = [this, &key]() -> int {
            if (!AreAllProfilesInstalled(false)) {
                AskUserToRestoreProfiles();
                return -1;
            }
            if (!RefreshProfileDataIfChanged()) {
                return -1;
            }
            const int found = IndexOfKey(profileData, key);
            if (found < 0) {
                LogPieces(InfoLevel, "Profile ", key.toStdString(), " is not part of the installed set any more.");
                trayMenu->UncheckProfileActions();
                if (preferencesDialog != nullptr) {
                    preferencesDialog->SetCurrentProfileIndex();
                }
            }
            return found;
        };
        index = findInstalled();
        if (index < 0) {
            return;
        }
        if (!profileHelper->IsUserProfileListEnabled()) {
            const bool discrete = ddsMode == Common::HardwareInfo::DdsModeDiscrete;
            const int previous = discrete ? lastAppliedIndexDiscrete : lastAppliedIndexIntegrated;
            if (!AskUserToEnableUserProfileList()) {
                // The previous choice is shown again only when it names a listed profile (-1 after a
                // first run, -2 without a value, or past a shorter list, names none).
                if (previous >= 0 && previous < profileData.size()) {
                    trayMenu->CheckProfileAction(previous);
                    if (preferencesDialog != nullptr) {
                        preferencesDialog->SelectProfile(previous);
                    }
                    SetLastAppliedProfileIndex(previous);
                } else {
                    trayMenu->UncheckProfileActions();
                    if (preferencesDialog != nullptr) {
                        preferencesDialog->SetCurrentProfileIndex();
                    }
                }
                return;
            }
            profileHelper->EnableUserProfileList();
            index = findInstalled();
            if (index < 0) {
                return;
            }
        }
        const std::shared_ptr<ProfileData> profile = profileData[index];
        ActivateProfile(profile);
        trayMenu->CheckProfileAction(index);
        if (preferencesDialog != nullptr) {
            preferencesDialog->SelectProfile(index);
        }
        SetLastAppliedProfileIndex(index);
        LogPieces(InfoLevel, "Profile ", profile->GetFileName().toStdString(), " with index ", index, " activated.");
    } catch (const Common::Profile::EnableUserProfileListException& error) {
        // Nothing was activated; the program runs on, so the box announces no shutdown.
        const QString text = UserProfileListText();
        LogPieces(ErrorLevel, "MainWindow", text.toStdString(), " Reason: ", error.what());
        ShowErrorMessage(text, false);
    } catch (const std::exception& error) {
        // A failed read applies nothing: the profile in force stays so, and marked.
        if (!ReportReadFailure(error) && !ReportActivationFailure(error)) {
            throw;
        }
    }
}

void MainWindow::ActivateProfile(std::shared_ptr<ProfileData> profile)
{
    LogIfLidClosed(QStringLiteral("profile application."));
    brightnessMismatch = false;
    const int level = profile->GetBrightnessLevel();
    const QString name = profile->GetFileName();
    // The brightness is set before the profile changes.
    displayHelper->SetBrightnessLevelInPowerScheme(level);
    const bool hdr = name.contains(QLatin1String("HDR10"), Qt::CaseInsensitive);
    profileHelper->ActivateProfile(name, hdr);
    LogPieces(InfoLevel, "Successfully activated ", name.toStdString(), " profile. Brightness level set to ",
              static_cast<unsigned>(level), ".");
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
    try {
        QString stored;
        if (Common::Windows::RegistryParser::ReadPanelInfoValue(Common::DisplayDeviceIdValue, stored) &&
            !stored.isEmpty()) {
            return;
        }
        if (!Common::Windows::RegistryParser().GroupHasKeys(Common::PanelInfoGroup)) {
            LogText(InfoLevel, "No panel values yet: the display device id is written with them.");
            return;
        }
        if (!registryLoader->SetParameter(Common::DisplayDeviceIdValue, profileHelper->GetDeviceId())) {
            LogPieces(ErrorLevel, "MainWindow", "Failed to register the display device id.");
        }
    } catch (const std::exception& error) {
        LogPieces(ErrorLevel, "MainWindow", "Failed to register the display device id. Reason: ", error.what());
    }
}
