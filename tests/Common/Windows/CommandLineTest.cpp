#include "Common/Application/Paths.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using Korvel::DisplayCalibration::Common::UserDataDirectory;
using Korvel::DisplayCalibration::Common::Windows::CommandLine;
using Korvel::DisplayCalibration::Common::Windows::CommandLineException;
using TestSupport::BinaryPath;
using TestSupport::ScopedEnvironment;
using TestSupport::TemporaryMachine;

namespace {

constexpr std::uint32_t Failed = 0xFFFFFFFFu;

// The helper's command line: each argument quoted, inner double quotes escaped.
QString EchoExit(const QStringList& arguments)
{
    QString command = CommandLine::QuotePath(BinaryPath("echoexit"));
    for (QString argument : arguments) {
        command += " \"" + argument.replace("\"", "\\\"") + "\"";
    }
    return command;
}

QString ScriptsFolder()
{
    return UserDataDirectory() + "/scripts";
}

QStringList ScriptFiles()
{
    return QDir(ScriptsFolder()).entryList(QDir::Files | QDir::Hidden);
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(path.section('/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TEST(CommandLineTest, QuotePath)
{
    EXPECT_EQ(CommandLine::QuotePath("/opt/Korvel Inc/bin/Tessaly.exe"), "\"/opt/Korvel Inc/bin/Tessaly.exe\"");
    EXPECT_EQ(CommandLine::QuotePath(""), "\"\"");
}

TEST(CommandLineTest, RunsAndReadsBackTheResult)
{
    const struct {
        const char* name;
        QStringList arguments;  // exit code, then the lines printed
        bool elevated;
        std::uint32_t result;
        QString output;
    } cases[] = {
        {"exit 0", {"0", "Profile installed"}, true, 0, "Profile installed"},
        {"nonzero exit", {"7", "Profile not found"}, true, Failed, "Profile not found"},
        {"trailing full stop", {"0", "Done.."}, true, 0, "Done."},
        {"several lines", {"0", "  first  line ", "", "second\tline"}, false, 0, "first line second line"},
        {"quote pairs", {"0", "It's '\"quoted\"' and \"'this'\""}, true, 0, "It's \"quoted\" and \"this\""},
        {"error output", {"2", "out", "--stderr=Access is denied."}, true, Failed, "out Access is denied"},
        {"no output", {"0"}, true, 0, ""},
        {"UTF-8", {"0", "Größe 10 %"}, true, 0, "Größe 10 %"},
    };
    const TemporaryMachine machine;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString output = "unchanged";
        EXPECT_EQ(CommandLine::Run(EchoExit(c.arguments), c.elevated, output), c.result);
        EXPECT_EQ(output, c.output);
        EXPECT_EQ(ScriptFiles(), QStringList());
    }
}

// A symbolic link at the scripts folder, its lock or a file the run writes is removed or replaced as a
// link: the run works on the machine's own files and the outside folder stays as it was.
TEST(CommandLineTest, LinksAtTheScriptsNamesAreNotFollowed)
{
    const struct {
        const char* name;
        QString link;     // below the user's folder
        QString target;   // in the outside folder ("" for the folder itself)
    } cases[] = {
        {"scripts folder", "scripts", ""},
        {"lock to a file", "scripts.lock", "kept.txt"},
        {"lock to a missing file", "scripts.lock", "made.lock"},
        {"batch file", "scripts/TempScript.bat", "kept.bat"},
        {"output", "scripts/stdout.txt", "kept.txt"},
        {"exit code", "scripts/exitcode.txt", "kept.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TemporaryMachine machine;
        const TestSupport::OutsideFolder outside;
        const auto before = outside.Contents();
        const QString link = UserDataDirectory() + "/" + c.link;
        TestSupport::PlantLink(c.target.isEmpty() ? outside.Path() : outside.FilePath(c.target), link);

        QString output;
        EXPECT_EQ(CommandLine::Run(EchoExit({"0", "done"}), true, output), 0u);
        EXPECT_EQ(output, "done");
        EXPECT_EQ(outside.Contents(), before);
        EXPECT_FALSE(QFileInfo(link).isSymLink());
    }
}

TEST(CommandLineTest, StaleExitCodeFileNeverSuppliesTheResult)
{
    const TemporaryMachine machine;
    WriteFile(ScriptsFolder() + "/exitcode.txt", "0\r\n");
    WriteFile(ScriptsFolder() + "/stdout.txt", "stale output");
    QString output;
    EXPECT_EQ(CommandLine::Run(EchoExit({"1", "fresh"}), true, output), Failed);
    EXPECT_EQ(output, "fresh");
    EXPECT_EQ(ScriptFiles(), QStringList());
}

TEST(CommandLineTest, NonNumericExitCodeGivesFailure)
{
    const TemporaryMachine machine;
    // cmd prefers a variable named errorLevel to the exit code when one is defined.
    const ScopedEnvironment errorLevel("ERRORLEVEL", "none");
    QString output;
    EXPECT_EQ(CommandLine::Run(EchoExit({"0", "ran"}), true, output), Failed);
    EXPECT_EQ(output, "ran");
}

TEST(CommandLineTest, PromptAnswers)
{
    const struct {
        const char* prompt;
        int errorCode;
        std::int32_t exceptionCode;
        const char* message;
    } cases[] = {
        {"refuse", 0, -1, "Administrator privileges not granted by user."},
        {"fail", 5, 5, "Access is denied."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt);
        const TemporaryMachine machine;
        WinSim::SetDescriptionValue("elevation.prompt", QString::fromLatin1(c.prompt));
        WinSim::SetDescriptionValue("elevation.errorCode", c.errorCode);
        QString output = "unchanged";
        try {
            CommandLine::Run(EchoExit({"0", "must not run"}), true, output);
            ADD_FAILURE() << "no exception";
        } catch (const CommandLineException& error) {
            EXPECT_EQ(error.Code(), c.exceptionCode);
            EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith(QString::fromLatin1(c.message))) << error.what();
        }
        EXPECT_EQ(output, "unchanged");
        EXPECT_EQ(ScriptFiles(), QStringList());
        EXPECT_FALSE(WinSim::ReadJournal().join('\n').contains("echoexit"));

        // Without elevation nobody is asked.
        EXPECT_EQ(CommandLine::Run(EchoExit({"0", "plain"}), false, output), 0u);
        EXPECT_EQ(output, "plain");
    }
}

TEST(CommandLineTest, ElevatedRunIsElevatedAndJournaled)
{
    const TemporaryMachine machine;
    QString output;
    ASSERT_EQ(CommandLine::Run(CommandLine::QuotePath(BinaryPath("echoexit")) + " --elevation 0", true, output), 0u);
    EXPECT_EQ(output, "elevated");
    ASSERT_EQ(CommandLine::Run(CommandLine::QuotePath(BinaryPath("echoexit")) + " --elevation 0", false, output), 0u);
    EXPECT_EQ(output, "not elevated");

    const QStringList journal = WinSim::ReadJournal();
    const QString command = CommandLine::QuotePath(BinaryPath("echoexit")) + " --elevation 0";
    EXPECT_EQ(journal.filter(" elevation-prompt accept ").size(), 1);
    EXPECT_EQ(journal.filter(QRegularExpression(" run-elevated " + QRegularExpression::escape(command) + "$")).size(), 1);
    EXPECT_EQ(journal.filter(QRegularExpression(" run " + QRegularExpression::escape(command) + "$")).size(), 1);
}

TEST(CommandLineTest, PercentAndAmpersandReachTheProgramUnchanged)
{
    const TemporaryMachine machine;
    // A "%" in the scripts folder's path too.
    const ScopedEnvironment user("USER", "ann%PATH%");
    QString output;
    ASSERT_EQ(CommandLine::Run(EchoExit({"0", "a%PATH%&b", "100%", "%%", "x^y"}), true, output), 0u);
    EXPECT_EQ(output, "a%PATH%&b 100% %% x^y");
    EXPECT_EQ(ScriptFiles(), QStringList());
}

TEST(CommandLineTest, CommandThatCannotBeOneBatchLineIsRefused)
{
    const TemporaryMachine machine;
    const QString fits = EchoExit({"0", QString(7000, 'x')});
    QString output;
    ASSERT_EQ(CommandLine::Run(fits, false, output), 0u);
    const struct {
        const char* name;
        QString command;
    } cases[] = {
        {"line break", EchoExit({"0", "one"}) + "\r\n" + EchoExit({"0", "two"})},
        {"line feed", EchoExit({"0", "one"}) + "\n" + EchoExit({"0", "two"})},
        {"NUL", EchoExit({"0", "one"}) + QChar(0) + "& " + EchoExit({"0", "two"})},
        // cmd reads at most 8191 characters of a line, each "%" written as "%%".
        {"too long", EchoExit({"0", QString(8200, 'x')})},
        {"too long once escaped", EchoExit({"0", QString(4100, '%')})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THROW(CommandLine::Run(c.command, true, output), CommandLineException);
        EXPECT_EQ(WinSim::ReadJournal().filter("echoexit").size(), 1);
        EXPECT_EQ(ScriptFiles(), QStringList());
    }
}

TEST(CommandLineTest, ToolPathRunsTheBuiltToolsElevated)
{
    const TemporaryMachine machine;
    QString output;
    const QString tool = CommandLine::QuotePath(QFileInfo(BinaryPath("Tessaly")).absolutePath() + "/Tessaly.exe");
    // A removal alone counts as work for the tool (exit code 0); without options it ends with 160.
    EXPECT_EQ(CommandLine::Run(tool + " --remove-registry-key Absent", true, output), 0u);
    EXPECT_EQ(WinSim::ReadJournal().filter(" run-elevated " + tool).size(), 1);

    // The task tool knows no task yet.
    EXPECT_EQ(CommandLine::Run("SchTasks /Query /TN \"KorvelTintwiseStartup\"", false, output), Failed);
    EXPECT_EQ(output, "ERROR: The system cannot find the file specified");
    EXPECT_EQ(WinSim::ReadJournal().filter(" schtasks /Query /TN KorvelTintwiseStartup").size(), 1);
}

TEST(CommandLineTest, RunsOfTwoProcessesDoNotMix)
{
    const TemporaryMachine machine;
    QProcess first;
    QProcess second;
    const auto start = [](QProcess& process, const QString& text) {
        process.start(BinaryPath("runcommand"),
                      {"6", text, CommandLine::QuotePath(BinaryPath("echoexit")) + " --sleep=30 0 " + text});
    };
    start(first, "first");
    start(second, "second");
    for (QProcess* process : {&first, &second}) {
        ASSERT_TRUE(TestSupport::WaitForFinished(*process));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardOutput().toStdString();
    }
}

// The lock beside the scripts folder: an empty lock file does not block, a live holder makes a
// run give up after a bounded wait, and a killed holder's lock is free at once.
TEST(CommandLineTest, LockOfAKilledRunIsFreeAndAWaitHasABound)
{
    const TemporaryMachine machine;
    WriteFile(ScriptsFolder() + ".lock", QByteArray());
    QString output;
    ASSERT_EQ(CommandLine::Run(EchoExit({"0", "first"}), false, output), 0u);

    // Another process runs a long command; it and what it started form one process group.
    QProcess holder;
    holder.setChildProcessModifier([] { ::setpgid(0, 0); });
    holder.start(BinaryPath("runcommand"), {"1", "held", EchoExit({"--sleep=60000", "0", "held"})});
    ASSERT_TRUE(holder.waitForStarted());
    ASSERT_TRUE(TestSupport::WaitUntil([] { return !WinSim::ReadJournal().filter("held").isEmpty(); }));

    WinSim::SetDescriptionValue("time.waitScale", 0.002);
    try {
        CommandLine::Run(EchoExit({"0", "waits"}), false, output);
        ADD_FAILURE() << "no exception";
    } catch (const CommandLineException& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith("Another elevated command did not end in time"))
            << error.what();
    }
    EXPECT_TRUE(WinSim::ReadJournal().filter("waits").isEmpty());

    ::kill(-pid_t(holder.processId()), SIGKILL);
    ASSERT_TRUE(holder.waitForFinished());
    EXPECT_EQ(CommandLine::Run(EchoExit({"0", "after"}), false, output), 0u);
    EXPECT_EQ(output, "after");
}

}  // namespace
