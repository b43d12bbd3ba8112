#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/TestSupport.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using TestSupport::TemporaryMachine;

namespace {

std::unique_ptr<HardwareInfo::IBiosTools> MakeBiosTools()
{
    return std::unique_ptr<HardwareInfo::IBiosTools>(HardwareInfo::BiosToolsFactory().Create());
}

TEST(BiosToolsTest, ValuesAreUpperCasedWithBlanksRemoved)
{
    const TemporaryMachine machine;
    WinSim::SetDescriptionValue("bios.serialNumber", "PF 3ABC12 ");
    WinSim::SetDescriptionValue("bios.model", "laptop x1");
    WinSim::SetDescriptionValue("bios.productVersion", "Vantrel\t14 Gen 2");
    const auto tools = MakeBiosTools();
    EXPECT_EQ(tools->GetComputerSerialNumber(), QStringLiteral("PF3ABC12"));
    EXPECT_EQ(tools->GetComputerModelName(), QStringLiteral("LAPTOPX1"));
    EXPECT_EQ(tools->GetComputerProductVersion(), QStringLiteral("VANTREL\t14GEN2"));

    // Nothing is cached: a changed machine is read on the next call.
    WinSim::SetDescriptionValue("bios.serialNumber", "new1");
    EXPECT_EQ(tools->GetComputerSerialNumber(), QStringLiteral("NEW1"));
}

TEST(BiosToolsTest, InstancesDecideTheValue)
{
    const TemporaryMachine machine;
    // The last of two instances wins; a class without instances gives an empty text; a null value is skipped.
    WinSim::SetDescriptionValue("wmi.Win32_ComputerSystemProduct",
                                QJsonArray{QJsonObject{{"Name", "first"}, {"Version", "v1"}},
                                           QJsonObject{{"Name", "second"}, {"Version", QJsonValue::Null}}});
    WinSim::SetDescriptionValue("wmi.Win32_BIOS", QJsonArray{});
    const auto tools = MakeBiosTools();
    EXPECT_EQ(tools->GetComputerModelName(), QStringLiteral("SECOND"));
    EXPECT_EQ(tools->GetComputerProductVersion(), QStringLiteral("V1"));
    EXPECT_EQ(tools->GetComputerSerialNumber(), QString());
}

TEST(BiosToolsTest, ConstructionFailures)
{
    struct Case {
        const char* fault;
        const char* message;
        bool com;
    };
    const Case cases[] = {
        {"CoInitializeEx", "Failed to initialize COM library", true},
        {"CoCreateInstance", "Failed to create IWbemLocator object.", false},
        {"IWbemLocator::ConnectServer", "Could not connect to IWbemLocator object.", false},
        {"CoSetProxyBlanket", "Could not set proxy blanket.", false},
    };
    for (const Case& test : cases) {
        const TemporaryMachine machine;
        WinSim::SetInjectedFailure(test.fault, 0x80041001);
        try {
            MakeBiosTools();
            ADD_FAILURE() << test.fault << " did not fail";
        } catch (const HardwareInfo::ComInitializationException& error) {
            EXPECT_TRUE(test.com) << test.fault;
            EXPECT_EQ(error.Code(), std::int32_t(0x80041001));
            EXPECT_TRUE(std::string(error.what()).starts_with(test.message)) << error.what();
        } catch (const HardwareInfo::BiosToolsException& error) {
            EXPECT_FALSE(test.com) << test.fault;
            EXPECT_EQ(error.Code(), std::int32_t(0x80041001));
            EXPECT_TRUE(std::string(error.what()).starts_with(test.message)) << error.what();
        }
    }
}

TEST(BiosToolsTest, QueryFailureArrivesAsTheOperationsOwnException)
{
    const TemporaryMachine machine;
    const auto tools = MakeBiosTools();
    WinSim::SetInjectedFailure("IWbemServices::ExecQuery", 0x80041010);
    EXPECT_THROW(tools->GetComputerSerialNumber(), HardwareInfo::GetComputerSerialNumberException);
    EXPECT_THROW(tools->GetComputerModelName(), HardwareInfo::GetComputerModelNameException);
    try {
        tools->GetComputerProductVersion();
        ADD_FAILURE();
    } catch (const HardwareInfo::GetComputerProductVersionException& error) {
        EXPECT_EQ(error.Code(), std::int32_t(0x80041010));
        EXPECT_TRUE(std::string(error.what()).starts_with("Query for BIOS data failed.")) << error.what();
    }
}

}  // namespace
