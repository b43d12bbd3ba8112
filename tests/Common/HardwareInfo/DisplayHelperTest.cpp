#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;
using TestSupport::TemporaryMachine;

namespace {

std::unique_ptr<HardwareInfo::IDisplayHelper> MakeHelper(const QString& panelId = QStringLiteral("SHP14C4"))
{
    return std::unique_ptr<HardwareInfo::IDisplayHelper>(HardwareInfo::DisplayHelperFactory().Create(panelId));
}

DisplaySetup Panel(const QByteArray& edid = PanelEdid(), const QString& deviceName = QStringLiteral("\\\\.\\DISPLAY1"))
{
    DisplaySetup setup{edid};
    setup.deviceName = deviceName;
    setup.withBrightness = true;
    return setup;
}

TEST(DisplayHelperTest, IdentifiesThePanelFromItsEdid)
{
    const TemporaryMachine machine;
    SetDisplays({{ExternalEdid(), 10, true, "\\\\.\\DISPLAY1"}, Panel(PanelEdid(), "\\\\.\\DISPLAY2")});
    const auto helper = MakeHelper();
    EXPECT_EQ(helper->GetInternalPanelId(), QStringLiteral("SHP14C4"));
    EXPECT_EQ(helper->GetManufacturerId(), QStringLiteral("SHP"));
    EXPECT_EQ(helper->GetProductCode(), QStringLiteral("14C4"));
    EXPECT_EQ(helper->GetSerialNumber(), QStringLiteral("AB12CD34"));
    EXPECT_EQ(helper->GetPanelText(), QStringLiteral("PW140M1A49"));
    EXPECT_EQ(helper->GetAdapterDeviceName(), QStringLiteral("\\\\.\\DISPLAY2"));
    EXPECT_EQ(helper->GetAvailableBrightnessLevels(), (QList<std::uint32_t>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    const QList<HardwareInfo::DisplayAdapterInfo> adapters = helper->GetAdapters();
    ASSERT_EQ(adapters.size(), 2);
    EXPECT_EQ(adapters[0].DeviceString, QStringLiteral("Korvel Integrated Graphics"));
    const QList<HardwareInfo::DisplayMonitorInfo> monitors = helper->GetMonitors(adapters[1]);
    ASSERT_EQ(monitors.size(), 1);
    EXPECT_TRUE(monitors[0].DeviceID.startsWith("\\\\?\\DISPLAY#SHP14C4#")) << monitors[0].DeviceID;
    EXPECT_TRUE(helper->GetDisplayId("\\\\.\\DISPLAY2").startsWith("MONITOR\\SHP14C4\\{4d36e96e-"));
    EXPECT_THROW(helper->GetDisplayId("\\\\.\\DISPLAY9"), HardwareInfo::GetDisplayIdException);
}

TEST(DisplayHelperTest, PanelOnTwoAdaptersTakesTheFirst)
{
    const TemporaryMachine machine;
    SetDisplays({Panel(PanelEdid(), "\\\\.\\DISPLAY1"), {PanelEdid(), 10, true, "\\\\.\\DISPLAY2", 1}});
    EXPECT_EQ(MakeHelper()->GetAdapterDeviceName(), QStringLiteral("\\\\.\\DISPLAY1"));
}

TEST(DisplayHelperTest, IdentityFromUnusualEdids)
{
    struct Case {
        const char* name;
        QJsonObject change;  // fields set on the panel's display entry
        QString productCode;
        QString serial;
    };
    EdidFields tiny;
    tiny.manufacturer = "SHP";
    tiny.productCode = 0x000A;
    tiny.second = {0xFF, "  X9 Y8\n"};
    const QByteArray extended = PanelEdid() + QByteArray(128, '\x01');
    const Case cases[] = {
        {"product code with leading zeros", {{"edid", Hex(MakeEdid(tiny))}, {"pnpId", "SHP14C4"}}, "000A", "X9Y8"},
        {"a short value enumerated before a two-block EDID",
         {{"edid", Hex(extended)}, {"deviceValues", QJsonArray{QJsonObject{{"name", "A"}, {"hex", "01"}}}}}, "14C4",
         "AB12CD34"},
        {"no EDID value", {{"edid", ""}, {"pnpId", "SHP14C4"}}, "0000", ""},
        {"short EDID", {{"edid", Hex(PanelEdid().left(100))}, {"pnpId", "SHP14C4"}}, "0000", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const TemporaryMachine machine;
        SetDisplays({Panel()});
        for (auto it = test.change.begin(); it != test.change.end(); ++it) {
            WinSim::SetDescriptionValue("displays.0." + it.key(), it.value());
        }
        const auto helper = MakeHelper();
        EXPECT_EQ(helper->GetProductCode(), test.productCode);
        EXPECT_EQ(helper->GetSerialNumber(), test.serial);
    }
}

TEST(DisplayHelperTest, IdentificationFailures)
{
    {
        const TemporaryMachine machine;
        SetDisplays({{ExternalEdid(), 10}, Panel(PanelEdid(), "\\\\.\\DISPLAY2")});
        WinSim::SetDescriptionValue("displays.1.active", false);
        EXPECT_EQ(Message<HardwareInfo::DisplayHelperException>([] { MakeHelper(); }).rfind(
                      "Internal panel is not detected. Turn it ON and then please try again.", 0),
                  0u);
    }
    {
        // Every interface index fails with another error than "no more items", or the panel's
        // device key cannot be opened: the enumeration still ends, and the panel is a failed read,
        // not a panel without an EDID.
        const TemporaryMachine machine;
        SetDisplays({Panel()});
        for (const char* function : {"SetupDiEnumDeviceInterfaces", "SetupDiOpenDevRegKey"}) {
            WinSim::SetInjectedFailure(function, ERROR_GEN_FAILURE);
            EXPECT_EQ(Message<HardwareInfo::GetMonitorEdidException>([] { MakeHelper(); }).rfind(
                          "Failed to obtain Monitor Edid", 0),
                      0u)
                << function;
            WinSim::SetInjectedFailure(function, 0);
        }
        WinSim::SetInjectedFailure("SetupDiGetClassDevsExW", ERROR_ACCESS_DENIED);
        EXPECT_THROW(MakeHelper(), HardwareInfo::GetMonitorEdidException);
        WinSim::SetInjectedFailure("SetupDiGetClassDevsExW", 0);
        // A device key whose values cannot be enumerated is a failed read, not a panel without EDID.
        WinSim::SetInjectedFailure("RegEnumValueA", ERROR_GEN_FAILURE);
        try {
            MakeHelper();
            ADD_FAILURE() << "no exception";
        } catch (const HardwareInfo::GetMonitorEdidException& error) {
            EXPECT_EQ(error.Code(), ERROR_GEN_FAILURE);
            EXPECT_EQ(std::string(error.what()).rfind("Failed to obtain Monitor Edid", 0), 0u) << error.what();
        }
    }
    {
        const TemporaryMachine machine;
        SetDisplays({});
        EXPECT_THROW(MakeHelper(), HardwareInfo::DisplayHelperException);
    }
}

TEST(DisplayHelperTest, ConstructionNeedsBrightnessDeviceAndWindowsVersion)
{
    {
        const TemporaryMachine machine;
        SetDisplays({{PanelEdid()}});  // no brightness device
        EXPECT_EQ(Message<HardwareInfo::GetAvailableBrightnessLevelsException>([] { MakeHelper(); })
                      .rfind("Failed to obtain brightness levels from the system.", 0),
                  0u);
    }
    {
        const TemporaryMachine machine;
        SetDisplays({Panel()});
        WinSim::SetInjectedFailure("DeviceIoControl", ERROR_GEN_FAILURE, "0x230494");
        try {
            MakeHelper();
            ADD_FAILURE();
        } catch (const HardwareInfo::GetAvailableBrightnessLevelsException& error) {
            EXPECT_EQ(error.Code(), std::int32_t(ERROR_GEN_FAILURE));
        }
    }
    {
        const TemporaryMachine machine;
        SetDisplays({Panel()});
        WinSim::Registry::SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                   "DisplayVersion", {REG_SZ, QStringLiteral("H2")}, WinSim::Registry::Access::Unchecked);
        EXPECT_THROW(MakeHelper(), std::runtime_error);
    }
}

}  // namespace
