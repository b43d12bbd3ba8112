// Tessaly's registry options, run as a process of a temporary machine.
#include "tests/fixtures/TestSupport.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <optional>

using namespace TestSupport;
namespace Registry = WinSim::Registry;

namespace {

const QString PanelKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Tessaly\\PanelInfo");
const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Tessaly");

ProcessResult RunTessaly(const QStringList& arguments, bool elevated)
{
    QProcessEnvironment environment;
    if (elevated) {
        environment.insert(QString::fromLatin1(WinSim::ElevationVariable), QStringLiteral("1"));
    }
    return Run(BinaryPath(QStringLiteral("Tessaly")), arguments, environment);
}

std::optional<QString> Stored(const QString& key, const QString& name)
{
    Registry::Value value;
    if (Registry::GetValue(key, name, value) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value.data.toString();
}

struct RegistryCase {
    const char* name;
    QStringList arguments;
    bool elevated;
    int exitCode;
    const char* outputContains;
    // Expected values of the panel key afterwards (nullopt: absent). The key holds "Old" = "kept" before.
    std::map<QString, std::optional<QString>> expected;
};

void PrintTo(const RegistryCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class TessalyRegistry : public testing::TestWithParam<RegistryCase> {};

TEST_P(TessalyRegistry, StoresWhatTheOptionsName)
{
    TemporaryMachine machine;
    ASSERT_EQ(Registry::SetValue(PanelKey, "Old", Registry::Value{REG_SZ, QStringLiteral("kept")},
                                 Registry::Access::Unchecked),
              ERROR_SUCCESS);
    const RegistryCase& c = GetParam();
    const ProcessResult result = RunTessaly(c.arguments, c.elevated);

    EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
    EXPECT_TRUE(result.out.startsWith("Current Product Version:Windows 11")) << result.out;
    EXPECT_TRUE(result.out.contains(QString::fromUtf8(c.outputContains))) << result.out;
    EXPECT_TRUE(result.err.isEmpty()) << result.err;
    for (const auto& [name, value] : c.expected) {
        EXPECT_EQ(Stored(PanelKey, name), value) << name;
    }
}

const QStringList Path{"--set-registry-path", PanelKey};

INSTANTIATE_TEST_SUITE_P(
    Cases, TessalyRegistry,
    testing::Values(
        RegistryCase{"PairsKeysWithValuesByPosition",
                     Path + QStringList{"--add-registry-key", "K1", "--add-registry-key", "K2", "--registry-value",
                                        "V1", "--registry-value", "V 2"},
                     true, 0, "", {{"K1", "V1"}, {"K2", "V 2"}, {"Old", "kept"}}},
        RegistryCase{"RepeatedKeyTakesItsFirstValue",
                     Path + QStringList{"--add-registry-key", "K", "--add-registry-key", "K", "--registry-value", "V1",
                                        "--registry-value", "V2"},
                     true, 0, "", {{"K", "V1"}}},
        RegistryCase{"UpdateReplacesValue",
                     Path + QStringList{"--update-registry-key", "Old", "--registry-value", "new"}, true, 0, "",
                     {{"Old", "new"}}},
        RegistryCase{"KeyWithoutValueIsSkipped",
                     Path + QStringList{"--add-registry-key", "K1", "--add-registry-key", "K2", "--registry-value",
                                        "V1"},
                     true, 0, "", {{"K1", "V1"}, {"K2", std::nullopt}}},
        RegistryCase{"EmptyValueLeavesExistingValue",
                     Path + QStringList{"--update-registry-key", "Old", "--registry-value", ""}, true, 0, "",
                     {{"Old", "kept"}}},
        RegistryCase{"AddWithoutAnyValueWritesNothing", Path + QStringList{"--add-registry-key", "K"}, true, 0, "",
                     {{"K", std::nullopt}}},
        RegistryCase{"RemoveDeletesValue", Path + QStringList{"--remove-registry-key", "Old"}, true, 0, "",
                     {{"Old", std::nullopt}}},
        RegistryCase{"RemoveWithoutPathCountsAsWork", QStringList{"--remove-registry-key", "Old"}, true, 0, "",
                     {{"Old", "kept"}}},
        RegistryCase{"NothingToDoPrintsHelp", QStringList{}, true, 160, "--install-profile <installprofile>", {}},
        RegistryCase{"UnknownCalibrationValueIsNothingToDo", QStringList{"--color-calibration", "on"}, true, 160,
                     "Options:", {}},
        RegistryCase{"UnelevatedWriteIsDenied",
                     Path + QStringList{"--add-registry-key", "K", "--registry-value", "V"}, false, 5,
                     "Failed to set registry value K.", {{"K", std::nullopt}, {"Old", "kept"}}},
        RegistryCase{"UnelevatedRemoveIsDenied", Path + QStringList{"--remove-registry-key", "Old"}, false, 5,
                     "Failed to remove registry value Old.", {{"Old", "kept"}}}),
    [](const testing::TestParamInfo<RegistryCase>& info) { return std::string(info.param.name); });

TEST(TessalyCommandLine, ParserRejectsUnknownOptionAndMissingValue)
{
    TemporaryMachine machine;
    EXPECT_EQ(RunTessaly({"--no-such-option", "x"}, true).exitCode, 1);
    EXPECT_EQ(RunTessaly({"--install-profile"}, true).exitCode, 1);
}

TEST(TessalyCommandLine, RegistryCommandsNeedNoDisplay)
{
    TemporaryMachine machine;
    WinSim::SetInjectedFailure("EnumDisplayDevicesW", 31);
    WinSim::SetInjectedFailure("GetColorDirectoryA", 5);
    const ProcessResult result =
        RunTessaly({"--set-registry-path", PanelKey, "--add-registry-key", "K", "--registry-value", "V"}, true);
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(Stored(PanelKey, "K"), QStringLiteral("V"));
}

TEST(TessalyCommandLine, CurrentUserKeyNeedsNoElevation)
{
    TemporaryMachine machine;
    const ProcessResult result = RunTessaly(
        {"--set-registry-path", UserKey, "--add-registry-key", "Choice", "--registry-value", "sRGB"}, false);
    EXPECT_EQ(result.exitCode, 0) << result.out;
    EXPECT_EQ(Stored(UserKey, "Choice"), QStringLiteral("sRGB"));
}

// Registry commands on a machine that is not there, or whose machine hive is damaged, fail and
// change nothing.
TEST(TessalyCommandLine, RegistryCommandsNeedAnIntactMachine)
{
    const QStringList write{"--set-registry-path", PanelKey, "--add-registry-key", "K", "--registry-value", "V"};
    QTemporaryDir nowhere;
    const QString missing = nowhere.path() + "/machine";
    {
        const ScopedEnvironment machine(WinSim::MachineVariable, missing.toUtf8().constData());
        const ProcessResult result = RunTessaly(write, true);
        EXPECT_NE(result.exitCode, 0);
        EXPECT_TRUE(result.out.contains("no simulated machine in " + missing)) << result.out;
    }
    EXPECT_FALSE(QFileInfo::exists(missing));

    TemporaryMachine machine;
    const QString hive = Registry::HiveFile(Registry::Hive::LocalMachine);
    QFile file(hive);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QByteArray cut = file.read(file.size() / 2);
    ASSERT_TRUE(file.resize(cut.size()));
    file.close();
    const ProcessResult result = RunTessaly(write, true);
    EXPECT_EQ(result.exitCode, int(ERROR_BADDB & 0xFF)) << result.out;
    EXPECT_TRUE(result.out.contains("Failed to set registry value K.")) << result.out;
    EXPECT_TRUE(result.out.contains("The configuration registry database is corrupt.")) << result.out;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), cut);
}

// A registry command killed at any of its file operations (strace kills it at the k-th call of one
// of them) leaves nothing behind: the next one, started at once, ends within seconds, stores its
// value and leaves only the hives in their folder.
TEST(TessalyCommandLine, RegistryCommandKilledAnywhereDoesNotHoldUpTheNext)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is missing (scripts/common.sh installs it)";
    TemporaryMachine machine;
    const QString operations = QStringLiteral("write,ftruncate,unlink,unlinkat,rename,renameat,renameat2,link,linkat");
    const auto write = [](const QString& value) {
        return QStringList{"--set-registry-path", PanelKey, "--update-registry-key", "K", "--registry-value", value};
    };
    QProcessEnvironment elevated;
    elevated.insert(QString::fromLatin1(WinSim::ElevationVariable), QStringLiteral("1"));
    // LeakSanitizer cannot run under ptrace.
    elevated.insert(QStringLiteral("ASAN_OPTIONS"), qEnvironmentVariable("ASAN_OPTIONS") + ":detect_leaks=0");

