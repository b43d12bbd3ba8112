#include "Common/Security/EncrypterFactory.h"
#include "Common/Windows/RegistryParser.h"
#include "Common/Windows/WindowsVersion.h"
#include "WindowsStandIn/Registry.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

namespace Registry = WinSim::Registry;
using Korvel::DisplayCalibration::Common::Security::EncrypterFactory;
using Korvel::DisplayCalibration::Common::Windows::RegistryParser;
using Korvel::DisplayCalibration::Common::Windows::WindowsDisplayVersion;
using Korvel::DisplayCalibration::Common::Windows::WindowsVersion;
using TestSupport::TemporaryMachine;

namespace {

const QString AppKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Korvel Tintwise");
const QString PanelKey = AppKey + "\\PanelInfo";
const QString VersionKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");

QString Encrypted(const QByteArray& text)
{
    return QString::fromLatin1(EncrypterFactory().CreateSymmetricEncrypter()->Encrypt(text).toBase64());
}

void Put(const QString& key, const QString& name, const QString& text)
{
    ASSERT_EQ(Registry::SetValue(key, name, {REG_SZ, text}, Registry::Access::Unchecked), ERROR_SUCCESS);
}

class RegistryParserTest : public ::testing::Test {
protected:
    static bool Named()
    {
        QCoreApplication::setApplicationName("Korvel Tintwise");
        return true;
    }
    const bool named = Named();  // before the parser takes its base path
    TemporaryMachine machine;
    RegistryParser parser;
};

TEST_F(RegistryParserTest, ReadsEncryptedValues)
{
    Put(PanelKey, "DefaultProfileColorSpace", Encrypted("sRGB"));
    Put(PanelKey, "HdrSupported", Encrypted("1"));
    Put(PanelKey, "RequiredProfiles", Encrypted("sRGB,AdobeRGB,Default"));
    Put(PanelKey, "ProfileFormat", Encrypted("{ProfileName}_K\u00f6rvel.icm"));
    Put(PanelKey, "DisplayDeviceId", "MONITOR\\KVL1C4A\\{4d36e96e}\\0001");
    QString text;
    ASSERT_TRUE(parser.ReadString("PanelInfo", "RequiredProfiles", text));
    EXPECT_EQ(text, "sRGB,AdobeRGB,Default");
    ASSERT_TRUE(parser.ReadString("panelinfo", "ProfileFormat", text));
    EXPECT_EQ(text, QString("{ProfileName}_K\u00f6rvel.icm"));
    int number = -1;
    ASSERT_TRUE(parser.ReadInt("PANELINFO", "HdrSupported", number));
    EXPECT_EQ(number, 1);
    ASSERT_TRUE(parser.ReadInt("PanelInfo", "DefaultProfileColorSpace", number));
    EXPECT_EQ(number, 0);
    EXPECT_EQ(parser.CheckValues("PanelInfo", {"HdrSupported", "DefaultProfileColorSpace", "RequiredProfiles"}), 3);
    EXPECT_EQ(parser.CheckValues("PanelInfo", {"HdrSupported", "DefaultProfileGamma"}), 2);
    EXPECT_TRUE(parser.HasValue("panelInfo", "HdrSupported"));
    EXPECT_FALSE(parser.HasValue("PanelInfo", "DefaultProfileGamma"));
    // The plain device ID: readable as it stands, not through the decrypting reader.
    ASSERT_TRUE(RegistryParser::ReadPanelInfoValue("DisplayDeviceId", text));
    EXPECT_EQ(text, "MONITOR\\KVL1C4A\\{4d36e96e}\\0001");
    text = "unchanged";
    EXPECT_FALSE(parser.ReadString("PanelInfo", "DisplayDeviceId", text));
    EXPECT_FALSE(RegistryParser::ReadPanelInfoValue("Absent", text));
    EXPECT_EQ(text, "unchanged");
}

TEST_F(RegistryParserTest, MissingEmptyAndUnreadableValues)
{
    QString text = "unchanged";
    int number = 7;
    // No group, then an empty group.
    EXPECT_FALSE(parser.GroupHasKeys("PanelInfo"));
    EXPECT_EQ(parser.CheckValues("PanelInfo", {"HdrSupported"}), 0);
    ASSERT_EQ(Registry::CreateKey(PanelKey, Registry::Access::Unchecked), ERROR_SUCCESS);
    EXPECT_FALSE(parser.GroupHasKeys("PanelInfo"));
    EXPECT_EQ(parser.CheckValues("PanelInfo", {}), 0);
    EXPECT_FALSE(parser.ReadString("PanelInfo", "HdrSupported", text));

    Put(PanelKey, "DefaultProfileGamma", "");
    Put(PanelKey, "HdrSupported", "not base64 !!");
    Put(PanelKey, "ProfileFormat", QString::fromLatin1(QByteArray(32, 'x').toBase64()));
    EXPECT_TRUE(parser.GroupHasKeys("PanelInfo"));
    EXPECT_FALSE(parser.HasValue("PanelInfo", "DefaultProfileGamma"));
    EXPECT_EQ(parser.CheckValues("PanelInfo", {"HdrSupported", "DefaultProfileGamma"}), 2);
    for (const char* name : {"DefaultProfileGamma", "HdrSupported", "ProfileFormat", "Absent"}) {
        EXPECT_FALSE(parser.ReadString("PanelInfo", name, text)) << name;
        EXPECT_FALSE(parser.ReadInt("PanelInfo", name, number)) << name;
    }
    EXPECT_EQ(text, "unchanged");
    EXPECT_EQ(number, 7);
    // Another program's values are not ours.
    QCoreApplication::setApplicationName("Quillon");
    EXPECT_FALSE(RegistryParser().GroupHasKeys("PanelInfo"));
}

TEST(WindowsVersionTest, DisplayVersions)
{
    struct Case {
        std::optional<QString> value;  // none: no "DisplayVersion" value
        std::optional<WindowsDisplayVersion> version;
        std::string error;
    };
    const Case cases[] = {
        {"24H2", WindowsDisplayVersion{24, 'H', 2}, ""},
        {"21h1", WindowsDisplayVersion{21, 'h', 1}, ""},
        {"H2", std::nullopt, "DisplayVersion conversion failed"},
        {"24H", std::nullopt, "DisplayVersion conversion failed"},
        {"99999999999H2", std::nullopt, "DisplayVersion conversion failed"},
        {"2024", std::nullopt, "DisplayVersion does not have a symbol"},
        {"", std::nullopt, "DisplayVersion does not have a symbol"},
        {QString(200, '2') + "H2", std::nullopt, "Failed to query DisplayVersion. Error Code: 234"},
        {std::nullopt, std::nullopt, "Failed to query DisplayVersion. Error Code: 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value.value_or("<none>").toStdString());
        const TemporaryMachine machine;
        if (c.value) {
            Put(VersionKey, "DisplayVersion", *c.value);
        } else {
            ASSERT_EQ(Registry::DeleteValue(VersionKey, "DisplayVersion", Registry::Access::Unchecked), ERROR_SUCCESS);
        }
        WindowsVersion reader;
        try {
            const WindowsDisplayVersion version = reader.DisplayVersion();
            ASSERT_TRUE(c.version.has_value());
            EXPECT_EQ(version, *c.version);
            // The key is opened again for a second reading.
            EXPECT_EQ(reader.DisplayVersion(), *c.version);
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), c.error);
        }
    }
}

TEST(WindowsVersionTest, MissingKey)
{
    const TemporaryMachine machine;
    ASSERT_EQ(Registry::DeleteKey(VersionKey, Registry::Access::Unchecked), ERROR_SUCCESS);
    try {
        WindowsVersion reader;
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Registry opening failed for Windows Version");
    }
}

}  // namespace
