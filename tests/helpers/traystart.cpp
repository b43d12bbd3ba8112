// traystart [--withGUI] [ARGS...]: the tray program's start-up as far as the platform services go.
// The first instance prints "first instance", counts the out-of-box wait, installs the
// display-change filter and prints each signal it hears ("OobeCompleted", "alignProfiles MS",
// "displaySettingsChanged MS" with the milliseconds since start, "NewInstanceStarted VALUE RESULT"
// with what the guard's ReadData gives); "ready" once its event loop runs; it ends when its standard
// input closes. A later start hands its "--withGUI" over, records that the user ended the wait,
// prints "second instance" and ends at once with exit code 0, running no destructors.
#include "Common/Application/Constants.h"
#include "Common/Application/DisplayChangedEventFilter.h"
#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Application/Network/NewApplicationInstanceNotifier.h"
#include "Common/Application/OobeCompletedDetection.h"
#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/TimestampedLog.h"
#include "tests/helpers/Interactive.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>

using namespace Korvel::DisplayCalibration::Common;
using namespace Korvel::DisplayCalibration::Common::Application;

namespace {

int SecondStart(QFile& initLog, MultipleInstancesGuard& guard, NewApplicationInstanceNotifier& notifier)
{
    const bool withGui = QCoreApplication::arguments().contains(WithGuiSwitch);
    HardwareInfo::WriteTimestampedLogLine(initLog, "WARNING: Running instance detected. Updating shared memory...");
    Say("WriteData " + QString::number(guard.WriteData(withGui ? 1 : 0, 0)));
    HardwareInfo::WriteTimestampedLogLine(
        initLog, "DEBUG: Successfully updated shared memory. Notifying primary instance and bailing out...");
    notifier.NotifyRunningInstance();
    HardwareInfo::WriteTimestampedLogLine(initLog, "DEBUG: Primary instance notified. Bailing out...");
    HardwareInfo::WriteTimestampedLogLine(initLog, "  =-=-=-=-=-=-=-=-=-=-=-=-=");
    initLog.close();
    // Made and never destroyed, as the process ends at once.
    (new OobeCompletedDetection())->UserEndedOobe();
    Say("second instance");
    std::_Exit(0);
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Korvel Inc");
    QCoreApplication::setApplicationName("Korvel Tintwise");
    QElapsedTimer clock;
    clock.start();

    QFile initLog(InitLogFilePath());
    if (!initLog.open(QIODevice::WriteOnly | QIODevice::Append)) {
        Say("cannot open " + initLog.fileName());
        return 1;
    }
    HardwareInfo::WriteTimestampedLogLine(initLog, "INFO: Log file opened.");
    NewApplicationInstanceNotifier notifier;
    MultipleInstancesGuard guard("Korvel Tintwise");
    if (guard.IsAnotherInstanceRunning() == 1) {
        return SecondStart(initLog, guard, notifier);
    }
    const bool listening = notifier.StartListening();
    HardwareInfo::WriteTimestampedLogLine(initLog, "INFO: Multiple instances application guard initialized.");
    Say(listening ? "first instance" : "first instance, not listening");

    QObject::connect(&notifier, &NewApplicationInstanceNotifier::NewInstanceStarted, [&guard] {
        std::uint64_t value = 99;
        const int result = guard.ReadData(value);
        Say("NewInstanceStarted " + QString::number(value) + " " + QString::number(result));
    });
    OobeCompletedDetection oobe;
    QObject::connect(&oobe, &OobeCompletedDetection::OobeCompleted, [] { Say("OobeCompleted"); });
    DisplayChangedEventFilter displayFilter;
    application.installNativeEventFilter(&displayFilter);
    QObject::connect(&displayFilter, &DisplayChangedEventFilter::alignProfiles,
                     [&clock] { Say("alignProfiles " + QString::number(clock.elapsed())); });
    QObject::connect(&displayFilter, &DisplayChangedEventFilter::displaySettingsChanged,
                     [&clock] { Say("displaySettingsChanged " + QString::number(clock.elapsed())); });

    const int code = RunUntilInputCloses(application);
    application.removeNativeEventFilter(&displayFilter);
    return code;
}
