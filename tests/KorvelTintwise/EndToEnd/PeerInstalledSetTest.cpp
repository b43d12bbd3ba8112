// The running tray program after Quillon, the display-replacement updater, has installed another set
// from the profile server: it sees the set as it now is (panel values and files read again) and
// takes the set as its own, with no question. Run for real: KorvelTintwise under an Xvfb of its own
// with trayer, Quillon driven by the simulated user, the real Tessaly installing.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
// The new set: DCI-P3 is no longer part of it, and its sRGB profile carries another brightness.
const QStringList NewSet{"sRGB", "AdobeRGB", "Default", "Native"};
const QString NewBrightness = QStringLiteral("80");
const QString PickedDefault = QStringLiteral("currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm");
// A step that reads the new set (its previews included) may take long on a loaded machine.
const QString StepTimeout = QStringLiteral("60000");

// The panel's new set as the server serves it, with its "PanelInfo.xml".
QString MakeArchive(const QString& folder)
{
    const QString archive = folder + "/archive.zip";
    const ProcessResult made =
        Run(QStringLiteral("python3"), {BinaryPath("make_panel_archive.py"), "--output", archive, "--format",
                                        FactorySet().format, "--profiles", NewSet.join(','), "--brightness", "60",
                                        "--brightness", "sRGB=" + NewBrightness});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return archive;
}

// Quillon installs the server's set for the typed serial number and ends.
void RunQuillon()
{
    ASSERT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);  // the outcome
    QProcess quillon;
    quillon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    quillon.start(BinaryPath("winsim"), {"run", "--", BinaryPath("Quillon")});
    ASSERT_TRUE(quillon.waitForStarted(10000)) << quillon.errorString();
    for (const QStringList& step : {QStringList{"type", "--timeout", StepTimeout, "lineEditPanelID", Serial.toLower()},
                                    QStringList{"click", "--timeout", StepTimeout, "pushButtonUpdateProfiles"},
                                    QStringList{"click", "--timeout", "120000", "pushButtonCancel"}}) {
        const ProcessResult done = User(QStringList{step.first(), "--program", "Quillon"} + step.mid(1));
        EXPECT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err;
    }
    ASSERT_TRUE(quillon.waitForFinished(60000));
    EXPECT_EQ(quillon.exitCode(), 0);
}

// The factory set with none of its profiles installed and no panel values.
FactorySet NothingInstalled()
{
    FactorySet set;
    set.notInstalled = set.profiles;
    set.panelValues = false;
    return set;
}

struct PeerCase {
    const char* name;
    // What the machine holds when the tray program starts.
    FactorySet set = FactorySet();
    // What the user does in the tray program once Quillon has ended, before the pick.
    std::function<void(TrayProgram&)> then = [](TrayProgram&) {};
    // The entry picked then; it is applied when the new set has it.
    QString pick = QStringLiteral("sRGB");
    bool applied = true;
};

void PrintTo(const PeerCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const PeerCase Cases[] = {
    // The program started with the factory set, whose DCI-P3 profile the new set removes.
    {.name = "ReplacedSetIsTakenAtTheNextPick"},
    // Started without any set, the program waits for the user's next step to ask for it; the set
    // is there by then.
    {.name = "SetMissingAtStartIsTakenWhenPreferencesOpen",
     .set = NothingInstalled(),
     .then =
         [](TrayProgram& program) {
             const ProcessResult opened =
                 User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, "Preferences..."});
             ASSERT_EQ(opened.exitCode, 0) << opened.err;
             const auto preferences = [](const QJsonObject& shown) { return ShowsWindow(shown, "PreferencesDialog"); };
             EXPECT_FALSE(program.WaitForView(preferences).isEmpty());
         }},
    // The menu still showed the entry of a profile the new set no longer has: nothing is applied.
    {.name = "PickOfAProfileTheNewSetLacksAppliesNothing", .pick = QStringLiteral("DCI-P3"), .applied = false},
};

class PeerInstalledSetTest : public testing::TestWithParam<PeerCase> {};

TEST_P(PeerInstalledSetTest, NoQuestionAndTheNewProfileIsApplied)
{
    const PeerCase& item = GetParam();
    TrayMachine machine(item.set);
    QTemporaryDir files;
    ProfileServer server({"--archive", Serial + "=" + MakeArchive(files.path())});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine);
    ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
    // Quillon's own waits (its 130 s guard among them) at their real length.
    ASSERT_EQ(RunWinsim({"set", "time.waitScale", "1"}).exitCode, 0);
    RunQuillon();
    if (HasFatalFailure()) {
        return;
    }
    const QStringList installed = machine.Events("run-elevated");
    ASSERT_EQ(installed.size(), 1);
    EXPECT_EQ(installed.first().count("--install-profile"), NewSet.size()) << installed.first();

    machine.MarkJournal();
    item.then(program);
    const ProcessResult picked = User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, item.pick});
    ASSERT_EQ(picked.exitCode, 0) << picked.err;
    // The pick's road has ended: no question, and the new sRGB profile at its own brightness.
    EXPECT_EQ(machine.Events("message-box"), QStringList());
    EXPECT_EQ(machine.Events("colour-default"), item.applied ? QStringList{PickedDefault} : QStringList());
    if (item.applied) {
        EXPECT_EQ(SchemeBrightness(), QStringList({NewBrightness, NewBrightness}));
    }
    // The menu lists the new set and marks the pick.
    const QStringList checked = item.applied ? QStringList{item.pick} : QStringList();
    const QJsonObject shown = program.WaitForView(
        [&checked](const QJsonObject& shown) {
            return !MenuTexts(TrayMenuOf(shown)).contains("DCI-P3") && CheckedTexts(TrayMenuOf(shown)) == checked;
        });
    EXPECT_TRUE(MenuTexts(TrayMenuOf(shown)).contains("Adobe RGB")) << MenuTexts(TrayMenuOf(shown)).join(", ");

    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(machine.Events("message-box"), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, PeerInstalledSetTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<PeerCase>& info) { return std::string(info.param.name); });

}  // namespace
