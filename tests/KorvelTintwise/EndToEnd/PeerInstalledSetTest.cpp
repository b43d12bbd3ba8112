// The running tray program after Quillon, the display-replacement updater, has installed another set
// from the profile server: it sees the set as it now is (panel values and files read again) and
// takes the set as its own, with no question; an open question about the set, or a correction
// prepared from the set before Quillon replaced it, never acts on the set that is gone. Run for real:
// KorvelTintwise under an Xvfb of its own with trayer, Quillon driven by the simulated user, the real
// Tessaly installing.
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>

using namespace TestSupport;

namespace {

const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
// The new set: DCI-P3 is no longer part of it, and its sRGB profile carries another brightness.
const QStringList NewSet{"sRGB", "AdobeRGB", "Default", "Native"};
const QString NewBrightness = QStringLiteral("80");
const QString PickedDefault = QStringLiteral("currentUser RGB_WORKING_SPACE KVL_4A1C_sRGB.icm");
// A step that reads the new set (its previews included) may take long on a loaded machine.
const QString StepTimeout = QStringLiteral("60000");

// A set as the server serves it, with its "PanelInfo.xml", in `folder` ("archive.zip", and the files
// unpacked in "set").
QString MakeArchive(const QString& folder, const QStringList& profiles, const QStringList& more)
{
    const QString archive = folder + "/archive.zip";
    const ProcessResult made = Run(QStringLiteral("python3"),
                                   QStringList{BinaryPath("make_panel_archive.py"), "--output", archive, "--folder",
                                               folder + "/set", "--format", FactorySet().format, "--profiles",
                                               profiles.join(','), "--brightness", "60"} +
                                       more);
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return archive;
}

// The panel's new set.
QString MakeArchive(const QString& folder)
{
    return MakeArchive(folder, NewSet, {"--brightness", "sRGB=" + NewBrightness});
}

// Quillon, started on the machine: the serial number typed and the update asked for.
class Quillon {
public:
    Quillon()
    {
        EXPECT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);  // the outcome
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(BinaryPath("winsim"), {"run", "--", BinaryPath("Quillon")});
        EXPECT_TRUE(process.waitForStarted(10000)) << process.errorString();
        Step({"type", "--timeout", StepTimeout, "lineEditPanelID", Serial.toLower()});
        Step({"click", "--timeout", StepTimeout, "pushButtonUpdateProfiles"});
    }
    ~Quillon() { EndProcess(process, AskToEnd::Terminate, 5000); }
    Quillon(const Quillon&) = delete;
    Quillon& operator=(const Quillon&) = delete;

    // Once the outcome is shown, the user leaves.
    void Finish()
    {
        Step({"click", "--timeout", "120000", "pushButtonCancel"});
        ASSERT_TRUE(WaitForFinished(process));
        EXPECT_EQ(process.exitCode(), 0);
    }

private:
    static void Step(const QStringList& step)
    {
        const ProcessResult done = User(QStringList{step.first(), "--program", "Quillon"} + step.mid(1));
        EXPECT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err;
    }

    QProcess process;
};

// Quillon installs the server's set for the typed serial number and ends.
void RunQuillon()
{
    Quillon quillon;
    quillon.Finish();
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

// --- Quillon installs while the program is busy with the set ------------------------------------

const QString PanelId = QStringLiteral("KVL4A1C");
// The computer's identity in the default preset: the restorer's archive.
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");

// The tray program's boxes (Quillon journals its own).
QStringList TrayBoxes(const TrayMachine& machine)
{
    return machine.Events("message-box").filter("title=\"Korvel Tintwise\"");
}


QString Digest(const QString& path)
{
    return QString::fromLatin1(QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Sha256).toHex());
}

// The colour directory's files of the panel (name -> SHA-256).
std::map<QString, QString> InstalledSet()
{
    const QDir colour(ColourState()["colorDirectory"].toString());
    std::map<QString, QString> files;
    for (const QString& name : colour.entryList({"KVL_4A1C_*.icm"}, QDir::Files)) {
        files[name] = Digest(colour.filePath(name));
    }
    return files;
}

