// A MainWindow on a temporary machine for unit tests: the program's own services where the
// simulated machine serves them, stand-ins for the BIOS tools and the log configuration, and a
// recording tray notifier. Build it with MakeController() once the machine holds what the test needs.
#pragma once

#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Archive/ProfileArchiver.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/IDecrypter.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/SchedulerStartup.h"
#include "Gui/MainWindow.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QFile>
#include <QVersionNumber>

#include <gtest/gtest.h>

#include <memory>

namespace TintwiseTest {

class ControllerTest : public testing::Test {
protected:
    void SetUp() override
    {
        TrayApplication();
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        logConfiguration.format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
    }

    // With `logConfig` the controller uses that log configuration instead of the stand-in.
    std::unique_ptr<MainWindow> MakeController(
        Korvel::DisplayCalibration::Common::Settings::ILogConfiguration* logConfig = nullptr)
    {
        namespace Common = Korvel::DisplayCalibration::Common;
        displayHelper.reset(Common::HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
        profileHelper = std::make_unique<Common::Profile::ProfileHelper>();
        configuration = std::make_unique<Common::Settings::Configuration>();
        downloader = Common::Network::TwoPhaseArchiveDownloaderFactory().Create();
        QFile key(TestSupport::TestPublicKeyPath());
        key.open(QIODevice::ReadOnly);
        decrypter = Common::Security::DecrypterFactory().CreateDecrypter(key.readAll(), false);
        return std::make_unique<MainWindow>(configuration.get(), logConfig != nullptr ? logConfig : &logConfiguration,
                                            &bios, displayHelper.get(),
                                            profileHelper.get(), downloader.get(), &archiver, &notifiers,
                                            decrypter.get(), &startup, &guard, version);
    }

    TestSupport::TemporaryMachine machine;
    FakeBiosTools bios;
    FakeLogConfiguration logConfiguration;
    RecordingNotifierFactory notifiers;
    std::unique_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> displayHelper;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Settings::IConfiguration> configuration;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> downloader;
    Korvel::DisplayCalibration::Common::Archive::ProfileArchiver archiver;
    std::unique_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter;
    Korvel::DisplayCalibration::Common::Settings::SchedulerStartup startup;
    Korvel::DisplayCalibration::Common::Application::MultipleInstancesGuard guard{QStringLiteral("controller test")};
    const QVersionNumber version{2, 56, 0};
};

}  // namespace TintwiseTest
