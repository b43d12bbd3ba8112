// MainWindow: construction, destruction, start-up inside the event loop and the panel information.
#include "Gui/MainWindow.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/OobeCompletedDetection.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Settings/IConfiguration.h"
#include "Common/Settings/ILogConfiguration.h"
#include "Common/Windows/RegistryParser.h"
#include "WindowsStandIn/Messages.h"
#include "Gui/FreedMemory.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileRestorer.h"

#include <QCoreApplication>

namespace Common = Korvel::DisplayCalibration::Common;
using Common::Application::ConnectChecked;
using namespace Common::Logging;

namespace {

// The measurement value of profiles already updated (the BT.1886 tone curve).
constexpr int UpdatedMeasurementValue = 5;

// "RequiredProfiles" as stored: quotes and blanks removed, split at "," with empty parts kept.
QStringList SplitProfileList(QString text)
{
    text.remove('"');
    text.remove(' ');
    return text.split(',', Qt::KeepEmptyParts);
}

}  // namespace

MainWindow::MainWindow(IConfiguration* configuration, ILogConfiguration* logConfiguration, IBiosTools* biosTools,
                       IDisplayHelper* displayHelper, IProfileHelper* profileHelper,
                       IArchiveDownloader* archiveDownloader, IProfileArchiver* profileArchiver,
                       ITrayNotifierFactory* trayNotifierFactory, IDecrypter* decrypter,
                       IStartupHelper* startupHelper, MultipleInstancesGuard* guard, const QVersionNumber& version,
                       QWidget* parent)
    : QMainWindow(parent, Qt::WindowFlags()), Loggable("MainWindow"),
      registryLoader(std::make_shared<RegistryLoader>()), configuration(configuration),
      logConfiguration(logConfiguration), biosTools(biosTools), displayHelper(displayHelper),
      profileHelper(profileHelper), startupHelper(startupHelper), instanceGuard(guard),
      archiveDownloader(archiveDownloader), profileArchiver(profileArchiver), decrypter(decrypter),
      profileModifier(std::make_shared<ProfileModifier>()), trayNotifierFactory(trayNotifierFactory),
      productVersion(version)
{
    ddsMode = displayHelper->GetDdsMode();
    trayMenu = new TrayMenu(trayNotifierFactory, this);
    colorDirectory = QDir(profileHelper->ColorDirectory());
    archiveUrl = CreateArchiveUrl();
    programArguments = QCoreApplication::arguments();
    oobeDetection = new OobeCompletedDetection();
    // A parent frees it should the constructor throw below; the destructor deletes it first.
    oobeDetection->setParent(this);
    requiredProfilesAvailable = true;
    setGeometry(-110, -110, 10, 10);

    windowsDisplayVersion = Common::Windows::WindowsVersion().DisplayVersion();
    LogPieces(InfoLevel, "Windows Display Version: ", windowsDisplayVersion.number, windowsDisplayVersion.letter,
              windowsDisplayVersion.release);

    try {
        if (!profileHelper->IsUserProfileListEnabled()) {
            profileHelper->EnableUserProfileList();
        }
    } catch (const Common::Profile::ReadUserProfileListException& error) {
        // Unknown, so left as it is; a profile activation reads it again and reports the failure.
        LogPieces(ErrorLevel, "MainWindow", "Reason: ", error.what());
    }

    lastAppliedIndexIntegrated = configuration->LastAppliedProfileIndex(Common::HardwareInfo::DdsModeIntegrated);
    if (lastAppliedIndexIntegrated < 0) {
        LogText(WarnLevel, "Korvel profile not selected in Integrated DDS mode.");
    } else {
        LogPieces(InfoLevel, "Profile with index ", lastAppliedIndexIntegrated, " active in Integrated DDS mode.");
    }
    lastAppliedIndexDiscrete = configuration->LastAppliedProfileIndex(Common::HardwareInfo::DdsModeDiscrete);
    if (lastAppliedIndexDiscrete < 0) {
        LogText(WarnLevel, "Korvel profile not selected in Discrete DDS mode.");
    } else {
        LogPieces(InfoLevel, "Profile with index ", lastAppliedIndexDiscrete, " active in Discrete DDS mode.");
    }

    ResetUpdateCheckerState();

    powerNotification = RegisterPowerSettingNotification(reinterpret_cast<HANDLE>(winId()),
                                                         &GUID_LIDSWITCH_STATE_CHANGE, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (powerNotification == nullptr) {
        throw QString(tr("Failure to register for power settings notification."));
    }
}

// Nothing may leave the destructor: it also runs while an exception of start-up unwinds.
MainWindow::~MainWindow()
{
    if (powerNotification != nullptr && !UnregisterPowerSettingNotification(powerNotification)) {
        LogPieces(ErrorLevel, "MainWindow", "Failure to unregister from power settings notification. Error code: ",
                  GetLastError());
    }
    delete oobeDetection;
    oobeDetection = nullptr;
    delete trayMenu;
    trayMenu = nullptr;
    delete profileRestorer;
    profileRestorer = nullptr;
}

bool MainWindow::IsAtLeast24H2() const
{
    return Common::HardwareInfo::DisplayHelper::IsAtLeast24H2(windowsDisplayVersion);
}

bool MainWindow::HasArgument(const QString& option) const
{
    return programArguments.contains(option, Qt::CaseSensitive);
}

void MainWindow::SetLastAppliedProfileIndex(int index)
{
    if (ddsMode == Common::HardwareInfo::DdsModeDiscrete) {
        lastAppliedIndexDiscrete = index;
        configuration->SetLastAppliedProfileIndex(Common::HardwareInfo::DdsModeDiscrete, index);
    } else {
        lastAppliedIndexIntegrated = index;
        configuration->SetLastAppliedProfileIndex(ddsMode, index);
    }
}

bool MainWindow::Initialize()
{
    if (oobeDetection->IsCompleted()) {
        LogText(InfoLevel, "CheckForUpdates on initialization (only if OOBE is completed)");
        CheckForUpdatesOnInitialization();
        RegisterDisplayDeviceId();
    }
    const QString applicationName = QCoreApplication::applicationName();
    if (trayMenu == nullptr) {
        LogPieces(ErrorLevel, "MainWindow", "Tray menu could not be initialized.");
        ShowErrorMessage(tr("Tray menu could not be initialized.<br> %1 will shutdown.").arg(applicationName), false);
        ExitEventLoop(1);
        return false;
    }
    preferencesDialog = new PreferencesDialog(trayMenu, productVersion, startupHelper, displayHelper, configuration,
                                              &profileData, lidClosed, this);
    if (preferencesDialog == nullptr) {
        LogPieces(ErrorLevel, "MainWindow", "Preferences window could not be initialized.");
        ShowErrorMessage(tr("Preferences window could not be initialized.<br> %1 will shutdown.").arg(applicationName),
                         false);
        trayMenu->HideTrayIcon();
        ExitEventLoop(1);
        return false;
    }
    preferencesDialog->setWindowTitle(windowTitle());
    if (HasArgument(Common::WithGuiSwitch)) {
        preferencesDialog->setVisible(true);
    }
    ConnectChecked(trayMenu, SIGNAL(ProfileChangeTriggered(int)), this, SLOT(OnProfileSelected(int)));
    ConnectChecked(trayMenu, SIGNAL(PreferencesActionTriggered()), this, SLOT(OnPreferencesActionTriggered()));
    ConnectChecked(trayMenu, SIGNAL(ProfileChangeTriggered(int)), preferencesDialog, SLOT(HideWarningSigns()));
    ConnectPreferencesDialog();
    ConnectChecked(oobeDetection, SIGNAL(OobeCompleted()), this, SLOT(OnOobeCompleted()));
    panelInfoState = ReadPanelInfo();
    return true;
}

int MainWindow::ReadPanelInfo()
{
    LogText(TraceLevel, "Reading panel info...");
    Common::Windows::RegistryParser parser;
    const QString& group = Common::PanelInfoGroup;
    const int state = parser.CheckValues(group, {Common::DefaultProfileColorSpaceValue, Common::DefaultProfileGammaValue,
                                                 Common::HdrSupportedValue, Common::RequiredProfilesValue});
    if (state != 3) {
        return state;
    }
    bool read = true;
    QString text;
    if (parser.ReadString(group, Common::DefaultProfileColorSpaceValue, text)) {
        panelInfo.SetDefaultProfileColorSpace(text);
    } else {
        read = false;
    }
    if (parser.ReadString(group, Common::DefaultProfileGammaValue, text)) {
        panelInfo.SetDefaultProfileGamma(text);
    } else {
        read = false;
    }
    int number = 0;
    if (parser.ReadInt(group, Common::HdrSupportedValue, number)) {
        panelInfo.SetHdrSupported(number != 0);
        read = read && (number == 0 || number == 1);
    } else {
        read = false;
    }
    if (parser.ReadString(group, Common::RequiredProfilesValue, text)) {
        panelInfo.SetRequiredProfiles(logConfiguration->SupportedProfileFiles(SplitProfileList(text)));
    } else {
        read = false;
    }
    if (parser.ReadString(group, Common::ProfileFormatValue, text)) {
        panelInfo.SetProfileFormat(text);
    } else {
        read = false;
    }
    read = read && panelInfo.IsValid();
    if (parser.HasValue(group, Common::Hdr10SupportedValue)) {
        if (parser.ReadInt(group, Common::Hdr10SupportedValue, number)) {
            panelInfo.SetHdr10Supported(number != 0);
            read = read && (number == 0 || number == 1);
            if (number == 1) {
                if (parser.ReadString(group, Common::RequiredProfilesHdr10Value, text)) {
                    panelInfo.SetRequiredProfilesHdr10(logConfiguration->SupportedProfileFiles(SplitProfileList(text)));
                } else {
                    read = false;
                }
                read = read && panelInfo.AreHdr10ProfilesKnown();
                LogPieces(InfoLevel, " *** DEBUG supportedHdr10Profiles: ",
                          panelInfo.GetRequiredProfilesHdr10().join(',').toStdString());
            }
        } else {
            read = false;
        }
    }
    LogPieces(InfoLevel, "Read panel info ", read ? "successfully" : "failure");
    return read ? 3 : 2;
}

void MainWindow::ConnectProfileRestorer()
{
    ConnectChecked(profileRestorer, SIGNAL(ReportProfileRestorationError(const QString&, bool)), this,
                   SLOT(OnReportProfileRestorationError(const QString&, bool)));
    ConnectChecked(profileRestorer,
                   SIGNAL(ReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>>,
                                                          Korvel::DisplayCalibration::Common::Profile::PanelInfo)),
                   this,
                   SLOT(OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>>,
                                                          Korvel::DisplayCalibration::Common::Profile::PanelInfo)));
    ConnectChecked(profileRestorer,
                   SIGNAL(ReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>>,
                                                             Korvel::DisplayCalibration::Common::Profile::PanelInfo)),
                   this,
                   SLOT(OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>>,
                                                             Korvel::DisplayCalibration::Common::Profile::PanelInfo)));
    ConnectChecked(profileRestorer, SIGNAL(ActivateProfile(int)), this, SLOT(OnActivateProfile(int)));
    ConnectChecked(profileRestorer, SIGNAL(ShowTrayNotification(TrayNotificatioLevel, QString&)), this,
                   SLOT(OnShowTrayNotification(TrayNotificatioLevel, QString&)));
    ConnectChecked(profileRestorer, SIGNAL(AskUserToEnableUserProfileList(bool&)), this,
                   SLOT(OnAskUserToEnableUserProfileList(bool&)));
    ConnectChecked(profileRestorer, SIGNAL(MarkProfileIfActive()), this, SLOT(OnMarkProfileIfActive()));
    // Its road runs elevated: an archive that arrives while an answer is pending waits for it.
    profileRestorer->HoldArchivesWhile([this] { return IsAnswerPending() || IsExitPending(); });
    profileRestorer->FingerprintSetWith([this] { return ProfileSetFingerprint(); });
}

