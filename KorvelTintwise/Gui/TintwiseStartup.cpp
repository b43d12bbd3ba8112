#include "Gui/TintwiseStartup.h"

#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Application/DisplayChangedEventFilter.h"
#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Application/Network/NewApplicationInstanceNotifier.h"
#include "Common/Application/OobeCompletedDetection.h"
#include "Common/Application/Paths.h"
#include "Common/Application/Translations.h"
#include "Common/Application/Widgets/TrayNotifier.h"
#include "Common/Archive/ProfileArchiver.h"
#include "Common/Exception/DetailedException.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Common/HardwareInfo/PowerSettingsChangedEventFilter.h"
#include "Common/HardwareInfo/TimestampedLog.h"
#include "Common/Logging/LogHeader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/IDecrypter.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/LogConfiguration.h"
#include "Common/Settings/SchedulerStartup.h"
#include "Gui/DarkStyle.h"
#include "Gui/FreedMemory.h"
#include "Gui/KorvelCalibrationApplication.h"
#include "Gui/MainWindow.h"
#include "ProfileData/ProfileRestorer.h"
#include "WindowsStandIn/Time.h"
#include "WindowsStandIn/TopLevelWindows.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVersionNumber>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;
using Common::Application::ConnectChecked;

namespace {

constexpr int PanelIdAttempts = 30;
constexpr DWORD PanelIdRetryMs = 1000;
const QVersionNumber ProductVersion(2, 56, 0);
const QString GuardKey = QStringLiteral("Korvel Tintwise");
const QString Separator = QStringLiteral("  =-=-=-=-=-=-=-=-=-=-=-=-=");

// The texts of a missing internal panel, process-wide constants of the program.
QString PanelUnavailableMessage()
{
    return QObject::tr("Korvel Tintwise is currently disabled because internal display is not available.");
}

QString PanelUnavailableDetails()
{
    return QObject::tr("In case the lid is closed and/or unsupported Project mode is set (Duplicate or Second screen "
                       "only), please open the lid and/or switch to allowed Project mode (PC screen only or Extended), "
                       "and then restart the application.\nThe application does not apply color profiles to panels, "
                       "which color profiles are not created for.");
}

class Startup {
public:
    Startup(KorvelCalibrationApplication& application, QFile& initLog) : application(application), initLog(initLog) {}

    int Run();

    void Log(const QString& text) { Common::HardwareInfo::WriteTimestampedLogLine(initLog, text); }
    void EndLog()
    {
        Log(Separator);
        initLog.close();
    }

private:
    [[noreturn]] void EndSecondStart();
    [[noreturn]] void EndWithoutTray();

    KorvelCalibrationApplication& application;
    QFile& initLog;
};

void Startup::EndSecondStart()
{
    EndLog();
    if (application.arguments().contains(Common::WithGuiSwitch, Qt::CaseSensitive)) {
        const std::wstring title = QCoreApplication::applicationName().toStdWString();
        if (HWND window = FindWindowW(nullptr, title.c_str()); window != nullptr) {
            SetForegroundWindow(window);
        }
    }
    Common::Application::OobeCompletedDetection().UserEndedOobe();
    std::_Exit(0);
}

void Startup::EndWithoutTray()
{
    QMessageBox box;
    box.setStyleSheet(QStringLiteral("background-color: rgb(37, 40, 42); color: rgb(130, 133, 134)"));
    box.setWindowTitle(QCoreApplication::applicationName());
    box.setIcon(QMessageBox::Critical);
    box.setText(QObject::tr("System tray not detected."));
    box.exec();
    EndLog();
    std::_Exit(1);
}

int Startup::Run()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Korvel Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Tintwise"));
    QApplication::setStyle(new DarkStyle());
    QApplication::setQuitOnLastWindowClosed(false);
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    Common::Application::SetErrorMessagesInitializer(&MainWindow::InitializeErrorMessages);
    Common::Application::LoadTranslations();

    initLog.setFileName(Common::InitLogFilePath());
    if (!initLog.open(QIODevice::WriteOnly | QIODevice::Append)) {
        throw QString(QObject::tr("Failure to open initialization log file."));
    }
    Log(QStringLiteral("INFO: Log file opened."));

