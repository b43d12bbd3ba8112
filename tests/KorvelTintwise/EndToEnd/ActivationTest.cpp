// Picking a profile in the tray and keeping it across lid and display events, run for real:
// KorvelTintwise on a machine with the generated factory set, under an Xvfb of its own with trayer,
// driven by the simulated user and winsim's events. What Windows then holds (winsim colour's
// journal, the power scheme, the per-user settings) and what the menu shows.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TrayMachine.h"

#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString UserKey = QStringLiteral("HKCU\\Software\\Korvel Inc\\Korvel Tintwise");
// The brightness level of the profile picked (the others carry the factory's 60).
const QString PickedBrightness = QStringLiteral("80");
// The index stored after a first run (-1), as the registry shows the DWORD.
const QString NotApplied = QString::number(quint32(-1));
const QString PickedDefault = QStringLiteral("currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm");
// The program handles a burst of display changes this long after its last one (not scaled).
constexpr unsigned long SettleMs = 2000;


struct ActivationCase {
    const char* name;
    std::function<void(FactorySet&)> set = [](FactorySet&) {};
    // Changes the machine before the start.
    std::function<void(TrayMachine&)> prepare = [](TrayMachine&) {};
    // What the user does once the menu shows, and what is then found; the program is left to end.
    std::function<void(TrayMachine&, const TrayDesktop&, TrayProgram&)> act;
    int exitCode = 0;
};

void PrintTo(const ActivationCase& item, std::ostream* stream)
{
    *stream << item.name;
}

QString LastApplied(const QString& gpu)
{
    return RunWinsim({"reg", "get", UserKey, "LastAppliedProfile" + gpu + "GPU"}).out.trimmed();
}

// The boxes closed since the mark, once there are `count` of them.
QStringList WaitForBoxes(const TrayMachine& machine, int count)
{
    return machine.WaitForEvents(QStringLiteral("message-box"), count);
}

// The standard-mode defaults set since the mark, once there are `count` of them.
QStringList WaitForDefaults(const TrayMachine& machine, int count)
{
    return machine.WaitForEvents(QStringLiteral("colour-default"), count);
}

void Quit(TrayProgram& program)
{
    ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    ASSERT_EQ(program.WaitForExit(), 0);
}

