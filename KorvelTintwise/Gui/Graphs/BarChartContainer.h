// A bar chart with a title above and a footer below, on a rounded light-grey card.
#pragma once

#include "Gui/Graphs/BarGraphWidget.h"

#include <QList>
#include <QWidget>

class Ui_BarChartContainer;

class BarChartContainer : public QWidget {
    Q_OBJECT

public:
    explicit BarChartContainer(QWidget* parent = nullptr);
    ~BarChartContainer() override;

    void setTitle(const QString& title);
    void setData(const QList<BarGraphItem>& items);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Ui_BarChartContainer* ui;
};
