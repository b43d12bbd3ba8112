// MainWindow: is the panel's profile set installed and consistent, and the questions that put it
// right. Only an explicit Yes counts as consent; a question asked while the program is ending,
// or while the same question is open, is not asked.
#include "Gui/MainWindow.h"

#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Settings/IStartupHelper.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileRestorer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QTimer>

#include <cstdlib>
#include <utility>

using namespace Korvel::DisplayCalibration::Common::Logging;

namespace {

// Profiles of one set are written within this many milliseconds of each other.
constexpr qint64 SameSetWindowMs = 60000;

}  // namespace

MainWindow::Answer MainWindow::Ask(Question question, const QString& text)
{
    if (IsQuestionOpen(question)) {
        LogText(InfoLevel, "The same question is open already; it is not asked a second time.");
        return Answer::AlreadyOpen;
    }
    openQuestions << question;
    const int button = ShowMessageBox(text, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QString());
    openQuestions.removeOne(question);
    ResumeWaitingWork();
    return button == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

// Posted, not called: the answer's own road goes on first, and the work reads the machine when it runs.
void MainWindow::ResumeWaitingWork()
{
    if (IsAnswerPending() || IsExitPending()) {
        return;
    }
    if (profileRestorer != nullptr && profileRestorer->HasHeldArchive()) {
        QTimer::singleShot(0, profileRestorer, &ProfileRestorer::HandleHeldArchive);
    }
    if (startupComplete && std::exchange(oobeCompletionWaiting, false)) {
        QTimer::singleShot(0, this, &MainWindow::OnOobeCompleted);
    }
    if (std::exchange(displayChangeWaiting, false)) {
        QTimer::singleShot(0, this, &MainWindow::OnDisplaySettingChanged);
    }
}

bool MainWindow::AreAllProfilesInstalled(bool knownMissing)
{
    LogText(TraceLevel, "Checking if all profiles are installed...");
    if (knownMissing) {
        return false;
    }
    // Another program of the suite may have replaced the set and its panel values since the last check.
    RereadPanelInfo();
    CreateProfileNames();
    const QStringList installed = ObtainProfilesFromColorDirectory();
    if (installed.isEmpty() || !VerifyInstalledProfiles(installed)) {
        return false;
    }
    switch (panelInfoState) {
    case 0:
        DetermineDefaultProfileColorSpace(installed, true);
        return true;
    case 1:
    case 3:
        for (const QString& expected : expectedProfileNames) {
            if (!expected.contains(QLatin1String("Native_HDR"), Qt::CaseSensitive) &&
                !installed.contains(expected, Qt::CaseSensitive)) {
                return false;
            }
        }
        if (!unwantedProfileNames.isEmpty()) {
            DetermineDefaultProfileColorSpace(installed, false);
        }
        return true;
    default:
        return false;
    }
}

bool MainWindow::IsProfileSetWholeAgain()
{
    if (!AreAllProfilesInstalled(false) || !RefreshProfileDataIfChanged()) {
        return false;
    }
    LogText(InfoLevel, "The profile set was installed while the question was open; nothing is to restore.");
    requiredProfilesAvailable = true;
    return true;
}

bool MainWindow::HaveRequiredProfiles()
{
    if (!requiredProfilesAvailable && AreAllProfilesInstalled(false) && RefreshProfileDataIfChanged()) {
        LogText(InfoLevel, "The required profiles have been installed since the start.");
        requiredProfilesAvailable = true;
    }
    return requiredProfilesAvailable;
}

bool MainWindow::VerifyInstalledProfiles(QStringList installed)
{
    QDateTime oldest;
    QDateTime newest;
    QString oldestPath;
    QString newestPath;
    for (const QString& name : installed) {
        const QString path = colorDirectory.filePath(name);
        const QFileInfo file(path);
        if (!file.exists()) {
            LogPieces(ErrorLevel, "MainWindow", "Profile ", path.toStdString(), " doesn't exist!");
            return false;
        }
        const QDateTime time = file.fileTime(QFileDevice::FileModificationTime);
        if (oldestPath.isEmpty() || time < oldest) {
            oldest = time;
            oldestPath = path;
        }
        if (newestPath.isEmpty() || time > newest) {
            newest = time;
            newestPath = path;
        }
    }
    const auto describe = [](const QString& path, const QDateTime& time) {
        return (path + " (" + time.toString(Qt::TextDate) + ")").toStdString();
    };
    if (oldest.date() != newest.date()) {
        LogPieces(ErrorLevel, "MainWindow", "Profile ", describe(oldestPath, oldest), " is different in date than ",
                  describe(newestPath, newest));
        return false;
    }
    const qint64 difference =
        std::llabs(qint64(oldest.time().msecsSinceStartOfDay()) - qint64(newest.time().msecsSinceStartOfDay()));
    if (difference > SameSetWindowMs) {
        LogPieces(ErrorLevel, "MainWindow", "Profile ", describe(oldestPath, oldest), " is different than ",
                  describe(newestPath, newest));
        return false;
    }
    return true;
}

void MainWindow::AskUserToEnableColorCalibration()
{
    if (IsExitPending()) {
        return;
    }
    const Answer answer =
        Ask(Question::Calibration, tr("The Windows display calibration is disabled on your system. The ICC profiles "
                                      "cannot be applied if Windows display calibration is disabled.<br><br>Would you "
                                      "like to enable the Windows display calibration on your system (administrative "
                                      "privileges required)?"));
    if (answer == Answer::Yes) {
        profileHelper->EnableColorCalibration();
        return;
    }
    // Asked by another road, which acts on the answer.
    if (answer == Answer::AlreadyOpen || IsExitPending()) {
        return;
    }
    // Switched on while the question was open: there is nothing to refuse any more.
    if (profileHelper->GetColorCalibrationState()) {
        LogText(InfoLevel, "Windows display calibration was enabled while the question was open.");
        return;
    }
    LogPieces(ErrorLevel, "MainWindow",
              "AskUserToEnableColorCalibration Application cannot work if Windows display calibration is disabled!");
    ShowErrorMessage(tr("%1 cannot work if Windows display calibration is disabled.<br>%1 will shutdown.")
                         .arg(QCoreApplication::applicationName()),
                     false);
    trayMenu->HideTrayIcon();
    ExitEventLoop(1);
}

bool MainWindow::AskUserToEnableUserProfileList()
{
    if (IsExitPending()) {
        return false;
    }
    const Answer answer = Ask(Question::UserProfileList,
                              tr("\"Use my settings for this device\" option in Color Management is disabled. The ICC "
                                 "profiles cannot be applied if \"Use my settings for this device\" option is "
                                 "disabled.<br><br>Would you like to enable \"Use my settings for this device\" "
                                 "option?"));
    if (answer == Answer::Yes) {
        return true;
    }
    if (answer == Answer::AlreadyOpen || IsExitPending()) {
        return false;
    }
    // Switched on while the question was open: there is nothing to refuse any more.
    if (profileHelper->IsUserProfileListEnabled()) {
        LogText(InfoLevel, "\"Use my settings for this device\" was enabled while the question was open.");
        return true;
    }
    LogPieces(ErrorLevel, "MainWindow",
              "AskUserToEnableUserProfileList The ICC profiles cannot be applied if \"Use my settings for this "
              "device\" option is disabled!");
    ShowErrorMessage(
        tr("The ICC profiles cannot be applied if \"Use my settings for this device\" option is disabled."), false);
    return false;
}

void MainWindow::AskUserToRestoreProfiles()
{
    if (IsExitPending()) {
        return;
    }
    LogIfLidClosed(QStringLiteral("confirmation of profiles restoration."));
    if (restorationRunning) {
        // The set is being restored: the answer could change nothing.
        LogText(InfoLevel, "A profile restoration is running; the restoration question is not asked.");
        return;
    }
    const QString application = QCoreApplication::applicationName();
    const Answer answer =
        Ask(Question::Restoration, tr("The ICC profiles customized for your display are missing from your system. %1 "
                                      "cannot work without the ICC profiles customized for your display.<br><br>Would "
                                      "you like to restore the profiles from Vantrel support server (administrative "
                                      "privileges required)?")
                                       .arg(application));
    // Asked by another road, which acts on the answer.
    if (answer == Answer::AlreadyOpen || IsExitPending()) {
        return;
    }
    // The answer is about the set as it was when the question was asked.
    if (IsProfileSetWholeAgain()) {
        return;
    }
    if (answer == Answer::Yes) {
        OnRestoreProfilesTriggered(false);
        return;
    }
    LogPieces(ErrorLevel, "MainWindow",
              "AskUserToRestoreProfiles Application cannot work without the ICC profiles customized for your display!");
    ShowErrorMessage(
        tr("%1 cannot work without the ICC profiles customized for your display.<br>%1 will shutdown.").arg(application),
        false);
    AskUserToDisableRunOnStartup();
    trayMenu->HideTrayIcon();
    ExitEventLoop(1);
}

void MainWindow::AskUserToDisableRunOnStartup()
{
    if (IsExitPending() || !startupHelper->IsEnabled()) {
        return;
    }
    if (Ask(Question::RunOnStartup, tr("Would you like to disable \"Run on computer startup\" option (administrative "
                                       "privileges required)?")) != Answer::Yes) {
        return;
    }
    try {
        startupHelper->Disable();
    } catch (const Korvel::DisplayCalibration::Common::Exception::OsErrorException& error) {
        LogPieces(ErrorLevel, "MainWindow",
                  "AskUserToDisableAutoStart Failed to disable \"Run on computer startup\" option. Reason: ",
                  error.what());
        ShowErrorMessage(tr("Failed to disable \"Run on computer startup\" option.<br>Reason: %1")
                             .arg(QString::fromUtf8(error.what())),
                         true);
    } catch (...) {
        LogPieces(ErrorLevel, "MainWindow", "AskUserToDisableAutoStart Failed to disable \"Run on computer startup\" option.");
        ShowErrorMessage(tr("Failed to disable \"Run on computer startup\" option."), true);
    }
}

void MainWindow::OnAskUserToEnableUserProfileList(bool& answer)
{
    LogText(TraceLevel, "Asking user to enable profile list...");
    answer = AskUserToEnableUserProfileList();
}
