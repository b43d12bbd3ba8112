#include "Common/Application/Constants.h"
#include "Gui/Graphs/BarChartContainer.h"
#include "Gui/Graphs/BarGraphWidget.h"
#include "Gui/Graphs/LineGraphView.h"
#include "Gui/SdrProfileQualityReportDlg.h"
#include "tests/KorvelTintwise/Gui/ReportTestSupport.h"

#include <QCursor>
#include <QGraphicsView>
#include <QLabel>
#include <QProxyStyle>
#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>

using GuiTestSupport::Near;
using ReportTestSupport::ReportFixture;

namespace {

const double A4 = 210.0 / 297.0;

QString LabelText(const QWidget& dialog, const char* name)
{
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

// A style whose title bar is `height` pixels high.
class TitleBarStyle : public QProxyStyle {
public:
    explicit TitleBarStyle(int height) : QProxyStyle(QStringLiteral("Fusion")), height(height) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        return metric == PM_TitleBarHeight ? height : QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    int height;
};

using QualityReportDialogTest = ReportFixture;

TEST_F(QualityReportDialogTest, ShowsTheReportsValuesAsTheyAreFormatted)
{
    const SdrQualityReportData report = Report();
    ASSERT_EQ(report.profileName, "sRGB");
    const struct {
        QString profileName;
        double luminance, maxDeltaE, meanDeltaE;
        const char *luminanceText, *maxText, *meanText;
    } cases[] = {
        {"sRGB", report.luminance, report.maxDeltaE, report.meanDeltaE, "245.300 nits", "0.99", "0.65"},
        {"sRGB", 0.0, 1.234, 0.5, "0.000 nits", "1.23", "0.50"},
        {"AdobeRGB", 99.9996, 2.005, 0.004, "100.000 nits", "2.00", "0.00"},
        {"Native", 245.3, 1.0, 1.0, "100% brightness", "1.00", "1.00"},
        {"native", 245.3, 1.0, 1.0, "245.300 nits", "1.00", "1.00"},  // the name is compared exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profileName.toStdString() + " " + c.maxText);
        SdrQualityReportData data = report;
        data.profileName = c.profileName;
        data.luminance = c.luminance;
        data.maxDeltaE = c.maxDeltaE;
        data.meanDeltaE = c.meanDeltaE;
        SdrProfileQualityReportDlg dialog(nullptr, data);
        EXPECT_EQ(dialog.windowTitle(), "SDR Profile Report");
        EXPECT_EQ(LabelText(dialog, "profileValueLabel"), c.profileName);
        EXPECT_EQ(LabelText(dialog, "label_3"), c.luminanceText);
        EXPECT_EQ(LabelText(dialog, "maxDeltaEValueLabel"), c.maxText);
        EXPECT_EQ(LabelText(dialog, "avgDeltaEValueLabel"), c.meanText);
        EXPECT_EQ(LabelText(dialog, "colorTemperatureValueLabel"), report.colorTemperature);
        EXPECT_EQ(LabelText(dialog, "avgGammaValueLabel"), "2.20");
        EXPECT_EQ(LabelText(dialog, "serialNumberValueLabel"), report.serialNumber);
        const auto* chart = dialog.findChild<BarChartContainer*>();
        ASSERT_NE(chart, nullptr);
        EXPECT_EQ(chart->findChild<QLabel*>(QStringLiteral("titleLbl"))->text(),
                  c.profileName + QString::fromUtf8(" Color Performance (∆E2000)"));
    }
    EXPECT_TRUE(report.colorTemperature.endsWith('K')) << report.colorTemperature;
    EXPECT_FALSE(report.serialNumber.isEmpty());
}

TEST_F(QualityReportDialogTest, DrawsOneBarPerPatchInItsColour)
{
    const SdrQualityReportData report = Report();
    ASSERT_EQ(report.patchColors.size(), 5);
    SdrProfileQualityReportDlg dialog(nullptr, report);
    dialog.show();
    auto* chart = dialog.findChild<BarGraphWidget*>(QStringLiteral("chart"));
    ASSERT_NE(chart, nullptr);
    ASSERT_GT(chart->width(), 100);
    const QImage image = GuiTestSupport::Render(*chart);

    // The bars share the plot's width from 3 % past its left edge and stand on its bottom.
    const double left = chart->width() * 0.05;
    const double plotWidth = chart->width() - left;
    const double bottom = chart->height() * 0.98;
    const int count = static_cast<int>(report.patchColors.size());
    const double barWidth = std::trunc(plotWidth) / count;
    for (int i = 0; i < count; ++i) {
        const QList<int>& rgb = report.patchColors[i];
        const QPoint probe(static_cast<int>(std::trunc(left * 1.03) + (i + 0.5) * barWidth), static_cast<int>(bottom) - 3);
        EXPECT_TRUE(Near(image.pixelColor(probe), QColor(rgb[0], rgb[1], rgb[2])))
            << "bar " << i << " at " << probe.x() << "," << probe.y() << ": " << image.pixelColor(probe).name();
    }
}

TEST_F(QualityReportDialogTest, GammaChartShowsTheTargetAsAPaleBandUnderTheMeasuredCurve)
{
    const SdrQualityReportData report = Report();
    ASSERT_GE(report.gammaLevels.size(), 3);
    SdrProfileQualityReportDlg dialog(nullptr, report);
    dialog.show();
    auto* view = dialog.findChild<LineGraphView*>();
    ASSERT_NE(view, nullptr);
    const QImage image = GuiTestSupport::Render(*view);  // painting calculates the ranges

    const QColor pale(144, 238, 144);
    // How much bluer than green the bluest pixel around `p` is.
    const auto blueness = [&image](const QPoint& p) {
        int most = -255;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                const QColor c = image.pixelColor(p + QPoint(dx, dy));
                most = std::max(most, c.blue() - c.green());
            }
        }
        return most;
    };
    const auto map = [&](const QList<double>& values, qsizetype i) {
        return QPointF(view->mapToWidget({double(report.gammaLevels[i]), values[i]}));
    };
    for (qsizetype i = 0; i + 1 < report.gammaLevels.size(); ++i) {
        SCOPED_TRACE(report.gammaLevels[i]);
        const QPointF from = map(report.targetGamma, i), to = map(report.targetGamma, i + 1);
        ASSERT_LE(std::abs(from.y() - map(report.measuredGamma, i).y()), 2);
        // Across the middle of a segment, on its upper side: the measured line, the band beside it,
        // nothing well beyond.
        const QPointF middle = (from + to) / 2;
        const QPointF along = to - from;
        const QPointF up = QPointF(along.y(), -along.x()) / std::hypot(along.x(), along.y());
        EXPECT_GT(blueness(middle.toPoint()), 60);
        const QPoint beside = (middle + up * 6).toPoint(), beyond = (middle + up * 14).toPoint();
        EXPECT_TRUE(Near(image.pixelColor(beside), pale, 24)) << image.pixelColor(beside).name();
        EXPECT_FALSE(Near(image.pixelColor(beyond), pale, 24)) << image.pixelColor(beyond).name();
        // A marker's ring on every measured point inside the plot (the axis ends at 1).
        if (report.measuredGamma[i + 1] <= 1.0) {
            EXPECT_GT(blueness(map(report.measuredGamma, i + 1).toPoint() + QPoint(4, 0)), 30);
        }
    }
}