    QTemporaryDir work;
    const QString log = work.filePath("calls.log");
    ASSERT_EQ(TestSupport::Run(strace, QStringList{"-f", "-o", log, "-e", "trace=" + operations, BinaryPath("Tessaly")} +
                              write("first"),
                  elevated)
                  .exitCode,
              0);
    QStringList calls;
    static const QRegularExpression call(QStringLiteral("^\\d+\\s+(\\w+)\\("));
    for (const QString& line : QString::fromUtf8(ReadFile(log)).split('\n')) {
        if (const QRegularExpressionMatch match = call.match(line); match.hasMatch()) {
            calls << match.captured(1);
        }
    }
    ASSERT_FALSE(calls.isEmpty());

    for (qsizetype k = 0; k < calls.size(); ++k) {
        SCOPED_TRACE(QStringLiteral("killed at call %1 (%2)").arg(k + 1).arg(calls[k]).toStdString());
        const int when = int(calls.mid(0, k + 1).count(calls[k]));
        TestSupport::Run(strace,
            QStringList{"-f", "-o", "/dev/null", "-e", "trace=" + operations, "-e",
                        QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(calls[k]).arg(when),
                        BinaryPath("Tessaly")} +
                write("killed " + QString::number(k)),
            elevated);
        QElapsedTimer took;
        took.start();
        const QString value = "next " + QString::number(k);
        const ProcessResult next = RunTessaly(write(value), true);
        EXPECT_LT(took.elapsed(), 10000) << "the next command waited for a dead writer's lock";
        EXPECT_EQ(next.exitCode, 0) << next.out;
        EXPECT_EQ(Stored(PanelKey, "K"), value);
        const QStringList left = QFileInfo(Registry::HiveFile(Registry::Hive::LocalMachine))
                                     .dir()
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(left, QStringList({"HKCU.json", "HKLM.json"})) << "left over";
    }
}

}  // namespace