void DisableCalibration()
{
    ASSERT_EQ(
        RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--color-calibration", "disabled"}).exitCode, 0);
}

void Send(const QString& event)
{
    ASSERT_EQ(RunWinsim({"event", event}).exitCode, 0);
}

void Pick(const QString& entry)
{
    ASSERT_EQ(User({"trigger", entry}).exitCode, 0);
}

void ShowPreferences(TrayProgram& program)
{
    Pick(QStringLiteral("Preferences..."));
    ASSERT_FALSE(
        program.WaitForView([](const QJsonObject& shown) { return ShowsWindow(shown, "PreferencesDialog"); })
            .isEmpty());
}

// A display change after `change`: the program logs `notice`, activates nothing and keeps the
// preferences window as it was.
void DisplayChangeActivatesNothing(TrayMachine& machine, TrayProgram& program, const QStringList& change,
                                   const QString& notice, bool preferencesShown)
{
    Pick(QStringLiteral("sRGB"));
    ASSERT_EQ(WaitForDefaults(machine, 1).size(), 1);
    if (preferencesShown) {
        ShowPreferences(program);
    }
    ASSERT_EQ(RunWinsim(QStringList{"set"} + change).exitCode, 0);
    Send("display-change");
    // The notice is logged while the change is handled; what is shown is read after it.
    ASSERT_TRUE(machine.WaitForLogged(notice)) << machine.MainLog().right(3000);
    EXPECT_FALSE(program
                     .WaitForView([preferencesShown](const QJsonObject& shown) {
                         return ShowsWindow(shown, "PreferencesDialog") == preferencesShown;
                     })
                     .isEmpty());
    EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
}

// A pick after `ask` asks its question; `change` makes the question moot while it is open; the No
// then refuses nothing: the pick applies, and no other box follows.
void NoAfterTheStateChanged(TrayMachine& machine, TrayProgram& program, const std::function<void()>& ask,
                            const std::function<void()>& change, const QString& question)
{
    ask();
    machine.MarkJournal();
    ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
    ASSERT_EQ(machine.WaitForEvents("message-box-shown", 1).size(), 1);
    change();
    ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
    EXPECT_EQ(WaitForDefaults(machine, 1), QStringList{PickedDefault});
    EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
    Quit(program);
    const QStringList boxes = machine.Events("message-box");
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n').toStdString();
    EXPECT_TRUE(boxes.first().contains(question)) << boxes.first();
    EXPECT_TRUE(boxes.first().endsWith("answer=\"No\"")) << boxes.first();
}

// Picks `entry` and finds it the standard-mode default at its brightness, checked and stored for `gpu`.
void PickAndFind(TrayMachine& machine, TrayProgram& program, const QString& entry, const QString& file,
                 const QString& gpu, const QString& index)
{
    ASSERT_EQ(User({"trigger", entry}).exitCode, 0);
    EXPECT_EQ(WaitForDefaults(machine, 1), QStringList{"currentUser RGB_WORKING_SPACE " + file});
    EXPECT_TRUE(WaitUntil([] { return SchemeBrightness() == QStringList({PickedBrightness, PickedBrightness}); }))
        << SchemeBrightness().join(' ').toStdString();
    EXPECT_EQ(program.WaitForChecked({entry}), QStringList{entry});
    EXPECT_TRUE(WaitUntil([&] { return LastApplied(gpu) == index; })) << LastApplied(gpu);
}

// Quits, starts again and finds `entry` checked.
void RestartAndFindChecked(TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program,
                           const QString& entry)
{
    Quit(program);
    TrayProgram again(desktop, machine);
    EXPECT_EQ(again.WaitForChecked({entry}), QStringList{entry}) << again.ErrorOutput();
    Quit(again);
}

const ActivationCase Cases[] = {
    {.name = "PickedProfileIsTheDefaultOn24H2",
     .set = [](FactorySet& set) { set.makerArguments << "--brightness" << "AdobeRGB=" + PickedBrightness; },
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             PickAndFind(machine, program, "Adobe RGB", "KVL_4A1C_AdobeRGB.icm", "Integrated", "0");
             RestartAndFindChecked(machine, desktop, program, "Adobe RGB");
         }},
    {.name = "PickedProfileIsTheDefaultOn23H2InDiscreteMode",
     .set = [](FactorySet& set) { set.makerArguments << "--brightness" << "sRGB=" + PickedBrightness; },
     .prepare =
         [](TrayMachine&) {
             SetDisplayVersion23H2();
             ASSERT_EQ(RunWinsim({"set", "gpu.nvapi", "true"}).exitCode, 0);
             ASSERT_EQ(RunWinsim({"set", "gpu.ddsMode", "2"}).exitCode, 0);
         },
     .act =
         [](TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program) {
             PickAndFind(machine, program, "sRGB", "KVL_4A1C_sRGB.icm", "Discrete", "2");
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
             RestartAndFindChecked(machine, desktop, program, "sRGB");
         }},
    {.name = "Hdr10ProfileIsTheAdvancedColourDefault",
     .set =
         [](FactorySet& set) {
             set.hdr10Profiles = {"Korvel_HDR10"};
             set.hdr10MakerArguments = {"--brightness", PickedBrightness};
         },
     .prepare =
         [](TrayMachine&) {
             ASSERT_EQ(RunWinsim({"set", "displays.0.hdr.enabled", "true"}).exitCode, 0);
             // A model the shipped configuration filters no profile for (the default one offers no HDR10 profile).
             ASSERT_EQ(RunWinsim({"set", "bios.model", "21KV0099US"}).exitCode, 0);
         },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(User({"trigger", "HDR 10 (calibrated)"}).exitCode, 0);
             EXPECT_EQ(machine.WaitForEvents("colour-display-default", 1),
                       QStringList{"0:58123:0 EXTENDED_DISPLAY_COLOR_MODE KVL_4A1C_Korvel_HDR10.icm"});
             EXPECT_TRUE(WaitUntil([] { return SchemeBrightness() == QStringList({PickedBrightness, PickedBrightness}); }))
                 << SchemeBrightness().join(' ').toStdString();
             EXPECT_EQ(program.WaitForChecked({"HDR 10 (calibrated)"}), QStringList{"HDR 10 (calibrated)"});
             Quit(program);
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
         }},
    {.name = "CalibrationSwitchedOffYesSwitchesItOnThenActivates",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisableCalibration();
             ASSERT_EQ(User({"answer", "Yes"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
             EXPECT_TRUE(WaitForBoxes(machine, 1).value(0).contains("The Windows display calibration is disabled"));
             EXPECT_EQ(WaitForDefaults(machine, 1), QStringList{PickedDefault});
             EXPECT_EQ(machine.Events("colour-calibration"), QStringList({"off", "on"}));
             EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
             Quit(program);
         }},
    {.name = "CalibrationSwitchedOffNoEndsWith1",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisableCalibration();
             ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             User({"trigger", "sRGB"});
             ASSERT_EQ(program.WaitForExit(), 1);
             EXPECT_TRUE(machine.Events("message-box").value(1).contains(
                 "cannot work if Windows display calibration is disabled"));
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
         },
     .exitCode = 1},
    // The state a question asks about changed while it was open: a No then refuses nothing.
    {.name = "CalibrationSwitchedOnWhileAskedNoActivates",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             NoAfterTheStateChanged(machine, program, DisableCalibration, [] {
                 ASSERT_EQ(RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--color-calibration",
                                      "enabled"})
                               .exitCode,
                           0);
             }, "The Windows display calibration is disabled");
         }},
    {.name = "PerUserListSwitchedOnWhileAskedNoActivates",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             NoAfterTheStateChanged(
                 machine, program, [] { ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0); },
                 [] { ASSERT_EQ(RunWinsim({"colour", "per-user", "on"}).exitCode, 0); },
                 "Use my settings for this device");
         }},
    {.name = "PerUserListRefusedShowsThePreviousChoiceAgain",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
             ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
             const QStringList boxes = WaitForBoxes(machine, 2);
             ASSERT_EQ(boxes.size(), 2);
             EXPECT_TRUE(boxes.first().contains("Use my settings for this device")) << boxes.first();
             EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
             Quit(program);
             EXPECT_EQ(machine.Events("colour-default").size(), 1);
             EXPECT_EQ(LastApplied("Integrated"), "2");
         }},
    // After a first run there is no previous choice to show (-1).
    {.name = "PerUserListRefusedAfterAFirstRunChecksNothing",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
             ASSERT_EQ(WaitForBoxes(machine, 2).size(), 2);
             EXPECT_EQ(program.WaitForChecked({}), QStringList());
             Quit(program);
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
         }},
    {.name = "FailingDefaultShowsTheShutdownNoteAndEndsWith0",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(RunWinsim({"fail", "WcsSetDefaultColorProfile", "5"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             User({"trigger", "sRGB"});
             ASSERT_EQ(program.WaitForExit(), 0);
             const QStringList boxes = WaitForBoxes(machine, 1);
             ASSERT_EQ(boxes.size(), 1);
             EXPECT_TRUE(boxes.first().startsWith("icon=critical")) << boxes.first();
             EXPECT_TRUE(boxes.first().contains("Failed to activate the profile.")) << boxes.first();
             EXPECT_TRUE(boxes.first().contains("Korvel Tintwise will shutdown.")) << boxes.first();
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
         }},
    // What no handler of the pick takes ends the program as the event dispatch would (and nothing
    // of Qt's menu code is left behind: the sanitizer build checks the exit).
    {.name = "UnstorableChoiceShowsTheUnexpectedErrorAndEndsWith0",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(RunWinsim({"reg", "readonly", UserKey, "on"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             User({"trigger", "sRGB"});
             ASSERT_EQ(program.WaitForExit(), 0) << program.ErrorOutput();
             const QStringList boxes = WaitForBoxes(machine, 1);
             ASSERT_EQ(boxes.size(), 1);
             EXPECT_TRUE(boxes.first().startsWith("icon=critical title=\"Korvel Tintwise\" text=\"Unexpected error "
                                                  "occurred:<br>Failed to write last applied profile index"))
                 << boxes.first();
             EXPECT_TRUE(boxes.first().contains("Korvel Tintwise will shutdown.")) << boxes.first();
             EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
         }},
    // Lid and display events.
    {.name = "ClosedLidRefusesAPick",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Send("lid-close");
             Pick("sRGB");
             EXPECT_TRUE(machine.WaitForLogged("The lid must be opened to apply color profiles"));
             EXPECT_EQ(program.WaitForChecked({}), QStringList());
             Quit(program);
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
         }},
    {.name = "DisplayChangeBurstOn23H2ReactivatesOnce",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Pick("sRGB");
             ASSERT_EQ(WaitForDefaults(machine, 1).size(), 1);
             Send("lid-close");
             Send("lid-open");
             // One winsim run sends the burst: no start-up of winsim between its events.
             ASSERT_EQ(RunWinsim({"event", "display-change", "--repeat", "5"}).exitCode, 0);
             ASSERT_TRUE(machine.WaitForLogged("Successfully activated KVL_4A1C_sRGB.icm\n"));
             // A second reactivation would come within the program's settling time (2 s, not
             // scaled) of the first: it has that time to show before the program is ended.
             QThread::msleep(SettleMs + 500);
             EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
             Quit(program);
             EXPECT_EQ(machine.Events("colour-default"), QStringList({PickedDefault, PickedDefault}));
         }},
    {.name = "DisplayChangeOn24H2KeepsThePick",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Pick("sRGB");
             ASSERT_EQ(WaitForDefaults(machine, 1).size(), 1);
             Send("display-change");
             ASSERT_TRUE(machine.WaitForLogged("Active profile index after display change event: 3"));
             EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
             Quit(program);
             EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
         }},
    {.name = "HdrOnShowsTheHdrEntriesOnly",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"displays.0.hdr.enabled", "true"},
                                           "Detected the HDR mode of operating system was enabled", true);
             const auto visibleProfiles = [](const QJsonObject& shown) {
                 QStringList texts;
                 for (const QJsonValue& entry : TrayMenuOf(shown)) {
                     if (entry["checkable"].toBool() && entry["visible"].toBool()) {
                         texts << entry["text"].toString();
                     }
                 }
                 return texts;
             };
             EXPECT_FALSE(program
                              .WaitForView([&](const QJsonObject& shown) {
                                  return !TrayMenuOf(shown).isEmpty() && visibleProfiles(shown).isEmpty();
                              })
                              .isEmpty());
             Quit(program);
         }},
    {.name = "CloneUnchecksTheEntry",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"topology", "clone"}, "Displays are in clone mode.",
                                           false);
             EXPECT_EQ(program.WaitForChecked({}), QStringList());
             Quit(program);
         }},
};

class ActivationTest : public testing::TestWithParam<ActivationCase> {};

TEST_P(ActivationTest, EndsAsExpected)
{
    const ActivationCase& item = GetParam();
    FactorySet set;
    item.set(set);
    TrayMachine machine(set);
    item.prepare(machine);
    if (testing::Test::HasFatalFailure()) {
        return;
    }
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    machine.MarkJournal();
    item.act(machine, desktop, program);
    EXPECT_EQ(program.WaitForExit(), item.exitCode) << program.ErrorOutput().right(2000);
}

INSTANTIATE_TEST_SUITE_P(Cases, ActivationTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<ActivationCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
