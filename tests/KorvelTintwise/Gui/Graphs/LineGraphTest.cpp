#include "Gui/Graphs/LineGraphContainer.h"
#include "Gui/Graphs/LineGraphView.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <stdexcept>

using GuiTestSupport::Near;

namespace {

GraphAxis AxisWithRange(double minimum, double maximum)
{
    GraphAxis axis;
    axis.range = std::make_shared<std::pair<double, double>>(minimum, maximum);
    return axis;
}

std::shared_ptr<GraphData> Series(std::vector<GraphPoint> points)
{
    return std::make_shared<DefaultGraphData>(points);
}

bool BlueDominant(const QColor& c)
{
    return c.blue() > c.red() + 40 && c.blue() > c.green() + 40;
}

class LineGraphTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }
};

TEST_F(LineGraphTest, TicksFollowTheRangesDecade)
{
    const struct {
        double minimum, maximum;
        std::vector<double> expected;
    } cases[] = {
        {0, 1, {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1.0}},
        {0, 255, {0, 25, 50, 75, 100, 125, 150, 175, 200, 225, 250}},
        {2, 12.5, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {0, 3, {0, 0.25, 0.5, 0.75, 1, 1.25, 1.5, 1.75, 2, 2.25, 2.5, 2.75, 3}},
        {0, 50, {0, 10, 20, 30, 40, 50}},
        {0, 0, {}},
        {5, 5, {}},
    };
    for (const auto& c : cases) {
        const auto ticks = LineGraphView::calculateTicks(AxisWithRange(c.minimum, c.maximum));
        ASSERT_EQ(ticks.size(), c.expected.size()) << c.minimum << ".." << c.maximum;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_NEAR(ticks[i], c.expected[i], 1e-9) << c.minimum << ".." << c.maximum << " tick " << i;
        }
    }
    EXPECT_THROW(LineGraphView::calculateTicks(GraphAxis()), std::logic_error);
}

