#include "Gui/ColorGamutScene.h"

#include <QDebug>
#include <QGraphicsPixmapItem>
#include <QPainter>
#include <QPolygonF>

#include <cmath>

TriangleItem::~TriangleItem() = default;
BlackCircleItem::~BlackCircleItem() = default;

BackgroundPictureItem::BackgroundPictureItem(const QString& path) : picture(path) {}

BackgroundPictureItem::~BackgroundPictureItem() = default;

QRectF BackgroundPictureItem::boundingRect() const
{
    return picture.Size().isValid() ? QRectF(offset(), QSizeF(picture.Size())) : QRectF();
}

QPainterPath BackgroundPictureItem::shape() const
{
    QPainterPath path;
    path.addRect(boundingRect());
    return path;
}

void BackgroundPictureItem::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*)
{
    painter->setRenderHint(QPainter::SmoothPixmapTransform, transformationMode() == Qt::SmoothTransformation);
    painter->drawPixmap(offset(), picture.Pixmap());
}

ColorGamutScene::ColorGamutScene(const QString& backgroundPath, QObject* parent)
    : QGraphicsScene(parent), backgroundPath(backgroundPath)
{
    createItems();
}

ColorGamutScene::~ColorGamutScene()
{
    delete circleItem;
    delete triangleItem;
}

void ColorGamutScene::createItems()
{
    if (backgroundNeedsLoading) {
        backgroundItem = new BackgroundPictureItem(backgroundPath);
        backgroundSize = backgroundItem->PictureSize().isValid() ? backgroundItem->PictureSize() : QSize(0, 0);
        addItem(backgroundItem);
        backgroundItem->setPos(0, 0);
        backgroundNeedsLoading = false;
    }
    if (itemsNeedCreating) {
        const QPolygonF polygon({QPointF(0, 0), QPointF(0, 0), QPointF(0, 0)});
        auto* triangle = new TriangleItem(polygon);
        triangle->setBrush(QBrush(Qt::transparent, Qt::SolidPattern));
        triangle->setPen(QPen(Qt::black));
        delete triangleItem;
        triangleItem = triangle;
        addItem(triangleItem);
        triangleItem->setPolygon(polygon);

        auto* circle = new BlackCircleItem(QRectF(0, 0, 0, 0));
        circle->setBrush(QBrush(QColor(0, 0, 0, 0), Qt::SolidPattern));
        circle->setPen(QPen(Qt::black));
        delete circleItem;
        circleItem = circle;
        addItem(circleItem);
        itemsNeedCreating = false;
    }
}

QPointF ColorGamutScene::chromaticityToScene(const QPointF& chromaticity) const
{
    const QRectF rect(QPointF(0, 0), QSizeF(backgroundSize));
    const int plotWidth = static_cast<int>(rect.width() - widthMargin);
    const int plotHeight = static_cast<int>(rect.height() - heightMargin);
    return QPointF(plotWidth * chromaticity.x() / xRange + xOffset,
                   (1.0 - chromaticity.y() / yRange) * plotHeight + yOffset);
}

void ColorGamutScene::updateItems(const QPointF& first, const QPointF& second, const QPointF& third,
                                  const QPointF& whitePoint)
{
    points[0] = first;
    points[1] = second;
    points[2] = third;
    points[3] = whitePoint;
    qDebug("Set colorpoint");
    triangleItem->setPolygon(
        QPolygonF({chromaticityToScene(first), chromaticityToScene(second), chromaticityToScene(third)}));
    const QPointF white = chromaticityToScene(whitePoint);
    circleItem->setRect(white.x() - whitePointRadius, white.y() - whitePointRadius, 2 * whitePointRadius,
                        2 * whitePointRadius);
}

void ColorGamutScene::drawColorGamut(QPointF first, QPointF second, QPointF third, QPointF whitePoint)
{
    if (itemsNeedCreating || backgroundNeedsLoading) {
        createItems();
    }
    updateItems(first, second, third, whitePoint);
    update();
}

void ColorGamutScene::clearColorGamut()
{
    for (QGraphicsItem* item : {static_cast<QGraphicsItem*>(triangleItem), static_cast<QGraphicsItem*>(circleItem)}) {
        if (item != nullptr && item->scene() == this) {
            removeItem(item);
        }
    }
    itemsNeedCreating = true;
}

void ColorGamutScene::drawBackground(QPainter* painter, const QRectF& rect)
{
    QGraphicsScene::drawBackground(painter, rect);
    painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter->fillRect(rect, Qt::transparent);
}