    Common::Application::NewApplicationInstanceNotifier notifier;
    Common::Application::MultipleInstancesGuard guard(GuardKey);
    switch (guard.IsAnotherInstanceRunning()) {
    case 0:
        break;
    case 1: {
        Log(QStringLiteral("WARNING: Running instance detected. Updating shared memory..."));
        const bool withGui = application.arguments().contains(Common::WithGuiSwitch, Qt::CaseSensitive);
        guard.WriteData(withGui ? 1 : 0, 0);
        Log(QStringLiteral("DEBUG: Successfully updated shared memory. Notifying primary instance and bailing out..."));
        notifier.NotifyRunningInstance();
        Log(QStringLiteral("DEBUG: Primary instance notified. Bailing out..."));
        EndSecondStart();
    }
    default:
        // Any other answer: this start does not become the running instance either.
        Log(QStringLiteral("ERROR: Failure to acquire multiple instances application guard. %1.").arg(guard.ErrorString()));
        EndSecondStart();
    }
    notifier.StartListening();
    Log(QStringLiteral("INFO: Multiple instances application guard initialized."));
    Log(QStringLiteral("INFO: QEN version: %1").arg(ProductVersion.toString()));

    const QString panelId = ObtainInternalPanelId();
    Log(QStringLiteral("INFO: Obtained internal panel ID: %1").arg(panelId));
    const std::shared_ptr<Common::Settings::ILogConfiguration> logConfiguration =
        Common::Settings::CreateLogConfiguration(panelId);
    Log(QStringLiteral("INFO: QEN configuration log successfully initialized."));
    Common::Logging::SetUpLogging(Common::UserDataDirectory() + "/log", logConfiguration->LogFile(),
                                  logConfiguration->FileMessageFormat(), logConfiguration->Console(),
                                  logConfiguration->ConsoleMessageFormat(), logConfiguration->Level(),
                                  ProductVersion.toString());
    Log(QStringLiteral("INFO: QEN log successfully initialized."));

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        EndWithoutTray();
    }
    Log(QStringLiteral("INFO: System tray availability checked."));

    QFile keyFile(QStringLiteral(":/digitalsignature/public_key"));
    keyFile.open(QIODevice::ReadOnly);
    const QByteArray publicKey = keyFile.readAll();
    keyFile.close();
    Log(QStringLiteral("INFO: Public key read successfully."));

    const auto trayNotifierFactory = std::make_shared<Common::Application::TrayNotifierFactory>();
    Log(QStringLiteral("INFO: Tray notifier initialized."));
    const std::shared_ptr<Common::HardwareInfo::IBiosTools> biosTools(
        Common::HardwareInfo::BiosToolsFactory().Create());
    Log(QStringLiteral("INFO: BIOS tools initialized."));
    const std::shared_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper(
        Common::HardwareInfo::DisplayHelperFactory().Create(panelId));
    Log(QStringLiteral("INFO: Display helper initialized."));
    const std::shared_ptr<Common::Profile::IProfileHelper> profileHelper(
        Common::Profile::ProfileHelperFactory().Create());
    Log(QStringLiteral("INFO: Profile helper initialized."));
    // Before anything reads the display's default: the menu then marks the profile put back.
    ProfileRestorer::PutBackDefaultsOfKilledUpdate(*profileHelper);
    const std::shared_ptr<Common::Settings::IConfiguration> configuration(
        Common::Settings::ConfigurationFactory().Create());
    Log(QStringLiteral("INFO: Configuration initialized."));
    const std::shared_ptr<Common::Network::IArchiveDownloader> archiveDownloader(
        Common::Network::TwoPhaseArchiveDownloaderFactory().Create());
    Log(QStringLiteral("INFO: Archive downloader initialized."));
    const std::shared_ptr<Common::Archive::IProfileArchiver> profileArchiver(
        Common::Archive::ProfileArchiverFactory().Create());
    Log(QStringLiteral("INFO: Profile archiver initialized."));
    const std::shared_ptr<Common::Security::IDecrypter> decrypter(
        Common::Security::DecrypterFactory().CreateDecrypter(publicKey, false));
    Log(QStringLiteral("INFO: Decrypter initialized."));
    const std::shared_ptr<Common::Settings::IStartupHelper> startupHelper(
        Common::Settings::StartupHelperFactory().Create());
    Log(QStringLiteral("INFO: Startup helper initialized."));

    MainWindow mainWindow(configuration.get(), logConfiguration.get(), biosTools.get(), displayHelper.get(),
                          profileHelper.get(), archiveDownloader.get(), profileArchiver.get(),
                          trayNotifierFactory.get(), decrypter.get(), startupHelper.get(), &guard, ProductVersion);
    Log(QStringLiteral("INFO: GUI initialized."));

    Common::HardwareInfo::PowerSettingsChangedEventFilter powerFilter;
    application.installNativeEventFilter(&powerFilter);
    Common::Application::DisplayChangedEventFilter displayFilter;
    application.installNativeEventFilter(&displayFilter);
    Log(QStringLiteral("INFO: Display changed event filter initialized."));
    ConnectChecked(&displayFilter, SIGNAL(displaySettingsChanged()), &mainWindow, SLOT(OnDisplaySettingChanged()));
    ConnectChecked(&powerFilter, SIGNAL(PowerSettingsChanged(LPARAM)), &mainWindow, SLOT(OnPowerSettingsChanged(LPARAM)));
    ConnectChecked(&displayFilter, SIGNAL(alignProfiles()), &mainWindow, SLOT(OnAlignProfiles()));
    ConnectChecked(&notifier, SIGNAL(NewInstanceStarted()), &mainWindow, SLOT(OnNewApplicationInstanceStarted()));

    // The lid state posted by the power-setting registration arrives here.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    Sleep(1000);
    if (mainWindow.IsLidClosed()) {
        Log(QStringLiteral("ERROR: Laptop lid detected as closed."));
        throw DetailedException(QObject::tr("The lid must be opened to apply color profiles created for the panel, so "
                                            "please open the lid to allow application to apply color profiles."),
                                QObject::tr("Internal panel is not available."));
    }
    Log(QStringLiteral("INFO: Laptop lid detected as opened."));

    mainWindow.show();
    mainWindow.setVisible(false);
    Log(QStringLiteral("INFO: GUI initially hidden."));
    // The start-up's own pictures reuse the heap; the work in the event loop maps its large ones apart.
    MapLargeBlocksApart();
    QTimer::singleShot(0, &mainWindow, SLOT(OnEventLoopStarted()));
    Log(QStringLiteral("INFO: Timer single shot called."));
    const int result = QApplication::exec();

    application.removeNativeEventFilter(&displayFilter);
    Log(QStringLiteral("INFO: Display changed event filter uninitialized."));
    application.removeNativeEventFilter(&powerFilter);
    Log(QStringLiteral("INFO: Power settings changed event filter uninitialized."));
    EndLog();
    return result;
}

}  // namespace