TEST_F(QualityReportDialogTest, AReportWithoutPatchesOrGammaRowsDrawsOnlyTheGrids)
{
    SdrQualityReportData data = Report();
    data.patchColors.clear();
    data.patchErrors.clear();
    data.gammaLevels.clear();
    data.measuredGamma.clear();
    data.targetGamma.clear();
    SdrProfileQualityReportDlg dialog(nullptr, data);
    dialog.show();
    const auto countPixels = [](const QImage& image, const std::function<bool(const QColor&)>& test) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                count += test(image.pixelColor(x, y)) ? 1 : 0;
            }
        }
        return count;
    };
    const QImage bars = GuiTestSupport::Render(*dialog.findChild<BarGraphWidget*>(QStringLiteral("chart")));
    EXPECT_EQ(countPixels(bars, [](const QColor& c) { return c.saturation() > 60; }), 0);
    const QImage gamma = GuiTestSupport::Render(*dialog.findChild<LineGraphView*>());
    EXPECT_EQ(countPixels(gamma, [](const QColor& c) { return c.saturation() > 60; }), 0);
    // The grid is there: grey lines on the white plot.
    EXPECT_GT(countPixels(gamma, [](const QColor& c) { return Near(c, QColor(216, 216, 216), 6); }), 100);
}

