// Restoring the panel's profile set from the local profile server, run for real: KorvelTintwise under
// an Xvfb of its own with trayer, the server serving archives made by the archive maker, the real
// Tessaly installing them, the simulated user answering.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>
#include <QJsonArray>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

// The computer's identity in the default preset: "1S" + model + BIOS serial.
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QStringList FactoryEntries{"Adobe RGB", "DCI-P3", "sRGB", "Default", "Not calibrated"};
const QString Removed = QStringLiteral("KVL_4A1C_sRGB.icm");

enum class Archive { None, Signed, Tampered };

struct RestorationCase {
    const char* name;
    Archive archive = Archive::Signed;
    std::function<void(TrayMachine&)> prepare = [](TrayMachine&) {};
    // A profile of the set is removed once the program runs.
    bool removeAfterStart = false;
    // Queued before the user acts.
    QStringList answers = {};
    std::function<void(TrayMachine&, TrayProgram&)> act;
    // The boxes shown (icon and part of the text), in order.
    QList<QPair<QString, QString>> boxes;
    // The identities the server was asked for.
    QStringList asked;
    bool restored = false;
    // The program ends by itself (with 0) after the boxes; else the user quits.
    bool ends = false;
};

void PrintTo(const RestorationCase& item, std::ostream* stream)
{
    *stream << item.name;
}

QStringList InstalledProfiles()
{
    QStringList names;
    for (const QJsonValue& value : ColourState()["installed"].toArray()) {
        const QString name = value.isObject() ? value["name"].toString() : value.toString();
        if (name.startsWith(QLatin1String("KVL_4A1C_")) && name.endsWith(QLatin1String(".icm"))) {
            names << name;
        }
    }
    names.sort();
    return names;
}

