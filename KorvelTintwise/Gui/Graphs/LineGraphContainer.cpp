#include "Gui/Graphs/LineGraphContainer.h"

#include "ui_LineGraphContainer.h"

#include <QPainter>

LineGraphContainer::LineGraphContainer(QWidget* parent) : QWidget(parent), ui(new Ui_LineGraphContainer)
{
    ui->setupUi(this);
}

LineGraphContainer::~LineGraphContainer()
{
    delete ui;
}

void LineGraphContainer::setTitle(const QString& title)
{
    ui->titleLbl->setText(title);
}

LineGraphView* LineGraphContainer::graphView() const
{
    return ui->chart;
}

void LineGraphContainer::setAxes(const GraphAxis& xAxis, const GraphAxis& yAxis)
{
    ui->chart->setXAxis(xAxis);
    ui->chart->setYAxis(yAxis);
}

void LineGraphContainer::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, width(), height()), 8, 8, Qt::AbsoluteSize);
}
