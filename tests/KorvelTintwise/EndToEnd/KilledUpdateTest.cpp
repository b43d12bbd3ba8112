// An update killed once it has made Windows' sRGB profile the display's default: the tray program's
// restoration or Quillon's update, run for real on a machine with the factory set, the user's pick
// and an advanced-colour default; the local profile server serving the set again. The next start of
// the tray program or of Quillon puts the display's defaults of before back, and the tray menu marks
// the profile in force again; a start while another program's update runs changes nothing.
#include "Common/Profile/DefaultProfiles.h"
#include "Common/Profile/ProfileHelper.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <signal.h>

using namespace TestSupport;

namespace {

// The computer's identity in the default preset, and the replacement panel's serial typed in Quillon.
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
const QString Picked = QStringLiteral("KVL_4A1C_AdobeRGB.icm");
const QString AdvancedColor = QStringLiteral("KVL_4A1C_Native.icm");
const QString Srgb = QStringLiteral("sRGB Color Space Profile.icm");
const QString Adapter = QStringLiteral("0:58123:0");
// Long enough that a program paused after its switch to sRGB is still paused when the kill comes.
const QString HoldingScale = QStringLiteral("3000");

enum class Program { Tray, Quillon };

QString NameOf(Program program)
{
    return program == Program::Tray ? QStringLiteral("KorvelTintwise") : QStringLiteral("Quillon");
}

// The display's SDR and advanced-colour defaults in `winsim colour`.
QStringList Defaults()
{
    const QJsonObject colour = ColourState();
    const QJsonObject monitors = colour["defaults"]["currentUser"].toObject();
    const QString sdr = monitors.isEmpty() ? QString() : monitors.begin()->toObject()["RGB_WORKING_SPACE"].toString();
    return {sdr, colour["displayAssociations"]["currentUser"][Adapter]["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"]
                     .toString()};
}

bool RecordStands()
{
    return QFileInfo::exists(Korvel::DisplayCalibration::Common::Profile::DefaultProfilesRecord::Path());
}

// A step of the simulated user in `program`.
void Step(Program program, const QStringList& step)
{
    const ProcessResult done = User(QStringList{step.first(), "--program", NameOf(program)} + step.mid(1));
    EXPECT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err;
}

// Quillon as a program of the machine; killed if it still runs at the end.
class QuillonProgram {
public:
    QuillonProgram(const TrayDesktop& desktop, const TrayMachine& machine)
    {
        process.setProcessEnvironment(desktop.Environment(machine));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(BinaryPath("winsim"), {"run", "--", BinaryPath("Quillon")});
        EXPECT_TRUE(process.waitForStarted(Patience(10000).RemainingMs())) << process.errorString();
    }
    ~QuillonProgram() { EndProcess(process, AskToEnd::Terminate, 5000); }

