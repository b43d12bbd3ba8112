// What the running tray program asks and reports, run for real (KorvelTintwise under an Xvfb of its
// own with trayer, driven by the simulated user and winsim's events): a road whose question is open
// does not ask again, a box left open at start-up lets no elevated run start for nothing, and a
// failed read is reported as one, never as a state the machine is not in. Outcomes are read from
// the journal's order of events.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

// A box of the journal: its icon and a piece of its text.
struct Box {
    QString icon;
    QString text;
};

void ExpectBoxes(const QStringList& boxes, const QList<Box>& expected)
{
    ASSERT_EQ(boxes.size(), expected.size()) << boxes.join('\n').toStdString();
    for (int i = 0; i < boxes.size(); ++i) {
        EXPECT_TRUE(boxes[i].startsWith("icon=" + expected[i].icon + " title=\"Korvel Tintwise\"")) << boxes[i];
        EXPECT_TRUE(boxes[i].contains(expected[i].text)) << boxes[i];
    }
}

void Tessaly(const QStringList& arguments)
{
    ASSERT_EQ(RunWinsim(QStringList{"run", "--elevated", "--", BinaryPath("Tessaly")} + arguments).exitCode, 0);
}

void DisableCalibration()
{
    Tessaly({"--color-calibration", "disabled"});
}

const Box RestorationQuestion{"question", "The ICC profiles customized for your display are missing from your system."};
const Box RestorationRefused{"critical", "cannot work without the ICC profiles customized for your display."};
const Box CalibrationQuestion{"question", "The Windows display calibration is disabled on your system."};
const Box CalibrationRefused{"critical", "cannot work if Windows display calibration is disabled."};

// --- A road whose question is open -------------------------------------------------------------

struct RepeatCase {
    const char* name;
    FactorySet set = FactorySet();
    // Makes the road ask, once the program runs.
    std::function<void()> makeAsk = [] {};
    // Starts the road for the `n`th time (from 0); the first start opens the question.
    std::function<void(TrayMachine&, TrayProgram&, int n)> start;
    // Queued once the road was started three times.
    QStringList answers;
    QList<Box> boxes;
    // The program ends by itself with this code; -1: it runs on and the user quits.
    int exitCode = -1;
    // Waits, once the boxes are answered, for what the program still does before the user quits.
    std::function<void(TrayMachine&)> settle = [](TrayMachine&) {};
    // Picked and applied before the road asks: the tray menu's mark stays on it throughout.
    QString marked = QString();
};

void PrintTo(const RepeatCase& item, std::ostream* stream)
{
    *stream << item.name;
}

// A step's wait, counted from its start to the end of its action, on a loaded machine.
const QString StepTimeout = QStringLiteral("60000");

void PickNow(const QString& entry)
{
    const ProcessResult picked = User({"trigger", "--timeout", StepTimeout, entry});
    ASSERT_EQ(picked.exitCode, 0) << picked.err;
}

// The first pick asks; the others are of other entries.
void Pick(TrayMachine&, TrayProgram&, int n)
{
    PickNow(QStringList{"sRGB", "DCI-P3", "Default"}[n]);
}

