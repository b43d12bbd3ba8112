// The tray program's start-up protocol run by processes of simulated machines (tests/helpers/traystart).
#include "Common/Application/MultipleInstancesGuard.h"
#include "Common/Application/Paths.h"
#include "Common/Application/Network/NewApplicationInstanceNotifier.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/NamedObjects.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSharedMemory>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using Korvel::DisplayCalibration::Common::Application::MultipleInstancesGuard;
using Korvel::DisplayCalibration::Common::Application::NewApplicationInstanceNotifier;
using TestSupport::BinaryPath;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;
using TestSupport::WaitForLine;

namespace {

const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise");

// A start of the tray program on `machine`, running while the test talks to it.
class TrayStart {
public:
    explicit TrayStart(const QString& machine, const QStringList& arguments = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(WinSim::MachineVariable, machine);
        process.setProcessEnvironment(environment);
        process.start(BinaryPath("traystart"), arguments);
    }
    ~TrayStart()
    {
        process.kill();
        process.waitForFinished();
    }

    bool WaitFor(const QString& line) { return WaitForLine(process, line, seen); }
    // Printed already, or printed from now on.
    bool Printed(const QString& line) { return seen.contains(line) || WaitFor(line); }
    bool WaitForPrefix(const QString& prefix, QString* line = nullptr)
    {
        const bool found = WaitForLine(process, [&prefix](const QString& text) { return text.startsWith(prefix); }, seen);
        if (found && line != nullptr) {
            *line = seen.last();
        }
        return found;
    }
    // Ends it as the user would (standard input closed) and returns the lines it printed.
    QStringList End()
    {
        process.closeWriteChannel();
        EXPECT_TRUE(TestSupport::WaitForFinished(process));
        EXPECT_EQ(process.exitCode(), 0);
        while (process.canReadLine()) {
            seen << QString::fromUtf8(process.readLine()).trimmed();
        }
        return seen;
    }
    void Kill()
    {
        ::kill(pid_t(process.processId()), SIGKILL);
        EXPECT_TRUE(TestSupport::WaitForFinished(process));
    }

    QProcess process;
    QStringList seen;
};

// A start after the first instance ended, however it ended: it owns the instance at once.
std::unique_ptr<TrayStart> StartAfterEnd(const QString& machine)
{
    auto start = std::make_unique<TrayStart>(machine);
    start->WaitFor("ready");
    return start;
}

// A start that finds the first instance: it must end at once with exit code 0.
void SecondStart(const QString& machine, const QStringList& arguments)
{
    const auto result =
        TestSupport::Run(BinaryPath("traystart"), arguments, [&machine] {
            QProcessEnvironment environment;
            environment.insert(WinSim::MachineVariable, machine);
            return environment;
        }());
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(result.out.endsWith("second instance\n")) << result.out;
}

QString Sha1Hex(const QByteArray& text)
{
    const QTemporaryDir directory;
    TestSupport::WriteFile(directory.filePath("text"), text);
    return TestSupport::Run("openssl", {"dgst", "-sha1", "-r", directory.filePath("text")}).out.section(' ', 0, 0);
}

TEST(TrayStartTest, NamesAreTheDigestsOfKeyAndApplicationName)
{
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("Korvel Tintwise");
    const TemporaryMachine machine;
    EXPECT_EQ(MultipleInstancesGuard("Korvel Tintwise").SegmentKey(), Sha1Hex("Korvel Tintwise_sharedmemKey"));
    EXPECT_EQ(MultipleInstancesGuard("Gr\u00fcn").SegmentKey(), Sha1Hex(QString("Gr\u00fcn_sharedmemKey").toUtf8()));
    EXPECT_EQ(NewApplicationInstanceNotifier::ServerName(), Sha1Hex("Korvel Tintwise_NewApplicationInstanceNotifier"));
}

TEST(TrayStartTest, SecondStartsHandTheirWishOverAndEndTheWait)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("time.waitScale", 0.01);
    TrayStart first(machine.Path());
    ASSERT_TRUE(first.WaitFor("ready")) << first.seen.join('|');
    EXPECT_EQ(first.seen.first(), "first instance");

    const struct {
        QStringList arguments;
        QString value;
    } starts[] = {
        {{"--withGUI"}, "1"},
        {{}, "0"},
        {{"--withgui", "--no-tray-notification-on-startup"}, "0"},
        {{"--no-tray-notification-on-startup", "--withGUI"}, "1"},
    };
    for (const auto& start : starts) {
        SCOPED_TRACE(start.arguments.join(' ').toStdString());
        SecondStart(machine.Path(), start.arguments);
        QString line;
        ASSERT_TRUE(first.WaitForPrefix("NewInstanceStarted", &line)) << first.seen.join('|');
        EXPECT_EQ(line, "NewInstanceStarted " + start.value + " 0");
    }
    // The second start ended without destructors, yet its record reached the registry and the first
    // instance's countdown saw it.
    EXPECT_EQ(RunWinsim({"reg", "get", UserKey, "OOBE"}).out.trimmed(), "user_ended_oobe");
    EXPECT_TRUE(first.Printed("OobeCompleted")) << first.seen.join('|');
    const QStringList lines = first.End();
    EXPECT_EQ(lines.count("OobeCompleted"), 1) << lines.join('|');
}

