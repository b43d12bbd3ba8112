// The preferences window over a generated factory set on a simulated machine, with the program's
// own obtainer, display helper, configuration and logon-task helper.
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/SchedulerStartup.h"
#include "Gui/ColorGamutScene.h"
#include "Gui/PreferencesDialog.h"
#include "Gui/ProfileInfoData.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileData.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "WindowsStandIn/Machine.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace TintwiseTest;

namespace {

const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");

class PreferencesWindowMachineTest : public testing::Test {
protected:
    void SetUp() override
    {
        TrayApplication();
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        // The panel on the second display, an external monitor on the first.
        QJsonObject panel = WinSim::DescriptionValue(QStringLiteral("displays.0")).toObject();
        panel.insert(QStringLiteral("deviceName"), QStringLiteral("\\\\.\\DISPLAY2"));
        QJsonObject external = panel;
        external.insert(QStringLiteral("deviceName"), QStringLiteral("\\\\.\\DISPLAY1"));
        external.insert(QStringLiteral("edid"), QString::fromLatin1(DisplayFixtures::ExternalEdid().toHex()));
        external.insert(QStringLiteral("outputTechnology"), 10);
        external.remove(QStringLiteral("brightness"));
        WinSim::SetDescriptionValue(QStringLiteral("displays"), QJsonArray {external, panel});
        WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("extend"));
    }

    TestSupport::TemporaryMachine machine;
};

TEST_F(PreferencesWindowMachineTest, ShowsTheObtainedProfilesTheirReportsAndThePreviewOnThePanel)
{
    Common::Profile::ProfileHelper profileHelper;
    MakeProfileSet(profileHelper.ColorDirectory(), {"--format", Format, "--profiles", "sRGB,AdobeRGB,DCIP3,Native",
                                                     "--color-space", "sRGB", "--luminance", "280"});
    Common::Profile::PanelInfo panelInfo;
    panelInfo.SetDefaultProfileColorSpace(QStringLiteral("sRGB"));
    panelInfo.SetRequiredProfiles({"sRGB", "AdobeRGB", "DCIP3", "Native"});
    RecordingNotifierFactory notifiers;
    TrayMenu trayMenu(&notifiers, nullptr);
    FakeLogConfiguration logConfiguration;
    const std::unique_ptr<Common::HardwareInfo::IBiosTools> bios(Common::HardwareInfo::BiosToolsFactory().Create());
    ProfileDataObtainer obtainer(&logConfiguration, bios.get(), &trayMenu, &profileHelper, panelInfo, Format);
    ASSERT_TRUE(obtainer.BuildProfileDataList());
    obtainer.RefreshBrightnessLevels();
    obtainer.RefreshPreviewImages();
    const PreferencesDialog::ProfileList profiles = obtainer.GetProfileDataList();
    ASSERT_EQ(profiles.size(), 4);

    const std::unique_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper(
        Common::HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
    ASSERT_EQ(displayHelper->GetAdapterDeviceName(), QStringLiteral("\\\\.\\DISPLAY2"));
    Common::Settings::Configuration configuration;
    const std::unique_ptr<Common::Settings::IStartupHelper> startup(Common::Settings::StartupHelperFactory().Create());
    PreferencesDialog window(&trayMenu, QVersionNumber(2, 56, 0), startup.get(), displayHelper.get(), &configuration,
                             &profiles, false);

    // Every profile is listed, in the list's order.
    auto* box = window.findChild<QComboBox*>(QStringLiteral("SelectProfile_PreviewPage_ComboBox"));
    QStringList listed;
    for (int i = 1; i < box->count(); ++i) {
        listed << box->itemText(i);
    }
    QStringList names;
    for (const auto& profile : profiles) {
        names << profile->GetDisplayName();
    }
    EXPECT_EQ(listed, names);

    // The sRGB profile shows its report's luminance and chromaticities, and its gamut.
    const int srgb = window.FindProfileIndex(QStringLiteral("sRGB")) - 1;
    ASSERT_GE(srgb, 0);
    window.SelectProfile(srgb);
    auto* standard = window.findChild<ProfileInfoDataStandard*>();
    const auto text = [standard](const char* label) {
        return standard->findChild<QLabel*>(QStringLiteral("%1_ProfileInfoPage_Label").arg(QLatin1String(label)))->text();
    };
    EXPECT_FALSE(standard->isHidden());
    EXPECT_EQ(text("LuminanceValue"), QStringLiteral("280.0 nt"));
    EXPECT_EQ(text("Green_X"), QStringLiteral("x: 0.3000"));
    EXPECT_EQ(text("WhitePoint_Y"), QStringLiteral("y: 0.3290"));
    EXPECT_FALSE(window.findChild<QPushButton*>(QStringLiteral("QualityReport_PreviewPage_PushButton"))->isHidden());
    auto* scene = dynamic_cast<ColorGamutScene*>(
        window.findChild<QGraphicsView*>(QStringLiteral("GamutDiagram_ProfileInfoPage_GraphicsView"))->scene());
    ASSERT_EQ(scene->triangle()->scene(), scene);
    EXPECT_EQ(scene->triangle()->polygon().at(2), scene->chromaticityToScene({0.15, 0.06}));

    // The preview opens on the panel's screen with the profile's picture.
    bool shown = false;
    const auto watch = GuiTestSupport::OnNextModal<PreviewDialog>([&shown](PreviewDialog* preview) {
        EXPECT_EQ(preview->geometry(), GuiTestSupport::SecondScreen);
        EXPECT_FALSE(preview->findChild<QLabel*>("FullScreen_PreviewDialog_Label")->pixmap().isNull());
        shown = true;
    });
    window.OnFullScreenPreviewClicked();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(notifiers.shown.empty());
}

TEST_F(PreferencesWindowMachineTest, RefusedElevationPromptFlipsTheStartupBoxBackAndMakesNoTask)
{
    WinSim::SetDescriptionValue(QStringLiteral("elevation.prompt"), QStringLiteral("refuse"));
    RecordingNotifierFactory notifiers;
    TrayMenu trayMenu(&notifiers, nullptr);
    const std::unique_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper(
        Common::HardwareInfo::DisplayHelperFactory().Create(QStringLiteral("KVL4A1C")));
    Common::Settings::Configuration configuration;
    const std::unique_ptr<Common::Settings::IStartupHelper> startup(Common::Settings::StartupHelperFactory().Create());
    const PreferencesDialog::ProfileList profiles;
    PreferencesDialog window(&trayMenu, QVersionNumber(2, 56, 0), startup.get(), displayHelper.get(), &configuration,
                             &profiles, false);
    // What the controller does with the window's signal.
    QObject::connect(&window, &PreferencesDialog::RunOnStartupChanged,
                     [&window](int state) { window.ApplyRunOnStartup(state); });

    auto* box = window.findChild<QCheckBox*>(QStringLiteral("Startup_SettingsPage_CheckBox"));
    ASSERT_FALSE(box->isChecked());
    box->click();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(startup->IsEnabled());

    WinSim::SetDescriptionValue(QStringLiteral("elevation.prompt"), QStringLiteral("accept"));
    box->click();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(startup->IsEnabled());
}

}  // namespace
