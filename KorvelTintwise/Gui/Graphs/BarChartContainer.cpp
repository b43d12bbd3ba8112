#include "Gui/Graphs/BarChartContainer.h"

#include "ui_BarChartContainer.h"

#include <QPainter>
#include <QPalette>

BarChartContainer::BarChartContainer(QWidget* parent) : QWidget(parent), ui(new Ui_BarChartContainer)
{
    ui->setupUi(this);
    if (parent != nullptr) {
        QPalette palette;
        palette.setBrush(QPalette::All, QPalette::Window,
                         QBrush(parent->palette().color(QPalette::Window), Qt::SolidPattern));
        setPalette(palette);
    }
    ui->checkBox->setCheckable(false);
}

BarChartContainer::~BarChartContainer()
{
    delete ui;
}

void BarChartContainer::setTitle(const QString& title)
{
    ui->titleLbl->setText(title);
}

void BarChartContainer::setData(const QList<BarGraphItem>& items)
{
    ui->chart->setData(items);
}

void BarChartContainer::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(QBrush(QColor(233, 238, 239), Qt::SolidPattern));
    painter.drawRoundedRect(QRectF(0, 0, width(), height()), 8, 8, Qt::AbsoluteSize);
}
