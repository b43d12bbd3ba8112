// The machine's files: a damaged one is reported by every reader and left byte for byte as it was by
// every writer; writers leave no temporary files behind; paths of drive C stay inside it.
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/NamedObjects.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Services.h"
#include "WindowsStandIn/SimulatedUser.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

using TestSupport::ReadFile;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;
using TestSupport::WriteFile;

namespace {

const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise");
const QString MachineKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");

// A winsim command that must fail with a message naming the damaged file.
void ExpectWinsimNames(const QStringList& arguments, const QString& file)
{
    const TestSupport::ProcessResult result = RunWinsim(arguments);
    EXPECT_EQ(result.exitCode, 1) << arguments.join(' ') << result.out;
    EXPECT_TRUE(result.err.contains(file + " is damaged")) << arguments.join(' ') << ": " << result.err;
}

template <typename Call>
void ExpectDamagedFileError(Call call, const QString& file)
{
    try {
        call();
        ADD_FAILURE() << "no DamagedFileError for " << file;
    } catch (const WinSim::DamagedFileError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(file)) << error.what();
    }
}

// A settings write that must be refused.
void ExpectSettingsWriteRefused(const QString& keyPath)
{
    auto settings = WinSim::OpenRegistrySettings(keyPath);
    settings->setValue(QStringLiteral("Added"), QStringLiteral("new"));
    settings->sync();
    EXPECT_NE(settings->status(), QSettings::NoError);
}

struct MachineFile {
    const char* name;
    QString file;                    // below the machine directory
    std::function<void()> populate;  // makes the file exist, with content
    std::function<void(const QString& path, bool empty)> read;
    std::function<void(const QString& path)> write;
};

void PrintTo(const MachineFile& file, std::ostream* stream)
{
    *stream << file.name;
}

// Every way of reading a hive reports it damaged; `stored` is a value of `key` in the whole hive.
void ReadHive(HKEY root, const wchar_t* subKey, const QString& key, const QString& stored, const QString& path,
              bool empty)
{
    QStringList names;
    EXPECT_EQ(WinSim::Registry::ListValues(key, names), ERROR_BADDB);
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(root, subKey, 0, KEY_READ, &opened), LSTATUS(ERROR_BADDB));
    // QSettings hands an empty file to no reader: it reads as no values (but no write replaces it).
    if (!empty) {
        auto settings = WinSim::OpenRegistrySettings(key);
        EXPECT_FALSE(settings->value(stored).isValid());
        EXPECT_EQ(settings->status(), QSettings::FormatError);
    }
    ExpectWinsimNames({"reg", "list", key}, path);
}

void WriteHive(const QString& key, const QString& path)
{
    EXPECT_EQ(WinSim::Registry::SetValue(key, QStringLiteral("Added"), {REG_SZ, QStringLiteral("new")},
                                         WinSim::Registry::Access::Unchecked),
              ERROR_BADDB);
    EXPECT_EQ(WinSim::Registry::DeleteKey(key, WinSim::Registry::Access::Unchecked), ERROR_BADDB);
    ExpectSettingsWriteRefused(key);
    ExpectWinsimNames({"reg", "set", key, "Added", "new"}, path);
}