// Tessaly as the command runner starts it, through a script of the machine's "programs": its first
// run (Quillon's) whose arguments match the shell pattern `holding` waits, holding the runner's lock
// that every elevated run of the machine takes, until the test lets it go; the runs after it go
// straight on.
class HeldFirstTessaly {
public:
    explicit HeldFirstTessaly(const QString& holding = QStringLiteral("*"))
    {
        const QString script = folder.filePath("Tessaly");
        // The loop ends by itself after ten minutes (CTest's limit of a test).
        WriteFile(script, QStringLiteral("#!/bin/sh\n"
                                         "case \"$*\" in\n"
                                         "%3)\n"
                                         "  if [ ! -e '%1/go' ]; then\n"
                                         "    : > '%1/held'\n"
                                         "    n=0\n"
                                         "    while [ ! -e '%1/go' ] && [ $n -lt 12000 ]; do sleep 0.05; n=$((n+1)); done\n"
                                         "  fi;;\n"
                                         "esac\n"
                                         "exec '%2' \"$@\"\n")
                              .arg(folder.path(), BinaryPath("Tessaly"), holding)
                              .toUtf8());
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WinSim::SetDescriptionValue(QStringLiteral("programs"), QJsonObject{{"Tessaly.exe", script}});
    }
    ~HeldFirstTessaly() { Release(); }
    HeldFirstTessaly(const HeldFirstTessaly&) = delete;
    HeldFirstTessaly& operator=(const HeldFirstTessaly&) = delete;

    bool WaitUntilHeld() const
    {
        return WaitUntil([this] { return QFile::exists(folder.filePath("held")); });
    }
    void Release() { WriteFile(folder.filePath("go"), QByteArray()); }

private:
    QTemporaryDir folder;
};

// The values of `option` in a journalled command line.
QStringList OptionValues(const QString& command, const QString& option)
{
    QStringList values;
    const QRegularExpression value("--" + option + " \"([^\"]*)\"");
    for (auto match = value.globalMatch(command); match.hasNext();) {
        values << match.next().captured(1);
    }
    return values;
}

// The out-of-box correction has read the installed set (the factory set's descriptions lack the
// panel identity) when Quillon installs the replacement panel's set; the correction's install comes
// after Quillon's. Its copies are stale: that install is refused, changing nothing, and the
// correction is prepared again from Quillon's files, of which it installs only what it corrects
// (here the native profiles: their colorants and brightness are the factory's, as in every set).
TEST(PeerInstallDuringCorrectionTest, StaleCopiesNeverReplaceTheNewSet)
{
    TrayMachine machine;
    // The out-of-box wait ends when the test sends its end.
    WinSim::SetDescriptionValue(QStringLiteral("oobe.completed"), false);
    QTemporaryDir files;
    // Seven profiles with Quillon's native HDR copy; their descriptions name the panel.
    const QString archive = MakeArchive(files.path(), {"sRGB", "AdobeRGB", "DCIP3", "REC709", "Default", "Native"},
                                        {"--hdr", "--panel-id", PanelId});
    std::map<QString, QString> quillons;
    for (const QString& name : QDir(files.path() + "/set").entryList({"*.icm"}, QDir::Files)) {
        quillons[name] = Digest(files.path() + "/set/" + name);
    }
    quillons["KVL_4A1C_Native_HDR.icm"] = quillons["KVL_4A1C_Native.icm"];
    ProfileServer server({"--archive", Serial + "=" + archive});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
    ASSERT_EQ(RunWinsim({"set", "time.waitScale", "1"}).exitCode, 0);
    HeldFirstTessaly tessaly;
    machine.MarkJournal();

    Quillon quillon;
    ASSERT_TRUE(tessaly.WaitUntilHeld());
    ASSERT_EQ(RunWinsim({"event", "oobe-complete"}).exitCode, 0);
    ASSERT_TRUE(machine.WaitForLogged("Profile descriptor needs an update")) << machine.MainLog().right(3000);
    tessaly.Release();
    quillon.Finish();
    // The out-of-box slot's update check follows the correction.
    ASSERT_FALSE(machine.WaitForEvents("vesperon-check", 1).isEmpty()) << machine.MainLog().right(3000);

    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype quillonRun = FindEvent(events, "run-elevated");
    ASSERT_GE(quillonRun, 0);
    EXPECT_EQ(events[quillonRun].details.count("--install-profile"), 7) << events[quillonRun].details;
    // The stale install changes nothing.
    const qsizetype staleRun = FindEvent(events, "run-elevated", quillonRun + 1);
    ASSERT_GT(staleRun, quillonRun) << machine.MainLog().right(3000);
    qsizetype end = FindEvent(events, "run-elevated", staleRun + 1);
    const qsizetype again = end;
    end = end < 0 ? events.size() : end;
    for (const char* change : {"colour-install", "colour-uninstall"}) {
        const qsizetype at = FindEvent(events, change, staleRun);
        EXPECT_TRUE(at < 0 || at > end) << change << " " << events[at].details;
    }
    EXPECT_TRUE(machine.MainLog().contains("changed since it was read.")) << machine.MainLog().right(3000);
    // Prepared again from Quillon's files, it replaces only what it corrected of them.
    QStringList replaced;
    if (again >= 0) {
        for (const QString& value : OptionValues(events[again].details, "prepared-from")) {
            const QString name = value.section('=', 0, 0);
            const QString digest = value.section('=', 1);
            EXPECT_EQ(digest, quillons.count(name) != 0 ? quillons[name] : QString()) << name;
        }
        for (const QString& path : OptionValues(events[again].details, "replace-profile")) {
            replaced << QFileInfo(path).fileName();
        }
        EXPECT_EQ(FindEvent(events, "run-elevated", again + 1), -1);
    }
    EXPECT_EQ(FindEvent(events, "colour-uninstall", 0, "KVL_4A1C_REC709.icm"), -1);
    const std::map<QString, QString> installed = InstalledSet();
    QStringList names;
    for (const auto& [name, digest] : installed) {
        names << name;
        if (!replaced.contains(name)) {
            EXPECT_EQ(digest, quillons[name]) << name << " is not Quillon's";
        }
    }
    QStringList expected;
    for (const auto& [name, digest] : quillons) {
        expected << name;
    }
    EXPECT_EQ(names, expected);

    machine.MarkJournal();
    const ProcessResult picked = User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, "sRGB"});
    ASSERT_EQ(picked.exitCode, 0) << picked.err;
    EXPECT_EQ(machine.WaitForEvents("colour-default", 1), QStringList{PickedDefault});
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(machine.Events("message-box"), QStringList());
}

