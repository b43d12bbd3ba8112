// What the running tray program does when the out-of-box wait has ended: the detector reports it a
// second time shortly after a start whose wait is over, and the program then corrects the installed
// profiles' tags (installing them once) and checks for updates through Vesperon.
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>

#include <gtest/gtest.h>

#include <memory>

using namespace TestSupport;

namespace {

const QString Feed = QStringLiteral("/downloads/autoupdate/KorvelTintwise/Vantrel/KorvelTintwise_win64_appcast.xml");

// The detector's second report comes 5 s (scaled) after the start.
constexpr qint64 DetectorStepMs = 5000;

class OutOfBoxEndTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(desktop.Ready());
        // The detector's report comes 5 s (scaled) after the start; one due before the start-up
        // has connected to it is lost.
        ScaleProgramWaitsWithLoad();
    }

    // Starts the program and waits for its two start-up update checks: the start's and the
    // out-of-box slot's.
    std::unique_ptr<TrayProgram> StartAndWaitForTheSlot()
    {
        machine.MarkJournal();
        auto program = std::make_unique<TrayProgram>(desktop, machine);
        EXPECT_FALSE(program->WaitForTrayMenu().isEmpty()) << program->ErrorOutput();
        EXPECT_EQ(machine.WaitForEvents("vesperon-check", 2, Patience(ProgramPatienceMs, DetectorStepMs)),
                  QStringList({"0", "0"}));
        return program;
    }

    void Quit(TrayProgram& program)
    {
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }

    TrayMachine machine;
    TrayDesktop desktop;
};

// The generated set's descriptions do not hold the panel identity: they are corrected and the set
// installed once; the next start finds nothing to do.
TEST_F(OutOfBoxEndTest, CorrectsOnceAndChecksForUpdates)
{
    {
        const std::unique_ptr<TrayProgram> program = StartAndWaitForTheSlot();
        const QStringList initialized = machine.Events("vesperon-initialize");
        ASSERT_EQ(initialized.size(), 1);
        EXPECT_TRUE(initialized.first().endsWith(Feed + " 0")) << initialized.first();
        const QStringList runs = machine.Events("run-elevated");
        ASSERT_EQ(runs.size(), 1);
        EXPECT_EQ(runs.first().count("--replace-profile"), FactorySet().profiles.size()) << runs.first();
        // The corrected files keep their associations and defaults: nothing is uninstalled.
        EXPECT_EQ(machine.Events("colour-uninstall"), QStringList());

        ASSERT_EQ(User({"trigger", "Preferences..."}).exitCode, 0);
        ASSERT_EQ(User({"click", "About_Button"}).exitCode, 0);
        ASSERT_EQ(User({"click", "CheckForUpdates_AboutPage_PushButton"}).exitCode, 0);
        EXPECT_EQ(machine.WaitForEvents("vesperon-check", 3), QStringList({"0", "0", "1"}));
        EXPECT_EQ(machine.Events("vesperon-initialize").size(), 1);
        Quit(*program);
    }
    const QString colour = ColourState()["colorDirectory"].toString();
    for (const QString& key : FactorySet().profiles) {
        EXPECT_EQ(TintwiseTest::ProfileDescription(colour + "/KVL_4A1C_" + key + ".icm"), "KVL4A1C_" + key);
    }

    Quit(*StartAndWaitForTheSlot());
    EXPECT_TRUE(machine.Events("run-elevated").isEmpty());
    EXPECT_TRUE(machine.MainLog().contains("CorrectTagsForAllProfiles() failed or not required"));
}

TEST_F(OutOfBoxEndTest, FailedUpdateCheckerInitialisationIsLoggedAndTheChecksAreMade)
{
    ASSERT_EQ(RunWinsim({"fail", "VesperonInitialize", "1460"}).exitCode, 0);
    Quit(*StartAndWaitForTheSlot());
    const QStringList initialized = machine.Events("vesperon-initialize");
    ASSERT_EQ(initialized.size(), 1);
    EXPECT_TRUE(initialized.first().endsWith(" 1460")) << initialized.first();
    EXPECT_TRUE(machine.MainLog().contains("WARN MainWindow <> - Failed to initialize Vesperon. Status: 1460"))
        << machine.MainLog().right(3000);
}

}  // namespace
