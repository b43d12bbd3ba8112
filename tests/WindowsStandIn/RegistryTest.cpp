#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/RegistrySettings.h"
#include "tests/fixtures/TestSupport.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace Registry = WinSim::Registry;
using TestSupport::ScopedEnvironment;
using TestSupport::TemporaryMachine;

namespace {

const QString AppKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise");
const QString MachineKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Korvel Tintwise\\PanelInfo");

QString Text(const QString& key, const QString& name)
{
    Registry::Value value;
    return Registry::GetValue(key, name, value) == ERROR_SUCCESS ? Registry::ValueToText(value) : QStringLiteral("<none>");
}

TEST(RegistryStoreTest, NamesAreCaseInsensitiveAndCasePreserving)
{
    const TemporaryMachine machine;
    ASSERT_EQ(Registry::SetValue(AppKey, "LastApplied", {REG_DWORD, QVariant::fromValue(7u)}), ERROR_SUCCESS);
    EXPECT_EQ(Text("hkcu/SOFTWARE/korvel inc/KORVEL TINTWISE", "lastapplied"), "7");
    ASSERT_EQ(Registry::SetValue("HKCU\\software\\KORVEL INC\\korvel tintwise", "LASTAPPLIED",
                                 {REG_DWORD, QVariant::fromValue(8u)}),
              ERROR_SUCCESS);
    QStringList names;
    ASSERT_EQ(Registry::ListValues(AppKey, names), ERROR_SUCCESS);
    EXPECT_EQ(names, QStringList{"LastApplied"});
    QStringList keys;
    ASSERT_EQ(Registry::ListSubkeys("HKEY_CURRENT_USER\\Software", keys), ERROR_SUCCESS);
    EXPECT_EQ(keys, QStringList{"Korvel Inc"});
    EXPECT_EQ(Text(AppKey, "LastApplied"), "8");
}

TEST(RegistryStoreTest, MissingAndInvalidPaths)
{
    const TemporaryMachine machine;
    Registry::Value value;
    EXPECT_EQ(Registry::GetValue(AppKey, "Absent", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Registry::GetValue("HKEY_CLASSES_ROOT\\x", "y", value), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Registry::DeleteValue(AppKey, "Absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Registry::DeleteKey(AppKey), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(Registry::KeyExists(AppKey));
    EXPECT_EQ(Registry::CreateKey(AppKey), ERROR_SUCCESS);
    EXPECT_TRUE(Registry::KeyExists(AppKey));
    EXPECT_EQ(Registry::DeleteKey("HKEY_CURRENT_USER\\Software"), ERROR_SUCCESS);
    EXPECT_FALSE(Registry::KeyExists(AppKey));
}

TEST(RegistryStoreTest, MachineHiveNeedsElevation)
{
    const TemporaryMachine machine;
    const ScopedEnvironment notElevated(WinSim::ElevationVariable, nullptr);
    EXPECT_EQ(Registry::SetValue(MachineKey, "HdrSupported", {REG_SZ, "x"}), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Registry::CreateKey(MachineKey), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Registry::KeyExists(MachineKey));
    EXPECT_EQ(Registry::SetValue(MachineKey, "HdrSupported", {REG_SZ, "x"}, Registry::Access::Unchecked), ERROR_SUCCESS);
    EXPECT_EQ(Registry::DeleteValue(MachineKey, "HdrSupported"), ERROR_ACCESS_DENIED);

    const ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
    EXPECT_EQ(Registry::DeleteValue(MachineKey, "HdrSupported"), ERROR_SUCCESS);
}

TEST(RegistryStoreTest, ReadOnlyKeyRefusesWritesBelowIt)
{
    const TemporaryMachine machine;
    ASSERT_EQ(Registry::SetValue(AppKey, "Kept", {REG_SZ, "old"}), ERROR_SUCCESS);
    ASSERT_EQ(Registry::SetKeyReadOnly(AppKey, true), ERROR_SUCCESS);
    EXPECT_EQ(Registry::SetValue(AppKey, "Kept", {REG_SZ, "new"}), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Registry::SetValue(AppKey + "\\Sub", "x", {REG_SZ, "new"}), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Registry::DeleteKey(AppKey), ERROR_ACCESS_DENIED);
    EXPECT_EQ(Text(AppKey, "Kept"), "old");
    ASSERT_EQ(Registry::SetKeyReadOnly(AppKey, false), ERROR_SUCCESS);
    EXPECT_EQ(Registry::SetValue(AppKey, "Kept", {REG_SZ, "new"}), ERROR_SUCCESS);
}

TEST(RegistryApiTest, QueryValueReportsTypesSizesAndMissingKeys)
{
    const TemporaryMachine machine;
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &key),
              LSTATUS(ERROR_SUCCESS));

    wchar_t text[16];
    DWORD size = sizeof text;
    DWORD type = REG_NONE;
    ASSERT_EQ(RegQueryValueExW(key, L"displayversion", nullptr, &type, reinterpret_cast<LPBYTE>(text), &size),
              LSTATUS(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::wstring(text), L"24H2");
    EXPECT_EQ(size, 5 * sizeof(wchar_t));

    DWORD number = 0;
    size = sizeof number;
    ASSERT_EQ(RegQueryValueExW(key, L"CurrentMajorVersionNumber", nullptr, &type, reinterpret_cast<LPBYTE>(&number), &size),
              LSTATUS(ERROR_SUCCESS));
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(number, 10u);

    wchar_t tiny[2];
    size = sizeof tiny;
    EXPECT_EQ(RegQueryValueExW(key, L"DisplayVersion", nullptr, nullptr, reinterpret_cast<LPBYTE>(tiny), &size),
              LSTATUS(ERROR_MORE_DATA));
    EXPECT_EQ(size, 5 * sizeof(wchar_t));
    EXPECT_EQ(RegQueryValueExW(key, L"NoSuchValue", nullptr, nullptr, nullptr, &size), LSTATUS(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(RegCloseKey(key), LSTATUS(ERROR_SUCCESS));

    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NoSuchKey", 0, KEY_READ, &key), LSTATUS(ERROR_FILE_NOT_FOUND));
}

TEST(RegistrySettingsTest, ReadsAndWritesTheStoreWithKeyPathsInAnyCase)
{
    const TemporaryMachine machine;
    ASSERT_EQ(Registry::SetValue(AppKey, "RequiredProfiles", {REG_SZ, "sRGB,AdobeRGB"}), ERROR_SUCCESS);
    ASSERT_EQ(Registry::CreateKey(AppKey + "\\EmptyKey"), ERROR_SUCCESS);
    {
        auto settings = WinSim::OpenRegistrySettings("HKEY_CURRENT_USER\\SOFTWARE\\korvel inc\\Korvel Tintwise");
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(settings->value("RequiredProfiles").toString(), "sRGB,AdobeRGB");
        settings->setValue("LastAppliedProfileIntegratedGPU", -1);
        settings->setValue("AlignProfilesOnDDSModeChange", true);
        settings->setValue("Group/Nested", "n");
        settings->sync();
        EXPECT_EQ(settings->status(), QSettings::NoError);
    }
    Registry::Value value;
    ASSERT_EQ(Registry::GetValue(AppKey, "LastAppliedProfileIntegratedGPU", value), ERROR_SUCCESS);
    EXPECT_EQ(value.type, REG_DWORD);
    EXPECT_EQ(value.data.toUInt(), 0xFFFFFFFFu);
    EXPECT_EQ(Text(AppKey, "AlignProfilesOnDDSModeChange"), "true");
    EXPECT_EQ(Text(AppKey + "\\Group", "Nested"), "n");
    EXPECT_TRUE(Registry::KeyExists(AppKey + "\\EmptyKey")) << "a write through QSettings keeps empty keys";

    // A value name in another case replaces the stored value and keeps its spelling.
    auto renamer = WinSim::OpenRegistrySettings(AppKey);
    renamer->setValue("requiredPROFILES", "DCIP3");
    renamer->sync();
    QStringList names;
    ASSERT_EQ(Registry::ListValues(AppKey, names), ERROR_SUCCESS);
    EXPECT_EQ(names.filter("required", Qt::CaseInsensitive), QStringList{"RequiredProfiles"});
    EXPECT_EQ(Text(AppKey, "RequiredProfiles"), "DCIP3");

    auto reader = WinSim::OpenRegistrySettings(AppKey);
    EXPECT_EQ(reader->value("LastAppliedProfileIntegratedGPU").toInt(), -1);
    EXPECT_TRUE(reader->value("AlignProfilesOnDDSModeChange").toBool());
    EXPECT_EQ(reader->childGroups(), QStringList{"Group"});
    reader->remove("Group");
    reader->sync();
    EXPECT_FALSE(Registry::KeyExists(AppKey + "\\Group\\Nested"));
    EXPECT_EQ(Text(AppKey, "RequiredProfiles"), "DCIP3");
}

TEST(RegistrySettingsTest, RefusedWritesLeaveTheHiveUnchanged)
{
    const TemporaryMachine machine;
    const ScopedEnvironment notElevated(WinSim::ElevationVariable, nullptr);
    QFile hive(Registry::HiveFile(Registry::Hive::LocalMachine));
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    const QByteArray before = hive.readAll();
    hive.close();

    auto settings = WinSim::OpenRegistrySettings(MachineKey);
    settings->setValue("HdrSupported", "1");
    settings->sync();
    EXPECT_EQ(settings->status(), QSettings::AccessError);
    ASSERT_TRUE(hive.open(QIODevice::ReadOnly));
    EXPECT_EQ(hive.readAll(), before);

    ASSERT_EQ(Registry::SetKeyReadOnly(AppKey, true), ERROR_SUCCESS);
    auto user = WinSim::OpenRegistrySettings(AppKey);
    user->setValue("LastAppliedProfileDiscreteGPU", 3);
    user->sync();
    EXPECT_EQ(user->status(), QSettings::AccessError);
    EXPECT_EQ(Text(AppKey, "LastAppliedProfileDiscreteGPU"), "<none>");
}

TEST(RegistrySettingsTest, OtherProcessesSeeWritesAtOnce)
{
    const TemporaryMachine machine;
    auto settings = WinSim::OpenRegistrySettings(AppKey);
    for (int round = 0; round < 5; ++round) {
        const QString data = QString::number(round);
        ASSERT_EQ(TestSupport::RunWinsim({"reg", "set", AppKey, "Counter", data}).exitCode, 0);
        settings->sync();
        EXPECT_EQ(settings->value("Counter").toString(), data);

        settings->setValue("Echo", "e" + data);
        settings->sync();
        const auto read = TestSupport::RunWinsim({"reg", "get", AppKey, "Echo"});
        EXPECT_EQ(read.out.trimmed(), "e" + data);
    }
}

TEST(RegistrySettingsTest, ConcurrentWritersLoseNoUpdate)
{
    const TemporaryMachine machine;
    std::vector<std::unique_ptr<QProcess>> writers;
    const QStringList modes = {"settings", "store", "settings", "store"};
    for (int i = 0; i < modes.size(); ++i) {
        auto process = std::make_unique<QProcess>();
        process->start(TestSupport::BinaryPath("regwriter"), {modes[i], AppKey, "w" + QString::number(i) + "_", "15"});
        writers.push_back(std::move(process));
    }
    for (auto& process : writers) {
        ASSERT_TRUE(TestSupport::WaitForFinished(*process));
        EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
    }
    QStringList names;
    ASSERT_EQ(Registry::ListValues(AppKey, names), ERROR_SUCCESS);
    EXPECT_EQ(names.size(), 60);
}

TEST(RegistrySettingsTest, MachineHiveWriteFromProcessNeedsElevation)
{
    const TemporaryMachine machine;
    const QString writer = TestSupport::BinaryPath("regwriter");
    for (const QString mode : {"settings", "store"}) {
        const auto plain = TestSupport::RunWinsim({"run", "--", writer, mode, MachineKey, "v", "1"});
        EXPECT_EQ(plain.exitCode, 5) << mode.toStdString();
        EXPECT_EQ(Text(MachineKey, "v0"), "<none>");
        const auto elevated = TestSupport::RunWinsim({"run", "--elevated", "--", writer, mode, MachineKey, mode, "1"});
        EXPECT_EQ(elevated.exitCode, 0) << elevated.err.toStdString();
        EXPECT_EQ(Text(MachineKey, mode + "0"), "v0");
    }
}

// Readers that cache a hive by size and time (QSettings in other processes) see a same-size rewrite
// only when its time moved on: every writer makes the time later than the replaced file's, even when
// that one lies ahead of the clock.
TEST(RegistrySettingsTest, SameSizeRewritesAdvanceTheHiveTime)
{
    const TemporaryMachine machine;
    ASSERT_EQ(Registry::SetValue(AppKey, "Counter", {REG_SZ, "0"}), ERROR_SUCCESS);
    const QString hive = Registry::HiveFile(Registry::Hive::CurrentUser);
    const std::function<void(const QString&)> writers[] = {
        [](const QString& data) { ASSERT_EQ(Registry::SetValue(AppKey, "Counter", {REG_SZ, data}), ERROR_SUCCESS); },
        [](const QString& data) {
            auto settings = WinSim::OpenRegistrySettings(AppKey);
            settings->setValue("Counter", data);
            settings->sync();
            ASSERT_EQ(settings->status(), QSettings::NoError);
        },
    };
    int round = 0;
    for (const auto& write : writers) {
        QFile file(hive);
        const QDateTime ahead = QDateTime::currentDateTimeUtc().addSecs(3600);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(ahead, QFileDevice::FileModificationTime));
        file.close();
        const qint64 size = QFileInfo(hive).size();
        write(QString::number(++round));
        const QFileInfo after(hive);
        EXPECT_EQ(after.size(), size);
        EXPECT_GT(after.lastModified().toUTC(), ahead) << "writer " << round;
    }
}

}  // namespace