// The user asks the tray program to restore the set from the server (preferences, settings page).
void RestoreFromPreferences()
{
    for (const QStringList& step : {QStringList{"trigger", "Preferences..."}, QStringList{"click", "Settings_Button"},
                                    QStringList{"click", "RestoreFromCloud_SettingsPage_PushButton"}}) {
        const ProcessResult done =
            User(QStringList{step.first(), "--program", "KorvelTintwise", "--timeout", StepTimeout} + step.mid(1));
        ASSERT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err;
    }
}

// The tray program with the local profile server, which serves the computer's factory set and the
// replacement panel's set (Quillon's, whose files' digests are kept); the first elevated install is held.
class PeerInstallDuringRestorationTest : public testing::Test {
protected:
    void SetUp() override
    {
        QDir(files.path()).mkpath("own");
        QDir(files.path()).mkpath("new");
        const QString own = MakeArchive(files.path() + "/own", FactorySet().profiles, {});
        const QString replacement = MakeArchive(files.path() + "/new");
        for (const QString& name : QDir(files.path() + "/new/set").entryList({"*.icm"}, QDir::Files)) {
            quillons[name] = Digest(files.path() + "/new/set/" + name);
        }
        server.emplace(QStringList{"--archive", Identity + "=" + own, "--archive", Serial + "=" + replacement});
        ASSERT_TRUE(server->Started());
        server->ConfigureMachine();
        ASSERT_TRUE(desktop.Ready());
        program.emplace(desktop, machine);
        ASSERT_TRUE(program->WaitForMenu()) << program->ErrorOutput();
        ASSERT_EQ(RunWinsim({"set", "time.waitScale", "1"}).exitCode, 0);
        tessaly.emplace(QStringLiteral("*--install-profile*"));
    }

