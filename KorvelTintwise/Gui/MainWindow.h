// The hidden controller of the tray program: it holds the services, the panel information and the
// installed-profile list, owns the tray menu, the preferences window, the profile restorer and the
// out-of-box detector, and reacts to display, power, lid and instance events.
//
// Its code is kept in one source file per concern:
//   MainWindow.cpp             construction, destruction, start-up in the event loop, panel information
//   MainWindowProfiles.cpp     installed-profile list, default profile, expected and unwanted names
//   MainWindowVerification.cpp installed-profile verification and the questions to the user
//   MainWindowActivation.cpp   profile activation and marking the active profile
//   MainWindowEvents.cpp       display, lid, power, new-instance and out-of-box events
//   MainWindowRestoration.cpp  restoration, update-check and preferences slots
//   MainWindowTagCorrection.cpp profile tag and descriptor correction
//   MainWindowMessages.cpp     message boxes, shared error texts and notices
//   MainWindowAddresses.cpp    the profile-archive address and the update-feed location
#pragma once

#include "Common/Application/ServiceDeclarations.h"
#include "Common/Logging/Loggable.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Windows/WindowsVersion.h"
#include "ProfileData/IProfileRestorer.h"
#include "ProfileData/ProfileData.h"
#include "WindowsStandIn/Power.h"

#include <QDir>
#include <QList>
#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QVersionNumber>

#include <exception>
#include <memory>

class PreferencesDialog;
class ProfileDataObtainer;
class ProfileRestorer;
class RegistryLoader;
class TrayMenu;

namespace Korvel::DisplayCalibration::Common {
namespace Application {
class MultipleInstancesGuard;
class OobeCompletedDetection;
}  // namespace Application
namespace Profile {
class ProfileModifier;
}
}  // namespace Korvel::DisplayCalibration::Common

class MainWindow : public QMainWindow, public Korvel::DisplayCalibration::Common::Logging::Loggable {
    Q_OBJECT

public:
    using IConfiguration = Korvel::DisplayCalibration::Common::Settings::IConfiguration;
    using ILogConfiguration = Korvel::DisplayCalibration::Common::Settings::ILogConfiguration;
    using IStartupHelper = Korvel::DisplayCalibration::Common::Settings::IStartupHelper;
    using IBiosTools = Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools;
    using IDisplayHelper = Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper;
    using IProfileHelper = Korvel::DisplayCalibration::Common::Profile::IProfileHelper;
    using IArchiveDownloader = Korvel::DisplayCalibration::Common::Network::IArchiveDownloader;
    using IProfileArchiver = Korvel::DisplayCalibration::Common::Archive::IProfileArchiver;
    using ITrayNotifierFactory = Korvel::DisplayCalibration::Common::Application::ITrayNotifierFactory;
    using IDecrypter = Korvel::DisplayCalibration::Common::Security::IDecrypter;
    using MultipleInstancesGuard = Korvel::DisplayCalibration::Common::Application::MultipleInstancesGuard;
    using OobeCompletedDetection = Korvel::DisplayCalibration::Common::Application::OobeCompletedDetection;
    using PanelInfo = Korvel::DisplayCalibration::Common::Profile::PanelInfo;
    using ProfileModifier = Korvel::DisplayCalibration::Common::Profile::ProfileModifier;
    using WindowsDisplayVersion = Korvel::DisplayCalibration::Common::Windows::WindowsDisplayVersion;
    using ProfileDataList = QVector<std::shared_ptr<ProfileData>>;

