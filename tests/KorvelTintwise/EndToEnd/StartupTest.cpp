// The tray program's start-up, run for real: on a machine with the generated factory set, under an
// Xvfb of its own with trayer as tray host, driven by the simulated user.
#include "tests/fixtures/TrayMachine.h"

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

TEST(StartupTest, ShowsTheProfilesInTheTrayAndQuits)
{
    TrayMachine machine;
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    const QJsonArray menu = program.WaitForTrayMenu();
    ASSERT_FALSE(menu.isEmpty()) << program.ErrorOutput();
    EXPECT_EQ(MenuTexts(menu), QStringList({"Korvel Tintwise", "Quick Selection", "Adobe RGB", "DCI-P3", "sRGB",
                                            "Default", "Not calibrated", "Preferences...", "Quit"}));
    EXPECT_TRUE(CheckedTexts(menu).isEmpty());
    EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_TRUE(ReadFile(program.PaintMark()).startsWith("painted "));
}

}  // namespace
