// preferenceswindow FORMAT KEYS KEY: the tray program's preferences window, for driving through
// `winsim user`, over the profiles that the machine's colour directory holds under the file-name
// format FORMAT for the required profile keys KEYS (comma-separated), with the profile KEY shown.
// The window is made with the program's own obtainer, helpers and configuration, as the tray
// program makes it. Prints "ready" once its event loop runs; ends when standard input closes.
#include "Common/Application/Widgets/TrayNotifier.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/SchedulerStartup.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileData.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "tests/KorvelTintwise/ServiceFakes.h"
#include "tests/helpers/Interactive.h"

#include <QApplication>

#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Korvel Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Tintwise"));
    const QStringList arguments = application.arguments();
    if (arguments.size() != 4) {
        Say(QStringLiteral("usage: preferenceswindow FORMAT KEYS KEY"));
        return 2;
    }
    const QString format = arguments[1];
    const QStringList keys = arguments[2].split(',');

    Common::Profile::ProfileHelper profileHelper;
    Common::Profile::PanelInfo panelInfo;
    panelInfo.SetDefaultProfileColorSpace(keys.first());
    panelInfo.SetRequiredProfiles(keys);
    Common::Application::TrayNotifierFactory notifiers;
    TrayMenu trayMenu(&notifiers, nullptr);
    TintwiseTest::FakeLogConfiguration logConfiguration;
    const std::unique_ptr<Common::HardwareInfo::IBiosTools> bios(Common::HardwareInfo::BiosToolsFactory().Create());
    ProfileDataObtainer obtainer(&logConfiguration, bios.get(), &trayMenu, &profileHelper, panelInfo, format);
    if (!obtainer.BuildProfileDataList()) {
        Say(QStringLiteral("a required profile has no data"));
        return 1;
    }
    const PreferencesDialog::ProfileList profiles = obtainer.GetProfileDataList();
    const std::unique_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper(
        Common::HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
    Common::Settings::Configuration configuration;
    const std::unique_ptr<Common::Settings::IStartupHelper> startup(Common::Settings::StartupHelperFactory().Create());
    PreferencesDialog window(&trayMenu, QVersionNumber(2, 56, 0), startup.get(), displayHelper.get(), &configuration,
                             &profiles, false);
    for (int i = 0; i < profiles.size(); ++i) {
        if (profiles[i]->GetName() == arguments[3]) {
            window.SelectProfile(i);
        }
    }
    window.show();
    return RunUntilInputCloses(application);
}