const MachineFile Files[] = {
    {"Description", "machine.json", [] {},
     [](const QString& path, bool) {
         ExpectDamagedFileError([] { WinSim::DescriptionValue(QStringLiteral("lid")); }, path);
         ExpectWinsimNames({"show"}, path);
     },
     [](const QString& path) {
         ExpectDamagedFileError([] { WinSim::SetDescriptionValue(QStringLiteral("lid"), QStringLiteral("closed")); },
                                path);
         ExpectWinsimNames({"set", "lid", "closed"}, path);
     }},
    {"MachineHive", "registry/HKLM.json", [] {},
     [](const QString& path, bool empty) {
         WinSim::Registry::Value value;
         EXPECT_EQ(WinSim::Registry::GetValue(MachineKey, QStringLiteral("CurrentBuildNumber"), value), ERROR_BADDB);
         ReadHive(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft", MachineKey, QStringLiteral("CurrentBuildNumber"), path,
                  empty);
     },
     [](const QString& path) {
         const TestSupport::ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
         WriteHive(MachineKey, path);
     }},
    {"UserHive", "registry/HKCU.json",
     [] { WinSim::Registry::SetValue(UserKey, QStringLiteral("LastAppliedProfileIntegratedGPU"), {REG_DWORD, 3u}); },
     [](const QString& path, bool empty) {
         ReadHive(HKEY_CURRENT_USER, L"Software", UserKey, QStringLiteral("LastAppliedProfileIntegratedGPU"), path,
                  empty);
     },
     [](const QString& path) { WriteHive(UserKey, path); }},
    {"ColourState", "colour.json",
     [] { WcsSetUsePerUserProfiles(L"\\\\.\\DISPLAY1", CLASS_MONITOR, TRUE); },
     [](const QString& path, bool) {
         BOOL enabled = FALSE;
         EXPECT_FALSE(WcsGetCalibrationManagementState(&enabled));
         EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
         EXPECT_FALSE(WcsGetUsePerUserProfiles(L"\\\\.\\DISPLAY1", CLASS_MONITOR, &enabled));
         EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
         ExpectWinsimNames({"colour"}, path);
     },
     [](const QString&) {
         EXPECT_FALSE(WcsSetUsePerUserProfiles(L"\\\\.\\DISPLAY1", CLASS_MONITOR, FALSE));
         EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
         const TestSupport::ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
         EXPECT_FALSE(WcsSetCalibrationManagementState(TRUE));
         EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
     }},
    {"Services", "services.json",
     [] { WinSim::SetServiceState(QStringLiteral("DisplayEnhancementService"), QStringLiteral("running")); },
     [](const QString& path, bool) {
         SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
         ASSERT_NE(manager, nullptr);
         EXPECT_EQ(OpenServiceA(manager, "DisplayEnhancementService", SERVICE_QUERY_STATUS), nullptr);
         EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
         CloseServiceHandle(manager);
         ExpectWinsimNames({"service", "DisplayEnhancementService"}, path);
     },
     [](const QString& path) {
         ExpectDamagedFileError(
             [] { WinSim::SetServiceState(QStringLiteral("DisplayEnhancementService"), QStringLiteral("stopped")); },
             path);
         ExpectWinsimNames({"service", "DisplayEnhancementService", "stopped"}, path);
     }},
    {"InjectedFailures", "failures.json", [] { WinSim::SetInjectedFailure(QStringLiteral("GetMonitorInfoA"), 31); },
     [](const QString& path, bool) {
         ExpectDamagedFileError([] { WinSim::InjectedFailure(QStringLiteral("GetMonitorInfoA")); }, path);
     },
     [](const QString& path) { ExpectWinsimNames({"fail", "GetMonitorInfoA", "0"}, path); }},
    {"UserAnswers", "user.json", [] { WinSim::User::QueueAnswer(QJsonObject{{"button", "Yes"}}); },
     [](const QString& path, bool) { ExpectDamagedFileError([] { WinSim::User::QueuedAnswers(); }, path); },
     [](const QString& path) {
         ExpectDamagedFileError([] { WinSim::User::QueueAnswer(QJsonObject{{"button", "No"}}); }, path);
         ExpectWinsimNames({"user", "answer", "No"}, path);
     }},
};

class DamagedMachineFile : public testing::TestWithParam<MachineFile> {};

TEST_P(DamagedMachineFile, IsReportedAndNeverWrittenOver)
{
    const MachineFile& file = GetParam();
    const TemporaryMachine machine;
    const QString path = machine.Path() + "/" + file.file;
    file.populate();
    const QByteArray whole = ReadFile(path);
    ASSERT_FALSE(whole.isEmpty());
    const struct {
        const char* name;
        QByteArray content;
    } damages[] = {
        {"cut", whole.left(whole.size() / 2)},
        {"empty", QByteArray()},
        {"not JSON", ReadFile(QStringLiteral("/usr/share/color/icc/colord/sRGB.icc"))},
        {"not an object", QByteArrayLiteral("[1, 2]\n")},
    };
    ASSERT_FALSE(damages[2].content.isEmpty());
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        WriteFile(path, damage.content);
        file.read(path, damage.content.isEmpty());
        file.write(path);
        EXPECT_EQ(ReadFile(path), damage.content);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedMachineFile, testing::ValuesIn(Files),
                         [](const testing::TestParamInfo<MachineFile>& info) { return std::string(info.param.name); });

TEST(MachineFilesTest, WritersRemoveTheTemporaryFilesOfDeadWriters)
{
    const TemporaryMachine machine;
    QProcess ended;
    ended.start(QStringLiteral("true"), {});
    ASSERT_TRUE(ended.waitForStarted());
    const qint64 pid = ended.processId();
    ASSERT_TRUE(ended.waitForFinished());
    const QString hive = WinSim::Registry::HiveFile(WinSim::Registry::Hive::CurrentUser);
    const QString stale = hive + ".tmp." + QString::number(pid);
    const QString live = hive + ".tmp.1";  // init runs as long as the system
    WriteFile(stale, "{\"keys\": {");
    WriteFile(live, "{\"keys\": {");

    ASSERT_EQ(WinSim::Registry::SetValue(UserKey, QStringLiteral("A"), {REG_SZ, QStringLiteral("a")}), ERROR_SUCCESS);
    EXPECT_FALSE(QFile::exists(stale));
    EXPECT_TRUE(QFile::exists(live));
    QFile::remove(live);
    EXPECT_EQ(QDir(machine.Path() + "/registry").entryList(QDir::Files), (QStringList{"HKCU.json", "HKLM.json"}));
}

// A machine file that is a symbolic link to a file outside the machine: a write replaces the link
// by a regular file of the machine and leaves the target as it was.
struct LinkedFile {
    const char* name;
    QString (*file)();
    // Writes, calling `link` when the file is to become the link; returns whether the write shows.
    std::function<bool(const std::function<void()>& link)> write;
};