void Uninstall(const QString& name)
{
    ASSERT_EQ(RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--uninstall-profile", name}).exitCode, 0);
}

// The panel's set as the server serves it: made like the installed one, signed, or changed after signing.
QString MakeArchive(const QString& folder, Archive kind)
{
    const QString archive = folder + "/archive.zip";
    const ProcessResult made =
        Run(QStringLiteral("python3"), {BinaryPath("make_panel_archive.py"), "--output", archive, "--format",
                                        FactorySet().format, "--profiles", FactorySet().profiles.join(','),
                                        "--brightness", "60"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    if (kind == Archive::Tampered) {
        QByteArray bytes = ReadFile(archive);
        bytes[bytes.size() / 3] = char(bytes[bytes.size() / 3] ^ 0x5a);
        WriteFile(archive, bytes);
    }
    return archive;
}

// The "sn" values of the server's lookups, in order.
QStringList Asked(const ProfileServer& server)
{
    QStringList identities;
    for (const QJsonObject& request : server.Requests()) {
        if (request["phase"].toString() == QLatin1String("lookup")) {
            identities << QUrlQuery(QUrl(request["path"].toString()).query()).queryItemValue("sn");
        }
    }
    return identities;
}

void RestoreFromPreferences(TrayMachine&, TrayProgram& program)
{
    ASSERT_EQ(User({"trigger", "Preferences..."}).exitCode, 0);
    ASSERT_EQ(User({"click", "Settings_Button"}).exitCode, 0);
    ASSERT_EQ(User({"click", "RestoreFromCloud_SettingsPage_PushButton"}).exitCode, 0);
    (void)program;
}

// Picks a profile while one of the set is missing: the program asks to restore the set.
void Pick(TrayMachine&, TrayProgram&)
{
    ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
}

const RestorationCase Cases[] = {
    {.name = "RemovedProfileComesBackFromTheServer",
     .removeAfterStart = true,
     .answers = {"Yes"},
     .act = Pick,
     .boxes = {{"question", "The ICC profiles customized for your display are missing from your system."}},
     .asked = {Identity, Identity + "_HDR"},
     .restored = true},
    {.name = "TamperedArchiveInstallsNothing",
     .archive = Archive::Tampered,
     .removeAfterStart = true,
     .answers = {"Yes", "Ok"},
     .act = Pick,
     .boxes = {{"question", "missing from your system"},
               {"critical", "Failed to restore the ICC profiles customized for your display."}},
     .asked = {Identity},
     .ends = true},
    {.name = "FailedRestorationFromPreferencesRunsOnWithTheSet",
     .archive = Archive::None,
     .answers = {"Ok"},
     .act = RestoreFromPreferences,
     .boxes = {{"critical", "Korvel Tintwise will continue to work with the existing ICC profiles"}},
     .asked = {Identity}},
    {.name = "RestorationWithHdrOnIsRefused",
     .prepare = [](TrayMachine&) { ASSERT_EQ(RunWinsim({"set", "displays.0.hdr.enabled", "true"}).exitCode, 0); },
     .answers = {"Ok"},
     .act = RestoreFromPreferences,
     .boxes = {{"critical", "cannot be restored when HDR is turned on."}},
     .asked = {}},
    // Started with the out-of-box wait over, the program asks at the detector's next report, 5 s
    // (scaled) after its start: the user sees the tray icon before the box.
    {.name = "MissingSetAtStartIsAskedForLater",
     .prepare =
         [](TrayMachine&) {
             Uninstall(Removed);
             ScaleProgramWaitsWithLoad();
         },
     .answers = {"Yes"},
     .act = [](TrayMachine&, TrayProgram&) {},
     .boxes = {{"question", "missing from your system"}},
     .asked = {Identity, Identity + "_HDR"},
     .restored = true},
};

class RestorationTest : public testing::TestWithParam<RestorationCase> {};

TEST_P(RestorationTest, EndsAsExpected)
{
    const RestorationCase& item = GetParam();
    TrayMachine machine;
    const QStringList factorySet = InstalledProfiles();
    QTemporaryDir files;
    QStringList archives;
    if (item.archive != Archive::None) {
        archives << "--archive" << Identity + "=" + MakeArchive(files.path(), item.archive);
    }
    ProfileServer server(archives);
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    item.prepare(machine);
    if (testing::Test::HasFatalFailure()) {
        return;
    }
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine);
    const QJsonObject started =
        program.WaitForView([](const QJsonObject& shown) { return MenuTexts(TrayMenuOf(shown)).contains("Quit"); });
    ASSERT_FALSE(started.isEmpty()) << program.ErrorOutput();
    if (item.removeAfterStart) {
        Uninstall(Removed);
    }
    const QStringList beforeRestoration = InstalledProfiles();
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    item.act(machine, program);

    // The outcome: the boxes answered, the set back in the menu and the colour directory, or not.
    machine.WaitForEvents("message-box", int(item.boxes.size()));
    if (item.restored) {
        const QJsonObject shown = program.WaitForView([](const QJsonObject& shown) {
            return InstalledProfiles().size() == 5 && MenuTexts(TrayMenuOf(shown)).contains("sRGB");
        });
        EXPECT_FALSE(shown.isEmpty()) << machine.MainLog().right(3000);
        for (const QString& entry : FactoryEntries) {
            EXPECT_TRUE(MenuTexts(TrayMenuOf(shown)).contains(entry)) << entry;
        }
        EXPECT_EQ(InstalledProfiles(), factorySet);
    } else {
        EXPECT_EQ(InstalledProfiles(), beforeRestoration);
    }
    if (!item.ends) {
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
    }
    EXPECT_EQ(program.WaitForExit(), 0) << program.ErrorOutput().right(2000);

    // No box at start: the tray icon is painted before the first box shows.
    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype painted = FindEvent(events, "tray-icon-painted");
    EXPECT_GE(painted, 0);
    if (const qsizetype box = FindEvent(events, "message-box-shown"); box >= 0) {
        EXPECT_LT(painted, box) << events[box].details;
    }
    const QStringList boxes = machine.Events("message-box");
    ASSERT_EQ(boxes.size(), item.boxes.size()) << boxes.join('\n');
    for (int i = 0; i < boxes.size(); ++i) {
        EXPECT_TRUE(boxes[i].startsWith("icon=" + item.boxes[i].first)) << boxes[i];
        EXPECT_TRUE(boxes[i].contains(item.boxes[i].second)) << boxes[i];
    }
    EXPECT_EQ(Asked(server), item.asked);
}

INSTANTIATE_TEST_SUITE_P(Cases, RestorationTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<RestorationCase>& info) {
                             return std::string(info.param.name);
                         });

// --- An archive that arrives while a question is open ------------------------------------------

// The restoration question answered Yes, the server holds the archive back; meanwhile calibration
// management is switched off and a pick asks to enable it. The archive, released while that question
// is open, waits: no step of the restoration (the switch to sRGB, the elevated install) comes before
// the answer. After a Yes the set is restored, its default applied and marked; a No ends the program
// with nothing of the restoration done.
struct WaitingArchiveCase {
    const char* name;
    QStringList answers;
    // The program ends by itself with this code; -1: it runs on and the user quits.
    int exitCode = -1;
};

void PrintTo(const WaitingArchiveCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const WaitingArchiveCase WaitingArchiveCases[] = {
    {"CalibrationQuestionAccepted", {"Yes"}},
    {"CalibrationQuestionRefused", {"No", "OK"}, 1},
};

class WaitingArchiveTest : public testing::TestWithParam<WaitingArchiveCase> {};

TEST_P(WaitingArchiveTest, NoStepOfTheRestorationBeforeTheAnswer)
{
    const WaitingArchiveCase& item = GetParam();
    TrayMachine machine;
    const QStringList factorySet = InstalledProfiles();
    QTemporaryDir files;
    const QString released = files.filePath("released");
    ProfileServer server({"--archive", Identity + "=" + MakeArchive(files.path(), Archive::Signed), "--hold",
                          "archive=" + released});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_FALSE(program.WaitForTrayMenu().isEmpty()) << program.ErrorOutput();
    Uninstall(Removed);
    ASSERT_EQ(User({"answer", "Yes"}).exitCode, 0);
    ASSERT_EQ(User({"trigger", "Adobe RGB"}).exitCode, 0);
    // The restoration has asked for the archive, which the server holds.
    ASSERT_TRUE(WaitUntil([&] {
        const QList<QJsonObject> requests = server.Requests();
        return std::any_of(requests.begin(), requests.end(),
                           [](const QJsonObject& request) { return request["phase"].toString() == "archive"; });
    }));
    ASSERT_EQ(RunWinsim({"run", "--elevated", "--", BinaryPath("Tessaly"), "--color-calibration", "disabled"}).exitCode,
              0);
    const QStringList beforeRestoration = InstalledProfiles();
    machine.MarkJournal();
    ASSERT_EQ(User({"trigger", "sRGB"}).exitCode, 0);
    ASSERT_EQ(machine.WaitForEvents("message-box-shown", 1).size(), 1);
    WriteFile(released, QByteArray());
    // The program has the archive: it waits for the answer (or, wrongly, asks for elevation).
    ASSERT_TRUE(WaitUntil([&] {
        return machine.MainLog().contains("The downloaded archive waits for the user's answer") ||
               !machine.Events("elevation-prompt").isEmpty();
    })) << machine.MainLog().right(3000);
    for (const QString& answer : item.answers) {
        ASSERT_EQ(User({"answer", answer}).exitCode, 0);
    }
    const QString defaultMarked = QStringLiteral("text=\"Default\" checked=true");
    if (item.exitCode >= 0) {
        EXPECT_EQ(program.WaitForExit(), item.exitCode);
    } else {
        // The road's end: the default marked, the HDR10 download's failure logged.
        EXPECT_TRUE(WaitUntil([&] {
            return machine.Events("menu-check").contains(defaultMarked) &&
                   machine.MainLog().contains("Failed to restore HDR10 profiles");
        })) << machine.MainLog().right(3000);
        ASSERT_EQ(User({"trigger", "Quit"}).exitCode, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }

    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype shown = FindEvent(events, "message-box-shown");
    const qsizetype answered = FindEvent(events, "message-box");
    ASSERT_GE(shown, 0);
    ASSERT_GT(answered, shown);
    EXPECT_TRUE(events[answered].details.startsWith("icon=question") &&
                events[answered].details.contains("The Windows display calibration is disabled"))
        << events[answered].details;
    // Nothing elevated and no default changed while the question is open.
    for (const char* name : {"elevation-prompt", "run-elevated", "colour-default"}) {
        EXPECT_EQ(FindEvent(events, name, shown), FindEvent(events, name, answered)) << name;
    }
    if (item.exitCode >= 0) {
        EXPECT_EQ(FindEvent(events, "run-elevated"), -1);
        EXPECT_EQ(FindEvent(events, "colour-default"), -1);
        EXPECT_EQ(InstalledProfiles(), beforeRestoration);
        return;
    }
    // After the answer: calibration enabled, Windows' sRGB profile, the set installed, its default
    // applied, then marked.
    const qsizetype enabled = FindEvent(events, "run-elevated", answered, "--color-calibration");
    const qsizetype srgb = FindEvent(events, "colour-default", answered, "sRGB Color Space Profile.icm");
    const qsizetype installed = FindEvent(events, "run-elevated", srgb, "--install-profile");
    const qsizetype applied = FindEvent(events, "colour-default", installed, "KVL_4A1C_Default.icm");
    EXPECT_GT(enabled, answered);
    EXPECT_GT(srgb, answered);
    EXPECT_GT(installed, srgb);
    EXPECT_GT(applied, installed);
    EXPECT_GT(FindEvent(events, "menu-check", applied, defaultMarked), applied);
    EXPECT_EQ(InstalledProfiles(), factorySet);
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitingArchiveTest, testing::ValuesIn(WaitingArchiveCases),
                         [](const testing::TestParamInfo<WaitingArchiveCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
