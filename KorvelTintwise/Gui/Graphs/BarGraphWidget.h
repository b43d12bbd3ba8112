// Vertical bar chart over a value grid.
#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QPainter;
class QRect;
class QRectF;

struct BarGraphItem {
    QString label;  // not drawn
    QColor fill;
    double value = 0.0;
};

class BarGraphWidget : public QWidget {
    Q_OBJECT

public:
    explicit BarGraphWidget(QWidget* parent = nullptr);

    // Replaces the bars; the next paint shows them.
    void setData(const QList<BarGraphItem>& items);
    // Ceiling of the largest value, never below 0.
    float maxValue() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawGrid(QPainter& painter, const QRect& rect, int steps) const;
    void drawBars(QPainter& painter, const QList<BarGraphItem>& items, const QRectF& rect, double spacing) const;

    QList<BarGraphItem> bars;
};
