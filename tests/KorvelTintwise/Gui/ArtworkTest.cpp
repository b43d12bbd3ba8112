#include "Common/Application/Constants.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QFile>
#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <cmath>

namespace Constants = Korvel::DisplayCalibration::Common;

namespace {

class ArtworkTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }
};

QString AtSize(const QString& pattern, int size)
{
    return QString(pattern).replace(Constants::DimensionPlaceholder, QString::number(size));
}

TEST_F(ArtworkTest, EveryIconExistsAtEverySizeItIsAskedFor)
{
    const QList<int> logo = {16, 24, 32, 48, 1024};
    const QList<int> tab = {30, 45, 60, 90, 120, 150, 256};
    const QList<int> fullScreen = {20, 30, 40, 60, 80, 100, 256};
    const struct {
        const QString& pattern;
        QList<int> sizes;
    } icons[] = {
        {Constants::LogoIconPath, logo},
        {Constants::LogoWarningIconPath, logo},
        {Constants::QuickSelectionIconPath, {256}},
        {Constants::PreferencesIconPath, {256}},
        {Constants::CloseIconPath, {256}},
        {Constants::AboutIconPath, tab},
        {Constants::AboutIconActivePath, tab},
        {Constants::PreviewIconPath, tab},
        {Constants::PreviewIconActivePath, tab},
        {Constants::ProfileIconPath, tab},
        {Constants::ProfileIconActivePath, tab},
        {Constants::SettingsIconPath, tab},
        {Constants::SettingsIconActivePath, tab},
        {Constants::FullScreenIconPath, fullScreen},
        {Constants::BackToWindowIconPath, fullScreen},
        {Constants::CheckedIconPath, {256}},
        {Constants::ComboBoxDropdownArrowIconPath, {32}},
        {Constants::RadioButtonCheckedIconPath, {16}},
        {Constants::RadioButtonUncheckedIconPath, {16}},
    };
    for (const auto& icon : icons) {
        for (int size : icon.sizes) {
            const QString path = AtSize(icon.pattern, size);
            const QImage image(path);
            EXPECT_EQ(image.size(), QSize(size, size)) << path;
        }
        // The active picture of a tab is not its plain one.
        if (icon.pattern.contains(QLatin1String("_active_"))) {
            const QString plain = QString(icon.pattern).replace(QLatin1String("_active_"), QLatin1String("_"));
            EXPECT_NE(QImage(AtSize(icon.pattern, 60)), QImage(AtSize(plain, 60))) << plain;
        }
    }
}

TEST_F(ArtworkTest, FormPicturesHaveTheirSizesAndFormats)
{
    const struct {
        const char* path;
        QSize size;
    } pictures[] = {
        {":/images/Dark/Preferences/Korvel.png", {68, 22}},
        {":/images/Dark/Preferences/Hueberg.png", {80, 22}},
        {":/images/Dark/Preferences/warning_icon_20x20.svg", {20, 20}},
        {":/images/Dark/Preferences/Gamut.png", {278, 302}},
    };
    for (const auto& picture : pictures) {
        QImageReader reader(QString::fromLatin1(picture.path));
        const QImage image = reader.read();
        EXPECT_EQ(image.size(), picture.size) << picture.path << ": " << reader.errorString();
    }
    QImageReader tiff(QStringLiteral(":/images/Preview.tif"));
    EXPECT_EQ(tiff.format(), "tiff");
    EXPECT_FALSE(tiff.read().isNull()) << tiff.errorString();
    EXPECT_TRUE(QImage(QStringLiteral(":/images/Dark/Preferences/Gamut.png")).hasAlphaChannel());
}

// The gamut diagram, read where the scene reads it, probed at published chromaticities of the
// CIE 1931 2-degree spectral locus.
class GamutDiagramTest : public ArtworkTest {
protected:
    static QPointF ToImage(double x, double y) { return {20 + x / 0.8 * 249, 286 - y / 0.9 * 281}; }
    static bool IsGround(const QColor& c)
    {
        const int high = std::max({c.red(), c.green(), c.blue()});
        const int low = std::min({c.red(), c.green(), c.blue()});
        return high < 100 && high - low < 16;
    }
    QColor At(const QPointF& point) const { return image.pixelColor(std::floor(point.x()), std::floor(point.y())); }

    QImage image {QStringLiteral(":/images/Dark/Preferences/Gamut.png")};
};

TEST_F(GamutDiagramTest, LocusIsFilledInsideWithItsHueAndGroundOutside)
{
    const QPointF white = ToImage(0.3127, 0.3290);
    const struct {
        int nanometres;
        double x, y;
        int dominant;  // 0 red, 1 green, 2 blue
    } points[] = {{380, 0.1741, 0.0050, 2}, {520, 0.0743, 0.8338, 1}, {700, 0.7347, 0.2653, 0}};
    for (const auto& point : points) {
        SCOPED_TRACE(point.nanometres);
        const QPointF onLocus = ToImage(point.x, point.y);
        QPointF towardsWhite = white - onLocus;
        towardsWhite /= std::hypot(towardsWhite.x(), towardsWhite.y());
        const QColor inside = At(onLocus + towardsWhite * 3.0);
        const int channels[] = {inside.red(), inside.green(), inside.blue()};
        for (int other = 0; other < 3; ++other) {
            if (other != point.dominant) {
                EXPECT_GT(channels[point.dominant], channels[other] + 60) << inside.name().toStdString();
            }
        }
        EXPECT_TRUE(IsGround(At(onLocus - towardsWhite * 3.0))) << At(onLocus - towardsWhite * 3.0).name().toStdString();
    }
    // Achromatic at the white point, ground far outside the locus.
    const QColor d65 = At(white);
    EXPECT_GT(std::min({d65.red(), d65.green(), d65.blue()}), 200);
    EXPECT_TRUE(IsGround(At(ToImage(0.7, 0.8))));
    EXPECT_TRUE(IsGround(At(ToImage(0.02, 0.05))));
}

TEST_F(GamutDiagramTest, AxesFrameThePlottingArea)
{
    const QColor axis = image.pixelColor(20, 150);
    EXPECT_FALSE(IsGround(axis));
    for (int row = 5; row <= 286; ++row) {
        ASSERT_EQ(image.pixelColor(20, row), axis) << row;
        ASSERT_EQ(image.pixelColor(269, row), axis) << row;
    }
    for (int column = 20; column <= 269; ++column) {
        ASSERT_EQ(image.pixelColor(column, 5), axis) << column;
        ASSERT_EQ(image.pixelColor(column, 286), axis) << column;
    }
    // Beside the frame: ground or grid, never the axis.
    EXPECT_NE(image.pixelColor(21, 270), axis);
    EXPECT_NE(image.pixelColor(268, 150), axis);
    EXPECT_NE(image.pixelColor(150, 6), axis);
    EXPECT_NE(image.pixelColor(150, 285), axis);
}

TEST_F(ArtworkTest, AcknowledgementsHoldTheLinkedLibrariesNotices)
{
    QFile file(QStringLiteral(":/acknowledgements/acknowledgements.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* component : {"Qt 6", "log4cplus", "OpenSSL", "Little CMS", "zlib", "bzip2", "LZMA SDK"}) {
        EXPECT_TRUE(text.contains(QString::fromLatin1(component))) << component;
    }
    EXPECT_TRUE(text.contains(QLatin1String("Upstream-Name")));  // machine-readable Debian copyright files
    EXPECT_GT(text.size(), 100000);
}

}  // namespace