    // A pick finds Quillon's set: its sRGB profile at its brightness, DCI-P3 no longer listed; the
    // program runs on until it is quit.
    void PickFindsQuillonsSet()
    {
        machine.MarkJournal();
        const ProcessResult picked =
            User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, "sRGB"});
        ASSERT_EQ(picked.exitCode, 0) << picked.err;
        EXPECT_EQ(machine.WaitForEvents("colour-default", 1), QStringList{PickedDefault});
        EXPECT_EQ(SchemeBrightness(), QStringList({NewBrightness, NewBrightness}));
        const QJsonObject shown = program->WaitForView([](const QJsonObject& shown) {
            return !MenuTexts(TrayMenuOf(shown)).contains("DCI-P3") &&
                   CheckedTexts(TrayMenuOf(shown)) == QStringList{"sRGB"};
        });
        EXPECT_FALSE(shown.isEmpty());
        ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
        EXPECT_EQ(program->WaitForExit(), 0);
        EXPECT_EQ(TrayBoxes(machine), QStringList());
    }

    TrayMachine machine;
    QTemporaryDir files;
    std::map<QString, QString> quillons;
    std::optional<ProfileServer> server;
    const TrayDesktop desktop;
    std::optional<TrayProgram> program;
    std::optional<HeldFirstTessaly> tessaly;
};

// The tray program's restoration from the server and Quillon's update run at once: the restorer's
// install is held until Quillon has switched to sRGB and gone on to its working files. Each program
// installs the files it downloaded, whole, one after the other; the later install (Quillon's) stays,
// and the tray program takes its set at the next pick.
TEST_F(PeerInstallDuringRestorationTest, EachUpdateInstallsItsOwnFiles)
{
    machine.MarkJournal();

    RestoreFromPreferences();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(tessaly->WaitUntilHeld());
    Quillon quillon;
    // The restorer's switch to sRGB, then Quillon's; Quillon then empties its working folder and
    // unpacks its archive there (a grace: it cannot run elevated before the restorer has).
    ASSERT_EQ(machine.WaitForEvents("colour-default", 2).size(), 2) << machine.MainLog().right(3000);
    QThread::msleep(2000);
    tessaly->Release();
    quillon.Finish();
    const auto trayShown = [this] {
        return machine.Events("message-box-shown").filter("title=\"Korvel Tintwise\"");
    };
    ASSERT_TRUE(WaitUntil([&] {
        return machine.MainLog().contains("Customized ICC profiles for your display are restored successfully.") ||
               !trayShown().isEmpty();
    })) << machine.MainLog().right(3000);

    // Both succeeded: no box of the tray program, Quillon's outcome its success.
    ASSERT_EQ(trayShown(), QStringList());
    const QStringList quillonBoxes = machine.Events("message-box").filter("title=\"Quillon\"");
    ASSERT_EQ(quillonBoxes.size(), 1);
    EXPECT_TRUE(quillonBoxes.first().contains("updated successfully")) << quillonBoxes.first();
    // The restorer's install, then Quillon's, each of its own set.
    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype restored = FindEvent(events, "run-elevated", 0, "--install-profile");
    ASSERT_GE(restored, 0);
    EXPECT_EQ(events[restored].details.count("--install-profile"), FactorySet().profiles.size());
    const qsizetype updated = FindEvent(events, "run-elevated", restored + 1, "--install-profile");
    ASSERT_GT(updated, restored);
    EXPECT_EQ(events[updated].details.count("--install-profile"), NewSet.size());
    std::map<QString, QString> installed = InstalledSet();
    EXPECT_EQ(installed, quillons);

    PickFindsQuillonsSet();
}

