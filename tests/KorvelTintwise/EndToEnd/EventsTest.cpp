// The running tray program's reactions to lid and display events sent through winsim: a closed lid
// refuses a pick, a burst of display changes re-activates the chosen profile once, HDR and clone
// modes activate nothing. KorvelTintwise runs for real under an Xvfb of its own with trayer.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString PickedDefault = QStringLiteral("currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm");

struct EventCase {
    const char* name;
    std::function<void(TrayMachine&)> prepare = [](TrayMachine&) {};
    std::function<void(TrayMachine&, TrayProgram&)> act;
};

void PrintTo(const EventCase& item, std::ostream* stream)
{
    *stream << item.name;
}

void Send(const QString& event)
{
    ASSERT_EQ(RunWinsim({"event", event}).exitCode, 0);
}

// True once the program's main log holds `text` (20 s at most).
bool WaitForLogged(const TrayMachine& machine, const QString& text)
{
    const QDeadlineTimer deadline(20000);
    while (!machine.MainLog().contains(text)) {
        if (deadline.hasExpired()) {
            return false;
        }
        QThread::msleep(100);
    }
    return true;
}

void Pick(const QString& entry)
{
    ASSERT_EQ(User({"trigger", entry}).exitCode, 0);
}

void ShowPreferences(TrayProgram& program)
{
    Pick(QStringLiteral("Preferences..."));
    ASSERT_FALSE(
        program.WaitForView([](const QJsonObject& shown) { return ShowsWindow(shown, "PreferencesDialog"); }).isEmpty());
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
    ASSERT_TRUE(WaitForLogged(machine, notice)) << machine.MainLog().right(3000);
    const QJsonObject shown = program.WaitForView([](const QJsonObject&) { return true; });
    EXPECT_EQ(ShowsWindow(shown, "PreferencesDialog"), preferencesShown);
    EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
}

const EventCase Cases[] = {
    {.name = "ClosedLidRefusesAPick",
     .act =
         [](TrayMachine& machine, TrayProgram& program) {
             Send("lid-close");
             Pick("sRGB");
             EXPECT_TRUE(WaitForLogged(machine, "The lid must be opened to apply color profiles"));
             EXPECT_TRUE(CheckedTexts(program.WaitForTrayMenu()).isEmpty());
             EXPECT_TRUE(machine.Events("colour-default").isEmpty());
         }},
    {.name = "DisplayChangeBurstOn23H2ReactivatesOnce",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, TrayProgram& program) {
             Pick("sRGB");
             Send("lid-close");
             Send("lid-open");
             for (int i = 0; i < 5; ++i) {
                 Send("display-change");
                 QThread::msleep(500);
             }
             ASSERT_TRUE(WaitForLogged(machine, "Successfully activated KVL_4A1C_sRGB.icm\n"));
             // Longer than the 2 s the program waits for the last display change of a burst.
             QThread::msleep(2500);
             EXPECT_EQ(machine.Events("colour-default"), QStringList({PickedDefault, PickedDefault}));
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
         }},
    {.name = "DisplayChangeOn24H2KeepsThePick",
     .act =
         [](TrayMachine& machine, TrayProgram& program) {
             Pick("sRGB");
             Send("display-change");
             ASSERT_TRUE(WaitForLogged(machine, "Active profile index after display change event: 3"));
             EXPECT_EQ(machine.Events("colour-default"), QStringList{PickedDefault});
             EXPECT_EQ(CheckedTexts(program.WaitForTrayMenu()), QStringList{"sRGB"});
         }},
    {.name = "HdrOnShowsTheHdrEntriesOnly",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"displays.0.hdr.enabled", "true"},
                                           "Detected the HDR mode of operating system was enabled", true);
             for (const QJsonValue& entry : program.WaitForTrayMenu()) {
                 EXPECT_FALSE(entry["checkable"].toBool() && entry["visible"].toBool()) << entry["text"].toString();
             }
         }},
    {.name = "CloneUnchecksTheEntry",
     .prepare = [](TrayMachine&) { SetDisplayVersion23H2(); },
     .act =
         [](TrayMachine& machine, TrayProgram& program) {
             DisplayChangeActivatesNothing(machine, program, {"topology", "clone"}, "Displays are in clone mode.", false);
             EXPECT_TRUE(CheckedTexts(program.WaitForTrayMenu()).isEmpty());
         }},
};

class EventsTest : public testing::TestWithParam<EventCase> {};

TEST_P(EventsTest, KeepOrRefuseTheProfile)
{
    const EventCase& item = GetParam();
    TrayMachine machine;
    item.prepare(machine);
    if (testing::Test::HasFatalFailure()) {
        return;
    }
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    machine.MarkJournal();
    item.act(machine, program);
    ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0) << program.ErrorOutput().right(2000);
}

INSTANTIATE_TEST_SUITE_P(Cases, EventsTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<EventCase>& info) { return std::string(info.param.name); });

}  // namespace
