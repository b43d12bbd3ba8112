// Quillon's configuration over the shipped files and over XML fixtures (tests/Quillon/configuration/<case>).
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Quillon/Configuration.h"
#include "tests/Quillon/QuillonFixtures.h"

#include <QDir>

#include <gtest/gtest.h>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;

namespace {

// The default machine's panel: KVL, product code 4A1C.
std::shared_ptr<HardwareInfo::IDisplayHelper> Panel()
{
    return std::shared_ptr<HardwareInfo::IDisplayHelper>(HardwareInfo::DisplayHelperFactory().Create("KVL4A1C"));
}

TEST(QuillonConfigurationTest, ShippedFilesGiveThePanelsFormat)
{
    TestSupport::TemporaryMachine machine;
    QuillonTest::Application();
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    EXPECT_EQ(Configuration(Panel()).GetFileNameFormat(), "KVL_4A1C_{ProfileName}.icm");
}

struct ConfigurationCase {
    const char* folder;
    const char* format;
};

void PrintTo(const ConfigurationCase& c, std::ostream* stream)
{
    *stream << c.folder;
}

class ConfigurationFiles : public testing::TestWithParam<ConfigurationCase> {};

// The metaconfig of the case's folder; a relative configuration file is opened from that folder.
TEST_P(ConfigurationFiles, GiveTheFormat)
{
    TestSupport::TemporaryMachine machine;
    QuillonTest::Application();
    const QString folder = QStringLiteral(QUILLON_CONFIGURATIONS "/") + GetParam().folder;
    ASSERT_TRUE(QDir::setCurrent(folder));
    EXPECT_EQ(Configuration(Panel(), folder + "/metaconfig.xml").GetFileNameFormat(), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigurationFiles,
    testing::Values(
        // Matching ignores the case of "PanelID"; the last match names the file.
        ConfigurationCase{"later-match-wins", "SECOND_4A1C_{ProfileName}.icm"},
        ConfigurationCase{"other-panel-only", "DEFAULT_4A1C_{ProfileName}.icm"},
        ConfigurationCase{"match-without-text", "DEFAULT_{ProfileName}.icm"},
        ConfigurationCase{"trimmed-format", "KV_4A1C_{ProfileName}.icm"},
        ConfigurationCase{"no-product-code", "PLAIN_{ProfileName}.icm"},
        // Blank and empty elements keep the last non-empty one; elements below others are not read.
        ConfigurationCase{"empty-after-non-empty", "KEPT_{ProfileName}.icm"},
        ConfigurationCase{"outside-profiles", ""},
        ConfigurationCase{"malformed-config", "READ_{ProfileName}.icm"},
        ConfigurationCase{"missing-metaconfig", "FALLBACK_4A1C_{ProfileName}.icm"},
        ConfigurationCase{"missing-config", ""}),
    [](const testing::TestParamInfo<ConfigurationCase>& info) {
        QString name = QString::fromLatin1(info.param.folder);
        name.remove('-');
        return name.toStdString();
    });

}  // namespace
