// The logon task through the command runner and the stand-in's task tool, run by tests/helpers/logontask
// from a program folder whose path needs quoting and XML escaping.
#include "Common/Application/Paths.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Korvel::DisplayCalibration::Common::UserDataDirectory;
using TestSupport::BinaryPath;
using TestSupport::ReadFile;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

class SchedulerStartupTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(folder));
        for (const char* name : {"logontask", "winsim"}) {
            ASSERT_TRUE(QFile::copy(BinaryPath(name), folder + "/" + name)) << name;
        }
    }

    // One operation of the helper: what it printed, and its exit code.
    std::pair<QString, int> Helper(const QString& operation)
    {
        const auto result = TestSupport::Run(program, {operation});
        return {result.out.trimmed(), result.exitCode};
    }

    QString TaskFile() const { return WinSim::MapWindowsPath("C:/Windows/System32/Tasks/KorvelTintwiseStartup"); }
    QString DefinitionFile() const { return UserDataDirectory() + "/scripts/KorvelTintwiseStartup.xml"; }
    int Journalled(const QString& text) const { return int(WinSim::ReadJournal().filter(text).size()); }

    // The value of the task definition's element `name`, as xmllint reads it.
    QString Element(const QString& name) const
    {
        return TestSupport::Run("xmllint", {"--xpath", "string(//*[local-name()='" + name + "'])", TaskFile()}).out.trimmed();
    }

    const TemporaryMachine machine;
    const QTemporaryDir directory;
    const QString folder = directory.filePath("Program Files & <Tools>");
    const QString program = folder + "/logontask";
};

TEST_F(SchedulerStartupTest, TaskIsCreatedFoundStartedAtLogonAndDeleted)
{
    // A longer definition left by an earlier run must not survive in the new one.
    TestSupport::WriteFile(DefinitionFile(), QByteArray(65536, 'x'));

    EXPECT_EQ(Helper("is-enabled"), std::pair(QString("disabled"), 0));
    EXPECT_EQ(Journalled(" run SchTasks /query /TN KorvelTintwiseStartup"), 1);
    EXPECT_EQ(Journalled("runas"), 0) << "the query needs no elevation";

    EXPECT_EQ(Helper("enable"), std::pair(QString("done"), 0));
    EXPECT_EQ(Helper("enable"), std::pair(QString("done"), 0)) << "a second creation replaces the task";
    EXPECT_EQ(Journalled(" task-created KorvelTintwiseStartup"), 2);
    EXPECT_FALSE(QFile::exists(DefinitionFile()));

    const QByteArray stored = ReadFile(TaskFile());
    EXPECT_TRUE(stored.startsWith("\xff\xfe<\0?\0x\0m\0l\0"));
    const auto lint = TestSupport::Run("xmllint", {"--noout", TaskFile()});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
    EXPECT_EQ(Element("Command"), "\"" + program + "\"");
    EXPECT_EQ(Element("Arguments"), "--no-tray-notification-on-startup");
    EXPECT_EQ(Element("URI"), "\\KorvelTintwiseStartup");

    EXPECT_EQ(Helper("is-enabled"), std::pair(QString("enabled"), 0));
    EXPECT_EQ(RunWinsim({"event", "logon"}).out.trimmed(), "delivered to 1 program");
    const QString started = " logon-started " + program + " --no-tray-notification-on-startup";
    EXPECT_TRUE(TestSupport::WaitUntil([this, &started] { return Journalled(started) > 0; }));
    EXPECT_EQ(Journalled(started), 1);

    EXPECT_EQ(Helper("disable"), std::pair(QString("done"), 0));
    EXPECT_EQ(Helper("is-enabled"), std::pair(QString("disabled"), 0));
    const auto [missing, code] = Helper("disable");
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(missing.startsWith("DisableStartupException -1 ")) << missing;
    EXPECT_EQ(Journalled(" run-elevated SchTasks "), 4);
    EXPECT_EQ(Journalled(" run-elevated "), 4) << "nothing else ran elevated";
}

// A symbolic link at the definition's name is replaced: the task gets the program's definition and
// the link's target stays as it was.
TEST_F(SchedulerStartupTest, LinkAtTheDefinitionIsNotWrittenThrough)
{
    const TestSupport::OutsideFolder outside;
    const auto before = outside.Contents();
    TestSupport::PlantLink(outside.FilePath("kept.txt"), DefinitionFile());

    EXPECT_EQ(Helper("enable"), std::pair(QString("done"), 0));
    EXPECT_EQ(outside.Contents(), before);
    EXPECT_FALSE(QFileInfo(DefinitionFile()).isSymLink());
    EXPECT_EQ(Element("Command"), "\"" + program + "\"");
}

TEST_F(SchedulerStartupTest, ElevationPromptNotGranted)
{
    const struct {
        const char* prompt;
        const char* enable;
        const char* disable;
    } cases[] = {
        {"refuse", "EnableStartupException -1", "CommandLineException -1 Administrator privileges not granted by user."},
        {"fail", "EnableStartupException -1", "CommandLineException 1460 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt);
        WinSim::SetDescriptionValue("elevation.prompt", QString(c.prompt));
        WinSim::SetDescriptionValue("elevation.errorCode", 1460);
        const auto [enabled, enableCode] = Helper("enable");
        EXPECT_EQ(enableCode, 1);
        EXPECT_TRUE(enabled.startsWith(c.enable)) << enabled;
        const auto [disabled, disableCode] = Helper("disable");
        EXPECT_EQ(disableCode, 1);
        EXPECT_TRUE(disabled.startsWith(c.disable)) << disabled;
        EXPECT_FALSE(QFile::exists(TaskFile()));
        EXPECT_FALSE(QFile::exists(DefinitionFile()));
    }
}

}  // namespace
