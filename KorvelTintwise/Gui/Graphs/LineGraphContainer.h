// A line graph with a title line, on a rounded white card.
#pragma once

#include "Gui/Graphs/LineGraphView.h"

#include <QWidget>

class Ui_LineGraphContainer;

class LineGraphContainer : public QWidget {
    Q_OBJECT

public:
    explicit LineGraphContainer(QWidget* parent = nullptr);
    ~LineGraphContainer() override;

    void setTitle(const QString& title);
    LineGraphView* graphView() const;
    void setAxes(const GraphAxis& xAxis, const GraphAxis& yAxis);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui_LineGraphContainer* ui;
};
