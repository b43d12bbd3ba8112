#include "Common/Logging/Loggable.h"
#include "Gui/TrayMenu.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

using namespace TintwiseTest;

class TrayMenuTest : public testing::Test {
public:
    // The profile entries: the checkable ones.
    QList<QAction*> Profiles() const
    {
        QList<QAction*> profiles;
        for (QAction* action : menu.Menu()->actions()) {
            if (action->isCheckable()) {
                profiles << action;
            }
        }
        return profiles;
    }
    QStringList Checked() const
    {
        QStringList checked;
        for (QAction* action : Profiles()) {
            if (action->isChecked()) {
                checked << action->text();
            }
        }
        return checked;
    }

    QApplication* application = Application();
    RecordingNotifierFactory notifiers;
    TrayMenu menu{&notifiers, nullptr};
};

TEST_F(TrayMenuTest, LayoutForEmptyAndFullLists)
{
    EXPECT_TRUE(menu.Menu()->actions().isEmpty());
    EXPECT_EQ(menu.TrayIcon()->toolTip(), QCoreApplication::applicationName());
    EXPECT_TRUE(menu.TrayIcon()->isVisible());
    EXPECT_EQ(menu.TrayIcon()->contextMenu(), menu.Menu());
    EXPECT_EQ(notifiers.titles, QStringList{QString()});

    const auto layout = [&] {
        QStringList texts;
        for (QAction* action : menu.Menu()->actions()) {
            texts << (action->isSeparator() ? "-" : action->text());
        }
        return texts;
    };
    menu.SetProfileNames({});
    EXPECT_EQ(layout(), (QStringList{"KorvelTintwise", "-", "Quick Selection", "-", "-", "&Preferences...", "-", "&Quit"}));
    const QList<QAction*> fixed = menu.Menu()->actions();
    EXPECT_FALSE(fixed[2]->isEnabled());
    EXPECT_EQ(fixed[5]->toolTip(), "Open Preference window");
    EXPECT_EQ(fixed[7]->toolTip(), "Quit application");
    EXPECT_TRUE(menu.Menu()->toolTipsVisible());

    menu.SetProfileNames({"sRGB", "Adobe RGB", "HDR 10 (calibrated)"});
    EXPECT_EQ(layout(), (QStringList{"KorvelTintwise", "-", "Quick Selection", "-", "sRGB", "Adobe RGB",
                                     "HDR 10 (calibrated)", "-", "&Preferences...", "-", "&Quit"}));
    for (QAction* action : Profiles()) {
        EXPECT_TRUE(action->isVisible());
        EXPECT_FALSE(action->isChecked());
        EXPECT_TRUE(action->toolTip().isEmpty() || action->toolTip() == action->text());
    }
}

TEST_F(TrayMenuTest, OneEntryCheckedAtATime)
{
    menu.SetProfileNames({"sRGB", "Adobe RGB", "DCI-P3"});
    menu.CheckProfileAction(2);
    EXPECT_EQ(Checked(), QStringList{"DCI-P3"});
    menu.CheckProfileAction(0);
    EXPECT_EQ(Checked(), QStringList{"sRGB"});
    menu.CheckProfileAction(-1);
    menu.CheckProfileAction(3);
    menu.CheckProfileAction(100);
    EXPECT_EQ(Checked(), QStringList{"sRGB"}) << "indices outside the list change nothing";
    menu.UncheckProfileActions();
    EXPECT_TRUE(Checked().isEmpty());
    menu.UncheckProfileActions();
    EXPECT_TRUE(Checked().isEmpty());

    // A user's pick moves no mark: the program marks the profile it applied.
    Profiles()[1]->trigger();
    EXPECT_TRUE(Checked().isEmpty());
    menu.CheckProfileAction(0);
    Profiles()[2]->trigger();
    Profiles()[0]->trigger();
    EXPECT_EQ(Checked(), QStringList{"sRGB"});

    // A rebuild starts unchecked and visible.
    menu.CheckProfileAction(1);
    menu.ShowHdrProfilesOnly();
    menu.SetProfileNames({"sRGB", "Adobe RGB", "DCI-P3"});
    EXPECT_TRUE(Checked().isEmpty());
    for (QAction* action : Profiles()) {
        EXPECT_TRUE(action->isVisible());
        EXPECT_TRUE(action->toolTip().isEmpty() || action->toolTip() == action->text());
    }
}

