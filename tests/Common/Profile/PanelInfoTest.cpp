#include "Common/Profile/PanelInfo.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Korvel::DisplayCalibration::Common::Profile::GammaToText;
using Korvel::DisplayCalibration::Common::Profile::PanelInfo;

namespace {

TEST(PanelInfoTest, DefaultRecordRequiresEveryKnownProfileButIsNotValid)
{
    const PanelInfo info;
    EXPECT_EQ(info.GetRequiredProfiles(),
              QStringList({"AdobeRGB", "DCIP3", "DICOM_Dim", "DICOM_Office", "DisplayP3", "Korvel_HDR10", "P3",
                           "REC709", "sRGB", "Default", "Native"}));
    EXPECT_TRUE(info.AreRequiredProfilesKnown());
    EXPECT_TRUE(info.AreHdr10ProfilesKnown());
    EXPECT_FALSE(info.IsColorSpaceSupported());
    EXPECT_FALSE(info.IsGammaSupported());
    EXPECT_FALSE(info.IsValid());
    EXPECT_FALSE(info.IsHdrSupported());
    EXPECT_FALSE(info.IsHdr10Supported());
    EXPECT_TRUE(info.GetRequiredProfilesHdr10().isEmpty());
    EXPECT_TRUE(info.GetProfileFormat().isEmpty());
}

TEST(PanelInfoTest, RequiredProfilesAreSortedWithDefaultAndNativeLast)
{
    const struct {
        QStringList given;
        QStringList held;
    } cases[] = {
        {{"sRGB", "Native", "AdobeRGB", "Default", "DCIP3"}, {"AdobeRGB", "DCIP3", "sRGB", "Default", "Native"}},
        {{"Default", "sRGB", "AdobeRGB"}, {"AdobeRGB", "sRGB", "Default"}},
        {{"Native", "sRGB", "AdobeRGB"}, {"AdobeRGB", "sRGB", "Native"}},
        {{"Native", "Default"}, {"Default", "Native"}},
        // Upper case before lower case; "default" is an ordinary key.
        {{"default", "DICOM_Dim", "Default", "DCIP3"}, {"DCIP3", "DICOM_Dim", "default", "Default"}},
        // Every occurrence moves, none is left before the ordinary keys.
        {{"Default", "Default", "Native", "sRGB", "Native"}, {"sRGB", "Default", "Default", "Native", "Native"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        PanelInfo info;
        info.SetRequiredProfiles(c.given);
        EXPECT_EQ(info.GetRequiredProfiles(), c.held) << c.given.join(',');
    }
}

TEST(PanelInfoTest, Hdr10ProfilesAreSortedPlainly)
{
    PanelInfo info;
    info.SetRequiredProfilesHdr10({"Native", "Korvel_HDR10", "Default", "DCIP3"});
    EXPECT_EQ(info.GetRequiredProfilesHdr10(), QStringList({"DCIP3", "Default", "Korvel_HDR10", "Native"}));
}

TEST(PanelInfoTest, ValidityIsExactAndCaseSensitive)
{
    const struct {
        QString colorSpace;
        QString gamma;
        QStringList profiles;
        bool colorSpaceOk;
        bool gammaOk;
        bool profilesOk;
    } cases[] = {
        {"sRGB", "2.2", {"sRGB", "Default"}, true, true, true},
        {"DisplayP3", "REC709", {}, true, true, true},
        {"srgb", "2.2", {"sRGB"}, false, true, true},
        {"sRGB", "2.20", {"sRGB"}, true, false, true},
        {"sRGB", "sRGB", {"srgb"}, true, true, false},
        {"P3", "2.6", {"sRGB", ""}, false, true, false},
        {" sRGB", "2.2", {"Korvel_HDR10"}, false, true, true},
    };
    for (const auto& c : cases) {
        PanelInfo info;
        info.SetDefaultProfileColorSpace(c.colorSpace);
        info.SetDefaultProfileGamma(c.gamma);
        info.SetRequiredProfiles(c.profiles);
        SCOPED_TRACE(c.colorSpace + "/" + c.gamma + "/" + c.profiles.join(','));
        EXPECT_EQ(info.IsColorSpaceSupported(), c.colorSpaceOk);
        EXPECT_EQ(info.IsGammaSupported(), c.gammaOk);
        EXPECT_EQ(info.AreRequiredProfilesKnown(), c.profilesOk);
        EXPECT_EQ(info.IsValid(), c.colorSpaceOk && c.gammaOk && c.profilesOk);
    }
}

TEST(PanelInfoTest, Hdr10ListIsNotPartOfValidity)
{
    PanelInfo info;
    info.SetDefaultProfileColorSpace("AdobeRGB");
    info.SetDefaultProfileGamma("2.2");
    info.SetRequiredProfilesHdr10({"Unknown_HDR"});
    EXPECT_FALSE(info.AreHdr10ProfilesKnown());
    EXPECT_TRUE(info.IsValid());
}

TEST(PanelInfoTest, CopiesAreIndependent)
{
    PanelInfo first;
    first.SetProfileFormat("KV_{ProfileName}.icm");
    first.SetHdr10Supported(true);
    PanelInfo second = first;
    second.SetRequiredProfiles({"sRGB"});
    second.SetProfileFormat("other");
    EXPECT_EQ(first.GetRequiredProfiles().size(), 11);
    EXPECT_EQ(first.GetProfileFormat(), "KV_{ProfileName}.icm");
    EXPECT_TRUE(second.IsHdr10Supported());
}

TEST(PanelInfoTest, GammaToText)
{
    const struct {
        double gamma;
        const char* text;
    } cases[] = {
        {2.2, "2.2"},
        {2.6, "2.6"},
        {1.0, "1"},
        {2.4000001, "2.4"},
        {123456789.0, "1.23457e+08"},
        {-1, "sRGB"},
        {-3, "DICOM"},
        {0, "REC709"},
        {-2, "REC709"},
        {-0.5, "REC709"},
        {std::numeric_limits<double>::quiet_NaN(), "REC709"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GammaToText(c.gamma), QString::fromLatin1(c.text)) << c.gamma;
    }
}

}  // namespace
