#include "Common/Profile/PanelInfoXmlParser.h"
#include "tests/Common/Profile/XmlFilesFixture.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using Korvel::DisplayCalibration::Common::Profile::PanelInfoXmlParser;

namespace {

using PanelInfoXmlParserTest = XmlFilesFixture;

const QByteArray Sample = R"(<?xml version="1.0" encoding="UTF-8"?>
<PanelInfo version="1.0">
  <ColorSpace>AdobeRGB</ColorSpace>
  <Gamma>2.2</Gamma>
  <HDR>true</HDR>
  <Profiles>sRGB,AdobeRGB,DCIP3,Default,Native</Profiles>
</PanelInfo>
)";

TEST_F(PanelInfoXmlParserTest, ReadsEveryValueOfSampleFile)
{
    QFile file(Write(Sample));
    PanelInfoXmlParser parser(&file);
    QString colorSpace;
    QString gamma;
    bool hdr = false;
    QStringList profiles;
    int version = -1;
    EXPECT_TRUE(parser.FileExists());
    EXPECT_TRUE(parser.ReadColorSpace(colorSpace));
    EXPECT_TRUE(parser.ReadGamma(gamma));
    EXPECT_TRUE(parser.ReadHdr(hdr));
    EXPECT_TRUE(parser.ReadProfiles(profiles));
    EXPECT_TRUE(parser.ReadVersion(version));
    EXPECT_EQ(colorSpace, "AdobeRGB");
    EXPECT_EQ(gamma, "2.2");
    EXPECT_TRUE(hdr);
    EXPECT_EQ(profiles, QStringList({"sRGB", "AdobeRGB", "DCIP3", "Default", "Native"}));
    EXPECT_EQ(version, 0);
    EXPECT_FALSE(file.isOpen());
}

TEST_F(PanelInfoXmlParserTest, ColorSpaceReadsOfFixtures)
{
    const struct {
        const char* name;
        QByteArray xml;
        std::optional<QString> expected;  // none: the read fails
    } cases[] = {
        {"other root name", "<Panel><ColorSpace>sRGB</ColorSpace></Panel>", "sRGB"},
        {"text kept untrimmed", "<PanelInfo><ColorSpace> DCIP3 </ColorSpace></PanelInfo>", " DCIP3 "},
        {"entity decoded", "<PanelInfo><ColorSpace>A&amp;B</ColorSpace></PanelInfo>", "A&B"},
        {"last occurrence wins", "<PanelInfo><ColorSpace>sRGB</ColorSpace><ColorSpace>DCIP3</ColorSpace></PanelInfo>",
         "DCIP3"},
        {"empty last occurrence", "<PanelInfo><ColorSpace>sRGB</ColorSpace><ColorSpace/></PanelInfo>", std::nullopt},
        {"name differs in case", "<PanelInfo><colorspace>sRGB</colorspace></PanelInfo>", std::nullopt},
        {"nested deeper", "<PanelInfo><Display><ColorSpace>sRGB</ColorSpace></Display></PanelInfo>", std::nullopt},
        {"root itself", "<ColorSpace>sRGB</ColorSpace>", std::nullopt},
        {"element absent", "<PanelInfo><Gamma>2.2</Gamma></PanelInfo>", std::nullopt},
        {"holds an element", "<PanelInfo><ColorSpace>s<b>RGB</b></ColorSpace></PanelInfo>", std::nullopt},
        {"unclosed root", "<PanelInfo><ColorSpace>sRGB</ColorSpace>", std::nullopt},
        {"syntax error after it", "<PanelInfo><ColorSpace>sRGB</ColorSpace><Gamma>2.2</Gam></PanelInfo>",
         std::nullopt},
        {"not XML", "ColorSpace=sRGB", std::nullopt},
        {"empty file", "", std::nullopt},
    };
    for (const auto& c : cases) {
        QFile file(Write(c.xml));
        PanelInfoXmlParser parser(&file);
        QString value = QStringLiteral("unchanged");
        const bool read = parser.ReadColorSpace(value);
        EXPECT_EQ(read, c.expected.has_value()) << c.name;
        EXPECT_EQ(value, c.expected.value_or(QStringLiteral("unchanged"))) << c.name;
    }
}

