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
    if (preferencesShown) {
        ShowPreferences(program);
    }
    ASSERT_EQ(RunWinsim(QStringList{"set"} + change).exitCode, 0);
    Send("display-change");
    ASSERT_TRUE(machine.WaitForLogged(notice)) << machine.MainLog().right(3000);
    const QJsonObject shown = program.WaitForView([](const QJsonObject&) { return true; });
    EXPECT_EQ(ShowsWindow(shown, "PreferencesDialog"), preferencesShown);
    EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
}

// Picks `entry` and finds it the standard-mode default at its brightness, checked and stored for `gpu`.
void PickAndFind(TrayMachine& machine, TrayProgram& program, const QString& entry, const QString& file,
                 const QString& gpu, const QString& index)
{
    ASSERT_EQ(User({"trigger", entry}).exitCode, 0);
    EXPECT_EQ(machine.Events("colour-default"), QStringList{"currentUser RGB_WORKING_SPACE " + file});
    EXPECT_EQ(SchemeBrightness(), QStringList({PickedBrightness, PickedBrightness}));
    EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{entry});
    EXPECT_EQ(LastApplied(gpu), index);
}

// Quits, starts again and finds `entry` checked.
void RestartAndFindChecked(TrayMachine& machine, const TrayDesktop& desktop, TrayProgram& program,
                           const QString& entry)
{
    Quit(program);
    TrayProgram again(desktop, machine);
    const QJsonObject shown =
        again.WaitForView([](const QJsonObject& shown) { return !CheckedTexts(TrayMenuOf(shown)).isEmpty(); });
    EXPECT_EQ(CheckedTexts(TrayMenuOf(shown)), QStringList{entry}) << again.ErrorOutput();
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
             EXPECT_EQ(machine.Events("colour-display-default"),
                       QStringList{"0:58123:0 EXTENDED_DISPLAY_COLOR_MODE KVL_4A1C_Korvel_HDR10.icm"});
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             EXPECT_EQ(SchemeBrightness(), QStringList({PickedBrightness, PickedBrightness}));
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"HDR 10 (calibrated)"});
             Quit(program);
         }},
    {.name = "CalibrationSwitchedOffYesSwitchesItOnThenActivates",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisableCalibration();
             ASSERT_EQ(User({"answer", "Yes"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
             EXPECT_TRUE(machine.WaitForEvents("message-box", 1).first().contains(
                 "The Windows display calibration is disabled"));
             EXPECT_EQ(machine.Events("colour-calibration"), QStringList({"off", "on"}));
             EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
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
             EXPECT_TRUE(machine.WaitForEvents("message-box", 2).last().contains(
                 "cannot work if Windows display calibration is disabled"));
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
         },
     .exitCode = 1},
    {.name = "PerUserListRefusedShowsThePreviousChoiceAgain",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
             ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
             const QStringList boxes = machine.WaitForEvents("message-box", 2);
             ASSERT_EQ(boxes.size(), 2);
             EXPECT_TRUE(boxes.first().contains("Use my settings for this device")) << boxes.first();
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
             EXPECT_EQ(machine.Events("colour-default").size(), 1);
             EXPECT_EQ(LastApplied("Integrated"), "2");
             Quit(program);
         }},
    // After a first run there is no previous choice to show (-1).
    {.name = "PerUserListRefusedAfterAFirstRunChecksNothing",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "No"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
             ASSERT_EQ(machine.WaitForEvents("message-box", 2).size(), 2);
             const QJsonObject shown = program.WaitForView([](const QJsonObject&) { return true; });
             EXPECT_TRUE(CheckedTexts(TrayMenuOf(shown)).isEmpty());
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
             Quit(program);
         }},
    {.name = "FailingDefaultShowsTheShutdownNoteAndEndsWith0",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             ASSERT_EQ(RunWinsim({"fail", "WcsSetDefaultColorProfile", "5"}).exitCode, 0);
             ASSERT_EQ(User({"answer", "Ok"}).exitCode, 0);
             User({"trigger", "sRGB"});
             ASSERT_EQ(program.WaitForExit(), 0);
             const QStringList boxes = machine.WaitForEvents("message-box", 1);
             ASSERT_EQ(boxes.size(), 1);
             EXPECT_TRUE(boxes.first().startsWith("icon=critical")) << boxes.first();
             EXPECT_TRUE(boxes.first().contains("Failed to activate the profile.")) << boxes.first();
             EXPECT_TRUE(boxes.first().contains("Korvel Tintwise will shutdown.")) << boxes.first();
             EXPECT_EQ(LastApplied("Integrated"), NotApplied);
         }},
    // Lid and display events.
    {.name = "ClosedLidRefusesAPick",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Send("lid-close");
             Pick("sRGB");
             EXPECT_TRUE(machine.WaitForLogged("The lid must be opened to apply color profiles"));
             EXPECT_TRUE(CheckedTexts(program.WaitForTrayMenu()).isEmpty());
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
             Quit(program);
         }},
    {.name = "DisplayChangeBurstOn23H2ReactivatesOnce",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Pick("sRGB");
             Send("lid-close");
             Send("lid-open");
             for (int i = 0; i < 5; ++i) {
                 Send("display-change");
                 QThread::msleep(500);
             }
             ASSERT_TRUE(machine.WaitForLogged("Successfully activated KVL_4A1C_sRGB.icm\n"));
             // Longer than the 2 s the program waits for the last display change of a burst.
             QThread::msleep(2500);
             EXPECT_EQ(machine.Events("colour-default"), QStringList({PickedDefault, PickedDefault}));
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
             Quit(program);
         }},
    {.name = "DisplayChangeOn24H2KeepsThePick",
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             Pick("sRGB");
             Send("display-change");
             ASSERT_TRUE(machine.WaitForLogged("Active profile index after display change event: 3"));
             EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
             Quit(program);
         }},
    {.name = "HdrOnShowsTheHdrEntriesOnly",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"displays.0.hdr.enabled", "true"},
                                           "Detected the HDR mode of operating system was enabled", true);
             for (const QJsonValue& entry : program.WaitForTrayMenu()) {
                 EXPECT_FALSE(entry["checkable"].toBool() && entry["visible"].toBool()) << entry["text"].toString();
             }
             Quit(program);
         }},
    {.name = "CloneUnchecksTheEntry",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, const TrayDesktop&, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"topology", "clone"}, "Displays are in clone mode.",
                                           false);
             EXPECT_TRUE(CheckedTexts(program.WaitForTrayMenu()).isEmpty());
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