TEST(TrayStartTest, AStartAfterTheFirstEndedOwnsTheInstance)
{
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "clean exit");
        const TemporaryMachine machine;
        {
            TrayStart first(machine.Path());
            ASSERT_TRUE(first.WaitFor("ready"));
            killed ? first.Kill() : void(first.End());
        }
        const std::unique_ptr<TrayStart> next = StartAfterEnd(machine.Path());
        ASSERT_TRUE(next->seen.contains("ready")) << next->seen.join('|');
        EXPECT_EQ(next->seen.first(), "first instance");
        SecondStart(machine.Path(), {"--withGUI"});
        EXPECT_TRUE(next->WaitFor("NewInstanceStarted 1 0")) << next->seen.join('|');
        next->End();
    }
}

// A segment still attached after its instance ended (here by the test; the system can keep an ended
// process's attachment a while) makes no start a second one.
TEST(TrayStartTest, SegmentOutlivingItsInstanceBlocksNoStart)
{
    const TemporaryMachine machine;
    QSharedMemory left(WinSim::LocalObjectName(MultipleInstancesGuard("Korvel Tintwise").SegmentKey()));
    ASSERT_TRUE(left.create(8)) << left.errorString().toStdString();
    TrayStart first(machine.Path());
    ASSERT_TRUE(first.WaitFor("ready")) << first.seen.join('|');
    EXPECT_EQ(first.seen.first(), "first instance");
    SecondStart(machine.Path(), {"--withGUI"});
    EXPECT_TRUE(first.WaitFor("NewInstanceStarted 1 0")) << first.seen.join('|');
    first.End();
}

TEST(TrayStartTest, InstancesOfTwoMachinesNeverMeet)
{
    const TemporaryMachine one;
    const TemporaryMachine other;
    TrayStart first(one.Path());
    TrayStart firstOfOther(other.Path());
    ASSERT_TRUE(first.WaitFor("ready"));
    ASSERT_TRUE(firstOfOther.WaitFor("ready"));
    EXPECT_EQ(firstOfOther.seen.first(), "first instance");

    SecondStart(one.Path(), {"--withGUI"});
    EXPECT_TRUE(first.WaitFor("NewInstanceStarted 1 0"));
    EXPECT_EQ(firstOfOther.End().filter("NewInstanceStarted"), QStringList());
    first.End();
}

// A running start waits for OOBE and counts once winsim finishes it; a killed one is forgotten.
TEST(TrayStartTest, FinishedOobeReachesRunningStartsOnly)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("time.waitScale", 0.01);
    const QString countFile = Korvel::DisplayCalibration::Common::LogDirectory() + "/OobeTime.log";
    for (const bool killed : {true, false}) {
        SCOPED_TRACE(killed ? "killed" : "running");
        WinSim::SetDescriptionValue("oobe.completed", false);
        const std::unique_ptr<TrayStart> start = StartAfterEnd(machine.Path());
        TrayStart& tray = *start;
        ASSERT_TRUE(tray.seen.contains("ready")) << tray.seen.join('|');
        if (killed) {
            tray.Kill();
        }
        EXPECT_EQ(RunWinsim({"event", "oobe-complete"}).out.trimmed(),
                  killed ? "delivered to 0 programs" : "delivered to 1 program");
        if (!killed) {
            EXPECT_TRUE(TestSupport::WaitUntil([&countFile] { return QFile::exists(countFile); }));
            tray.End();
        }
        EXPECT_EQ(QDir(machine.Path() + "/oobe-waits").entryList(QDir::System | QDir::Files), QStringList());
    }
}

// Five display changes 500 ms apart (sent by one winsim run, so that no start-up of winsim comes
// between them): profiles are aligned at each, the settings change is handled once, 2000 ms after
// the last.
TEST(TrayStartTest, DisplayChangesArriveDebounced)
{
    const TemporaryMachine machine;
    TrayStart tray(machine.Path());
    ASSERT_TRUE(tray.WaitFor("ready"));
    EXPECT_EQ(RunWinsim({"event", "display-change", "--repeat", "5", "--interval", "500"}).out.split('\n', Qt::SkipEmptyParts),
              QStringList(5, "delivered to 1 program"));
    QList<qint64> aligned;
    for (int i = 0; i < 5; ++i) {
        QString line;
        ASSERT_TRUE(tray.WaitForPrefix("alignProfiles ", &line)) << tray.seen.join('|');
        aligned << line.section(' ', 1).toLongLong();
    }
    QString line;
    ASSERT_TRUE(tray.WaitForPrefix("displaySettingsChanged ", &line)) << tray.seen.join('|');
    const qint64 changed = line.section(' ', 1).toLongLong();
    EXPECT_GE(changed - aligned.last(), 1900);
    const QStringList lines = tray.End();
    EXPECT_EQ(lines.filter("alignProfiles").size(), 5);
    EXPECT_EQ(lines.filter("displaySettingsChanged").size(), 1) << lines.join('|');
    EXPECT_EQ(lines.indexOf(line), lines.size() - 1);
}

}  // namespace