TEST(QualityReportPlacement, FullHeightBelowTheTitleBarA4WideAtTheLeftEdge)
{
    const struct {
        QRect available;
        int titleBar;
        qreal ratio;
        QRect expected;
    } cases[] = {
        {{0, 0, 1920, 1080}, 30, 1.0, {0, 30, 842, 1050}},
        {{1920, 0, 2560, 1440}, 30, 1.0, {1920, 30, 1096, 1410}},  // trunc(1410 × 0.7071 + 100)
        {{0, 40, 1920, 1040}, 30, 1.0, {0, 70, 814, 1010}},       // a bar along the top
        {{0, 0, 1920, 1080}, 30, 1.25, {0, 30, 1053, 1050}},      // trunc(1050 × 0.7071 × 1.25 + 125)
        {{0, 0, 1920, 1080}, 30, 2.0, {0, 30, 1056, 1050}},       // 55 % of the width
        {{-1280, 0, 1000, 1024}, 0, 1.0, {-1280, 0, 550, 1024}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SdrProfileQualityReportDlg::Placement(c.available, c.titleBar, c.ratio), c.expected)
            << c.available.x() << "," << c.available.y() << " " << c.available.width() << "x" << c.available.height()
            << " title " << c.titleBar << " ratio " << c.ratio;
    }
}

TEST_F(QualityReportDialogTest, StandsOnTheScreenUnderTheMouseElseOnThePrimaryOne)
{
    QApplication::setStyle(new TitleBarStyle(30));
    const struct {
        QPoint cursor;
        QRect expected;
    } cases[] = {
        {{100, 100}, {0, 30, 842, 1050}},
        {{3000, 700}, {1920, 30, 1096, 1410}},
        {{-500, 5000}, {0, 30, 842, 1050}},  // no screen there
    };
    for (const auto& c : cases) {
        QCursor::setPos(c.cursor);
        ASSERT_EQ(QCursor::pos(), c.cursor);
        SdrProfileQualityReportDlg dialog(nullptr, Report());
        dialog.show();
        EXPECT_EQ(dialog.geometry(), c.expected) << c.cursor.x() << "," << c.cursor.y();
        EXPECT_EQ(dialog.minimumWidth(), c.expected.width());
        EXPECT_EQ(dialog.maximumWidth(), c.expected.width());
        EXPECT_EQ(dialog.minimumHeight(), c.expected.height());
        EXPECT_EQ(dialog.maximumHeight(), c.expected.height());
    }
}

TEST_F(QualityReportDialogTest, ThePageKeepsTheProportionsOfAnA4Sheet)
{
    SdrProfileQualityReportDlg dialog(nullptr, Report());
    dialog.show();
    QCoreApplication::processEvents();
    auto* area = dialog.findChild<QScrollArea*>(QStringLiteral("scrollArea"));
    QWidget* page = area->widget();
    const auto expectA4 = [&] {
        EXPECT_GT(page->width(), 400);
        EXPECT_EQ(page->height(), static_cast<int>(page->width() / A4)) << page->width();
        EXPECT_EQ(page->width(), area->viewport()->width());
    };
    expectA4();
    // Taller than the dialog: the page scrolls.
    EXPECT_GT(page->height(), area->viewport()->height());
    EXPECT_EQ(area->verticalScrollBar()->maximum(), page->height() - area->viewport()->height());

    const int height = dialog.height();
    dialog.setMinimumWidth(500);
    dialog.resize(780, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.width(), 780);
    EXPECT_EQ(dialog.height(), height);
    expectA4();
}

}  // namespace