const RepeatCase RepeatCases[] = {
    {.name = "PicksWhileTheRestorationQuestionIsOpen",
     .makeAsk = [] { Tessaly({"--uninstall-profile", "KVL_4A1C_DCIP3.icm"}); },
     .start = Pick,
     .answers = {"No", "OK"},
     .boxes = {RestorationQuestion, RestorationRefused},
     .exitCode = 1,
     .marked = "Adobe RGB"},
    {.name = "PicksWhileTheCalibrationQuestionIsOpen",
     .makeAsk = DisableCalibration,
     .start = Pick,
     .answers = {"No", "OK"},
     .boxes = {CalibrationQuestion, CalibrationRefused},
     .exitCode = 1,
     .marked = "Adobe RGB"},
    {.name = "PicksWhileThePerUserListQuestionIsOpen",
     .makeAsk = [] { ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0); },
     .start = Pick,
     .answers = {"No", "OK"},
     .boxes = {{"question", "\\\"Use my settings for this device\\\" option in Color Management is disabled."},
               {"critical", "The ICC profiles cannot be applied if"}},
     .marked = "Adobe RGB"},
    // Started without one profile of the set, the program asks at the preferences action.
    {.name = "PreferencesWhileTheRestorationQuestionIsOpen",
     .set = [] {
         FactorySet set;
         set.notInstalled = {"DCIP3"};
         return set;
     }(),
     .start =
         [](TrayMachine&, TrayProgram&, int) {
             ASSERT_EQ(User({"trigger", "--timeout", StepTimeout, "Preferences..."}).exitCode, 0);
         },
     .answers = {"No", "OK"},
     .boxes = {RestorationQuestion, RestorationRefused},
     .exitCode = 1},
    // Display changes reach the slot 2 s after the last message (the filter's debounce): each is
    // sent once the one before has been handled. The ones that come while the question is open
    // wait for it; the change is then handled once more and asks nothing.
    {.name = "DisplayChangesWhileTheCalibrationQuestionIsOpen",
     .makeAsk = DisableCalibration,
     .start =
         [](TrayMachine& machine, TrayProgram& program, int n) {
             ASSERT_EQ(RunWinsim({"event", "display-change"}).exitCode, 0);
             if (n == 0) {
                 ASSERT_FALSE(program.WaitForView(ShowsMessageBox).isEmpty());
             } else {
                 ASSERT_TRUE(machine.WaitForLogged("A display change is waiting for the user's answer", n));
             }
         },
     .answers = {"Yes"},
     .boxes = {CalibrationQuestion},
     .settle =
         [](TrayMachine& machine) {
             // The change handled with the answer, then once more for those that waited.
             EXPECT_TRUE(machine.WaitForLogged("Current Active Profile ", 2)) << machine.MainLog().right(3000);
         }},
};

class RepeatedRoadTest : public testing::TestWithParam<RepeatCase> {};

TEST_P(RepeatedRoadTest, AsksOnce)
{
    const RepeatCase& item = GetParam();
    TrayMachine machine(item.set);
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
    if (!item.marked.isEmpty()) {
        PickNow(item.marked);
        ASSERT_EQ(program.WaitForChecked({item.marked}), QStringList{item.marked});
    }
    item.makeAsk();
    machine.MarkJournal();
    for (int n = 0; n < 3; ++n) {
        item.start(machine, program, n);
        if (HasFatalFailure()) {
            return;
        }
    }
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    machine.WaitForEvents("message-box", int(item.boxes.size()));
    if (item.exitCode < 0) {
        item.settle(machine);
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    } else {
        EXPECT_EQ(program.WaitForExit(), item.exitCode);
    }
    ExpectBoxes(machine.Events("message-box"), item.boxes);
    if (!item.marked.isEmpty()) {
        // Neither the pick that asked nor those dropped while the question was open moved the mark.
        EXPECT_EQ(machine.Events("menu-check"), QStringList());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RepeatedRoadTest, testing::ValuesIn(RepeatCases),
                         [](const testing::TestParamInfo<RepeatCase>& info) { return std::string(info.param.name); });

// --- A start-up box left open --------------------------------------------------------------------

struct OpenBoxCase {
    const char* name;
    // Makes the start ask.
    std::function<void()> prepare;
    // Done while the box is open, before the answer.
    std::function<void()> beforeAnswer = [] {};
    QStringList answers;
    QList<Box> boxes;
    // The elevated runs expected once the box is closed, in order: a start-up that goes on
    // corrects the set once (its descriptions lack the panel identity) after the out-of-box report.
    QStringList elevated = {};
    int exitCode = -1;
};

void PrintTo(const OpenBoxCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const QString CorrectedSet = QStringLiteral("set");

const OpenBoxCase OpenBoxCases[] = {
    {.name = "CalibrationQuestionRefused",
     .prepare = DisableCalibration,
     .answers = {"No", "OK"},
     .boxes = {CalibrationQuestion, CalibrationRefused},
     .exitCode = 1},
    {.name = "CalibrationQuestionAccepted",
     .prepare = DisableCalibration,
     .answers = {"Yes"},
     .boxes = {CalibrationQuestion},
     .elevated = {"--color-calibration enabled", CorrectedSet}},
    {.name = "CloneModeBoxClosedAfterExtending",
     .prepare = [] { WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("clone")); },
     .beforeAnswer = [] { WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("extend")); },
     .answers = {"OK"},
     .boxes = {{"critical", "cannot be started when internal display is turned off or displays are in clone"}},
     .elevated = {CorrectedSet}},
};