void MainWindow::OnEventLoopStarted()
{
    LogText(InfoLevel, "Event Loop started...");
    ReleaseFreedMemorySoon();
    if (!Initialize()) {
        LogText(ErrorLevel, "Initialization failed.");
        return;
    }
    const QString applicationName = QCoreApplication::applicationName();
    try {
        if (!profileHelper->GetColorCalibrationState()) {
            AskUserToEnableColorCalibration();
            if (IsExitPending()) {
                return;
            }
        }
        if (!IsInternalDisplayInRegularMode(false)) {
            LogText(ErrorLevel, "Application cannot be started when internal display is turned off or displays are in "
                                "clone or second screen only mode.");
            LogPieces(ErrorLevel, "MainWindow", "Application will shutdown.");
            ShowErrorMessage(tr("%1 cannot be started when internal display is turned off or displays are in clone or "
                                "second screen only mode.<br> Please switch to Extended display or PC screen only "
                                "otherwise the %1 will shutdown.")
                                 .arg(applicationName),
                             false);
            if (!IsInternalDisplayInRegularMode(false)) {
                trayMenu->HideTrayIcon();
                ExitEventLoop(1);
                return;
            }
        }
        ObtainInternalDisplayHardwareInfo();
        CreateProfileNames();

        profileRestorer = new ProfileRestorer(logConfiguration, trayMenu, biosTools, displayHelper, profileHelper,
                                              archiveDownloader, profileArchiver, decrypter, profileFileNameFormat);
        ConnectProfileRestorer();

        const bool hdr = displayHelper->IsHdrActive();
        if (!AreAllProfilesInstalled(false)) {
            if (hdr) {
                const char* text = "HDR is turned on and ICC profiles customized for your display are missing from "
                                   "your system. The ICC profiles customized for your display cannot be restored when "
                                   "HDR is turned on. Please turn HDR off and restart application.";
                LogPieces(ErrorLevel, "MainWindow", text);
                LogPieces(ErrorLevel, "MainWindow", "Application will shutdown.");
                ShowErrorMessage(tr("HDR is turned on and ICC profiles customized for your display are missing from "
                                    "your system. The ICC profiles customized for your display cannot be restored "
                                    "when HDR is turned on. Please turn HDR off and restart application.<br> %1 will "
                                    "shutdown.")
                                     .arg(applicationName),
                                 false);
                trayMenu->HideTrayIcon();
                ExitEventLoop(1);
                return;
            }
            if (HasArgument(Common::NoTrayNotificationOnStartupSwitch) || oobeDetection->IsCompleted()) {
                requiredProfilesAvailable = false;
                SetTrayMenuCaptions();
            } else {
                AskUserToRestoreProfiles();
                if (IsExitPending()) {
                    return;
                }
            }
        } else {
            ProfileDataObtainer obtainer(logConfiguration, biosTools, trayMenu, profileHelper, panelInfo,
                                         profileFileNameFormat);
            if (!obtainer.BuildProfileDataList() && !AreAllProfilesInstalled(true)) {
                AskUserToRestoreProfiles();
                return;
            }
            const QStringList updatable = colorDirectory.entryList({QStringLiteral("*_REC709.icm"), QStringLiteral("*_REC709.ICM")},
                                                                   QDir::Files, QDir::Unsorted);
            if (!updatable.isEmpty()) {
                int measurement = 0;
                // A profile whose measurements cannot be read offers no update.
                const bool measured =
                    profileModifier->ReadMeasurementsFromProfile(colorDirectory.filePath(updatable.first()), &measurement);
                if (measured && measurement != UpdatedMeasurementValue && oobeDetection->IsCompleted() &&
                    Ask(Question::Update, tr("An update is available for %1 profiles.<br><br>Would you like to "
                                             "download and install the updated profiles (administrative privileges "
                                             "required)?")
                                              .arg(applicationName)) == Answer::Yes) {
                    OnRestoreProfilesTriggered(false);
                }
            }
            obtainer.RefreshBrightnessLevels();
            obtainer.RefreshPreviewImages();
            KeepProfileData(obtainer.GetProfileDataList(), ProfileSetFingerprint());
        }
        FinishStartup(hdr);
    } catch (const Common::Profile::GetColorCalibrationException& error) {
        const QString text = CalibrationStateText();
        LogPieces(ErrorLevel, "MainWindow", (text + " Reason: ").toStdString(), error.what());
        ShowErrorMessage(text, true);
        trayMenu->HideTrayIcon();
        ExitEventLoop(0);
    } catch (const Common::Profile::EnableColorCalibrationException& error) {
        const QString message = EnableCalibrationText() + " Reason: " + QString::fromUtf8(error.what());
        LogPieces(ErrorLevel, "MainWindow", message.toStdString());
        ShowErrorMessage(message, true);
        trayMenu->HideTrayIcon();
        ExitEventLoop(0);
    } catch (const Common::Profile::ReadActiveProfileException& error) {
        const QString text = ActiveProfileText();
        LogPieces(ErrorLevel, "MainWindow", (text + " Reason: ").toStdString(), error.what());
        ShowErrorMessage(text, true);
        trayMenu->HideTrayIcon();
        ExitEventLoop(0);
    } catch (const Common::Profile::EnableUserProfileListException&) {
        const QString text = UserProfileListText();
        LogPieces(ErrorLevel, "MainWindow", text.toStdString());
        ShowErrorMessage(text, true);
    }
}