TEST_F(TrayMenuTest, HdrAndSdrFilters)
{
    menu.SetProfileNames({"sRGB", "HDR 10 (calibrated)", "Native hdr", "Hdr-ish", "Native"});
    menu.CheckProfileAction(0);
    const auto visible = [&] {
        QStringList shown;
        for (QAction* action : Profiles()) {
            if (action->isVisible()) {
                shown << action->text();
            }
        }
        return shown;
    };
    menu.ShowHdrProfilesOnly();
    EXPECT_EQ(visible(), (QStringList{"HDR 10 (calibrated)", "Native hdr", "Hdr-ish"}));
    const QList<QAction*> profiles = Profiles();
    EXPECT_TRUE(profiles[0]->toolTip().startsWith("THIS IS SDR PROFILE!\nIn order to use it, disable HDR settings"));
    EXPECT_TRUE(profiles[0]->toolTip().endsWith("\n    3. Turn off Use HDR."));
    EXPECT_EQ(Checked(), QStringList{"sRGB"}) << "a hidden entry keeps its check mark";

    menu.ShowSdrProfilesOnly();
    EXPECT_EQ(visible(), (QStringList{"sRGB", "Native"}));
    EXPECT_TRUE(profiles[1]->toolTip().startsWith("THIS IS HDR PROFILE!\nIn order to use it, enable HDR settings"));
    EXPECT_TRUE(profiles[1]->toolTip().contains("\n    2. If you have multiple displays connected to your PC"));
    EXPECT_TRUE(profiles[1]->toolTip().endsWith("\n    3. Turn on Use HDR."));
    EXPECT_TRUE(profiles[0]->toolTip().isEmpty() || profiles[0]->toolTip() == "sRGB");
    for (QAction* action : menu.Menu()->actions()) {
        if (!action->isCheckable()) {
            EXPECT_TRUE(action->isVisible()) << "the fixed entries stay";
        }
    }
}

TEST_F(TrayMenuTest, EachConnectionOnceAfterRebuilds)
{
    int preferences = 0;
    QList<int> profile;
    QObject::connect(&menu, &TrayMenu::PreferencesActionTriggered, [&] { ++preferences; });
    QObject::connect(&menu, &TrayMenu::ProfileChangeTriggered, [&](int index) { profile << index; });
    // Before the first rebuild nothing is connected.
    emit menu.TrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(preferences, 0);

    for (int i = 0; i < 3; ++i) {
        menu.SetProfileNames({"sRGB", "Adobe RGB", "DCI-P3"});
    }
    emit menu.TrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(preferences, 1);
    emit menu.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    emit menu.TrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(preferences, 1) << "only a single click asks for the preferences";
    menu.Menu()->actions()[8]->trigger();
    EXPECT_EQ(preferences, 2);

    Profiles()[2]->trigger();
    EXPECT_EQ(profile, QList<int>{2});
    QAction foreign("foreign");
    menu.ProfileActionTriggered(&foreign);
    menu.SetProfileNames({});
    menu.ProfileActionTriggered(&foreign);
    EXPECT_EQ(profile, (QList<int>{2, -1, -1}));
}

TEST_F(TrayMenuTest, NotificationsAreLoggedAndShown)
{
    const TestSupport::LogCapture log("TrayMenu");
    menu.ShowWarningNotification("[WARNING] DICOM_Dim profile is missing.");
    menu.ShowInformationNotification("Profile activated.");
    ASSERT_EQ(notifiers.shown.size(), 2u);
    EXPECT_EQ(notifiers.shown[0].kind, "warning");
    EXPECT_EQ(notifiers.shown[0].text, "[WARNING] DICOM_Dim profile is missing.");
    EXPECT_EQ(notifiers.shown[0].msecs, 1000);
    EXPECT_EQ(notifiers.shown[1].kind, "information");
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, Korvel::DisplayCalibration::Common::Logging::WarnLevel);
    EXPECT_EQ(lines[0].message, "[WARNING] DICOM_Dim profile is missing.");
    EXPECT_EQ(lines[1].level, Korvel::DisplayCalibration::Common::Logging::InfoLevel);

    menu.SetWarningIcon();
    menu.SetNormalIcon();
    menu.HideTrayIcon();
    EXPECT_FALSE(menu.TrayIcon()->isVisible());
}

}  // namespace