QString ObtainInternalPanelId()
{
    QString panelId;
    for (int attempt = 0; attempt < PanelIdAttempts; ++attempt) {
        try {
            panelId = Common::HardwareInfo::InternalPanelObtainer().GetInternalPanelId();
        } catch (const Common::HardwareInfo::InternalPanelObtainerException&) {
            panelId.clear();
        }
        if (!panelId.isEmpty()) {
            return panelId;
        }
        Sleep(PanelIdRetryMs);
    }
    throw DetailedException(PanelUnavailableMessage(), PanelUnavailableDetails());
}

int RunKorvelTintwise(int argc, char* argv[])
{
    ShareHeapsBetweenThreads();
    SetProcessDPIAware();
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    KorvelCalibrationApplication application(argc, argv);
    QFile initLog;
    Startup startup(application, initLog);
    const auto endAfterFailure = [&startup] {
        startup.EndLog();
        QCoreApplication::exit(0);
    };
    try {
        return startup.Run();
    } catch (const WriteLastAppliedProfileException& error) {
        MainWindow::ShowErrorMessage(QObject::tr("%1").arg(QString::fromUtf8(error.what())), true);
        startup.Log(QStringLiteral("ERROR: WriteLastAppliedProfileException: %1").arg(QString::fromUtf8(error.what())));
        endAfterFailure();
    } catch (const QString& error) {
        MainWindow::ShowErrorMessage(QObject::tr("Unexpected error occurred:<br>%1").arg(error), true);
        startup.Log(QStringLiteral("ERROR: Unexpected error occurred: %1").arg(error));
        endAfterFailure();
    } catch (const DetailedException& error) {
        qDebug("Exception occured");
        Common::Application::OobeCompletedDetection detection;
        detection.SaveRemainingOOBETime();
        if (detection.IsCompleted() || argc == 2) {
            MainWindow::ShowWarningMessage(QObject::tr("%1").arg(error.Message()), error.Details());
        }
        startup.Log(QStringLiteral("ERROR: Unexpected error occurred: %1 [Details: %2]")
                        .arg(error.Message(), error.Details()));
        endAfterFailure();
    } catch (const std::exception& error) {
        MainWindow::ShowErrorMessage(
            QObject::tr("Unexpected error occurred:<br>%1").arg(QString::fromUtf8(error.what())), true);
        startup.Log(QStringLiteral("ERROR: Unexpected error occurred: %1").arg(QString::fromUtf8(error.what())));
        endAfterFailure();
    } catch (...) {
        MainWindow::ShowErrorMessage(QObject::tr("Unexpected error occurred."), true);
        startup.Log(QStringLiteral("ERROR: Unexpected error occurred."));
        endAfterFailure();
    }
    return 0;
}