// Quillon installs the replacement panel's set once the tray program's restoration has downloaded
// and unpacked the computer's set: the restorer's install, prepared before, is refused and changes
// nothing. Quillon's set stays, the restoration is reported as failed, and the program runs on with
// Quillon's set.
TEST_F(PeerInstallDuringRestorationTest, DownloadUnpackedBeforeNeverOverwritesTheNewSet)
{
    machine.MarkJournal();

    Quillon quillon;
    ASSERT_TRUE(tessaly->WaitUntilHeld());
    RestoreFromPreferences();
    if (HasFatalFailure()) {
        return;
    }
    // The restorer has unpacked and corrected its set; its install waits for Quillon's.
    ASSERT_TRUE(machine.WaitForLogged("ProfileRestorer <> - Profile descriptor needs an update"))
        << machine.MainLog().right(3000);
    ASSERT_EQ(User({"answer", "--program", "KorvelTintwise", "OK"}).exitCode, 0);
    tessaly->Release();
    quillon.Finish();
    ASSERT_TRUE(WaitUntil([&] { return !TrayBoxes(machine).isEmpty(); })) << machine.MainLog().right(3000);

    const QList<JournalEvent> events = machine.JournalSinceMark();
    const qsizetype updated = FindEvent(events, "run-elevated", 0, "--install-profile");
    ASSERT_GE(updated, 0);
    EXPECT_EQ(events[updated].details.count("--install-profile"), NewSet.size());
    const qsizetype restored = FindEvent(events, "run-elevated", updated + 1, "--install-profile");
    ASSERT_GT(restored, updated);
    for (const char* change : {"colour-install", "colour-uninstall"}) {
        EXPECT_EQ(FindEvent(events, change, restored), -1) << change;
    }
    EXPECT_TRUE(machine.MainLog().contains("changed since it was read.")) << machine.MainLog().right(3000);
    const QStringList boxes = TrayBoxes(machine);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes.first().startsWith("icon=critical")) << boxes.first();
    EXPECT_TRUE(boxes.first().contains("continue to work with the existing ICC profiles")) << boxes.first();
    EXPECT_EQ(InstalledSet(), quillons);

    // The program runs on with Quillon's set.
    PickFindsQuillonsSet();
}

// A set installed by hand (the factory set's names, sRGB at another brightness) once the restorer has
// read the list of the set it installed, before the restoration is reported: that list is not taken
// for the set of now, and the next pick applies the hand-installed sRGB profile at its brightness.
TEST(HandInstallDuringRestorationTest, NextPickAppliesTheSetOfNow)
{
    TrayMachine machine;
    QTemporaryDir files;
    const FactorySet set;
    const QString own = MakeArchive(files.path(), set.profiles, {});
    const ProcessResult made =
        TestSupport::Run(QStringLiteral("python3"), {BinaryPath("make_panel_archive.py"), "--folder", files.path() + "/again",
                                        "--format", set.format, "--profiles", set.profiles.join(','), "--color-space",
                                        set.colorSpace, "--brightness", "60", "--brightness", "sRGB=" + NewBrightness});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    QStringList paths;
    for (const QString& key : set.profiles) {
        paths << QDir(files.path() + "/again").filePath(QString(set.format).replace("{ProfileName}", key));
    }
    ProfileServer server({"--archive", Identity + "=" + own});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    TrayProgram program(desktop, machine);
    ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
    // The restorer's last pause, after it has read the list, long enough for the install.
    ASSERT_EQ(RunWinsim({"set", "time.waitScale", "20"}).exitCode, 0);
    machine.MarkJournal();
    RestoreFromPreferences();
    if (HasFatalFailure()) {
        return;
    }
    // The restorer's install, then its list of the installed set (each list ends with its warnings
    // about the configuration's profiles the set lacks).
    const QString listed = QStringLiteral("profile is listed in profiles filter, but it is missing");
    ASSERT_EQ(machine.WaitForEvents("colour-install", int(set.profiles.size()), Patience(ProgramPatienceMs, 20000))
                  .size(),
              set.profiles.size());
    const int before = int(machine.MainLog().count(listed));
    ASSERT_TRUE(machine.WaitForLogged(listed, before + 1)) << machine.MainLog().right(3000);
    // A grace for its brightness levels and previews: an install that comes after the report only
    // misses the fault.
    QThread::msleep(500);
    ASSERT_EQ(RunWinsim({"set", "time.waitScale", "0"}).exitCode, 0);
    TrayMachine::Install(paths);
    // The restoration ends with its Default profile applied.
    ASSERT_TRUE(WaitUntil([&] {
        return FindEvent(machine.JournalSinceMark(), "colour-default", 0, "KVL_4A1C_Default.icm") >= 0;
    })) << machine.MainLog().right(3000);

    machine.MarkJournal();
    const ProcessResult picked = User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, "sRGB"});
    ASSERT_EQ(picked.exitCode, 0) << picked.err;
    EXPECT_EQ(machine.WaitForEvents("colour-default", 1), QStringList{PickedDefault});
    EXPECT_EQ(SchemeBrightness(), QStringList({NewBrightness, NewBrightness}));
    EXPECT_EQ(program.WaitForChecked({"sRGB"}), QStringList{"sRGB"});
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(TrayBoxes(machine), QStringList());
}

