#include "Common/Profile/ProfileConfigLoader.h"
#include "Common/Settings/ILogConfiguration.h"
#include "tests/Common/Profile/XmlFilesFixture.h"
#include "tests/fixtures/TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Korvel::DisplayCalibration::Common::Settings::ILogConfiguration;
using Korvel::DisplayCalibration::Common::Settings::ProfilesFilter;

namespace {

// A configuration whose model filter allows `allowed` (none: no filter for this model).
class FilterConfiguration : public ILogConfiguration {
public:
    explicit FilterConfiguration(const QStringList& allowed = {}) : allowed(allowed) {}

    QString Refresh(bool) override { return {}; }
    const std::vector<ProfilesFilter>& ProfilesFilters() const override { return filters; }
    QStringList SupportedProfileFiles(const QStringList& names) override
    {
        requests.append(names);
        const QStringList narrowed = ProfilesFilter(QStringLiteral("MODEL"), allowed).FilterProfiles(names);
        return narrowed.isEmpty() ? names : narrowed;
    }
    QString LogFile() const override { return {}; }
    int Level() const override { return 0; }
    bool Console() const override { return false; }
    QString FileMessageFormat() const override { return {}; }
    QString ConsoleMessageFormat() const override { return {}; }

    QList<QStringList> requests;

private:
    QStringList allowed;
    std::vector<ProfilesFilter> filters;
};

PanelInfo MarkedRecord()
{
    PanelInfo record;
    record.SetDefaultProfileColorSpace(QStringLiteral("DisplayP3"));
    record.SetDefaultProfileGamma(QStringLiteral("2.6"));
    record.SetHdrSupported(false);
    record.SetHdr10Supported(true);
    record.SetRequiredProfiles({"P3"});
    record.SetRequiredProfilesHdr10({"Korvel_HDR10"});
    record.SetProfileFormat(QStringLiteral("{ProfileName}.icm"));
    return record;
}

void ExpectMarked(const PanelInfo& record, const char* name)
{
    const PanelInfo marked = MarkedRecord();
    EXPECT_EQ(record.GetDefaultProfileColorSpace(), marked.GetDefaultProfileColorSpace()) << name;
    EXPECT_EQ(record.GetDefaultProfileGamma(), marked.GetDefaultProfileGamma()) << name;
    EXPECT_EQ(record.IsHdrSupported(), marked.IsHdrSupported()) << name;
    EXPECT_EQ(record.IsHdr10Supported(), marked.IsHdr10Supported()) << name;
    EXPECT_EQ(record.GetRequiredProfiles(), marked.GetRequiredProfiles()) << name;
    EXPECT_EQ(record.GetRequiredProfilesHdr10(), marked.GetRequiredProfilesHdr10()) << name;
    EXPECT_EQ(record.GetProfileFormat(), marked.GetProfileFormat()) << name;
}

QByteArray PanelXml(const char* colorSpace, const char* gamma, const char* hdr, const char* profiles)
{
    return QByteArray("<?xml version=\"1.0\"?>\n<PanelInfo version=\"1.0\">\n  <ColorSpace>") + colorSpace +
           "</ColorSpace>\n  <Gamma>" + gamma + "</Gamma>\n  <HDR>" + hdr + "</HDR>\n  <Profiles>" + profiles +
           "</Profiles>\n</PanelInfo>\n";
}

class ProfileConfigLoaderTest : public XmlFilesFixture {
protected:
    ProfileConfigLoaderFactory factory;
};

TEST_F(ProfileConfigLoaderTest, FactoryPicksLoaderByKind)
{
    FilterConfiguration configuration;
    EXPECT_NE(dynamic_cast<DefaultProfileConfigLoader*>(factory.Create(&configuration, 0, {}).get()), nullptr);
    EXPECT_NE(dynamic_cast<ProfileConfigLoader*>(factory.Create(&configuration, 1, "x.xml").get()), nullptr);
    for (const int kind : {-1, 2, 100}) {
        EXPECT_EQ(factory.Create(&configuration, kind, "x.xml"), nullptr) << kind;
    }
}

TEST_F(ProfileConfigLoaderTest, DefaultLoaderSetsDefaultsThroughModelFilter)
{
    const struct {
        QStringList allowed;
        QStringList expected;
    } cases[] = {
        {{}, {"AdobeRGB", "DCIP3", "REC709", "sRGB", "Default", "Native"}},
        {{"sRGB", "Native"}, {"sRGB", "Native"}},
        {{"P3"}, {"AdobeRGB", "DCIP3", "REC709", "sRGB", "Default", "Native"}},
    };
    for (const auto& c : cases) {
        FilterConfiguration configuration(c.allowed);
        PanelInfo record = MarkedRecord();
        EXPECT_TRUE(factory.Create(&configuration, 0, {})->Load(record));
        EXPECT_EQ(record.GetDefaultProfileColorSpace(), "AdobeRGB");
        EXPECT_EQ(record.GetDefaultProfileGamma(), "2.2");
        EXPECT_TRUE(record.IsHdrSupported());
        EXPECT_EQ(record.GetRequiredProfiles(), c.expected);
        EXPECT_TRUE(record.IsHdr10Supported());
        EXPECT_EQ(record.GetRequiredProfilesHdr10(), QStringList{"Korvel_HDR10"});
        EXPECT_EQ(record.GetProfileFormat(), "{ProfileName}.icm");
        ASSERT_EQ(configuration.requests.size(), 1);
        EXPECT_EQ(configuration.requests[0], QStringList({"sRGB", "AdobeRGB", "REC709", "DCIP3", "Default", "Native"}));
    }
}

TEST_F(ProfileConfigLoaderTest, XmlLoaderReplacesWholeRecordOnSuccess)
{
    FilterConfiguration configuration({"sRGB", "DCIP3", "Native"});
    PanelInfo record = MarkedRecord();
    const auto loader =
        factory.Create(&configuration, 1, Write(PanelXml("DCIP3", "sRGB", "false", "Native,sRGB,AdobeRGB,DCIP3")));
    ASSERT_TRUE(loader->Load(record));
    EXPECT_EQ(record.GetDefaultProfileColorSpace(), "DCIP3");
    EXPECT_EQ(record.GetDefaultProfileGamma(), "sRGB");
    EXPECT_FALSE(record.IsHdrSupported());
    EXPECT_EQ(record.GetRequiredProfiles(), QStringList({"DCIP3", "sRGB", "Native"}));
    // The fields the file does not hold come from a fresh record.
    EXPECT_FALSE(record.IsHdr10Supported());
    EXPECT_TRUE(record.GetRequiredProfilesHdr10().isEmpty());
    EXPECT_TRUE(record.GetProfileFormat().isEmpty());
    EXPECT_EQ(configuration.requests, QList<QStringList>{QStringList({"Native", "sRGB", "AdobeRGB", "DCIP3"})});
}

TEST_F(ProfileConfigLoaderTest, XmlLoaderFailureLeavesTargetUntouched)
{
    const struct {
        const char* name;
        QByteArray xml;
    } cases[] = {
        {"gamma not supported", PanelXml("AdobeRGB", "2.4", "true", "sRGB,Native")},
        {"colour space in wrong case", PanelXml("adobergb", "2.2", "true", "sRGB,Native")},
        {"HDR not true or false", PanelXml("AdobeRGB", "2.2", "yes", "sRGB,Native")},
        {"unknown profile", PanelXml("AdobeRGB", "2.2", "true", "sRGB,Foo")},
        {"trailing comma", PanelXml("AdobeRGB", "2.2", "true", "sRGB,Native,")},
        {"blank after comma", PanelXml("AdobeRGB", "2.2", "true", "sRGB, Native")},
        {"empty profiles", PanelXml("AdobeRGB", "2.2", "true", "")},
        {"missing gamma", "<PanelInfo><ColorSpace>sRGB</ColorSpace><HDR>true</HDR><Profiles>sRGB</Profiles></PanelInfo>"},
        {"malformed", PanelXml("AdobeRGB", "2.2", "true", "sRGB,Native").replace("</PanelInfo>", "</Panel>")},
    };
    for (const auto& c : cases) {
        FilterConfiguration configuration;
        PanelInfo record = MarkedRecord();
        EXPECT_FALSE(factory.Create(&configuration, 1, Write(c.xml))->Load(record)) << c.name;
        ExpectMarked(record, c.name);
    }
}

TEST_F(ProfileConfigLoaderTest, XmlLoaderFailsForMissingFileWithoutReading)
{
    FilterConfiguration configuration;
    PanelInfo record = MarkedRecord();
    EXPECT_FALSE(factory.Create(&configuration, 1, directory.filePath("PanelInfo.xml"))->Load(record));
    ExpectMarked(record, "missing file");
    EXPECT_TRUE(configuration.requests.isEmpty());
}

TEST_F(ProfileConfigLoaderTest, XmlLoaderReadsFileAgainOnEachLoad)
{
    FilterConfiguration configuration;
    const QString path = Write(PanelXml("sRGB", "2.2", "true", "sRGB,Native"));
    const auto loader = factory.Create(&configuration, 1, path);
    PanelInfo record;
    ASSERT_TRUE(loader->Load(record));
    QFile::remove(path);
    ASSERT_TRUE(QFile::copy(Write(PanelXml("sRGB", "9.9", "true", "sRGB,Native")), path));
    EXPECT_FALSE(loader->Load(record));
    EXPECT_EQ(record.GetDefaultProfileGamma(), "2.2");
}

}  // namespace
