#include "ProfileData/ProfileData.h"
#include "ProfileData/ProfileQualityReportParser.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"
#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace {

// A complete report: every part the reader looks for.
const QStringList Report = {
    "ProfileName KVL_4A1C_sRGB",
    "ComputerSerialNumber PF4KVQ7T",
    "Date 2026-01-15 09:30:00",
    "Target Luminance 300.0",
    "dE2000 mean : 0.42",
    "dE2000 max : 1.17",
    "Gamma 2.20",
    "",
    "RGB Normalized Target",
    "0 0.0000 0.0000",
    "128 0.2195 0.2158",
    "255 1.0000 1.0000",
    "",
    "R G B dE2000",
    "255 0 0 0.31",
    "0 255 0 0",
    "128  128\t128 0.0",
    "0 0 255 0.48",
    "",
    "R G B X Y Z Y x y",
    "255 0 0 123.7 63.8 5.8 63.8 0.6400 0.3300",
    "0 255 0 107.3 214.6 35.8 214.6 0.3000 0.6000",
    "0 0 255 54.1 21.6 285.0 21.6 0.1500 0.0600",
    "255 255 255 285.137 300 326.717 300 0.3127 0.3290",
};

QString Write(const QTemporaryDir& folder, const QString& name, const QStringList& lines)
{
    QFile file(folder.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join("\r\n").toUtf8() + "\r\n");
    return file.fileName();
}

QStringList Without(const QString& start)
{
    QStringList lines = Report;
    lines.removeIf([&](const QString& line) { return line.startsWith(start); });
    return lines;
}

QStringList Replaced(const QString& start, const QString& replacement)
{
    QStringList lines = Report;
    for (QString& line : lines) {
        if (line.startsWith(start)) {
            line = replacement;
        }
    }
    return lines;
}