    void Submit()
    {
        Step(Program::Quillon, {"type", "lineEditPanelID", Serial});
        Step(Program::Quillon, {"click", "pushButtonUpdateProfiles"});
    }
    // Closes the dialog; its exit code.
    int Close()
    {
        Step(Program::Quillon, {"click", "pushButtonCancel"});
        return WaitForFinished(process) && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    void Kill()
    {
        ::kill(pid_t(process.processId()), SIGKILL);
        EXPECT_TRUE(WaitForFinished(process));
    }

private:
    QProcess process;
};

// The factory set installed, the user's pick the SDR default and the native profile the
// advanced-colour default, the per-user list on; the server holds the set for both programs.
class KilledUpdateTest : public testing::Test {
protected:
    void SetUp() override
    {
        const FactorySet set;
        const QString archive = files.filePath("archive.zip");
        const ProcessResult made = TestSupport::Run(
            "python3", {BinaryPath("make_panel_archive.py"), "--output", archive, "--format", set.format, "--profiles",
                        set.profiles.join(','), "--color-space", set.colorSpace, "--brightness", "60"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        server = std::make_unique<ProfileServer>(
            QStringList{"--archive", Identity + "=" + archive, "--archive", Serial + "=" + archive});
        ASSERT_TRUE(server->Started());
        server->ConfigureMachine();
        ASSERT_EQ(RunWinsim({"colour", "per-user", "on"}).exitCode, 0);
        Korvel::DisplayCalibration::Common::Profile::ProfileHelper helper;
        helper.ActivateProfile(Picked, false);
        helper.ActivateProfile(AdvancedColor, true);
        ASSERT_EQ(Defaults(), (QStringList{Picked, AdvancedColor}));
        ASSERT_TRUE(desktop.Ready());
        machine.MarkJournal();
    }

    void SetWaitScale(const QString& scale) { ASSERT_EQ(RunWinsim({"set", "time.waitScale", scale}).exitCode, 0); }

    // Waits for the update's switch to sRGB after the mark; false when it did not come.
    bool WaitForSwitchToSrgb() const
    {
        return WaitUntil([this] {
            return FindEvent(machine.JournalSinceMark(), "colour-default", 0, Srgb) >= 0;
        });
    }

    // Starts the update in `program` and kills it once it has switched the display to sRGB: it is
    // then paused before its next step.
    void KillUpdateAfterSwitch(Program program)
    {
        if (program == Program::Tray) {
            TrayProgram tray(desktop, machine);
            ASSERT_TRUE(tray.WaitForMenu()) << tray.ErrorOutput();
            SetWaitScale(HoldingScale);
            Step(Program::Tray, {"trigger", "Preferences..."});
            Step(Program::Tray, {"click", "Settings_Button"});
            Step(Program::Tray, {"click", "RestoreFromCloud_SettingsPage_PushButton"});
            ASSERT_TRUE(WaitForSwitchToSrgb());
            ::kill(pid_t(tray.Pid()), SIGKILL);
            EXPECT_EQ(tray.WaitForExit(), -1);
        } else {
            QuillonProgram quillon(desktop, machine);
            SetWaitScale(HoldingScale);
            quillon.Submit();
            ASSERT_TRUE(WaitForSwitchToSrgb());
            quillon.Kill();
        }
        SetWaitScale("0");
        ASSERT_EQ(Defaults(), (QStringList{Srgb, AdvancedColor}));
    }

    TrayMachine machine;
    TrayDesktop desktop;
    QTemporaryDir files;
    std::unique_ptr<ProfileServer> server;
};

struct KillCase {
    Program killed;
    Program started;
};

void PrintTo(const KillCase& c, std::ostream* stream)
{
    *stream << NameOf(c.killed).toStdString() << " killed, " << NameOf(c.started).toStdString() << " started";
}

class KilledUpdate : public KilledUpdateTest, public testing::WithParamInterface<KillCase> {};

TEST_P(KilledUpdate, NextStartPutsThePreviousDefaultsBack)
{
    const KillCase& c = GetParam();
    KillUpdateAfterSwitch(c.killed);
    if (HasFatalFailure()) {
        return;
    }
    EXPECT_TRUE(RecordStands());
    const int from = int(WinSim::ReadJournal().size());

    if (c.started == Program::Tray) {
        TrayProgram tray(desktop, machine);
        const QString marked = QStringLiteral("text=\"Adobe RGB\" checked=true");
        ASSERT_TRUE(WaitUntil([&] { return FindEvent(ReadJournalEvents(from), "menu-check", 0, marked) >= 0; }))
            << tray.ErrorOutput();
        // The pick is in force again before the menu marks it.
        const QList<JournalEvent> events = ReadJournalEvents(from);
        const qsizetype putBack = FindEvent(events, "colour-default", 0, Picked);
        ASSERT_GE(putBack, 0);
        EXPECT_LT(putBack, FindEvent(events, "menu-check", 0, marked));
        Step(Program::Tray, {"trigger", "Quit"});
        EXPECT_EQ(tray.WaitForExit(), 0);
    } else {
        QuillonProgram quillon(desktop, machine);
        EXPECT_EQ(quillon.Close(), 0);
        EXPECT_GE(FindEvent(ReadJournalEvents(from), "colour-default", 0, Picked), 0);
    }
    EXPECT_EQ(Defaults(), (QStringList{Picked, AdvancedColor}));
    EXPECT_FALSE(RecordStands());
}

INSTANTIATE_TEST_SUITE_P(Cases, KilledUpdate,
                         testing::Values(KillCase{Program::Tray, Program::Tray},
                                         KillCase{Program::Quillon, Program::Tray},
                                         KillCase{Program::Quillon, Program::Quillon}),
                         [](const testing::TestParamInfo<KillCase>& info) {
                             return NameOf(info.param.killed).toStdString() + "KilledThen" +
                                    NameOf(info.param.started).toStdString() + "Starts";
                         });

// Quillon's update waits for its user's answer about the per-user list (switched off), its record
// standing: a start of the tray program then leaves the defaults and the record alone, and the
// update, answered, ends as it would have and removes its record.
TEST_F(KilledUpdateTest, StartDuringAnotherProgramsUpdateChangesNothing)
{
    ASSERT_EQ(RunWinsim({"colour", "per-user", "off"}).exitCode, 0);
    SetWaitScale("3");
    QuillonProgram quillon(desktop, machine);
    quillon.Submit();
    ASSERT_FALSE(machine.WaitForEvents("message-box-shown", 1).isEmpty());
    EXPECT_TRUE(RecordStands());
    const QStringList during = Defaults();
    const int from = int(WinSim::ReadJournal().size());

    TrayProgram tray(desktop, machine);
    ASSERT_TRUE(WaitUntil([&] { return FindEvent(ReadJournalEvents(from), "tray-icon-painted") >= 0; }))
        << tray.ErrorOutput();
    EXPECT_EQ(FindEvent(ReadJournalEvents(from), "colour-default"), -1);
    EXPECT_EQ(Defaults(), during);
    EXPECT_TRUE(RecordStands());

    ASSERT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);  // the per-user list
    ASSERT_EQ(User({"answer", "--program", "Quillon", "OK"}).exitCode, 0);  // the outcome
    EXPECT_EQ(quillon.Close(), 0);
    EXPECT_EQ(Defaults()[0], "KVL_4A1C_Default.icm");
    EXPECT_FALSE(RecordStands());
    Step(Program::Tray, {"trigger", "Quit"});
    EXPECT_EQ(tray.WaitForExit(), 0);
}

}  // namespace
