#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/PeerArchives.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using TestSupport::RunWinsim;

namespace {

class WinsimTest : public testing::Test {
protected:
    QTemporaryDir directory;
    QString machine = directory.path() + "/m";

    TestSupport::ProcessResult On(QStringList arguments) { return RunWinsim(QStringList{"--machine", machine} + arguments); }
};

TEST_F(WinsimTest, CreatedMachineIsReadBackByAnotherCall)
{
    const auto created = RunWinsim({"create", machine});
    ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();

    const auto shown = On({"show"});
    ASSERT_EQ(shown.exitCode, 0);
    const QJsonObject description = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(description["lid"].toString(), "open");
    EXPECT_EQ(QByteArray::fromHex(description["displays"][0]["edid"].toString().toLatin1()).size(), 128);

    ASSERT_EQ(On({"set", "displays.0.hdr.enabled", "true"}).exitCode, 0);
    ASSERT_EQ(On({"set", "lid", "closed"}).exitCode, 0);
    ASSERT_EQ(On({"set", "bios.serialNumber", "\"00123\""}).exitCode, 0);
    ASSERT_EQ(On({"set", "adapters.2", "{\"description\":\"Discrete\"}"}).exitCode, 0);
    const QJsonObject changed = QJsonDocument::fromJson(On({"show"}).out.toUtf8()).object();
    EXPECT_TRUE(changed["displays"][0]["hdr"]["enabled"].toBool());
    EXPECT_EQ(changed["lid"].toString(), "closed");
    EXPECT_EQ(changed["bios"]["serialNumber"].toString(), "00123");
    EXPECT_EQ(changed["adapters"][2]["description"].toString(), "Discrete");

    const QStringList journal = On({"journal"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(journal.size(), 4);
    EXPECT_TRUE(journal[1].endsWith(" set lid=\"closed\"")) << journal[1].toStdString();
}

TEST_F(WinsimTest, RegistryCommands)
{
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const QString key = "HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise";
    ASSERT_EQ(On({"reg", "set", key, "RequiredProfiles", "sRGB,DCIP3"}).exitCode, 0);
    ASSERT_EQ(On({"reg", "set", "--type", "REG_DWORD", key, "LastAppliedProfileDiscreteGPU", "-1"}).exitCode, 0);
    EXPECT_EQ(On({"reg", "get", key.toLower(), "requiredprofiles"}).out, "sRGB,DCIP3\n");
    EXPECT_EQ(On({"reg", "list", "HKCU\\Software\\Korvel Inc"}).out, "Korvel Tintwise\\\n");
    EXPECT_EQ(On({"reg", "list", key}).out,
              "LastAppliedProfileDiscreteGPU\tREG_DWORD\t4294967295\nRequiredProfiles\tREG_SZ\tsRGB,DCIP3\n");

    const auto missing = On({"reg", "get", key, "Nothing"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("not found"));
    EXPECT_EQ(On({"reg", "set", "--type", "REG_DWORD", key, "Bad", "twelve"}).exitCode, 1);
    EXPECT_EQ(On({"reg", "get", "HKEY_USERS\\x", "y"}).exitCode, 1);
}

TEST_F(WinsimTest, RunMarksElevationAndJournalsIt)
{
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const QString script = "echo \"$WINSIM_MACHINE|${WINSIM_ELEVATED:-no}|$USER|$USERNAME\"; exit 3";
    const auto plain = On({"run", "--", "sh", "-c", script});
    EXPECT_EQ(plain.exitCode, 3);
    EXPECT_EQ(plain.out.trimmed(), machine + "|no|alex|alex");
    const auto elevated = On({"run", "--elevated", "--", "sh", "-c", script});
    EXPECT_EQ(elevated.out.trimmed(), machine + "|1|alex|alex");

    const QStringList journal = On({"journal"}).out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(journal.size(), 2);
    EXPECT_TRUE(journal[0].contains(" run sh -c "));
    EXPECT_TRUE(journal[1].contains(" run-elevated sh -c "));
}

TEST_F(WinsimTest, Failures)
{
    EXPECT_EQ(On({"show"}).exitCode, 1) << "no machine there yet";
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const auto again = RunWinsim({"create", machine});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains("not empty"));
    EXPECT_EQ(RunWinsim({"create", directory.path() + "/other", "--preset", "nosuch"}).exitCode, 1);
    EXPECT_EQ(RunWinsim({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(On({"set", "lid"}).exitCode, 2);
    EXPECT_EQ(On({"set", "lid.state", "x"}).exitCode, 1) << "lid is a text, not an object";
    EXPECT_EQ(On({"run", "--", directory.path() + "/no-such-program"}).exitCode, 127);
}

// A fresh machine has Windows' own sRGB profile; "per-user" switches every display's monitor.
TEST_F(WinsimTest, ColourStateAndPerUserSwitch)
{
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const auto perUser = [this] {
        const QJsonObject state = QJsonDocument::fromJson(On({"colour"}).out.toUtf8()).object();
        EXPECT_EQ(state["installed"].toArray(), QJsonArray{"sRGB Color Space Profile.icm"});
        return state["usePerUserProfiles"].toObject();
    };
    EXPECT_TRUE(perUser().isEmpty());
    const QString monitor = "MONITOR\\KVL4A1C\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0000";
    for (const bool on : {true, false}) {
        ASSERT_EQ(On({"colour", "per-user", on ? "on" : "off"}).exitCode, 0);
        EXPECT_EQ(perUser(), (QJsonObject{{monitor, on}}));
    }
    EXPECT_EQ(On({"colour", "per-user", "yes"}).exitCode, 2);
}

TEST_F(WinsimTest, ClockCommandsMoveTheMachinesClocks)
{
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const auto readings = [this] {
        const QStringList lines = On({"clock"}).out.split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(lines.size(), 2);
        return std::pair{lines.value(0).section(' ', 1, 1).toLongLong() / 1000000000,
                         lines.value(1).section(' ', 1, 1).toLongLong()};
    };
    const struct {
        QStringList command;
        qint64 monotonicMove;  // seconds, or -1: started again from 0
        qint64 wallMove;
    } cases[] = {
        {{"advance", "1200"}, 1200, 1200},
        {{"shift", "-3600"}, 0, -3600},
        {{"shift", "86400"}, 0, 86400},
        {{"reboot", "--after", "600"}, -1, 600},
        {{"reboot"}, -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.join(' ').toStdString());
        const auto [monotonic, wall] = readings();
        ASSERT_EQ(On(QStringList{"clock"} + c.command).exitCode, 0);
        const auto [monotonicAfter, wallAfter] = readings();
        if (c.monotonicMove < 0) {
            EXPECT_LE(monotonicAfter, 2);
        } else {
            EXPECT_GE(monotonicAfter - monotonic, c.monotonicMove);
            EXPECT_LE(monotonicAfter - monotonic, c.monotonicMove + 2);
        }
        EXPECT_GE(wallAfter - wall, c.wallMove);
        EXPECT_LE(wallAfter - wall, c.wallMove + 2);
    }
    EXPECT_EQ(On({"clock", "shift", "soon"}).exitCode, 2);
    EXPECT_EQ(On({"clock", "reboot", "--before", "1"}).exitCode, 2);
}

TEST_F(WinsimTest, TaskToolKeepsTasksInTheMachine)
{
    ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
    const QByteArray task = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
                            "<Task version=\"1.4\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                            "<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
                            "<Actions Context=\"Author\"><Exec><Command>\"" +
                            TestSupport::BinaryPath("echoexit").toUtf8() +
                            "\"</Command><Arguments>0 &quot;two words&quot;</Arguments></Exec></Actions></Task>\n";
    // Definitions in UTF-16 are made by iconv; one keeps its UTF-8 bytes under the UTF-16 declaration.
    const auto utf16 = [this](const QString& name, const QByteArray& xml) {
        TestSupport::WriteFile(directory.filePath(name + ".utf8"), xml);
        EXPECT_EQ(TestSupport::Shell(directory.path(), "iconv -f UTF-8 -t UTF-16 " + name + ".utf8 > " + name).exitCode, 0);
        return directory.filePath(name);
    };
    const QString good = utf16("good.xml", task);
    const QString notTask = utf16("other.xml", QByteArray(task).replace("<Task ", "<Job ").replace("</Task>", "</Job>"));
    const QString noExec = utf16("noexec.xml", QByteArray(task).replace("Exec>", "ComHandler>"));
    const QString utf8 = directory.filePath("good.xml.utf8");
    const QString winsim = TestSupport::BinaryPath("winsim");

    struct Step {
        bool elevated;
        QStringList arguments;
        int exitCode;
        QString output;  // contained in standard output or error
    };
    const auto run = [&](const std::vector<Step>& steps) {
        for (const Step& step : steps) {
            SCOPED_TRACE((step.elevated ? "elevated " : "") + step.arguments.join(' ').toStdString());
            const auto result = On(QStringList{"run"} + (step.elevated ? QStringList{"--elevated"} : QStringList()) +
                                   QStringList{"--", winsim, "schtasks"} + step.arguments);
            EXPECT_EQ(result.exitCode, step.exitCode) << result.out << result.err;
            EXPECT_TRUE((result.out + result.err).contains(step.output)) << result.out << result.err;
        }
    };
    run({
        {false, {"/Query", "/TN", "Logon"}, 1, "ERROR: The system cannot find the file specified."},
        {false, {"/Create", "/TN", "Logon", "/XML", good}, 1, "ERROR: Access is denied."},
        {true, {"/Create", "/TN", "Logon", "/XML", good}, 0, "SUCCESS: The scheduled task \"Logon\" has successfully been created."},
        {true, {"/Create", "/TN", "Logon", "/XML", good}, 1, "Cannot create a file when that file already exists."},
        {true, {"/create", "/f", "/tn", "Logon", "/xml", good}, 0, "SUCCESS"},
        {true, {"/Create", "/F", "/TN", "Logon", "/XML", utf8}, 1, "ERROR: The task XML is malformed."},
        {true, {"/Create", "/F", "/TN", "Logon", "/XML", notTask}, 1, "ERROR: The task XML is malformed."},
        {true, {"/Create", "/F", "/TN", "Logon", "/XML", noExec}, 1, "ERROR: The task XML is malformed."},
        {true, {"/Create", "/F", "/TN", "Log/on", "/XML", good}, 1, "ERROR: The filename"},
        {true, {"/Create", "/F", "/TN", "Logon.tmp.12", "/XML", good}, 1, "ERROR: The filename"},
        {true, {"/Create", "/F", "/TN", "Other", "/XML", directory.filePath("missing.xml")}, 1, "cannot find the file"},
        {false, {"/Query", "/TN", "LOGON"}, 0, "Logon                                    N/A"},
        {false, {"/Query"}, 0, "Logon "},
    });
    // The refused replacements left the stored definition as it was: logon starts its program.
    EXPECT_EQ(On({"event", "logon"}).out.trimmed(), "delivered to 1 program");
    EXPECT_EQ(On({"journal"}).out.count(" run \"" + TestSupport::BinaryPath("echoexit") + "\" 0 \"two words\""), 1);
    run({
        {false, {"/Delete", "/F", "/TN", "\\logon"}, 0, "SUCCESS: The scheduled task \"\\logon\" was successfully deleted."},
        {false, {"/Delete", "/F", "/TN", "Logon"}, 1, "ERROR: The system cannot find the file specified."},
        {false, {"/Delete", "/F"}, 1, "ERROR: Invalid syntax."},
        {false, {"/Run", "/TN", "Logon"}, 1, "ERROR: Invalid argument/option - '/Run'."},
    });
    EXPECT_EQ(On({"event", "logon"}).out.trimmed(), "delivered to 0 programs");
}

// A symbolic link at the task store or at a task's file shows no task, is never started at logon,
// and a creation replaces it: the link's target stays as it was.
TEST_F(WinsimTest, TaskStoreLinksAreNeitherTrustedNorWrittenThrough)
{
    const QString tasks = machine + "/drive_c/Windows/System32/Tasks";
    const struct {
        const char* name;
        QString link;
        QString target;  // in the outside folder ("" for the folder itself)
    } cases[] = {
        {"store", tasks, ""},
        {"task", tasks + "/Logon", "Logon"},
    };
    const QString winsim = TestSupport::BinaryPath("winsim");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(machine).removeRecursively();
        ASSERT_EQ(RunWinsim({"create", machine}).exitCode, 0);
        const TestSupport::OutsideFolder outside;
        const QByteArray task = "<?xml version=\"1.0\"?>\n"
                                "<Task xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
                                "<Triggers><LogonTrigger/></Triggers><Actions><Exec><Command>" +
                                TestSupport::BinaryPath("echoexit").toUtf8() +
                                "</Command><Arguments>0 planted</Arguments></Exec></Actions></Task>\n";
        TestSupport::WriteFile(outside.FilePath("Logon"), task);
        TestSupport::WriteFile(directory.filePath("task.xml"), task);
        const auto before = outside.Contents();
        TestSupport::PlantLink(c.target.isEmpty() ? outside.Path() : outside.FilePath(c.target), c.link);

        EXPECT_EQ(On({"run", "--", winsim, "schtasks", "/Query", "/TN", "Logon"}).exitCode, 1);
        EXPECT_EQ(On({"event", "logon"}).out.trimmed(), "delivered to 0 programs");
        const auto created = On({"run", "--elevated", "--", winsim, "schtasks", "/Create", "/F", "/TN", "Logon", "/XML",
                                 directory.filePath("task.xml")});
        EXPECT_EQ(created.exitCode, 0) << created.out << created.err;
        EXPECT_FALSE(QFileInfo(c.link).isSymLink());
        EXPECT_EQ(TestSupport::ReadFile(tasks + "/Logon"), task);
        EXPECT_EQ(outside.Contents(), before);
    }
}

TEST_F(WinsimTest, DefaultMachineIsCreatedOnFirstUse)
{
    QProcessEnvironment environment;
    environment.insert("HOME", directory.path());
    environment.insert("XDG_DATA_HOME", directory.path() + "/data");
    QProcessEnvironment unset = QProcessEnvironment::systemEnvironment();
    unset.remove(WinSim::MachineVariable);
    unset.insert(environment);
    QProcess process;
    process.setProcessEnvironment(unset);
    process.start(TestSupport::BinaryPath("winsim"), {"show"});
    ASSERT_TRUE(TestSupport::WaitForFinished(process));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(directory.path() + "/data/korvel-winsim/default/machine.json"));
}

}  // namespace