TEST(ProfileQualityReportParserTest, CompleteReport)
{
    QTemporaryDir folder;
    ProfileQualityReportParser parser;
    QString error;
    ASSERT_TRUE(parser.Load(Write(folder, "r_Quality.txt", Report), error)) << error;
    EXPECT_EQ(error, "");
    EXPECT_EQ(parser.GetProfileName(), "KVL_4A1C_sRGB");
    EXPECT_EQ(parser.GetComputerSerialNumber(), "PF4KVQ7T");
    EXPECT_EQ(parser.GetCalibrationDate(), "2026-01-15");
    EXPECT_EQ(parser.GetCalibrationTime(), "09:30:00");
    EXPECT_EQ(parser.GetCalibratedLuminance(), "300.0");
    EXPECT_DOUBLE_EQ(parser.GetDeltaE2000Mean(), 0.42);
    EXPECT_DOUBLE_EQ(parser.GetDeltaE2000Max(), 1.17);
    EXPECT_EQ(parser.GetAverageGamma(), "2.20");
    EXPECT_EQ(parser.GetGammaLevels(), (QList<int>{0, 128, 255}));
    EXPECT_EQ(parser.GetGammaNormalizedValues(), (QList<double>{0, 0.2195, 1}));
    EXPECT_EQ(parser.GetGammaTargetValues(), (QList<double>{0, 0.2158, 1}));
    // Rows whose dE2000 is 0 are not taken.
    EXPECT_EQ(parser.GetDeltaERgbValues(), (QList<QList<int>>{{255, 0, 0}, {0, 0, 255}}));
    EXPECT_EQ(parser.GetDeltaE2000Values(), (QList<double>{0.31, 0.48}));
    EXPECT_EQ(parser.GetVerificationPatches(),
              (QList<QList<int>>{{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}));
    EXPECT_EQ(parser.GetRedPrimary(), std::make_pair(0.64, 0.33));
    EXPECT_EQ(parser.GetGreenPrimary(), std::make_pair(0.30, 0.60));
    EXPECT_EQ(parser.GetBluePrimary(), std::make_pair(0.15, 0.06));
    EXPECT_EQ(parser.GetWhitePoint(), std::make_pair(0.3127, 0.3290));
    EXPECT_EQ(parser.GetWhitePointColorTemperature(), "6504K");
}

TEST(ProfileQualityReportParserTest, OneMessagePerMissingPart)
{
    // The gamma table as the last lines, with no empty line after it.
    QStringList gammaLast = Report.mid(0, 8) + Report.mid(13) + QStringList{""} + Report.mid(8, 4);
    const struct {
        const char* name;
        QStringList lines;
        QString messages;
    } cases[] = {
        {"no profile name", Without("ProfileName"), "Profile name is not found!"},
        {"profile name of two words", Replaced("ProfileName", "ProfileName KVL sRGB"), "Profile name is not found!"},
        {"date without time", Replaced("Date", "Date 2026-01-15"), "Calibration date and time is not found!"},
        {"target without value", Replaced("Target", "Target Luminance"), "Calibrated luminance is not found!"},
        {"mean without value", Replaced("dE2000 mean", "dE2000 mean :"), "Delta E values are not found!"},
        {"no max", Without("dE2000 max"), "Delta E values are not found!"},
        {"no average gamma", Without("Gamma"), "Average gamma data is not found!"},
        {"gamma table at the end", gammaLast, "Gamma curve data is not found!"},
        {"no gamma header", Without("RGB Normalized"), "Gamma curve data is not found!"},
        {"no delta E values",
         Replaced("255 0 0 0.31", "255 0 0 0").replaceInStrings("0 0 255 0.48", "0 0 255 1e-310"),
         "Delta E results are not found!"},
        {"no verification header", Without("R G B X Y Z"), "Verification patches are not found!"},
        {"no white row", Without("255 255 255 "), "White Point coordinates are not found!"},
        {"white the engine refuses", Replaced("255 255 255 ", "255 255 255 0 0 0 0 0.3127 0.3290"),
         "White Point coordinates are not found!"},
        {"no blue row", Without("0 0 255 54.1"), "Coordinates of RGB primaries are not found!"},
        {"several parts missing", Without("ProfileName").filter(QRegularExpression("^(?!Gamma)")),
         "Profile name is not found!Average gamma data is not found!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        ProfileQualityReportParser parser;
        QString error;
        EXPECT_FALSE(parser.Load(Write(folder, "r_Quality.txt", c.lines), error));
        EXPECT_EQ(error, c.messages);
    }

    // What was read stays when the table runs to the end of the text.
    QTemporaryDir folder;
    ProfileQualityReportParser parser;
    QString error;
    QStringList lines = gammaLast;
    QFile file(folder.filePath("last_Quality.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(lines.join("\n").toUtf8() + "\n");
    file.close();
    EXPECT_FALSE(parser.Load(file.fileName(), error));
    EXPECT_EQ(parser.GetGammaLevels(), (QList<int>{0, 128, 255}));
    EXPECT_EQ(error, "Gamma curve data is not found!");

    ProfileQualityReportParser missing;
    EXPECT_FALSE(missing.Load(folder.filePath("missing_Quality.txt"), error));
    EXPECT_EQ(error, "Could not open report!");
}

// A report larger than 1 MiB, or with a number read as NaN or infinite, is unreadable as a whole:
// the message of a file that cannot be opened, and nothing read.
TEST(ProfileQualityReportParserTest, TooLargeOrNotFiniteIsUnreadable)
{
    const qsizetype limit = ProfileQualityReportParser::MaximumSize;
    ASSERT_EQ(limit, 1 << 20);
    // The complete report followed by lines of "#" up to `size` bytes.
    const auto padded = [](qsizetype size) {
        QByteArray text = Report.join("\r\n").toUtf8() + "\r\n";
        while (text.size() < size) {
            text += QByteArray(std::min<qsizetype>(78, size - text.size()), '#') + "\r\n";
        }
        text.truncate(size);
        return text;
    };
    const auto lines = [](const QStringList& report) { return report.join("\r\n").toUtf8() + "\r\n"; };
    const struct {
        const char* name;
        QByteArray text;
        bool readable;
    } cases[] = {
        {"exactly 1 MiB", padded(limit), true},
        {"1 MiB and one byte", padded(limit + 1), false},
        {"nan red x", lines(Replaced("255 0 0 123", "255 0 0 123.7 63.8 5.8 63.8 nan 0.3300")), false},
        {"inf dE2000 mean", lines(Replaced("dE2000 mean", "dE2000 mean : inf")), false},
        {"1e400 white X", lines(Replaced("255 255 255 ", "255 255 255 1e400 300 326.717 300 0.3127 0.3290")), false},
        {"-inf gamma value", lines(Replaced("128 0.2195", "128 -inf 0.2158")), false},
        {"-inf dE2000 row", lines(Replaced("0 0 255 0.48", "0 0 255 -inf")), false},
        {"NaN luminance", lines(Replaced("Target", "Target Luminance NaN")), false},
        {"inf average gamma", lines(Replaced("Gamma", "Gamma inf")), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QFile file(folder.filePath("r_Quality.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text);
        file.close();
        ProfileQualityReportParser parser;
        QString error = "earlier text ";
        EXPECT_EQ(parser.Load(file.fileName(), error), c.readable);
        if (c.readable) {
            EXPECT_EQ(error, "earlier text ");
            EXPECT_EQ(parser.GetRedPrimary(), std::make_pair(0.64, 0.33));
        } else {
            EXPECT_EQ(error, "Could not open report!");
            EXPECT_EQ(parser.GetProfileName(), "");
            EXPECT_EQ(parser.GetRedPrimary(), std::make_pair(0.0, 0.0));
            EXPECT_EQ(parser.GetWhitePoint(), std::make_pair(0.0, 0.0));
            EXPECT_TRUE(parser.GetGammaLevels().isEmpty());
            EXPECT_TRUE(parser.GetDeltaE2000Values().isEmpty());
        }
    }
}

// Reports as the test-data maker writes them, for each kind of profile.
TEST(ProfileQualityReportParserTest, ReadsTheMakersReports)
{
    const TestSupport::TemporaryMachine machine;
    QTemporaryDir folder;
    TintwiseTest::MakeProfileSet(folder.path(), {"--profiles", "sRGB,AdobeRGB,DCIP3,Native", "--color-space", "DCIP3"});
    const QStringList reports = QDir(folder.path()).entryList({"*_Quality.txt"}, QDir::Files);
    ASSERT_EQ(reports.size(), 4);
    for (const QString& name : reports) {
        SCOPED_TRACE(name.toStdString());
        ProfileQualityReportParser parser;
        QString error;
        EXPECT_TRUE(parser.Load(folder.filePath(name), error)) << error.toStdString();
        EXPECT_EQ(parser.GetProfileName() + "_Quality.txt", name);
        EXPECT_GT(parser.GetRedPrimary().first, parser.GetGreenPrimary().first);
        EXPECT_FALSE(parser.GetWhitePointColorTemperature().isEmpty());
    }
}

TEST(ProfileQualityReportParserTest, SerialNumberComesFromTheBios)
{
    const TestSupport::TemporaryMachine machine;
    QTemporaryDir folder;
    const QString other = Write(folder, "other_Quality.txt", Replaced("ComputerSerialNumber", "ComputerSerialNumber X1"));
    const QString none = Write(folder, "none_Quality.txt", Without("ComputerSerialNumber"));
    ProfileQualityReportParser parser;
    QString error;
    EXPECT_TRUE(parser.Load(other, error)) << error;
    EXPECT_EQ(parser.GetComputerSerialNumber(), "PF4KVQ7T") << "the BIOS wins over the report";

    // Without the BIOS the report's line decides.
    WinSim::SetInjectedFailure(QStringLiteral("IWbemServices::ExecQuery"), 0x80041001);
    ProfileQualityReportParser fallback;
    EXPECT_TRUE(fallback.Load(other, error)) << error;
    EXPECT_EQ(fallback.GetComputerSerialNumber(), "X1");
    ProfileQualityReportParser missing;
    EXPECT_FALSE(missing.Load(none, error));
    EXPECT_EQ(error, "Computer serial number is not found!");
}

// The archive maker's reports state the mean and maximum of the errors they list (the report
// window shows both above the chart of those errors).
TEST(ProfileQualityReportParserTest, GeneratedReportsAgreeWithTheirPatches)
{
    const TestSupport::TemporaryMachine machine;
    QTemporaryDir folder;
    TintwiseTest::MakeProfileSet(folder.path(), {"--profiles", "sRGB,AdobeRGB,Native"});
    const QStringList reports = QDir(folder.path()).entryList({"*_Quality.txt"});
    ASSERT_EQ(reports.size(), 3);
    for (const QString& report : reports) {
        SCOPED_TRACE(report.toStdString());
        ProfileQualityReportParser parser;
        QString error;
        ASSERT_TRUE(parser.Load(folder.filePath(report), error)) << error;
        const QList<double>& errors = parser.GetDeltaE2000Values();
        ASSERT_FALSE(errors.isEmpty());
        EXPECT_DOUBLE_EQ(parser.GetDeltaE2000Max(), *std::max_element(errors.begin(), errors.end()));
        EXPECT_NEAR(parser.GetDeltaE2000Mean(), std::accumulate(errors.begin(), errors.end(), 0.0) / errors.size(),
                    0.005);
    }
}

TEST(ProfileDataTest, PrimariesFromTheReportElseTheKind)
{
    TintwiseTest::Application();
    QTemporaryDir folder;
    const QString dotted = folder.filePath("set.icm");
    QDir().mkpath(dotted);
    // Measured primaries that no standard has.
    const QStringList measured = Replaced("255 0 0 123", "255 0 0 123.7 63.8 5.8 63.8 0.6800 0.3100");
    Write(folder, "KVL_sRGB_Quality.txt", measured);
    QFile::copy(folder.filePath("KVL_sRGB_Quality.txt"), dotted + "/KVL_sRGB_Quality.txt");
    QFile::copy(folder.filePath("KVL_sRGB_Quality.txt"), folder.filePath("KVL_upper_Quality.txt"));
    Write(folder, "KVL_broken_Quality.txt", Without("ProfileName"));
    // Only the final suffix is replaced, in any letter case; a folder named "set.icm" stays as it is.
    const struct {
        const char* name;
        QString path;
        int kind;
        std::pair<double, double> red, green;
    } cases[] = {
        {"report read", folder.filePath("KVL_sRGB.icm"), 1, {0.68, 0.31}, {0.30, 0.60}},
        {"upper-case extension", folder.filePath("KVL_upper.ICM"), 1, {0.68, 0.31}, {0.30, 0.60}},
        {"no suffix, no report", folder.filePath("KVL_sRGB"), 1, {0.64, 0.33}, {0.21, 0.71}},
        {"directory holding .icm", dotted + "/KVL_sRGB.icm", 2, {0.68, 0.31}, {0.30, 0.60}},
        {"incomplete report", folder.filePath("KVL_broken.icm"), 5, {0.708, 0.292}, {0.17, 0.797}},
        {"no report, sRGB", folder.filePath("KVL_missing.icm"), 0, {0.64, 0.33}, {0.30, 0.60}},
        {"no report, P3", folder.filePath("KVL_missing.icm"), 3, {0.68, 0.32}, {0.265, 0.69}},
        {"uncalibrated", folder.filePath("KVL_missing.icm"), 4, {0, 0}, {0, 0}},
        {"unknown kind", folder.filePath("KVL_missing.icm"), 7, {0, 0}, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ProfileData data(c.path, "sRGB", "sRGB", QString(), c.kind, {0.3127, 0.329}, "2.2", "300.00", 0, "text");
        EXPECT_EQ(data.GetRedPrimary(), c.red);
        EXPECT_EQ(data.GetGreenPrimary(), c.green);
        EXPECT_EQ(data.GetWhitePoint(), std::make_pair(0.3127, 0.329)) << "the white point is never the report's";
        EXPECT_TRUE(data.GetPreviewImage().isNull());
    }
}

}  // namespace
