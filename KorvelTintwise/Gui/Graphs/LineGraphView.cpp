#include "Gui/Graphs/LineGraphView.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <stdexcept>

namespace {

const QColor LabelColor(64, 64, 68);
const QColor GridColor(216, 216, 216);
const double XTicks[] = {0, 25, 51, 76, 102, 127, 153, 178, 204, 229, 255};

class MinMaxFinder {
public:
    void visit(const GraphPoint& point)
    {
        minX = std::min(minX, point.x);
        minY = std::min(minY, point.y);
        maxX = std::max(maxX, point.x);
        maxY = std::max(maxY, point.y);
        ++count;
    }

    int count = 0;
    double minX = 1e10;
    double minY = 1e10;
    double maxX = -1e10;
    double maxY = -1e10;
};

const std::pair<double, double>& RangeOf(const GraphAxis& axis)
{
    if (!axis.range) {
        throw std::logic_error("Axis range not calculated");
    }
    return *axis.range;
}

bool HasSpan(const GraphAxis& axis)
{
    return axis.range && axis.range->second > axis.range->first;
}

// Truncates toward zero; values no pixel can take are held to a bound the painter still handles.
int ToPixel(double value)
{
    constexpr double Bound = 1 << 24;
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(std::trunc(value), -Bound, Bound));
}

}  // namespace

void visitGraphPoints(const GraphSeries& series, const std::function<void(const GraphPoint&)>& visitor)
{
    for (const auto& graph : series) {
        for (const auto& point : graph->points()) {
            visitor(point);
        }
        visitGraphPoints(graph->children(), visitor);
    }
}

LineGraphView::LineGraphView(QWidget* parent) : QWidget(parent) {}

void LineGraphView::addGraph(const std::shared_ptr<GraphData>& graph)
{
    xAxis.range.reset();
    yAxis.range.reset();
    series.push_back(graph);
    update();
}

void LineGraphView::setXAxis(const GraphAxis& axis)
{
    xAxis = axis;
}

void LineGraphView::setYAxis(const GraphAxis& axis)
{
    yAxis = axis;
}

QPoint LineGraphView::mapToWidget(const GraphPoint& point) const
{
    return mapValueToWidget(point.x, point.y);
}

QPoint LineGraphView::mapValueToWidget(double x, double y) const
{
    const auto& [minY, maxY] = RangeOf(yAxis);
    const double pixelY = HasSpan(yAxis)
                              ? (maxY - y) / (maxY - minY) * (plotRect.bottom() - plotRect.top()) + plotRect.top()
                              : plotRect.bottom();
    const auto& [minX, maxX] = RangeOf(xAxis);
    const double pixelX = HasSpan(xAxis)
                              ? (std::trunc(x) - minX) * (plotRect.right() - plotRect.left()) / (maxX - minX) +
                                    plotRect.left()
                              : plotRect.left();
    return QPoint(ToPixel(pixelX), ToPixel(pixelY));
}

std::pair<double, double> LineGraphView::calculateAxisRanges(GraphAxis& axis, const GraphSeries& series,
                                                             int coordinate)
{
    MinMaxFinder finder;
    if (!axis.fixedMinimum || !axis.fixedMaximum) {
        visitGraphPoints(series, [&finder](const GraphPoint& point) { finder.visit(point); });
    }
    const double foundMin = coordinate == 0 ? finder.minX : finder.minY;
    const double foundMax = coordinate == 0 ? finder.maxX : finder.maxY;
    double minimum = 0.0;
    if (axis.fixedMinimum) {
        minimum = *axis.fixedMinimum;
    } else if (finder.count > 0) {
        minimum = foundMin;
    }
    double maximum = 0.0;
    if (axis.fixedMaximum) {
        maximum = *axis.fixedMaximum;
    } else if (finder.count > 0) {
        maximum = foundMax + (foundMax - foundMin) * 0.05;
    }
    axis.range = std::make_shared<std::pair<double, double>>(minimum, maximum);
    return *axis.range;
}

std::vector<double> LineGraphView::calculateTicks(const GraphAxis& axis)
{
    const auto& [minimum, maximum] = RangeOf(axis);
    std::vector<double> ticks;
    const double span = maximum - minimum;
    if (!(span > 0.0) || !std::isfinite(span)) {
        return ticks;
    }
    double step = std::pow(10.0, std::floor(std::log10(span)));
    const double ratio = maximum / step - minimum / step;
    if (ratio < 1.25) {
        step *= 0.1;
    } else if (ratio < 3.01) {
        step *= 0.25;
    }
    for (double k = std::ceil(minimum / step); std::floor(maximum / step) + 1e-10 > k; k += 1.0) {
        ticks.push_back(k * step);
    }
    return ticks;
}

QString LineGraphView::formatTickValue(double value, double axisMaximum)
{
    // A maximum without a logarithm formats as one below 10.
    const double exponent = axisMaximum > 0.0 ? std::floor(std::log10(axisMaximum)) : 0.0;
    if (exponent >= 0.7) {
        return QString::number(std::trunc(value), 'f', 0);
    }
    char text[400];
    std::snprintf(text, sizeof text, "%f", value);
    return QString::fromLatin1(text).left(3 - static_cast<int>(exponent));
}

