#include "Gui/Graphs/BarGraphWidget.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {
const QColor ChartBackground(233, 238, 239);
const QColor GridColor(226, 226, 226);
const QColor LabelColor(64, 64, 68);
}  // namespace

BarGraphWidget::BarGraphWidget(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(ChartBackground, Qt::SolidPattern));
    setPalette(palette);
}

void BarGraphWidget::setData(const QList<BarGraphItem>& items)
{
    bars = items;
}

float BarGraphWidget::maxValue() const
{
    float maximum = 0.0f;
    for (const auto& bar : bars) {
        maximum = std::max(maximum, static_cast<float>(bar.value));
    }
    return std::ceil(maximum);
}

void BarGraphWidget::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);

    const double left = width() * 0.05;
    const double top = height() * 0.02;
    const QRectF plot(left, top, width() - left, height() - top - height() * 0.02);
    const QRect grid = plot.toRect();
    drawGrid(painter, grid, 10);

    painter.setPen(QPen(GridColor, 1, Qt::SolidLine));
    painter.drawLine(grid.left(), grid.top(), grid.left(), grid.bottom());

    if (!bars.isEmpty()) {
        drawBars(painter, bars, plot, 0.0);
    }
}

void BarGraphWidget::drawGrid(QPainter& painter, const QRect& rect, int steps) const
{
    const int left = rect.left();
    const int right = rect.right();
    const int top = rect.top();
    const int bottom = rect.bottom();
    if (steps <= 0) {
        return;
    }
    const double valueStep = maxValue() / steps;
    const double pixelStep = static_cast<double>(bottom - top) / steps;
    const int x0 = left - 5;
    const QFont labelFont(QStringLiteral("Arial"), 9);
    for (int i = 0; i <= steps; ++i) {
        const double y = bottom - i * pixelStep;
        painter.setPen(QPen(GridColor, 1, Qt::SolidLine));
        painter.drawLine(x0, static_cast<int>(y), right, static_cast<int>(y));
        painter.setPen(QPen(LabelColor, 2, Qt::SolidLine));
        painter.setFont(labelFont);
        painter.drawText(QPoint(static_cast<int>(rect.width() * 0.02), static_cast<int>(y + 5)),
                         QString::number(i * valueStep, 'f', 1));
    }
}

void BarGraphWidget::drawBars(QPainter& painter, const QList<BarGraphItem>& items, const QRectF& rect,
                              double spacing) const
{
    const double maximum = maxValue();
    // No positive value: nothing to scale the bars by.
    if (!(maximum > 0.0)) {
        return;
    }
    const double scale = rect.height() / maximum;
    const int count = static_cast<int>(items.size());
    const int gap = static_cast<int>(std::trunc(std::trunc(rect.width() / (2.0 * count)) * spacing));
    const int barWidth = static_cast<int>(std::trunc(rect.width() - (count - 1) * gap)) / count;
    double x = std::trunc(rect.left() * 1.03);
    for (const auto& bar : items) {
        painter.setBrush(QBrush(bar.fill, Qt::SolidPattern));
        painter.setPen(Qt::NoPen);
        const double height = scale * bar.value;
        const QRectF barRect(x, rect.bottom() - height, barWidth, height);
        painter.drawRect(barRect);
        x += barWidth + gap;
        QPainterPath outline;
        outline.addRect(barRect);
        painter.strokePath(outline, QPen(Qt::white, 1));
    }
}
