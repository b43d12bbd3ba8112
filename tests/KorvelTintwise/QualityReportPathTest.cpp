#include "ProfileData/QualityReportPath.h"
#include "tests/fixtures/TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(QualityReportPathTest, OnlyTheIcmSuffixBecomesTheReportSuffix)
{
    const struct {
        const char* profile;
        const char* report;
    } cases[] = {
        {"C:/color/KVL_4A1C_sRGB.icm", "C:/color/KVL_4A1C_sRGB_Quality.txt"},
        {"C:/color/PANEL.ICM", "C:/color/PANEL_Quality.txt"},
        {"C:/color/Mixed.IcM", "C:/color/Mixed_Quality.txt"},
        {"C:/old.icm/sets.ICM.d/a.icm", "C:/old.icm/sets.ICM.d/a_Quality.txt"},
        {".icm", "_Quality.txt"},
        {"C:/color/a.icc", ""},
        {"C:/color/a.icm.bak", ""},
        {"C:/color/icm", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QualityReportPath(QString::fromLatin1(c.profile)), QString::fromLatin1(c.report)) << c.profile;
    }
}

}  // namespace