    // None of the pointers is owned; each must outlive the controller. Throws the QString
    // "Failure to register for power settings notification." when the lid registration fails, and
    // what the services throw.
    MainWindow(IConfiguration* configuration, ILogConfiguration* logConfiguration, IBiosTools* biosTools,
               IDisplayHelper* displayHelper, IProfileHelper* profileHelper, IArchiveDownloader* archiveDownloader,
               IProfileArchiver* profileArchiver, ITrayNotifierFactory* trayNotifierFactory, IDecrypter* decrypter,
               IStartupHelper* startupHelper, MultipleInstancesGuard* guard, const QVersionNumber& version,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Start-up (MainWindow.cpp).
    bool Initialize();
    // 0: no panel values, 2: incomplete or invalid, 3: read.
    int ReadPanelInfo();
    void SetLastAppliedProfileIndex(int index);

    // Installed-profile list, default profile and names (MainWindowProfiles.cpp).
    QStringList ObtainProfilesFromColorDirectory();
    QString FindDefaultProfileName();
    int IndexOfProfile(const QString& name);
    // Empty when the profile cannot be opened (or its path is 255 characters or longer).
    QString GetProfileDescription(const QString& path);
    bool DetermineDefaultProfileColorSpace(const QStringList& installed, bool panelInfoRead);
    void BuildProfilePath(QString& fileName, QString& path);
    void SetTrayMenuCaptions();
    void CreateProfileNames();
    void ExtractUnwantedProfiles(const QStringList& wantedNames);
    void ConnectPreferencesDialog();

    // Verification and questions (MainWindowVerification.cpp).
    bool AreAllProfilesInstalled(bool knownMissing);
    bool VerifyInstalledProfiles(QStringList installed);
    void AskUserToEnableColorCalibration();
    bool AskUserToEnableUserProfileList();
    void AskUserToRestoreProfiles();
    void AskUserToDisableRunOnStartup();

    // Activation (MainWindowActivation.cpp).
    void ActivateProfile(std::shared_ptr<ProfileData> profile);
    void ActivateDefaultProfile();
    bool IsActiveProfileRequired(const QString& name);
    void RegisterDisplayDeviceId();

    // Display state (MainWindowEvents.cpp).
    bool IsInternalDisplayInRegularMode(bool notify);
    bool IsLidClosed() const;
    void ObtainInternalDisplayHardwareInfo();

    // Update checks (MainWindowRestoration.cpp).
    void CheckForUpdatesOnInitialization();

    // Tag and descriptor correction (MainWindowTagCorrection.cpp).
    void CorrectTagsForAllProfiles(ProfileDataObtainer* obtainer);
    bool ReplaceNativeHdrProfileInTempDir();
    // `fixedPaths`, when given, receives the paths whose description was rewritten.
    bool CheckAndFixDescriptorTags(const QString& directory, QStringList* fixedPaths = nullptr);
    bool CheckDescriptorTag(const QString& path, const QString& fileName);
    bool FixDescriptorTag(const QString& path, const QString& fileName);

    // Addresses (MainWindowAddresses.cpp).
    QString CreateArchiveUrl();
    static QString CreateDownloadUrl();

    // Messages (MainWindowMessages.cpp). Every box of the program goes through ShowMessageBox;
    // once an exit of the event loop is pending, it shows nothing and returns NoButton.
    static int ShowMessageBox(const QString& text, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                              const QString& details);
    static void ShowErrorMessage(const QString& text, bool appendSupportText);
    static void ShowWarningMessage(const QString& text, const QString& details);
    // "Unexpected error occurred" with the error's text and the support text, whose shutdown
    // sentence is left out when the program runs on.
    static void ShowUnexpectedError(const std::exception& error, bool shutdown);
    // The end of an exception that no handler of its road takes, called inside a catch block: the
    // unexpected-error box with the shutdown note, then the end of the event loop with code 0.
    static void EndOnUnexpectedError();
    static void InitializeErrorMessages();
    void ShowAnotherInstanceNotification();
    void ShowHdrModeNotice(bool hdr);
    void LogIfLidClosed(const QString& operation);
    // Ends the event loop with `code` (QCoreApplication::exit); from then on the handlers that
    // asked for it do no further work and no box is shown.
    static void ExitEventLoop(int code);
    static bool IsExitPending();
    // The shared failure texts, empty until InitializeErrorMessages.
    static const QString& SupportText();
    static const QString& CalibrationStateText();
    static const QString& EnableCalibrationText();
    static const QString& ActiveProfileText();
    static const QString& BrightnessReadText();
    static const QString& BrightnessSetText();
    static const QString& ActivationText();
    static const QString& UserProfileListText();
    static const QString& ContinueText();
    static const QString& RestorationText();
    static const QString& LidText();

    // Read by the tests and by the entry point.
    TrayMenu* GetTrayMenu() const { return trayMenu; }
    PreferencesDialog* GetPreferencesDialog() const { return preferencesDialog; }
    const ProfileDataList& GetProfileData() const { return profileData; }
    const PanelInfo& GetPanelInfo() const { return panelInfo; }
    const QStringList& GetExpectedProfileNames() const { return expectedProfileNames; }
    const QStringList& GetUnwantedProfileNames() const { return unwantedProfileNames; }
    const QString& GetProfileFileNamePrefix() const { return profileFileNamePrefix; }
    const QString& GetArchiveUrl() const { return archiveUrl; }
    int GetPanelInfoState() const { return panelInfoState; }
    bool IsStartupComplete() const { return startupComplete; }

signals:
    void LidStateChanged(bool closed);

public slots:
    void OnProfileSelected(int index);
    void OnEventLoopStarted();
    void OnActivateProfile(int index);
    void OnMarkProfileIfActive();
    void OnAskUserToEnableUserProfileList(bool& answer);
    void OnDisplaySettingChanged();
    void OnAlignProfiles();
    void OnPowerSettingsChanged(LPARAM lParam);
    void OnNewApplicationInstanceStarted();
    void OnOobeCompleted();
    void OnBrightnessMismatchFound();
    void OnRestoreProfilesTriggered();
    void OnRestoreProfilesTriggered(bool initiatedByUser);
    void OnReportProfileRestorationError(const QString& message, bool shouldPerformAppExit);
    void OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>> profilesData,
                                           Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo);
    void OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>> profilesData,
                                              Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo);
    void OnShowTrayNotification(TrayNotificatioLevel level, QString& message);
    void OnCheckForUpdateTriggered();
    void OnPreferencesActionTriggered();
    void OnRunOnStartupChanged(int state);