void PrintTo(const LinkedFile& c, std::ostream* stream)
{
    *stream << c.name;
}

QString UserHive()
{
    return WinSim::Registry::HiveFile(WinSim::Registry::Hive::CurrentUser);
}

bool StoredAdded()
{
    WinSim::Registry::Value value;
    return WinSim::Registry::GetValue(UserKey, QStringLiteral("Added"), value) == ERROR_SUCCESS &&
           value.data.toString() == QLatin1String("new");
}

bool SettingsWrite()
{
    auto settings = WinSim::OpenRegistrySettings(UserKey);
    settings->setValue(QStringLiteral("Added"), QStringLiteral("new"));
    settings->sync();
    return settings->status() == QSettings::NoError && StoredAdded();
}

const LinkedFile LinkedFiles[] = {
    {"HiveThroughSettings", UserHive,
     [](const std::function<void()>& link) {
         link();
         return SettingsWrite();
     }},
    // QSettings' save file has taken the link's target when the write comes: that write is refused
    // and the next one goes to the machine's file.
    {"HiveBecomingLinkWhileOpen", UserHive,
     [](const std::function<void()>& link) {
         auto settings = WinSim::OpenRegistrySettings(UserKey);
         settings->value(QStringLiteral("Other"));
         link();
         settings->setValue(QStringLiteral("Refused"), QStringLiteral("once"));
         settings->sync();
         return settings->status() == QSettings::AccessError && SettingsWrite();
     }},
    {"HiveThroughStore", UserHive,
     [](const std::function<void()>& link) {
         link();
         return WinSim::Registry::SetValue(UserKey, QStringLiteral("Added"), {REG_SZ, QStringLiteral("new")}) ==
                    ERROR_SUCCESS &&
                StoredAdded();
     }},
    {"Description", [] { return WinSim::DescriptionFile(); },
     [](const std::function<void()>& link) {
         link();
         WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
         return WinSim::DescriptionValue(QStringLiteral("time.waitScale")).toInt(-1) == 0;
     }},
    {"Journal", [] { return WinSim::JournalFile(); },
     [](const std::function<void()>& link) {
         WinSim::Journal(QStringLiteral("before"), QString());
         link();
         WinSim::Journal(QStringLiteral("probe"), QStringLiteral("through a link"));
         const QStringList lines = WinSim::ReadJournal();
         return lines.size() == 2 && lines[0].endsWith(" before") && lines[1].endsWith(" probe through a link");
     }},
};

class LinkedMachineFile : public testing::TestWithParam<LinkedFile> {};

TEST_P(LinkedMachineFile, WriteReplacesTheLinkNotItsTarget)
{
    const TemporaryMachine machine;
    QTemporaryDir outside;
    const QString file = GetParam().file();
    const QString target = outside.filePath("target");
    QByteArray targetBefore;
    const auto link = [&] {
        ASSERT_TRUE(QFile::copy(file, target));
        ASSERT_TRUE(QFile::remove(file));
        ASSERT_TRUE(QFile::link(target, file));
    };
    EXPECT_TRUE(GetParam().write([&] {
        link();
        targetBefore = ReadFile(target);
    }));
    EXPECT_EQ(ReadFile(target), targetBefore);
    EXPECT_FALSE(QFileInfo(file).isSymLink());
    EXPECT_EQ(QDir(outside.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"target"});
}

INSTANTIATE_TEST_SUITE_P(Files, LinkedMachineFile, testing::ValuesIn(LinkedFiles),
                         [](const testing::TestParamInfo<LinkedFile>& info) { return std::string(info.param.name); });

// A symbolic link at the machine's locks folder is replaced by a folder: the lock is taken in the
// machine and the link's target stays as it was.
TEST(MachineFilesTest, LinkedLocksFolderIsReplaced)
{
    const TestSupport::TemporaryMachine machine;
    const TestSupport::OutsideFolder outside;
    const auto before = outside.Contents();
    TestSupport::PlantLink(outside.Path(), machine.Path() + "/locks");
    const WinSim::NamedLock lock(QStringLiteral("linked"));
    EXPECT_TRUE(lock.Held());
    EXPECT_FALSE(QFileInfo(machine.Path() + "/locks").isSymLink());
    EXPECT_TRUE(QFileInfo::exists(machine.Path() + "/locks/linked"));
    EXPECT_EQ(outside.Contents(), before);
}

TEST(MachineFilesTest, DriveCPathsStayInDriveC)
{
    const TemporaryMachine machine;
    const QString drive = machine.Path() + "/drive_c";
    const struct {
        const char* windows;
        QString mapped;
    } cases[] = {
        {"C:\\..", drive},
        {"C:\\..\\..\\machine.json", drive + "/machine.json"},
        {"c:/Windows/../../registry/HKLM.json", drive + "/registry/HKLM.json"},
        {"C:\\Users\\.\\alex\\..\\alex\\AppData", drive + "/Users/alex/AppData"},
        {"C:", drive},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WinSim::MapWindowsPath(QString::fromLatin1(c.windows)), c.mapped) << c.windows;
    }
}

}  // namespace