TEST_F(PanelInfoXmlParserTest, HdrAcceptsOnlyLowerCaseTrueAndFalse)
{
    const struct {
        const char* text;
        std::optional<bool> expected;
    } cases[] = {{"true", true}, {"false", false}, {"True", std::nullopt}, {"FALSE", std::nullopt},
                 {"1", std::nullopt}, {" true", std::nullopt}, {"", std::nullopt}};
    for (const auto& c : cases) {
        for (const bool before : {false, true}) {
            QFile file(Write(QByteArray("<PanelInfo><HDR>") + c.text + "</HDR></PanelInfo>"));
            PanelInfoXmlParser parser(&file);
            bool hdr = before;
            EXPECT_EQ(parser.ReadHdr(hdr), c.expected.has_value()) << c.text;
            EXPECT_EQ(hdr, c.expected.value_or(before)) << c.text;
        }
    }
}

TEST_F(PanelInfoXmlParserTest, ProfilesKeepEmptyAndUntrimmedParts)
{
    const struct {
        const char* text;
        QStringList expected;
    } cases[] = {
        {"sRGB,Native", {"sRGB", "Native"}},
        {"sRGB,Native,", {"sRGB", "Native", ""}},
        {",sRGB,,Native", {"", "sRGB", "", "Native"}},
        {"Default, Native", {"Default", " Native"}},
        {"Native", {"Native"}},
    };
    for (const auto& c : cases) {
        QFile file(Write(QByteArray("<PanelInfo><Profiles>") + c.text + "</Profiles></PanelInfo>"));
        PanelInfoXmlParser parser(&file);
        QStringList profiles;
        EXPECT_TRUE(parser.ReadProfiles(profiles)) << c.text;
        EXPECT_EQ(profiles, c.expected) << c.text;
    }
}

TEST_F(PanelInfoXmlParserTest, MissingFileFailsEveryRead)
{
    QFile file(directory.filePath("absent.xml"));
    PanelInfoXmlParser parser(&file);
    QString text;
    bool hdr = true;
    QStringList profiles = {"kept"};
    int version = 7;
    EXPECT_FALSE(parser.FileExists());
    EXPECT_FALSE(parser.ReadColorSpace(text));
    EXPECT_FALSE(parser.ReadGamma(text));
    EXPECT_FALSE(parser.ReadHdr(hdr));
    EXPECT_FALSE(parser.ReadProfiles(profiles));
    EXPECT_FALSE(parser.ReadVersion(version));
    EXPECT_TRUE(text.isNull());
    EXPECT_TRUE(hdr);
    EXPECT_EQ(profiles, QStringList{"kept"});
    EXPECT_EQ(version, 7);
}

TEST_F(PanelInfoXmlParserTest, VersionOfRootAttribute)
{
    const struct {
        const char* xml;
        std::optional<int> expected;
    } cases[] = {
        {"<PanelInfo version=\"1\"/>", 0},   {"<PanelInfo version=\" 1.0 \"/>", 0},
        {"<PanelInfo version=\"2.0\"/>", 1}, {"<PanelInfo version=\"\"/>", 1},
        {"<PanelInfo/>", std::nullopt},      {"<Other version=\"1\"/>", std::nullopt},
    };
    for (const auto& c : cases) {
        QFile file(Write(c.xml));
        PanelInfoXmlParser parser(&file);
        int version = -1;
        EXPECT_EQ(parser.ReadVersion(version), c.expected.has_value()) << c.xml;
        EXPECT_EQ(version, c.expected.value_or(-1)) << c.xml;
    }
}

}  // namespace