short LineGraphView::maxTickLabelWidth(const QFontMetrics& metrics) const
{
    const double maximum = RangeOf(yAxis).second;
    int widest = 0;
    for (double tick : calculateTicks(yAxis)) {
        widest = std::max(widest, metrics.horizontalAdvance(formatTickValue(tick, maximum)));
    }
    return static_cast<short>(widest + 10);
}

void LineGraphView::drawSeriesExtras(QPainter&, const QPainterPath&, int) {}

void LineGraphView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int w = width() - 10;
    const int h = height() - 10;

    const double maxX = calculateAxisRanges(xAxis, series, 0).second;
    const auto [minY, maxY] = calculateAxisRanges(yAxis, series, 1);
    const double minX = xAxis.range->first;

    const int left = maxTickLabelWidth(metrics) + 10;
    const int right = w - (metrics.horizontalAdvance(formatTickValue(maxX, maxX)) / 2 + 5);
    plotRect = QRect(QPoint(left, 15), QPoint(right, h - 30));

    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setClipRect(QRect(10, 10, width() - 20, height() - 20), Qt::ReplaceClip);
    painter.setBackground(QBrush(Qt::white, Qt::SolidPattern));
    painter.eraseRect(plotRect.left(), plotRect.top(), plotRect.right() - plotRect.left(),
                      plotRect.bottom() - plotRect.top());

    // Nothing is placed along an axis whose range is empty: no x ticks, no series.
    const bool mappable = HasSpan(xAxis) && HasSpan(yAxis);
    painter.setFont(QFont(QStringLiteral("Arial"), 9));
    const std::vector<double> xTicks =
        HasSpan(xAxis) ? std::vector<double>(std::begin(XTicks), std::end(XTicks)) : std::vector<double>();
    for (double tick : xTicks) {
        const QPoint p = mapValueToWidget(tick, minY);
        painter.setPen(QPen(LabelColor, 2, Qt::SolidLine));
        const QString label = formatTickValue(tick, maxX);
        const QFontMetrics labelMetrics = painter.fontMetrics();
        painter.drawText(QPoint(p.x() - labelMetrics.horizontalAdvance(label) / 2, p.y() + labelMetrics.height() + 5),
                         label);
        painter.setPen(QPen(GridColor));
        painter.drawLine(p, QPoint(p.x(), p.y() + 5));
        painter.drawLine(p, mapValueToWidget(tick, maxY));
    }

    painter.setFont(QFont(QStringLiteral("Arial"), 7));
    for (double tick : calculateTicks(yAxis)) {
        const QPoint p = mapValueToWidget(minX, tick);
        painter.setPen(QPen(LabelColor, 2, Qt::SolidLine));
        const QString label = formatTickValue(tick, maxY);
        const QFontMetrics labelMetrics = painter.fontMetrics();
        painter.drawText(
            QPoint(p.x() - labelMetrics.horizontalAdvance(label) - 6, p.y() + labelMetrics.height() / 2 - 2), label);
        painter.setPen(QPen(GridColor));
        painter.drawLine(QPoint(p.x() - 5, p.y()), p);
        painter.drawLine(p, mapValueToWidget(maxX, tick));
    }

    for (int index = 0; mappable && index < static_cast<int>(series.size()); ++index) {
        const auto& graph = series[index];
        std::vector<const std::vector<GraphPoint>*> lists;
        if (!graph->points().empty()) {
            lists.push_back(&graph->points());
        }
        for (const auto& child : graph->children()) {
            lists.push_back(&child->points());
        }

        painter.setClipRect(QRect(mapValueToWidget(minX, minY), mapValueToWidget(maxX, maxY)).normalized(),
                            Qt::ReplaceClip);
        painter.setPen(QPen(GridColor));
        painter.drawLine(mapValueToWidget(minX, minY), mapValueToWidget(minX, maxY));
        painter.drawLine(mapValueToWidget(minX, minY), mapValueToWidget(maxX, minY));

        const bool even = index % 2 == 0;
        for (const auto* points : lists) {
            if (points->empty()) {
                continue;
            }
            QPainterPath path;
            path.moveTo(mapToWidget(points->front()));
            for (std::size_t i = 1; i < points->size(); ++i) {
                path.lineTo(mapToWidget((*points)[i]));
            }
            painter.setBrush(Qt::NoBrush);
            if (even) {
                painter.strokePath(path, QPen(QColor(0, 0, 255), 1.95));
            } else {
                painter.strokePath(path, QPen(QColor(144, 238, 144), 16));
            }
            drawSeriesExtras(painter, path, index);
            if (even) {
                painter.setPen(QPen(Qt::blue, 1));
                painter.setBrush(Qt::NoBrush);
                for (const auto& point : *points) {
                    painter.drawEllipse(mapToWidget(point), 4, 4);
                }
            }
        }
    }
}