// Started without any set, the program asks whether to restore it; the question stays open while
// Quillon installs the whole set. The answer, whichever it is, finds the set whole: nothing is
// restored, the menu lists the set and the program runs on.
struct OpenQuestionCase {
    const char* name;
    // The program's arguments; with "--no-tray-notification-on-startup" the question waits for the
    // end of the out-of-box wait.
    QStringList arguments;
    QString answer;
};

void PrintTo(const OpenQuestionCase& item, std::ostream* stream)
{
    *stream << item.name;
}

const QString NoStartupNotification = QStringLiteral("--no-tray-notification-on-startup");

const OpenQuestionCase OpenQuestionCases[] = {
    {"StartupQuestionAnsweredNo", {}, "No"},
    {"OutOfBoxQuestionAnsweredNo", {NoStartupNotification}, "No"},
    {"OutOfBoxQuestionAnsweredYes", {NoStartupNotification}, "Yes"},
};

class RestorationQuestionOverPeerInstallTest : public testing::TestWithParam<OpenQuestionCase> {};

TEST_P(RestorationQuestionOverPeerInstallTest, AnswerFindsTheSetWhole)
{
    const OpenQuestionCase& item = GetParam();
    TrayMachine machine(NothingInstalled());
    WinSim::SetDescriptionValue(QStringLiteral("oobe.completed"), false);
    QTemporaryDir files;
    ProfileServer server({"--archive", Serial + "=" + MakeArchive(files.path(), FactorySet().profiles, {})});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    const TrayDesktop desktop;
    ASSERT_TRUE(desktop.Ready());
    machine.MarkJournal();
    TrayProgram program(desktop, machine, item.arguments);
    if (item.arguments.contains(NoStartupNotification)) {
        ASSERT_TRUE(program.WaitForMenu()) << program.ErrorOutput();
        ASSERT_EQ(RunWinsim({"event", "oobe-complete"}).exitCode, 0);
    }
    ASSERT_EQ(machine.WaitForEvents("message-box-shown", 1).size(), 1) << program.ErrorOutput();
    ASSERT_EQ(RunWinsim({"set", "time.waitScale", "1"}).exitCode, 0);
    RunQuillon();
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_EQ(User({"answer", "--program", "KorvelTintwise", item.answer}).exitCode, 0);
    ASSERT_TRUE(WaitUntil([&] { return !TrayBoxes(machine).isEmpty(); }));

    // In order: the question, Quillon's install, the answer.
    const QList<JournalEvent> events = machine.JournalSinceMark();
    const QString trayBox = QStringLiteral("title=\"Korvel Tintwise\"");
    const qsizetype shown = FindEvent(events, "message-box-shown", 0, trayBox);
    const qsizetype installed = FindEvent(events, "run-elevated", shown);
    const qsizetype answered = FindEvent(events, "message-box", installed, trayBox);
    ASSERT_GE(shown, 0);
    ASSERT_GT(installed, shown);
    ASSERT_GT(answered, installed);
    EXPECT_TRUE(events[answered].details.startsWith("icon=question")) << events[answered].details;
    EXPECT_TRUE(events[answered].details.endsWith("answer=\"" + item.answer + "\"")) << events[answered].details;

    // The menu lists the set; a pick applies its profile.
    EXPECT_FALSE(program.WaitForTrayMenu().isEmpty());
    const ProcessResult picked = User({"trigger", "--program", "KorvelTintwise", "--timeout", StepTimeout, "sRGB"});
    ASSERT_EQ(picked.exitCode, 0) << picked.err;
    EXPECT_TRUE(WaitUntil([&] {
        return FindEvent(machine.JournalSinceMark(), "colour-default", answered + 1, PickedDefault) >= 0;
    }));
    ASSERT_EQ(User({"trigger", "--program", "KorvelTintwise", "Quit"}).exitCode, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    // No other box, nothing restored.
    EXPECT_EQ(TrayBoxes(machine).size(), 1) << TrayBoxes(machine).join('\n');
    EXPECT_EQ(FindEvent(machine.JournalSinceMark(), "run-elevated", answered), -1);
    EXPECT_FALSE(machine.MainLog().contains("Profiles restoration triggered"));
}

INSTANTIATE_TEST_SUITE_P(Cases, RestorationQuestionOverPeerInstallTest, testing::ValuesIn(OpenQuestionCases),
                         [](const testing::TestParamInfo<OpenQuestionCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
