// The tray program's start-up, run for real: on a machine with the generated factory set, under an
// Xvfb of its own with trayer as tray host (or without one), driven by the simulated user. One
// table of cases: what the machine holds, what the user answers, the exit code, the boxes shown,
// the journal and the logs.
#include "Common/Profile/ProfileHelper.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString Panel = QStringLiteral("KVL_4A1C_");
const QStringList FactoryMenu{"Korvel Tintwise", "Quick Selection", "Adobe RGB", "DCI-P3", "sRGB", "Default",
                              "Not calibrated", "Preferences...", "Quit"};

// A box the journal shows: its icon and a part of its text.
struct Box {
    QString icon;
    QString text;
};

// A journal event and a part of its details.
struct Event {
    QString name;
    QString part;
};

struct StartCase {
    const char* name;
    std::function<void(FactorySet&)> set = [](FactorySet&) {};
    bool outOfBoxWaitOver = true;
    // Changes the machine after the set is installed, before the start.
    std::function<void(TrayMachine&)> prepare = [](TrayMachine&) {};
    bool trayHost = true;
    QStringList arguments = {};
    // Queued before the start, in order.
    QStringList answers = {};
    // What the user does while the program runs; by default the menu is checked and Quit chosen.
    std::function<void(TrayMachine&, const TrayDesktop&, TrayProgram&)> act = {};
    int exitCode = 0;
    QList<Box> boxes = {};
    // Journal events that must be there, and events that must not.
    QList<Event> journal = {};
    QStringList notJournalled = {};
    // Texts of the main and start-up logs, and texts they must not hold.
    QStringList logged = {};
    QStringList notLogged = {};
    // The start-up log ends with the separator line of a closed log.
    bool initLogClosed = true;
};

void PrintTo(const StartCase& start, std::ostream* stream)
{
    *stream << start.name;
}

void SetWaitScale(int scale)
{
    WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), scale);
}

// Waits until the tray menu's entries are `texts`, nothing checked; whether they came.
bool WaitForMenu(TrayProgram& program, const QStringList& texts)
{
    return !program
                .WaitForView([&texts](const QJsonObject& shown) {
                    return MenuTexts(TrayMenuOf(shown)) == texts && CheckedTexts(TrayMenuOf(shown)).isEmpty();
                })
                .isEmpty();
}

// The default user: the factory menu shows with nothing checked, then Quit.
void CheckMenuAndQuit(TrayMachine&, const TrayDesktop&, TrayProgram& program)
{
    EXPECT_TRUE(WaitForMenu(program, FactoryMenu)) << program.ErrorOutput();
    EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
}

// A second start while the first runs: it ends with 0 and the first reacts.
void StartAgain(const TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& first, const QStringList& arguments)
{
    ASSERT_FALSE(first.WaitForTrayMenu().isEmpty()) << first.ErrorOutput();
    TrayProgram second(desktop, machine, arguments);
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_EQ(RunWinsim({"reg", "get", "HKCU\\Software\\Korvel Inc\\Korvel Tintwise", "OOBE"}).out.trimmed(),
              QStringLiteral("user_ended_oobe"));
}

// The advanced-colour associations and defaults of the internal display's adapter.
QJsonObject AdvancedColourState()
{
    const QJsonObject colour = ColourState();
    const QJsonObject users = colour["displayAssociations"]["currentUser"].toObject();
    return users.isEmpty() ? QJsonObject() : users.begin()->toObject();
}