TEST_F(LineGraphTest, TickLabelsKeepDigitsForTheAxisMaximum)
{
    const struct {
        double value, maximum;
        const char* expected;
    } cases[] = {
        {0.5, 1.0, "0.5"},      {0.25, 0.5, "0.25"},   {51, 255, "51"},   {0, 255, "0"},
        {-3.7, 100, "-3"},      {2.5, 3.0, "2.5"},     {0.1, 1.05, "0.1"}, {1e12, 1e12, "1000000000000"},
        // An axis without a range (maximum 0) formats as one below 10.
        {0, 0, "0.0"},          {0.3, -2, "0.3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LineGraphView::formatTickValue(c.value, c.maximum), QString::fromLatin1(c.expected))
            << c.value << " on " << c.maximum;
    }
}

TEST_F(LineGraphTest, AxisRangesComeFromFixedBoundsOrTheDataWithHeadroom)
{
    const GraphSeries data = {Series({{2, 0.5}, {7, 0.25}}), Series({{12, 0.75}})};
    const struct {
        GraphAxis axis;
        GraphSeries series;
        int coordinate;
        double minimum, maximum;
    } cases[] = {
        {GraphAxis(0, 1, "y"), data, 1, 0, 1},
        {GraphAxis(), data, 0, 2, 12.5},
        {GraphAxis(), data, 1, 0.25, 0.775},
        {GraphAxis(), {}, 0, 0, 0},
        {GraphAxis(), {Series({})}, 1, 0, 0},
    };
    for (auto c : cases) {
        const auto [minimum, maximum] = LineGraphView::calculateAxisRanges(c.axis, c.series, c.coordinate);
        EXPECT_DOUBLE_EQ(minimum, c.minimum);
        EXPECT_DOUBLE_EQ(maximum, c.maximum);
        ASSERT_TRUE(c.axis.range);
        EXPECT_EQ(*c.axis.range, std::make_pair(c.minimum, c.maximum));
    }
    GraphAxis onlyMinimum;
    onlyMinimum.fixedMinimum = std::make_shared<double>(-1.0);
    EXPECT_EQ(LineGraphView::calculateAxisRanges(onlyMinimum, data, 0), std::make_pair(-1.0, 12.5));
}

TEST_F(LineGraphTest, MappingNeedsAPaintAndDropsTheFractionOfX)
{
    LineGraphView view;
    view.resize(400, 300);
    view.setXAxis(GraphAxis(0, 255, "level"));
    view.setYAxis(GraphAxis(0, 1, "luminance"));
    view.addGraph(Series({{0, 0}, {255, 1}}));
    EXPECT_THROW(view.mapToWidget({10, 0.5}), std::logic_error);

    GuiTestSupport::Render(view);
    EXPECT_EQ(view.mapToWidget({37.9, 0.5}), view.mapToWidget({37, 0.5}));
    EXPECT_NE(view.mapToWidget({38, 0.5}), view.mapToWidget({37, 0.5}));
    const QPoint origin = view.mapValueToWidget(0, 0);
    const QPoint corner = view.mapValueToWidget(255, 1);
    EXPECT_LT(origin.x(), corner.x());
    EXPECT_GT(origin.y(), corner.y());
    EXPECT_EQ(origin.y(), view.height() - 40);
    EXPECT_EQ(corner.y(), 15);

    view.addGraph(Series({{1, 1}}));
    EXPECT_THROW(view.mapValueToWidget(1, 1), std::logic_error);
}

TEST_F(LineGraphTest, EvenSeriesAreThinBlueLinesWithMarkersOddSeriesPaleBands)
{
    LineGraphView view;
    view.resize(500, 400);
    view.setXAxis(GraphAxis(0, 255, "level"));
    view.setYAxis(GraphAxis(0, 1, "luminance"));
    view.addGraph(Series({{0, 0.75}, {128, 0.75}, {255, 0.75}}));
    view.addGraph(Series({{0, 0.5}, {255, 0.5}}));
    view.addGraph(Series({{0, 0.25}, {128, 0.25}, {255, 0.25}}));
    const QImage image = GuiTestSupport::Render(view);

    for (double y : {0.75, 0.25}) {
        SCOPED_TRACE(y);
        const QPoint marker = view.mapValueToWidget(128, y);
        EXPECT_TRUE(BlueDominant(image.pixelColor(marker)));
        EXPECT_TRUE(BlueDominant(image.pixelColor(marker.x(), marker.y() - 4)));  // the circle
        EXPECT_TRUE(Near(image.pixelColor(marker.x() + 20, marker.y() - 4), Qt::white, 2));  // a thin line
    }
    const QPoint band = view.mapValueToWidget(128, 0.5);
    for (int dy : {-6, 0, 6}) {
        EXPECT_TRUE(Near(image.pixelColor(band.x(), band.y() + dy), QColor(144, 238, 144))) << dy;
    }
    EXPECT_TRUE(Near(image.pixelColor(band.x(), band.y() - 12), Qt::white, 2));
}

TEST_F(LineGraphTest, ViewsWithoutASpanPaintWithoutMappingAnything)
{
    // No data at all, and one point (both ranges collapse onto it).
    for (const auto& series : {GraphSeries(), GraphSeries {Series({{5, 5}})}}) {
        LineGraphView view;
        view.resize(300, 200);
        for (const auto& graph : series) {
            view.addGraph(graph);
        }
        const QImage image = GuiTestSupport::Render(view);
        EXPECT_TRUE(Near(image.pixelColor(150, 100), Qt::white, 2));
        EXPECT_TRUE(LineGraphView::calculateTicks(AxisWithRange(5, 5)).empty());
    }
    // A fixed y axis over an empty x range still gets its tick labels.
    LineGraphView view;
    view.resize(300, 200);
    view.setYAxis(GraphAxis(0, 1, "luminance"));
    GuiTestSupport::Render(view);
    EXPECT_EQ(view.mapValueToWidget(100, 0).x(), view.mapValueToWidget(0, 0).x());
}

TEST_F(LineGraphTest, ContainerHoldsTitleAndView)
{
    LineGraphContainer container;
    auto* title = container.findChild<QLabel*>(QStringLiteral("titleLbl"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text(), QStringLiteral("TextLabel"));
    container.setTitle(QStringLiteral("Gamma"));
    EXPECT_EQ(title->text(), QStringLiteral("Gamma"));
    ASSERT_NE(container.graphView(), nullptr);
    EXPECT_EQ(container.graphView()->objectName(), QStringLiteral("chart"));

    container.setAxes(GraphAxis(0, 255, "x"), GraphAxis(0, 1, "y"));
    container.graphView()->addGraph(Series({{0, 0.5}, {255, 0.5}}));
    container.resize(400, 300);
    GuiTestSupport::Render(container);
    const QPoint left = container.graphView()->mapValueToWidget(0, 0.5);
    const QPoint right = container.graphView()->mapValueToWidget(255, 0.5);
    EXPECT_EQ(left.y(), right.y());
    EXPECT_LT(left.x(), right.x());
}

}  // namespace