private:
    // The roads that ask the user. A road whose question box is open is not started again (its
    // boxes run nested event loops): the new start is dropped, a display change is handled again
    // once the running one has ended.
    enum class Road { Activation, DisplayChange, OutOfBox, Preferences };
    // Marks a road as running for its lifetime; false when the road was running already.
    class RoadGuard {
    public:
        RoadGuard(MainWindow& window, Road road) : window(window), road(road), entered(!window.IsRoadRunning(road))
        {
            if (entered) {
                window.runningRoads << road;
            }
        }
        ~RoadGuard()
        {
            if (entered) {
                window.runningRoads.removeOne(road);
                window.ResumeWaitingWork();
            }
        }
        RoadGuard(const RoadGuard&) = delete;
        RoadGuard& operator=(const RoadGuard&) = delete;
        explicit operator bool() const { return entered; }

    private:
        MainWindow& window;
        Road road;
        bool entered;
    };
    bool IsRoadRunning(Road road) const { return runningRoads.contains(road); }
    // The questions; one that is open (asked by any road) is not shown a second time.
    enum class Question { Calibration, UserProfileList, Restoration, RunOnStartup, Update };
    enum class Answer { Yes, No, AlreadyOpen };
    Answer Ask(Question question, const QString& text);
    bool IsQuestionOpen(Question question) const { return openQuestions.contains(question); }
    // A question is open, or a road that asks runs (inside a box's nested event loop): work that an
    // event or a timer starts and that may run elevated (the out-of-box correction, a display
    // change, a downloaded restoration archive) waits for the answer, so that no elevation prompt
    // comes over a question.
    bool IsAnswerPending() const { return !openQuestions.isEmpty() || !runningRoads.isEmpty(); }
    // Starts the work that waited, once nothing waits for an answer any more.
    void ResumeWaitingWork();
    // After a restoration question: the set is whole again (another program installed it while the
    // question was open); its profile data is then the list's.
    bool IsProfileSetWholeAgain();

    // The machine-wide panel information read anew (the record replaced, the state set).
    void RereadPanelInfo();
    // What the profile data was built from: the panel's profile files (name, time, size) and the
    // panel information. Another program of the suite may have replaced the set since.
    QStringList ProfileSetFingerprint() const;
    // Rebuilds the profile data, the tray menu and the preferences window's lists when the
    // installed set is no longer the one they were built from; false when it cannot be read.
    bool RefreshProfileDataIfChanged();
    // The required profiles are there: after a start without them, true once another program
    // (or the user) has installed the set, whose profile data is then read.
    bool HaveRequiredProfiles();
    // Keeps a newly built list and the fingerprint of the set it was built from.
    void KeepProfileData(const ProfileDataList& list, const QStringList& fingerprint);
    // The end of a display change (the old slot's body).
    void HandleDisplaySettingChange();

    // One correction of the installed set from `obtainer`'s list: Stale when the installation was
    // refused (or failed) because an installed file changed since it was read.
    enum class Correction { Done, Stale };
    Correction CorrectTagsOnce(ProfileDataObtainer& obtainer);

    // The profile restorer's connections, made when start-up creates it.
    void ConnectProfileRestorer();
    // Windows 24H2 or later.
    bool IsAtLeast24H2() const;
    // The program's arguments hold `option` (case-sensitive).
    bool HasArgument(const QString& option) const;
    // The end of start-up inside the event loop (steps after the profile data).
    void FinishStartup(bool hdr);
    // Clears the process-wide flag of the update checker's initialisation.
    static void ResetUpdateCheckerState();
    // Initialises the update checker once per process.
    void InitializeUpdateChecker();
    // Reports a failure of the activation road (ERROR line, error box): a failed read (calibration
    // state, active profile, brightness level) without the shutdown note, the program running on;
    // any other with it, the tray icon hidden, exit code 0. False when `error` is none of its kinds.
    bool ReportActivationFailure(const std::exception& error);
    // Reports a read that failed (the unexpected-error box without the shutdown sentence): the road
    // applies nothing more and the program runs on. False when `error` is no failed read.
    bool ReportReadFailure(const std::exception& error);
    // Replaces the preferences window by a new one with the same connections and visibility.
    void RebuildPreferencesDialog();

    QString profileFileNameFormat;
    QString profileFileNamePrefix;
    QStringList expectedProfileNames;
    QStringList unwantedProfileNames;
    std::shared_ptr<RegistryLoader> registryLoader;
    IConfiguration* configuration;
    ILogConfiguration* logConfiguration;
    IBiosTools* biosTools;
    IDisplayHelper* displayHelper;
    IProfileHelper* profileHelper;
    IStartupHelper* startupHelper;
    MultipleInstancesGuard* instanceGuard;
    IArchiveDownloader* archiveDownloader;
    IProfileArchiver* profileArchiver;
    IDecrypter* decrypter;
    ProfileRestorer* profileRestorer = nullptr;
    PanelInfo panelInfo;
    ProfileDataList profileData;
    std::shared_ptr<ProfileModifier> profileModifier;
    int ddsMode = 0;
    int lastAppliedIndexIntegrated = -1;
    int lastAppliedIndexDiscrete = -1;
    ITrayNotifierFactory* trayNotifierFactory;
    TrayMenu* trayMenu = nullptr;
    PreferencesDialog* preferencesDialog = nullptr;
    QDir colorDirectory;
    QString archiveUrl;
    QStringList programArguments;
    const QVersionNumber& productVersion;
    bool hdrMode = false;
    bool advancedProfileActivated = false;
    // Set when a brightness mismatch was reported, cleared by each activation.
    bool brightnessMismatch = false;
    bool restorationRunning = false;
    int panelInfoState = 0;
    OobeCompletedDetection* oobeDetection = nullptr;
    HPOWERNOTIFY powerNotification = nullptr;
    bool lidClosed = false;
    std::shared_ptr<ProfileDataObtainer> nativeHdrProfileData;
    bool requiredProfilesAvailable = true;
    bool startupComplete = false;
    WindowsDisplayVersion windowsDisplayVersion;
    // The roads running and the questions open, innermost last.
    QList<Road> runningRoads;
    QList<Question> openQuestions;
    // A display change arrived while one was being handled or an answer was pending.
    bool displayChangeWaiting = false;
    // The out-of-box wait ended before start-up was complete, or while an answer was pending.
    bool oobeCompletionWaiting = false;
    // ProfileSetFingerprint() when the profile data was last built.
    QStringList profileDataFingerprint;
};
