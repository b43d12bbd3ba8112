// logontask is-enabled|enable|disable: runs one operation of the logon-task start-up helper and prints
// "enabled", "disabled" or "done", or the exception's class, code and text (exit code 1).
// Started with "--no-tray-notification-on-startup" (as the logon task starts it), it journals
// "logon-started" with its arguments and ends.
#include "Common/Settings/SchedulerStartup.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/Machine.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

using namespace Korvel::DisplayCalibration::Common;

namespace {

int Report(const char* name, const Exception::OsErrorException& error)
{
    std::printf("%s %d %s\n", name, int(error.Code()), error.what());
    return 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.contains("--no-tray-notification-on-startup")) {
        WinSim::Journal("logon-started", QCoreApplication::applicationFilePath() + " " + args.join(' '));
        return 0;
    }
    const std::unique_ptr<Settings::IStartupHelper> helper(Settings::StartupHelperFactory().Create());
    try {
        if (args == QStringList{"is-enabled"}) {
            std::printf("%s\n", helper->IsEnabled() ? "enabled" : "disabled");
        } else if (args == QStringList{"enable"}) {
            helper->Enable();
            std::printf("done\n");
        } else if (args == QStringList{"disable"}) {
            helper->Disable();
            std::printf("done\n");
        } else {
            std::fprintf(stderr, "usage: logontask is-enabled|enable|disable\n");
            return 2;
        }
    } catch (const Settings::EnableStartupException& error) {
        return Report("EnableStartupException", error);
    } catch (const Settings::DisableStartupException& error) {
        return Report("DisableStartupException", error);
    } catch (const Windows::CommandLineException& error) {
        return Report("CommandLineException", error);
    }
    return 0;
}
