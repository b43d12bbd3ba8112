// The machine-wide panel values written through the elevated tool on a simulated machine and read back.
#include "Common/Profile/RegistryLoader.h"
#include "Common/Profile/RegistryLoaderExceptions.h"
#include "Common/Windows/RegistryParser.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>

namespace Profile = Korvel::DisplayCalibration::Common::Profile;
namespace Registry = WinSim::Registry;
using Korvel::DisplayCalibration::Common::Exception::OsErrorException;
using Korvel::DisplayCalibration::Common::Windows::RegistryParser;
using TestSupport::TemporaryMachine;

namespace {

const QString PanelKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Korvel Tintwise\\PanelInfo");
const QString DeviceId = QStringLiteral("MONITOR\\KVL1C4A\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001");

std::optional<QString> Stored(const QString& name)
{
    Registry::Value value;
    if (Registry::GetValue(PanelKey, name, value) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value.data.toString();
}

std::optional<QString> Decrypted(const QString& name)
{
    QString text;
    return RegistryParser().ReadString("PanelInfo", name, text) ? std::optional(text) : std::nullopt;
}

// The loader takes the tool from the program folder and the key from the application name.
class RegistryLoaderTest : public ::testing::Test {
protected:
    RegistryLoaderTest()
    {
        static int argc = 1;
        static char name[] = "CommonTests";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName("Korvel Tintwise");
        loader = std::make_unique<RegistryLoader>();
    }

    TemporaryMachine machine;
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<RegistryLoader> loader;
};

TEST_F(RegistryLoaderTest, SetAllParametersRoundTrip)
{
    QStringList profiles = {"Native", "sRGB", "Default", "AdobeRGB", "Default"};
    ASSERT_TRUE(loader->SetAllParameters(true, "sRGB", "2.2", profiles, "{ProfileName}_KV14.icm", DeviceId, {}));
    EXPECT_EQ(profiles, QStringList({"sRGB", "AdobeRGB", "Default", "Native"}));

    EXPECT_EQ(Decrypted("HdrSupported"), "1");
    EXPECT_EQ(Stored("HdrSupported"), RegistryLoader::EncryptToBase64("1"));
    EXPECT_EQ(Decrypted("DefaultProfileColorSpace"), "sRGB");
    EXPECT_EQ(Decrypted("DefaultProfileGamma"), "2.2");
    EXPECT_EQ(Decrypted("RequiredProfiles"), "sRGB,AdobeRGB,Default,Native");
    EXPECT_EQ(Decrypted("ProfileFormat"), "{ProfileName}_KV14.icm");
    QString id;
    ASSERT_TRUE(RegistryParser::ReadPanelInfoValue("DisplayDeviceId", id));
    EXPECT_EQ(id, DeviceId);
    EXPECT_EQ(RegistryParser().CheckValues("PanelInfo", {"HdrSupported", "DefaultProfileColorSpace",
                                                         "DefaultProfileGamma", "RequiredProfiles", "ProfileFormat"}),
              3);
}

TEST_F(RegistryLoaderTest, SetAllParametersLeavesOutNullFormatAndEmptyDevice)
{
    QStringList profiles = {"sRGB"};
    ASSERT_TRUE(loader->SetAllParameters(false, "DCIP3", "2.4", profiles, QString(), QString(), {}));
    EXPECT_EQ(Decrypted("HdrSupported"), "0");
    EXPECT_EQ(Stored("ProfileFormat"), std::nullopt);
    EXPECT_EQ(Stored("DisplayDeviceId"), std::nullopt);
    // An empty but not null format is written.
    ASSERT_TRUE(loader->SetAllParameters(false, "DCIP3", "2.4", profiles, "", "", {}));
    EXPECT_EQ(Decrypted("ProfileFormat"), "");
}

TEST_F(RegistryLoaderTest, SettersAndRemovers)
{
    ASSERT_TRUE(loader->SetDefaultProfileColorSpace("AdobeRGB"));
    ASSERT_TRUE(loader->SetDefaultProfileGamma("2.2"));
    ASSERT_TRUE(loader->SetHdrSupported(true));
    ASSERT_TRUE(loader->SetRequiredProfiles({"sRGB", "AdobeRGB"}));
    ASSERT_TRUE(loader->SetProfileFormat("{ProfileName}.icm"));
    EXPECT_EQ(Decrypted("DefaultProfileColorSpace"), "AdobeRGB");
    EXPECT_EQ(Decrypted("DefaultProfileGamma"), "2.2");
    EXPECT_EQ(Decrypted("HdrSupported"), "1");
    EXPECT_EQ(Decrypted("RequiredProfiles"), "\"sRGB, AdobeRGB\"");
    EXPECT_EQ(Decrypted("ProfileFormat"), "{ProfileName}.icm");

    ASSERT_TRUE(loader->RemoveDefaultProfileColorSpace());
    ASSERT_TRUE(loader->RemoveDefaultProfileGamma());
    ASSERT_TRUE(loader->RemoveHdrSupported());
    ASSERT_TRUE(loader->RemoveRequiredProfiles());
    for (const char* name : {"DefaultProfileColorSpace", "DefaultProfileGamma", "HdrSupported", "RequiredProfiles"}) {
        EXPECT_EQ(Stored(name), std::nullopt) << name;
    }
    EXPECT_EQ(Decrypted("ProfileFormat"), "{ProfileName}.icm");
}

TEST_F(RegistryLoaderTest, PlainValuesReachTheRegistryUnchanged)
{
    for (const QString& value : {DeviceId, QString("C:\\Program Files\\100% & <more> ^x\\"), QString("%PATH% a  b")}) {
        ASSERT_TRUE(loader->SetParameter("DisplayDeviceId", value)) << value;
        EXPECT_EQ(Stored("DisplayDeviceId"), value);
    }
    // A double quote cannot be passed safely: refused before anything runs.
    const int runs = WinSim::ReadJournal().filter(" run-elevated ").size();
    try {
        loader->SetParameter("DisplayDeviceId", "a\" & echo b");
        ADD_FAILURE() << "no exception";
    } catch (const Profile::SetDefaultProfileColorSpaceException& error) {
        EXPECT_EQ(error.Code(), -1);
    }
    EXPECT_EQ(WinSim::ReadJournal().filter(" run-elevated ").size(), runs);
    EXPECT_EQ(Stored("DisplayDeviceId"), QString("%PATH% a  b"));
}

TEST_F(RegistryLoaderTest, FailuresBecomeTheOperationsException)
{
    QStringList profiles = {"sRGB"};
    struct Case {
        const char* name;
        std::function<void()> call;
        std::type_index type;
    };
    const Case cases[] = {
        {"colour space", [&] { loader->SetDefaultProfileColorSpace("sRGB"); },
         typeid(Profile::SetDefaultProfileColorSpaceException)},
        {"gamma", [&] { loader->SetDefaultProfileGamma("2.2"); }, typeid(Profile::SetDefaultProfileGammaException)},
        {"hdr", [&] { loader->SetHdrSupported(true); }, typeid(Profile::SetHdrSupportedException)},
        {"profiles", [&] { loader->SetRequiredProfiles({"sRGB"}); }, typeid(Profile::SetSupportedProfilesException)},
        {"format", [&] { loader->SetProfileFormat("{ProfileName}.icm"); }, typeid(Profile::SetProfileFormatException)},
        {"remove colour space", [&] { loader->RemoveDefaultProfileColorSpace(); },
         typeid(Profile::RemoveDefaultProfileColorSpaceException)},
        {"remove gamma", [&] { loader->RemoveDefaultProfileGamma(); },
         typeid(Profile::RemoveDefaultProfileGammaException)},
        {"remove hdr", [&] { loader->RemoveHdrSupported(); }, typeid(Profile::RemoveHdrSupportedException)},
        {"remove profiles", [&] { loader->RemoveRequiredProfiles(); },
         typeid(Profile::RemoveSupportedProfilesException)},
        {"parameter", [&] { loader->SetParameter("DisplayDeviceId", DeviceId); },
         typeid(Profile::SetDefaultProfileColorSpaceException)},
        {"all", [&] { loader->SetAllParameters(true, "sRGB", "2.2", profiles, "x", DeviceId, {}); },
         typeid(Profile::SetAllRegistryParametersException)},
    };
    const auto expectFailure = [](const Case& c, const std::string& message) {
        try {
            c.call();
            ADD_FAILURE() << c.name << ": no exception";
        } catch (const OsErrorException& error) {
            EXPECT_EQ(std::type_index(typeid(error)), c.type) << c.name;
            EXPECT_EQ(error.what(), message) << c.name;
            EXPECT_EQ(error.Code(), -1) << c.name;
        }
    };

    // A refused prompt leaves the machine hive as it was.
    ASSERT_TRUE(loader->SetDefaultProfileGamma("2.4"));
    const Registry::Key before = Registry::LoadHive(Registry::Hive::LocalMachine);
    WinSim::SetDescriptionValue("elevation.prompt", "refuse");
    for (const Case& c : cases) {
        expectFailure(c, "Administrator privileges not granted by user.");
    }
    EXPECT_EQ(Registry::LoadHive(Registry::Hive::LocalMachine), before);

    // An encryption failure (text too long) is reported the same way.
    const QString tooLong(351, 'x');
    expectFailure({"format", [&] { loader->SetProfileFormat(tooLong); }, typeid(Profile::SetProfileFormatException)},
                  "Input data size is too big.");
    expectFailure({"all", [&] { loader->SetAllParameters(true, tooLong, "2.2", profiles, "x", "", {}); },
                   typeid(Profile::SetAllRegistryParametersException)},
                  "Input data size is too big.");
}

TEST_F(RegistryLoaderTest, FailedCommandIsFalse)
{
    // A read-only key makes the tool's write fail; the run reports failure without an exception.
    ASSERT_EQ(Registry::CreateKey(PanelKey, Registry::Access::Unchecked), ERROR_SUCCESS);
    ASSERT_EQ(Registry::SetKeyReadOnly(PanelKey, true), ERROR_SUCCESS);
    EXPECT_FALSE(loader->SetHdrSupported(true));
    EXPECT_EQ(Stored("HdrSupported"), std::nullopt);
}

}  // namespace