const StartCase Cases[] = {
    {.name = "StartShowsTheMenuAndQuits",
     .act = CheckMenuAndQuit,
     .journal = {{"power-register", "BA3E0F4D-B817-4094-A2D1-D56379E6A0F3"}, {"power-unregister", ""}},
     .logged = {"INFO: Timer single shot called.", "Korvel Tintwise has started."}},
    {.name = "SecondStartWithGuiShowsThePreferences",
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             StartAgain(machine, desktop, program, {"--withGUI"});
             EXPECT_FALSE(program
                              .WaitForView([](const QJsonObject& shown) {
                                  return ShowsWindow(shown, "PreferencesDialog");
                              })
                              .isEmpty());
             EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
         },
     .journal = {{"find-window", "class=null title=\"Korvel Tintwise\""}},
     .logged = {"Show GUI on the screen since the new runtime attempt requested it."}},
    {.name = "SecondStartWithoutGuiShowsTheNotice",
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             StartAgain(machine, desktop, program, {});
             // What is shown is read once the first start has handled the second.
             EXPECT_TRUE(WaitUntil([&machine] {
                 return machine.MainLog().contains("Notification message about new runtime attempt occurrence shown.");
             }));
             EXPECT_FALSE(
                 ShowsWindow(program.WaitForView([](const QJsonObject&) { return true; }), "PreferencesDialog"));
             EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
         },
     .notJournalled = {"find-window"},
     .logged = {"Korvel Tintwise is already running."}},
    {.name = "NoTrayHostEndsWith1",
     .trayHost = false,
     .answers = {"Ok"},
     .exitCode = 1,
     .boxes = {{"critical", "System tray not detected."}},
     .logged = {"INFO: QEN log successfully initialized.\n"},
     .notLogged = {"System tray availability checked."}},
    {.name = "ClosedLidEndsWith0",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "lid", "closed"}).exitCode, 0); },
     .answers = {"Ok"},
     .boxes = {{"information", "The lid must be opened to apply color profiles"}},
     .logged = {"ERROR: Laptop lid detected as closed.", "[Details: Internal panel is not available.]"}},
    {.name = "ClosedLidDuringTheOutOfBoxWaitShowsNoBox",
     .outOfBoxWaitOver = false,
     .prepare =
         [](TrayMachine&) {
             SetWaitScale(1);
             ASSERT_EQ(RunWinsim({"set", "lid", "closed"}).exitCode, 0);
         },
     .logged = {"ERROR: Laptop lid detected as closed."}},
    {.name = "UnwritableStartupLogEndsWith0",
     .prepare = [](TrayMachine& machine) { ASSERT_TRUE(QDir().mkpath(machine.LogFolder() + "/Init.log")); },
     .answers = {"Ok"},
     .boxes = {{"critical", "Unexpected error occurred:<br>Failure to open initialization log file."}},
     .initLogClosed = false},
    {.name = "NoInternalPanelEndsWith0",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "displays.0.outputTechnology", "10"}).exitCode, 0); },
     .answers = {"Ok"},
     .boxes = {{"information", "internal display is not available"}},
     .logged = {"ERROR: Unexpected error occurred: Korvel Tintwise is currently disabled"}},
    {.name = "CloneEndsWith1",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "topology", "clone"}).exitCode, 0); },
     .answers = {"Ok"},
     .exitCode = 1,
     .boxes = {{"critical", "cannot be started when internal display is turned off or displays are in clone"}},
     .logged = {"Application will shutdown."}},
    {.name = "CloneExtendedBeforeTheAnswerGoesOn",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "topology", "clone"}).exitCode, 0); },
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             ASSERT_FALSE(program.WaitForView(ShowsMessageBox).isEmpty()) << program.ErrorOutput();
             ASSERT_EQ(RunWinsim({"set", "topology", "extend"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             CheckMenuAndQuit(machine, desktop, program);
         },
     .boxes = {{"critical", "cannot be started when internal display is turned off"}}},
    {.name = "CalibrationOffYesSwitchesItOn",
     .set = [](FactorySet& set) { set.calibrationManagement = false; },
     .answers = {"Yes"},
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             CheckMenuAndQuit(machine, desktop, program);
             EXPECT_TRUE(ColourState()["calibrationManagement"].toBool());
         },
     .boxes = {{"question", "The Windows display calibration is disabled on your system."}},
     .journal = {{"run-elevated", "--color-calibration"}}},
    {.name = "CalibrationOffNoEndsWith1",
     .set = [](FactorySet& set) { set.calibrationManagement = false; },
     .answers = {"No", "Ok"},
     .exitCode = 1,
     .boxes = {{"question", "The Windows display calibration is disabled"},
               {"critical", "Korvel Tintwise cannot work if Windows display calibration is disabled."}},
     .notJournalled = {"run-elevated"}},
    {.name = "MissingSetNoEndsWith1",
     .set = [](FactorySet& set) { set.notInstalled = {"sRGB"}; },
     .outOfBoxWaitOver = false,
     .prepare = [](TrayMachine&) { SetWaitScale(1); },
     .answers = {"No", "Ok"},
     .exitCode = 1,
     .boxes = {{"question", "The ICC profiles customized for your display are missing from your system."},
               {"critical", "cannot work without the ICC profiles customized for your display."}}},
    {.name = "MissingSetNoAsksAboutTheLogonTask",
     .set = [](FactorySet& set) { set.notInstalled = {"sRGB"}; },
     .outOfBoxWaitOver = false,
     .prepare =
         [](TrayMachine&) {
             SetWaitScale(1);
             ASSERT_EQ(Run(BinaryPath("logontask"), {"enable"}).exitCode, 0);
         },
     .answers = {"No", "Ok", "Yes"},
     .exitCode = 1,
     .boxes = {{"question", "missing from your system"},
               {"critical", "cannot work without the ICC profiles"},
               {"question", "Would you like to disable \\\"Run on computer startup\\\" option"}},
     .journal = {{"run-elevated", "SchTasks /Delete"}}},
    {.name = "MissingSetWithHdrOnEndsWith1",
     .set = [](FactorySet& set) { set.notInstalled = {"sRGB"}; },
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "displays.0.hdr.enabled", "true"}).exitCode, 0); },
     .answers = {"Ok"},
     .exitCode = 1,
     .boxes = {{"critical", "HDR is turned on and ICC profiles customized for your display are missing"}}},
    {.name = "StartAtLogonWithMissingSetIsSilent",
     .set = [](FactorySet& set) { set.notInstalled = {"sRGB"}; },
     .outOfBoxWaitOver = false,
     .prepare = [](TrayMachine&) { SetWaitScale(1); },
     .arguments = {"--no-tray-notification-on-startup"},
     .act =
         [](TrayMachine&, const TrayDesktop&, TrayProgram& program) {
             EXPECT_TRUE(WaitForMenu(program, {"Korvel Tintwise", "Quick Selection", "Preferences...", "Quit"}))
                 << program.ErrorOutput();
             EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
         },
     .notLogged = {"has started."}},
    {.name = "AdvancedColourBefore24H2ActivatesAndChecksTheDefault",
     .prepare =
         [](TrayMachine&) {
             SetDisplayVersion23H2();
             ASSERT_EQ(RunWinsim({"reg", "set", "--type", "REG_DWORD",
                                  "HKLM\\SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\MonitorDataStore\\"
                                  "KVL4A1C0_0C_07E6_3B",
                                  "AdvancedColorEnabled", "1"})
                           .exitCode,
                       0);
         },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             EXPECT_EQ(program.WaitForChecked({"Default"}), QStringList({"Default"})) << program.ErrorOutput();
             ASSERT_EQ(machine.WaitForEvents("colour-display-default", 1).size(), 1);
             const QJsonObject state = AdvancedColourState();
             EXPECT_EQ(state["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"].toString(), Panel + "Default.icm")
                 << RunWinsim({"colour"}).out;
             EXPECT_EQ(User({"trigger", "Quit"}).exitCode, 0);
         },
     .journal = {{"colour-display-default", "EXTENDED_DISPLAY_COLOR_MODE KVL_4A1C_Default.icm"}},
     .logged = {"IsAdvancedProfileActivated:1", "Profile with index 3 marked as active."}},
    {.name = "AutomaticColourManagementLosesTheDefaultsAdvancedAssociation",
     .prepare =
         [](TrayMachine&) {
             Korvel::DisplayCalibration::Common::Profile::ProfileHelper().ActivateProfile(Panel + "Default.icm", true);
             ASSERT_EQ(AdvancedColourState()["advancedColorProfiles"].toArray().size(), 1);
         },
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             CheckMenuAndQuit(machine, desktop, program);
             EXPECT_TRUE(AdvancedColourState()["advancedColorProfiles"].toArray().isEmpty());
         },
     .journal = {{"colour-display-disassociate", "advancedColorProfiles KVL_4A1C_Default.icm"}},
     .logged = {"Is ACM supported: 1"}},
    {.name = "MissingPanelValuesAreWrittenOnce",
     .set =
         [](FactorySet& set) {
             set.panelValues = false;
             set.deviceId = false;
         },
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             CheckMenuAndQuit(machine, desktop, program);
             ASSERT_EQ(program.WaitForExit(), 0);
             EXPECT_EQ(machine.Events("run-elevated").size(), 1);
             TrayProgram again(desktop, machine);
             CheckMenuAndQuit(machine, desktop, again);
             EXPECT_EQ(again.WaitForExit(), 0);
             EXPECT_EQ(machine.Events("run-elevated").size(), 1);
         },
     .journal = {{"registry-set", "DisplayDeviceId=MONITOR"}}},
    {.name = "RefusedDeviceIdPromptRunsOn",
     .set = [](FactorySet& set) { set.deviceId = false; },
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "elevation.prompt", "refuse"}).exitCode, 0); },
     .act = CheckMenuAndQuit,
     .journal = {{"elevation-prompt", "refuse"}},
     .logged = {"Failed to register the display device id."}},
    {.name = "FailingUnregisterEndsCleanly",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"fail", "UnregisterPowerSettingNotification", "5"}).exitCode, 0); },
     .act = CheckMenuAndQuit,
     .notJournalled = {"power-unregister"},
     .logged = {"Failure to unregister from power settings notification.", "Power settings changed event filter uninitialized."}},
};