class OpenStartupBoxTest : public testing::TestWithParam<OpenBoxCase> {};

// The out-of-box detector reports 5 s (scaled) after the start; the box stays open for 10 s.
TEST_P(OpenStartupBoxTest, StartsNoElevatedRunWhileItIsOpen)
{
    const OpenBoxCase& item = GetParam();
    TrayMachine machine;
    const double scale = 1;
    WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), scale);
    item.prepare();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForView(ShowsMessageBox).isEmpty()) << program.ErrorOutput();
    QElapsedTimer open;
    open.start();
    // The detector's first report at the start, then its report after the wait.
    ASSERT_TRUE(machine.WaitForLogged("OobeCompletedDetection <> - OOBE was completed", 2))
        << machine.MainLog().right(3000);
    QThread::msleep(std::max<qint64>(0, qint64(10000 * scale) - open.elapsed()));
    EXPECT_EQ(machine.Events("elevation-prompt"), QStringList());
    EXPECT_EQ(machine.Events("run-elevated"), QStringList());

    item.beforeAnswer();
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    if (item.exitCode >= 0) {
        EXPECT_EQ(program.WaitForExit(), item.exitCode);
    } else {
        // The report is handled once start-up is complete: the correction, then its update check.
        EXPECT_EQ(machine.WaitForEvents("vesperon-check", 2), QStringList({"0", "0"}));
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    ExpectBoxes(machine.Events("message-box"), item.boxes);
    const QStringList runs = machine.Events("run-elevated");
    ASSERT_EQ(runs.size(), item.elevated.size()) << runs.join('\n').toStdString();
    for (int i = 0; i < runs.size(); ++i) {
        if (item.elevated[i] == CorrectedSet) {
            // Each corrected profile of the set, by its file.
            EXPECT_EQ(runs[i].count("--replace-profile"), FactorySet().profiles.size()) << runs[i];
            EXPECT_EQ(runs[i].count(".icm\""), FactorySet().profiles.size()) << runs[i];
        } else {
            EXPECT_TRUE(runs[i].contains(item.elevated[i])) << runs[i];
        }
    }
    EXPECT_EQ(machine.Events("elevation-prompt").size(), item.elevated.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, OpenStartupBoxTest, testing::ValuesIn(OpenBoxCases),
                         [](const testing::TestParamInfo<OpenBoxCase>& info) { return std::string(info.param.name); });

// --- The end of the out-of-box wait while a question is open ----------------------------------

// A pick opens a question; the out-of-box wait ends while it is open. The correction that the end
// brings (the set's descriptions lack the panel identity) starts no elevated run before the answer:
// it runs after it, or not at all when the answer ends the program.
struct WaitingCorrectionCase {
    const char* name;
    std::function<void()> makeAsk;
    QStringList answers;
    int exitCode = -1;
};

void PrintTo(const WaitingCorrectionCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const WaitingCorrectionCase WaitingCorrectionCases[] = {
    {"UserProfileListQuestionAccepted", [] { ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0); },
     {"Yes"}},
    {"CalibrationQuestionAccepted", DisableCalibration, {"Yes"}},
    {"CalibrationQuestionRefused", DisableCalibration, {"No", "OK"}, 1},
};

class WaitingCorrectionTest : public testing::TestWithParam<WaitingCorrectionCase> {};

TEST_P(WaitingCorrectionTest, NoElevationPromptBeforeTheAnswer)
{
    const WaitingCorrectionCase& item = GetParam();
    TrayMachine machine;
    // The out-of-box wait ends when the test sends its end.
    WinSim::SetDescriptionValue(QStringLiteral("oobe.completed"), false);
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    item.makeAsk();
    machine.MarkJournal();
    Pick(machine, program, 0);
    ASSERT_EQ(machine.WaitForEvents("message-box-shown", 1).size(), 1);
    ASSERT_EQ(RunWinsim({"event", "oobe-complete"}).exitCode, 0);
    // The program has heard the end: it waits for the answer (or, wrongly, asks for elevation).
    ASSERT_TRUE(WaitUntil([&] {
        return machine.MainLog().contains("OOBE completion waits for the user's answer") ||
               !machine.Events("elevation-prompt").isEmpty();
    })) << machine.MainLog().right(3000);
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    if (item.exitCode >= 0) {
        EXPECT_EQ(program.WaitForExit(), item.exitCode);
    } else {
        // The correction, then the out-of-box slot's update check.
        EXPECT_EQ(machine.WaitForEvents("vesperon-check", 1), QStringList{"0"});
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }

    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype answered = FindEvent(events, "message-box");
    ASSERT_GE(answered, 0);
    EXPECT_TRUE(events[answered].details.startsWith("icon=question")) << events[answered].details;
    EXPECT_EQ(FindEvent(events, "elevation-prompt"), FindEvent(events, "elevation-prompt", answered));
    if (item.exitCode >= 0) {
        EXPECT_EQ(FindEvent(events, "elevation-prompt"), -1);
        EXPECT_EQ(FindEvent(events, "vesperon-check"), -1);
    } else {
        // The corrected set went in after the answer.
        EXPECT_GT(FindEvent(events, "run-elevated", answered, "--replace-profile"), answered);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitingCorrectionTest, testing::ValuesIn(WaitingCorrectionCases),
                         [](const testing::TestParamInfo<WaitingCorrectionCase>& info) {
                             return std::string(info.param.name);
                         });

// --- A question answered after the state it asks about changed ----------------------------------

const Box UserListQuestion{"question", "\\\"Use my settings for this device\\\" option in Color Management is disabled."};
const QString SrgbDefault = QStringLiteral("currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm");
const QString Brightness = QStringLiteral("displays.0.brightness.current=");

struct ChangedStateCase {
    const char* name;
    // Changes the machine while the pick's "Use my settings for this device" question is open.
    std::function<void(TrayMachine&)> change;
    // Given once the change is made; the first answers the open question.
    QStringList answers;
    QList<Box> boxes;
    // The pick's outcome: the brightness set and the default applied after the answer, none when empty.
    QString brightness;
    // The program ends by itself with this code; -1: it runs on and the user quits.
    int exitCode = -1;
};

void PrintTo(const ChangedStateCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const ChangedStateCase ChangedStateCases[] = {
    // Installed again by hand, with another brightness for sRGB: the answer applies the set of now.
    {.name = "SetReplaced",
     .change =
         [](TrayMachine& machine) {
             const FactorySet set;
             const QString folder = machine.SetFolder() + "/again";
             const ProcessResult made = Run(
                 QStringLiteral("python3"), {BinaryPath("make_panel_archive.py"), "--folder", folder, "--format",
                                             set.format, "--profiles", set.profiles.join(','), "--color-space",
                                             set.colorSpace, "--brightness", "60", "--brightness", "sRGB=80"});
             ASSERT_EQ(made.exitCode, 0) << made.err;
             QStringList paths;
             for (const QString& key : set.profiles) {
                 paths << QDir(folder).filePath(QString(set.format).replace("{ProfileName}", key));
             }
             TrayMachine::Install(paths);
         },
     .answers = {"Yes"},
     .boxes = {UserListQuestion},
     .brightness = "80"},
    // The picked profile was uninstalled: the set is no longer whole, and the answer asks for it.
    {.name = "PickedProfileRemoved",
     .change = [](TrayMachine&) { Tessaly({"--uninstall-profile", "KVL_4A1C_sRGB.icm"}); },
     .answers = {"Yes", "No", "OK"},
     .boxes = {UserListQuestion, RestorationQuestion, RestorationRefused},
     .brightness = {},
     .exitCode = 1},
};

class ChangedStateTest : public testing::TestWithParam<ChangedStateCase> {};

// A pick asks to switch "Use my settings for this device" on; while the question is open the set
// changes. The answer acts on the set installed then, never on the one the pick saw.
TEST_P(ChangedStateTest, AnswerActsOnTheStateOfNow)
{
    const ChangedStateCase& item = GetParam();
    TrayMachine machine;
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    PickNow("Adobe RGB");
    ASSERT_EQ(program.WaitForChecked({"Adobe RGB"}), QStringList{"Adobe RGB"});
    ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
    machine.MarkJournal();
    PickNow("sRGB");
    ASSERT_EQ(machine.WaitForEvents("message-box-shown", 1).size(), 1) << program.ErrorOutput();
    item.change(machine);
    if (HasFatalFailure()) {
        return;
    }
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    machine.WaitForEvents("message-box", int(item.boxes.size()));
    if (item.exitCode < 0) {
        ASSERT_FALSE(machine.WaitForEvents("colour-default", 1).isEmpty()) << machine.MainLog().right(3000);
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    } else {
        EXPECT_EQ(program.WaitForExit(), item.exitCode);
    }
    ExpectBoxes(machine.Events("message-box"), item.boxes);

    // After the answer: the brightness of the profile as installed now, then that profile's default.
    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype answered = FindEvent(events, "message-box");
    ASSERT_GE(answered, 0);
    QStringList applied;
    for (qsizetype i = answered; i < events.size(); ++i) {
        if ((events[i].name == "set" && events[i].details.startsWith(Brightness)) ||
            events[i].name == "colour-default") {
            applied << events[i].name + ' ' + events[i].details;
        }
    }
    const QStringList expected = item.brightness.isEmpty()
                                     ? QStringList()
                                     : QStringList{"set " + Brightness + item.brightness, "colour-default " + SrgbDefault};
    EXPECT_EQ(applied, expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ChangedStateTest, testing::ValuesIn(ChangedStateCases),
                         [](const testing::TestParamInfo<ChangedStateCase>& info) {
                             return std::string(info.param.name);
                         });

// --- Failed reads ------------------------------------------------------------------------------

struct FailedReadCase {
    const char* name;
    const char* function;
    const char* code;
    // The call fails from the start on, which ends the program; else during a pick, which the
    // program survives.
    bool atStart;
    // What could not be read, as the box says it.
    QString reason;
    // The beginning of the box's text before the reason.
    QString heading = QStringLiteral("Unexpected error occurred:<br>");
    // The support sentence of a box the program runs on after.
    QString support = QStringLiteral("<br><br>We are sorry for the inconvenience. Please contact support at ");
    // A machine file (relative to the machine) that is damaged instead of failing `function`.
    const char* damagedFile = nullptr;
};

void PrintTo(const FailedReadCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const FailedReadCase FailedReadCases[] = {
    // The internal panel's device key, whose values hold its EDID.
    {"PanelValuesCannotBeEnumeratedAtStart", "RegEnumValueA", "5", true,
     "Failed to obtain Monitor Edid.\\nAccess is denied."},
    {"PanelValuesCannotBeEnumerated", "RegEnumValueA", "5", false, "Failed to obtain Monitor Edid.\\nAccess is denied."},
    {"PerUserSettingCannotBeRead", "WcsGetUsePerUserProfiles", "5", false,
     "Failed to read \\\"Use my settings for this device\\\" option.\\nAccess is denied."},
    // The installed profiles' metadata (3: the colour engine's read error).
    {"ProfileMetadataCannotBeRead", "KVIsTagInProfile", "3", false, "Failed to read the metadata of the profile "},
    {"ProfileBrightnessCannotBeRead", "KVProfileGetMetaDataValueForName", "3", false,
     "Failed to read the metadata of the profile "},
    {"CalibrationStateCannotBeRead", "WcsGetCalibrationManagementState", "5", false,
     "Failed to determine the status of Windows display calibration.", "",
     " If problem remains, please contact support at "},
    // The monitor interfaces, among them the internal panel's.
    {"MonitorInterfacesCannotBeListed", "SetupDiEnumDeviceInterfaces", "5", false,
     "Failed to obtain Monitor Edid.\\nAccess is denied."},
    {"PanelDeviceKeyCannotBeOpened", "SetupDiOpenDevRegKey", "5", false,
     "Failed to obtain Monitor Edid.\\nAccess is denied."},
    // The scheme the brightness is written to, before anything is written.
    {"ActivePowerSchemeCannotBeRead", "PowerGetActiveScheme", "5", false,
     "Error using PowerGetActiveScheme.\\nAccess is denied."},
    // The machine hive that holds the panel values, damaged after the start.
    {.name = "MachineHiveCannotBeRead",
     .function = "",
     .code = "",
     .atStart = false,
     .reason = "Cannot read HKEY_LOCAL_MACHINE",
     .damagedFile = "registry/HKLM.json"},
};

// The journal's boxes, standard-mode defaults and tray-menu check marks since the mark, in order.
QStringList BoxesDefaultsAndMarks(const TrayMachine& machine)
{
    QStringList events;
    for (const JournalEvent& event : machine.JournalSinceMark()) {
        if (event.name == "message-box" || event.name == "colour-default" || event.name == "menu-check") {
            events << event.name + ' ' + event.details;
        }
    }
    return events;
}

class FailedReadTest : public testing::TestWithParam<FailedReadCase> {};

// A failed read says what could not be read. At start-up it ends the program; during a pick it
// applies nothing, the profile picked before stays in force and checked, the program runs on, and
// a pick once the read works again applies.
TEST_P(FailedReadTest, IsReportedAsAFailedRead)
{
    const FailedReadCase& item = GetParam();
    TrayMachine machine;
    const QStringList fail{"fail", item.function, item.code};
    const QString damaged = item.damagedFile == nullptr ? QString() : machine.Path() + '/' + item.damagedFile;
    QByteArray whole;
    const auto induce = [&] {
        if (damaged.isEmpty()) {
            ASSERT_EQ(RunWinsim(fail).exitCode, 0);
            return;
        }
        whole = TestSupport::ReadFile(damaged);
        TestSupport::WriteFile(damaged, whole.left(whole.size() / 2));
    };
    const auto clear = [&] {
        if (damaged.isEmpty()) {
            ASSERT_EQ(RunWinsim({"fail", item.function, "0"}).exitCode, 0);
            return;
        }
        TestSupport::WriteFile(damaged, whole);
    };
    if (item.atStart) {
        ASSERT_EQ(RunWinsim(fail).exitCode, 0);
    }
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine);
    const QString box = "message-box icon=critical title=\"Korvel Tintwise\" text=\"" + item.heading + item.reason;
    if (item.atStart) {
        ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
        const QStringList events = BoxesDefaultsAndMarks(machine);
        ASSERT_EQ(events.size(), 1) << events.join('\n').toStdString();
        EXPECT_TRUE(events.first().startsWith(box)) << events.first();
        EXPECT_TRUE(events.first().contains("<br>Korvel Tintwise will shutdown.\" answer=")) << events.first();
        return;
    }
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    PickNow("Adobe RGB");
    ASSERT_EQ(program.WaitForChecked({"Adobe RGB"}), QStringList{"Adobe RGB"});

    induce();
    ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);
    PickNow("sRGB");
    ASSERT_EQ(machine.WaitForEvents("message-box", 1).size(), 1) << machine.MainLog().right(3000).toStdString();
    const QString sdr = QStringLiteral("colour-default currentUser RGB_WORKING_SPACE ");
    QStringList events = BoxesDefaultsAndMarks(machine);
    ASSERT_EQ(events.size(), 3) << events.join('\n').toStdString();
    EXPECT_EQ(events.mid(0, 2),
              QStringList({sdr + "KVL_4A1C_AdobeRGB.icm", "menu-check text=\"Adobe RGB\" checked=true"}));
    EXPECT_TRUE(events[2].startsWith(box)) << events[2];
    EXPECT_TRUE(events[2].contains(item.support)) << events[2];
    ASSERT_FALSE(events[2].contains("shutdown")) << events[2];

    clear();
    PickNow("sRGB");
    ASSERT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"}) << program.ErrorOutput().toStdString();
    events = BoxesDefaultsAndMarks(machine);
    ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(events.mid(3), QStringList({sdr + "KVL_4A1C_sRGB.icm", "menu-check text=\"sRGB\" checked=true",
                                          "menu-check text=\"Adobe RGB\" checked=false"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedReadTest, testing::ValuesIn(FailedReadCases),
                         [](const testing::TestParamInfo<FailedReadCase>& info) {
                             return std::string(info.param.name);
                         });

// After a start without the whole set, the program reads the set anew where another program may
// have installed it: at the end of the out-of-box wait and at the preferences action. A read that
// fails there says so, opens and starts nothing, and the program runs on; once the read works, the
// preferences action lists the set and a pick applies.
struct FailedReadAfterStartCase {
    const char* name;
    bool atOutOfBoxEnd;  // else at the preferences action
};

class FailedReadAfterStartTest : public testing::TestWithParam<FailedReadAfterStartCase> {};

TEST_P(FailedReadAfterStartTest, OpensNothingAndRunsOn)
{
    FactorySet set;
    set.notInstalled = {"DCIP3"};
    TrayMachine machine(set);
    if (GetParam().atOutOfBoxEnd) {
        // The wait's second report comes some seconds after the start.
        ScaleProgramWaitsWithLoad();
    }
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
    QStringList paths;
    for (const QString& key : set.profiles) {
        paths << QDir(machine.SetFolder()).filePath(QString(set.format).replace("{ProfileName}", key));
    }
    TrayMachine::Install(paths);
    machine.MarkJournal();

    ASSERT_EQ(RunWinsim({"fail", "KVIsTagInProfile", "3"}).exitCode, 0);
    ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);
    if (!GetParam().atOutOfBoxEnd) {
        PickNow("Preferences...");
    }
    const QStringList boxes = machine.WaitForEvents("message-box", 1);
    ASSERT_EQ(boxes.size(), 1) << machine.MainLog().right(3000).toStdString();
    EXPECT_TRUE(boxes.first().startsWith("icon=critical title=\"Korvel Tintwise\" text=\"Unexpected error occurred:<br>"
                                         "Failed to read the metadata of the profile "))
        << boxes.first();
    ASSERT_FALSE(boxes.first().contains("shutdown")) << boxes.first();

    ASSERT_EQ(RunWinsim({"fail", "KVIsTagInProfile", "0"}).exitCode, 0);
    PickNow("Preferences...");
    EXPECT_FALSE(
        program.WaitForView([](const QJsonObject& shown) { return ShowsWindow(shown, "PreferencesDialog"); }).isEmpty());
    PickNow("sRGB");
    ASSERT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"}) << program.ErrorOutput().toStdString();
    ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(machine.Events("message-box").size(), 1);
    EXPECT_EQ(machine.Events("run-elevated"), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Cases, FailedReadAfterStartTest,
                         testing::Values(FailedReadAfterStartCase{"AtTheEndOfTheOutOfBoxWait", true},
                                         FailedReadAfterStartCase{"AtThePreferencesAction", false}),
                         [](const testing::TestParamInfo<FailedReadAfterStartCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
