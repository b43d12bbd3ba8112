#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;
namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;
using TestSupport::ScopedEnvironment;
using TestSupport::TemporaryMachine;

namespace {

const QString Store = QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\GraphicsDrivers\\MonitorDataStore\\");

void SetStoreValue(const QString& group, const QString& name, quint32 value)
{
    ASSERT_EQ(WinSim::Registry::SetValue(Store + group, name, {REG_DWORD, value}, WinSim::Registry::Access::Unchecked),
              DWORD(ERROR_SUCCESS));
}

void SetDisplayVersion(const QString& version)
{
    ASSERT_EQ(WinSim::Registry::SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                         "DisplayVersion", {REG_SZ, version}, WinSim::Registry::Access::Unchecked),
              DWORD(ERROR_SUCCESS));
}

std::unique_ptr<HardwareInfo::IDisplayHelper> MakeHelper()
{
    DisplaySetup panel{PanelEdid()};
    panel.withBrightness = true;
    SetDisplays({panel});
    return std::unique_ptr<HardwareInfo::IDisplayHelper>(HardwareInfo::DisplayHelperFactory().Create("SHP14C4"));
}

QStringList GenericLog()
{
    QFile file(Common::UserDataDirectory() + "/log/Generic.log");
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList texts;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        texts << line.section(' ', 3);  // after date, time and thread
    }
    return texts;
}

TEST(ColourManagementTest, VersionDecidesWhichValueTellsAutomaticColourManagementIsSupported)
{
    const struct {
        const char* version;
        bool readsAutoColorManagement;
    } cases[] = {{"24H2", true}, {"25H1", true}, {"24I1", true}, {"23H2", false}, {"24H1", false}, {"24G9", false}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.version);
        const TemporaryMachine machine;
        SetDisplayVersion(test.version);
        SetStoreValue("SHP14C4_1", test.readsAutoColorManagement ? "AutoColorManagementEnabled" : "AdvancedColorEnabled", 0);
        EXPECT_TRUE(MakeHelper()->IsACMSupported());
    }
}

TEST(ColourManagementTest, OnlyTheFirstGroupOfThePanelIsRead)
{
    const TemporaryMachine machine;
    SetStoreValue("SHP14C4_1", "AdvancedColorEnabled", 1);
    SetStoreValue("SHP14C4_2", "AdvancedColorEnabled", 0);
    SetStoreValue("SHP14C4_1", "AutoColorManagementEnabled", 0);
    SetStoreValue("SHP14C4_2", "AutoColorManagementEnabled", 1);
    const auto helper = MakeHelper();
    EXPECT_TRUE(helper->IsAdvancedColorEnabled());
    EXPECT_FALSE(helper->IsAutoColorManagementEnabled());
    EXPECT_TRUE(helper->IsACMSupported());  // 24H2: the value is present, even at 0
    EXPECT_TRUE(GenericLog().contains("IsACMSupported: 0")) << GenericLog().join('\n');
    EXPECT_TRUE(GenericLog().contains("IsACMActivated: 1")) << GenericLog().join('\n');
}

TEST(ColourManagementTest, PanelMissingFromTheStoreAnswersFalse)
{
    const TemporaryMachine machine;
    SetStoreValue("shp14c4_1", "AdvancedColorEnabled", 1);  // other letter case
    const auto helper = MakeHelper();
    EXPECT_FALSE(helper->IsAdvancedColorEnabled());
    EXPECT_FALSE(helper->IsAutoColorManagementEnabled());
    EXPECT_FALSE(helper->IsACMSupported());
    const QStringList log = GenericLog();
    EXPECT_EQ(log.filter("subGroups count: 2").size(), 3) << log.join('\n');  // with the preset's own monitor
    EXPECT_TRUE(log.filter("IsACM").isEmpty()) << log.join('\n');
    EXPECT_TRUE(log.contains("panelIdFromRegistry: shp14c4")) << log.join('\n');
    EXPECT_TRUE(log.contains("m_InternalPanelId: SHP14C4")) << log.join('\n');
}

TEST(ColourManagementTest, CalibrationManagementIsSwitchedOnOnlyWhenOff)
{
    const TemporaryMachine machine;
    const auto helper = MakeHelper();
    const auto switches = [] { return WinSim::ReadJournal().filter(" colour-calibration on").size(); };
    // Switching needs administrator rights.
    EXPECT_FALSE(helper->EnableWindowsCalibrationManagement());
    {
        const ScopedEnvironment elevated(WinSim::ElevationVariable, "1");
        EXPECT_TRUE(helper->EnableWindowsCalibrationManagement());
        EXPECT_EQ(switches(), 1);
    }
    WinSim::SetInjectedFailure("WcsSetCalibrationManagementState", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(helper->EnableWindowsCalibrationManagement());
    EXPECT_EQ(switches(), 1);
    WinSim::SetInjectedFailure("WcsGetCalibrationManagementState", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(helper->EnableWindowsCalibrationManagement());
}

}  // namespace