void MainWindow::FinishStartup(bool hdr)
{
    advancedProfileActivated = IsAtLeast24H2() ? false : displayHelper->IsAdvancedColorEnabled();
    LogPieces(InfoLevel, "IsAdvancedProfileActivated:", advancedProfileActivated ? 1 : 0);
    if (advancedProfileActivated) {
        try {
            const QString name = profileHelper->ReadActiveHdrProfile(true);
            if (IndexOfProfile(name) == -1) {
                LogText(InfoLevel,
                        "No Korvel profiles in Advanced mode, activating the default profile in Advanced mode");
                ActivateDefaultProfile();
            }
        } catch (...) {
            LogText(InfoLevel, "Caught an exception, no profiles available in Advanced mode");
            ActivateDefaultProfile();
        }
    }
    ShowHdrModeNotice(hdr);
    if (oobeDetection->IsCompleted() && !HasArgument(Common::NoTrayNotificationOnStartupSwitch)) {
        trayMenu->ShowInformationNotification(
            tr("%1 has started. You can use system tray icon to switch between the ICC profiles or to open "
               "preferences window.")
                .arg(QCoreApplication::applicationName()));
    }
    const bool acm = displayHelper->IsACMSupported();
    LogPieces(InfoLevel, "Is ACM supported: ", acm ? 1 : 0);
    // The default profile that advanced colour uses (made so above) keeps its association.
    if ((IsAtLeast24H2() || acm) && !advancedProfileActivated) {
        const QString name = FindDefaultProfileName();
        if (!name.isEmpty()) {
            profileHelper->RemoveAdvancedColorAssociation(name);
        } else {
            LogPieces(ErrorLevel, "MainWindow : ", "Cannot Disassociate Default profile, name is empty.");
        }
    }
    startupComplete = true;
    ResumeWaitingWork();
}
