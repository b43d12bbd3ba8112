#include "Gui/Graphs/BarChartContainer.h"
#include "Gui/Graphs/BarGraphWidget.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QCheckBox>
#include <QLabel>

#include <gtest/gtest.h>

using GuiTestSupport::Near;

namespace {

QList<BarGraphItem> Bars(std::initializer_list<std::pair<double, QColor>> values)
{
    QList<BarGraphItem> bars;
    for (const auto& [value, fill] : values) {
        bars.append(BarGraphItem {QString(), fill, value});
    }
    return bars;
}

bool Contains(const QImage& image, const QColor& color)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (Near(image.pixelColor(x, y), color, 3)) {
                return true;
            }
        }
    }
    return false;
}

class BarGraphTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }
};

TEST_F(BarGraphTest, MaxValueIsTheCeilingOfTheLargestValueAndNeverBelowZero)
{
    const struct {
        std::vector<double> values;
        float expected;
    } cases[] = {
        {{}, 0.0f}, {{0.4, 1.2, 2.7}, 3.0f}, {{2.0}, 2.0f}, {{2.01, 0.5}, 3.0f}, {{-1.0, -2.5}, 0.0f}, {{-4.0, 0.2}, 1.0f},
    };
    for (const auto& c : cases) {
        BarGraphWidget widget;
        QList<BarGraphItem> bars;
        for (double value : c.values) {
            bars.append(BarGraphItem {QString(), Qt::red, value});
        }
        widget.setData(bars);
        EXPECT_EQ(widget.maxValue(), c.expected) << c.values.size() << " values";
    }
}

TEST_F(BarGraphTest, BarsShareThePlotWidthAndRiseToTheirShareOfTheCeiling)
{
    BarGraphWidget widget;
    widget.resize(400, 300);
    const QColor colors[] = {QColor(200, 30, 30), QColor(30, 160, 30), QColor(30, 30, 200)};
    const double values[] = {0.4, 1.2, 2.7};
    widget.setData(Bars({{values[0], colors[0]}, {values[1], colors[1]}, {values[2], colors[2]}}));
    const QImage image = GuiTestSupport::Render(widget);

    // Plot: left 5 % (20), top 2 % (6), height 96 % (288), so its bottom is row 294; the ceiling is 3.
    const double bottom = 294.0;
    const double pixelsPerUnit = 288.0 / 3.0;
    const int barWidth = 380 / 3;
    for (int i = 0; i < 3; ++i) {
        const int column = 20 + i * barWidth + barWidth / 2;
        const double top = bottom - values[i] * pixelsPerUnit;
        SCOPED_TRACE(i);
        EXPECT_TRUE(Near(image.pixelColor(column, static_cast<int>(top) + 3), colors[i]));
        EXPECT_TRUE(Near(image.pixelColor(column, static_cast<int>(bottom) - 3), colors[i]));
        EXPECT_FALSE(Near(image.pixelColor(column, static_cast<int>(top) - 3), colors[i], 40));
    }
    // The 2.7 bar reaches 90 % of the plot height.
    EXPECT_NEAR(bottom - values[2] * pixelsPerUnit, bottom - 0.9 * 288.0, 1e-9);
}

TEST_F(BarGraphTest, NoPositiveValueDrawsNoBars)
{
    for (const auto& bars : {Bars({{0.0, Qt::red}, {0.0, Qt::red}}), Bars({{-1.5, Qt::red}, {0.0, Qt::red}})}) {
        BarGraphWidget widget;
        widget.resize(300, 200);
        widget.setData(bars);
        const QImage image = GuiTestSupport::Render(widget);
        EXPECT_FALSE(Contains(image, Qt::red));
        // The ground is still painted.
        EXPECT_TRUE(Near(image.pixelColor(150, 100), QColor(233, 238, 239)));
    }
}

TEST_F(BarGraphTest, ContainerShowsTitleFooterAndItsChartsBars)
{
    QWidget parent;
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(10, 20, 30));
    parent.setPalette(palette);
    BarChartContainer container(&parent);
    auto* title = container.findChild<QLabel*>(QStringLiteral("titleLbl"));
    auto* footer = container.findChild<QLabel*>(QStringLiteral("footerLbl"));
    auto* marker = container.findChild<QCheckBox*>(QStringLiteral("checkBox"));
    ASSERT_TRUE(title && footer && marker);
    EXPECT_TRUE(title->text().isEmpty());
    EXPECT_EQ(footer->text(), QStringLiteral("Actual Measurement Results"));
    EXPECT_FALSE(marker->isCheckable());
    EXPECT_EQ(container.palette().color(QPalette::Window), QColor(10, 20, 30));

    container.setTitle(QStringLiteral("dE2000"));
    EXPECT_EQ(title->text(), QStringLiteral("dE2000"));
    container.resize(400, 300);
    container.setData(Bars({{1.0, QColor(250, 0, 250)}}));
    EXPECT_TRUE(Contains(GuiTestSupport::Render(container), QColor(250, 0, 250)));
}

}  // namespace
