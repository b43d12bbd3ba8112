#include "Common/Settings/Configuration.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/Win32.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using Korvel::DisplayCalibration::Common::Settings::Configuration;
using TestSupport::RunWinsim;
using TestSupport::TemporaryMachine;

namespace {

const QString UserKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\Korvel Inc\\Korvel Tintwise");

class ConfigurationTest : public testing::Test {
protected:
    void SetUp() override
    {
        QCoreApplication::setOrganizationName(QStringLiteral("Korvel Inc"));
        QCoreApplication::setApplicationName(QStringLiteral("Korvel Tintwise"));
    }

    static QString Stored(const QString& name)
    {
        const auto result = RunWinsim({"reg", "get", UserKey, name});
        return result.exitCode == 0 ? result.out.trimmed() : QStringLiteral("<none>");
    }
    static void Store(const QString& name, const QString& data, const QString& type = QStringLiteral("REG_SZ"))
    {
        ASSERT_EQ(RunWinsim({"reg", "set", "--type", type, UserKey, name, data}).exitCode, 0);
    }
    static QStringList StoredNames()
    {
        QStringList names;
        WinSim::Registry::ListValues(UserKey, names);
        return names;
    }

    TemporaryMachine machine;
};

TEST_F(ConfigurationTest, FreshUserGetsFirstRunValuesOnce)
{
    {
        Configuration configuration;
        EXPECT_TRUE(configuration.AlignProfilesOnDDSModeChange());
        EXPECT_EQ(configuration.LastAppliedProfileIndex(2), -1);
        EXPECT_EQ(configuration.LastAppliedProfileIndex(1), -1);
    }
    EXPECT_EQ(StoredNames().size(), 3);
    Store("LastAppliedProfileDiscreteGPU", "4", "REG_DWORD");
    Store("AlignProfilesOnDDSModeChange", "false");
    Configuration second;
    EXPECT_EQ(second.LastAppliedProfileIndex(2), 4);
    EXPECT_FALSE(second.AlignProfilesOnDDSModeChange());
}

TEST_F(ConfigurationTest, ExistingNameInOtherLetterCaseCountsAsPresent)
{
    Store("lastappliedprofileintegratedgpu", "3", "REG_DWORD");
    Configuration configuration;
    EXPECT_EQ(configuration.LastAppliedProfileIndex(1), 3);
    configuration.SetLastAppliedProfileIndex(1, 5);
    EXPECT_EQ(configuration.LastAppliedProfileIndex(0), 5);
    EXPECT_EQ(StoredNames().size(), 3);
}

TEST_F(ConfigurationTest, GpuKindSelectsKey)
{
    Configuration configuration;
    const struct {
        std::int32_t written;
        std::int32_t sameKeyAs;
        std::int32_t otherKey;
    } cases[] = {{0, 1, 2}, {1, 0, 2}, {2, 2, 0}, {-7, 1, 2}};
    int index = 10;
    for (const auto& c : cases) {
        configuration.SetLastAppliedProfileIndex(c.written, ++index);
        EXPECT_EQ(configuration.LastAppliedProfileIndex(c.sameKeyAs), index) << c.written;
        EXPECT_NE(configuration.LastAppliedProfileIndex(c.otherKey), index) << c.written;
    }
    configuration.SetLastAppliedProfileIndex(2, -5);
    EXPECT_EQ(configuration.LastAppliedProfileIndex(2), -5);
    EXPECT_EQ(Stored("LastAppliedProfileDiscreteGPU"), "4294967291");
}

TEST_F(ConfigurationTest, MissingAndUnreadableValuesGiveDefaults)
{
    Configuration configuration;
    ASSERT_EQ(RunWinsim({"reg", "delete", UserKey, "LastAppliedProfileIntegratedGPU"}).exitCode, 0);
    ASSERT_EQ(RunWinsim({"reg", "delete", UserKey, "AlignProfilesOnDDSModeChange"}).exitCode, 0);
    EXPECT_EQ(configuration.LastAppliedProfileIndex(1), -2);
    EXPECT_TRUE(configuration.AlignProfilesOnDDSModeChange());
    Store("LastAppliedProfileDiscreteGPU", "seven");
    EXPECT_EQ(configuration.LastAppliedProfileIndex(2), 0);
    EXPECT_TRUE(configuration.RequiredProfiles().isEmpty());
}

TEST_F(ConfigurationTest, RequiredProfilesDropEmptyPartsAndSimplifyBlanks)
{
    Configuration configuration;
    const struct {
        const char* stored;
        QStringList expected;
    } cases[] = {
        {",Default,, DICOM_Dim ,", {"Default", "DICOM_Dim"}},
        {"sRGB,  Adobe   RGB\t,Native", {"sRGB", "Adobe RGB", "Native"}},
        {" , ", {"", ""}},
        {"", {}},
    };
    for (const auto& c : cases) {
        Store("RequiredProfiles", c.stored);
        EXPECT_EQ(configuration.RequiredProfiles(), c.expected) << c.stored;
    }
}

TEST_F(ConfigurationTest, SecondInstanceSeesWriteAtOnce)
{
    Configuration first;
    Configuration second;
    for (int index : {3, 0, 7}) {
        first.SetLastAppliedProfileIndex(2, index);
        EXPECT_EQ(second.LastAppliedProfileIndex(2), index);
        second.SetAlignProfilesOnDDSModeChange(index % 2 == 0);
        EXPECT_EQ(first.AlignProfilesOnDDSModeChange(), index % 2 == 0);
    }
    Store("LastAppliedProfileIntegratedGPU", "9", "REG_DWORD");
    EXPECT_EQ(first.LastAppliedProfileIndex(1), 9);
}

TEST_F(ConfigurationTest, RefusedWriteThrowsAfterAttempt)
{
    Configuration configuration;
    configuration.SetLastAppliedProfileIndex(2, 4);
    ASSERT_EQ(RunWinsim({"reg", "readonly", UserKey, "on"}).exitCode, 0);

    try {
        configuration.SetLastAppliedProfileIndex(2, 6);
        FAIL() << "a refused write was reported as success";
    } catch (const WriteLastAppliedProfileException& error) {
        EXPECT_STREQ(error.what(), "Failed to write last applied profile index to the Registry.");
        EXPECT_EQ(error.Code(), -1);
    }
    try {
        configuration.SetAlignProfilesOnDDSModeChange(false);
        FAIL() << "a refused write was reported as success";
    } catch (const WriteLastAppliedProfileException& error) {
        EXPECT_STREQ(error.what(), "Failed to write align profiles on DDS mode change value to the Registry.");
    }
    // Writing the value the registry already holds is no failure.
    EXPECT_NO_THROW(configuration.SetLastAppliedProfileIndex(2, 4));
    EXPECT_EQ(configuration.LastAppliedProfileIndex(2), 4);
    EXPECT_TRUE(configuration.AlignProfilesOnDDSModeChange());

    ASSERT_EQ(RunWinsim({"reg", "readonly", UserKey, "off"}).exitCode, 0);
    // A refused value does not slip into the registry with a later write.
    configuration.SetAlignProfilesOnDDSModeChange(false);
    Configuration other;
    EXPECT_EQ(Stored("LastAppliedProfileDiscreteGPU"), "4");
    EXPECT_EQ(other.LastAppliedProfileIndex(2), 4);
    configuration.SetLastAppliedProfileIndex(2, 6);
    EXPECT_EQ(Stored("LastAppliedProfileDiscreteGPU"), "6");
}

TEST_F(ConfigurationTest, ReadOnlyKeyOnFreshUserFailsConstruction)
{
    ASSERT_EQ(RunWinsim({"reg", "set", UserKey, "Other", "x"}).exitCode, 0);
    ASSERT_EQ(RunWinsim({"reg", "readonly", UserKey, "on"}).exitCode, 0);
    EXPECT_THROW(Configuration(), WriteLastAppliedProfileException);
}

}  // namespace
