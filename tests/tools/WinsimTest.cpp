#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(directory.path() + "/data/korvel-winsim/default/machine.json"));
}

}  // namespace