class StartupTest : public testing::TestWithParam<StartCase> {};

TEST_P(StartupTest, EndsAsExpected)
{
    const StartCase& start = GetParam();
    FactorySet set;
    start.set(set);
    TrayMachine machine(set, start.outOfBoxWaitOver);
    start.prepare(machine);
    if (testing::Test::HasFatalFailure()) {
        return;
    }
    for (const QString& answer : start.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    const TrayDesktop desktop(start.trayHost);
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine, start.arguments);
    if (start.act) {
        start.act(machine, desktop, program);
    }
    EXPECT_EQ(program.WaitForExit(), start.exitCode) << program.ErrorOutput().right(2000).toStdString();

    const QStringList boxes = machine.Events(QStringLiteral("message-box"));
    ASSERT_EQ(boxes.size(), start.boxes.size()) << boxes.join('\n');
    for (int i = 0; i < boxes.size(); ++i) {
        EXPECT_TRUE(boxes[i].startsWith("icon=" + start.boxes[i].icon + " title=\"Korvel Tintwise\"")) << boxes[i];
        EXPECT_TRUE(boxes[i].contains(start.boxes[i].text)) << boxes[i];
    }
    const QString journal = WinSim::ReadJournal().join('\n');
    for (const Event& event : start.journal) {
        EXPECT_FALSE(machine.Events(event.name).filter(event.part).isEmpty()) << event.name << " " << event.part << "\n"
                                                                            << journal;
    }
    for (const QString& event : start.notJournalled) {
        EXPECT_TRUE(machine.Events(event).isEmpty()) << event;
    }
    const QString logs = machine.MainLog() + machine.InitLog();
    for (const QString& text : start.logged) {
        EXPECT_TRUE(logs.contains(text)) << text << "\n" << machine.InitLog();
    }
    for (const QString& text : start.notLogged) {
        EXPECT_FALSE(logs.contains(text)) << text;
    }
    if (start.initLogClosed) {
        EXPECT_TRUE(machine.InitLog().endsWith("  =-=-=-=-=-=-=-=-=-=-=-=-=\n")) << machine.InitLog().right(300);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StartupTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

}  // namespace

// Under a German locale Qt's own texts are German (its translations stand in the program folder's
// "translations"), the program's own stay English.
TEST(StartupLocaleTest, QtTextsFollowTheUsersLocale)
{
    FactorySet set;
    set.calibrationManagement = false;
    TrayMachine machine(set);
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    const ScopedEnvironment locale("LC_ALL", "de_DE.UTF-8");
    const ScopedEnvironment language("LANGUAGE", nullptr);
    TrayProgram program(desktop, machine);
    const QJsonObject shown = program.WaitForView(ShowsMessageBox);
    ASSERT_FALSE(shown.isEmpty()) << program.ErrorOutput();
    const QJsonObject box = shown["windows"].toArray().last()["messageBox"].toObject();
    QStringList buttons;
    for (const QJsonValue& button : box["buttons"].toArray()) {
        buttons << button.toString();
    }
    EXPECT_EQ(buttons, QStringList({"Ja", "Nein"}));
    EXPECT_TRUE(box["text"].toString().startsWith("The Windows display calibration is disabled")) << box["text"].toString();
    ASSERT_EQ(User({"answer", "Ja"}).exitCode, 0);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty());
    ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    const QStringList boxes = machine.Events("message-box");
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].endsWith(" answer=\"Ja\"")) << boxes[0];
}
