// Line graph of data series over two axes with ticks, labels and a grid.
#pragma once

#include "Gui/Graphs/GraphData.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QFontMetrics;
class QPainter;
class QPainterPath;

using GraphSeries = std::vector<std::shared_ptr<GraphData>>;

// Calls `visitor` on every point of every series, each series' own points before its children's.
void visitGraphPoints(const GraphSeries& series, const std::function<void(const GraphPoint&)>& visitor);

class LineGraphView : public QWidget {
    Q_OBJECT

public:
    explicit LineGraphView(QWidget* parent = nullptr);

    // Drops both calculated ranges and schedules a repaint.
    void addGraph(const std::shared_ptr<GraphData>& graph);
    void setXAxis(const GraphAxis& axis);
    void setYAxis(const GraphAxis& axis);

    // Data to widget pixels over the last painted plot rectangle; throws std::logic_error while a
    // range is not calculated. On an axis whose range is empty the coordinate maps to the plot's
    // left or bottom edge.
    QPoint mapToWidget(const GraphPoint& point) const;
    QPoint mapValueToWidget(double x, double y) const;

    // Range of one coordinate (0 = x, 1 = y) from the axis's fixed bounds and the data, stored in
    // the axis.
    static std::pair<double, double> calculateAxisRanges(GraphAxis& axis, const GraphSeries& series, int coordinate);
    // Tick values over the axis's range; none for an empty range. Throws std::logic_error without a range.
    static std::vector<double> calculateTicks(const GraphAxis& axis);
    static QString formatTickValue(double value, double axisMaximum);

protected:
    void paintEvent(QPaintEvent* event) override;
    // Called after each point list of series `seriesIndex` is stroked.
    virtual void drawSeriesExtras(QPainter& painter, const QPainterPath& path, int seriesIndex);

private:
    short maxTickLabelWidth(const QFontMetrics& metrics) const;

    QRect plotRect;
    GraphAxis xAxis;
    GraphAxis yAxis;
    GraphSeries series;
};
