// Data series of the line graph.
#pragma once

#include <QColor>

#include <memory>
#include <string>
#include <vector>

struct GraphPoint {
    double x = 0.0;
    double y = 0.0;
};

class GraphData {
public:
    virtual ~GraphData() = default;
    virtual std::string name() const = 0;
    virtual QColor color() const = 0;
    // Nested series whose points belong to this one.
    virtual const std::vector<std::shared_ptr<GraphData>>& children() const = 0;
    virtual const std::vector<GraphPoint>& points() const = 0;
};

class DefaultGraphData : public GraphData {
public:
    explicit DefaultGraphData(const std::vector<GraphPoint>& points);

    std::string name() const override;
    QColor color() const override;
    const std::vector<std::shared_ptr<GraphData>>& children() const override;
    const std::vector<GraphPoint>& points() const override;
    virtual void setUserValue(int value);

private:
    std::string seriesName;
    QColor seriesColor;
    int userValue = 0;
    std::vector<GraphPoint> seriesPoints;
};

// An axis may fix its minimum and maximum; the view fills `range` when it paints.
struct GraphAxis {
    GraphAxis() = default;
    GraphAxis(double minimum, double maximum, const std::string& title);

    std::string title;
    std::shared_ptr<double> fixedMinimum;
    std::shared_ptr<double> fixedMaximum;
    std::shared_ptr<std::pair<double, double>> range;
};
