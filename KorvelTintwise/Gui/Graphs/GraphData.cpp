#include "Gui/Graphs/GraphData.h"

DefaultGraphData::DefaultGraphData(const std::vector<GraphPoint>& points) : seriesPoints(points) {}

std::string DefaultGraphData::name() const
{
    return seriesName;
}

QColor DefaultGraphData::color() const
{
    return seriesColor;
}

const std::vector<std::shared_ptr<GraphData>>& DefaultGraphData::children() const
{
    static const std::vector<std::shared_ptr<GraphData>> none;
    return none;
}

const std::vector<GraphPoint>& DefaultGraphData::points() const
{
    return seriesPoints;
}

void DefaultGraphData::setUserValue(int value)
{
    userValue = value;
}

GraphAxis::GraphAxis(double minimum, double maximum, const std::string& title)
    : title(title), fixedMinimum(std::make_shared<double>(minimum)), fixedMaximum(std::make_shared<double>(maximum))
{
}
