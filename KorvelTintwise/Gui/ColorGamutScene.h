// CIE 1931 xy diagram with a gamut triangle and a white-point circle drawn over it.
#pragma once

#include "Gui/EncodedPicture.h"

#include <QGraphicsEllipseItem>
#include <QGraphicsPolygonItem>
#include <QGraphicsScene>
#include <QPixmap>
#include <QPointF>
#include <QString>

#include <QGraphicsPixmapItem>

// The diagram's background picture in the program's resources.
inline const QString GamutDiagramPicture = QStringLiteral(":/images/Dark/Preferences/Gamut.png");

class TriangleItem : public QGraphicsPolygonItem {
public:
    using QGraphicsPolygonItem::QGraphicsPolygonItem;
    ~TriangleItem() override;
};

// The diagram's picture as a pixmap item that decodes it when first painted: a window that is
// built but never shows the diagram holds only the picture's file.
class BackgroundPictureItem : public QGraphicsPixmapItem {
public:
    explicit BackgroundPictureItem(const QString& path);
    ~BackgroundPictureItem() override;

    QSize PictureSize() const { return picture.Size(); }
    bool IsDecoded() const { return picture.IsDecoded(); }
    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

private:
    EncodedPicture picture;
};

class BlackCircleItem : public QGraphicsEllipseItem {
public:
    using QGraphicsEllipseItem::QGraphicsEllipseItem;
    ~BlackCircleItem() override;
};

class ColorGamutScene : public QGraphicsScene {
public:
    // `backgroundPath`: a 278 x 302 picture whose plotting area spans x 0..0.8 on columns 20..269
    // and y 0..0.9 on rows 286..5.
    explicit ColorGamutScene(const QString& backgroundPath, QObject* parent = nullptr);
    ~ColorGamutScene() override;

    // Three primaries, then the white point (CIE x, y).
    void drawColorGamut(QPointF first, QPointF second, QPointF third, QPointF whitePoint);
    // Takes the triangle and the circle off the scene.
    void clearColorGamut();

    QPointF chromaticityToScene(const QPointF& chromaticity) const;
    const TriangleItem* triangle() const { return triangleItem; }
    const BlackCircleItem* whitePointCircle() const { return circleItem; }
    const BackgroundPictureItem* background() const { return backgroundItem; }

protected:
    void drawBackground(QPainter* painter, const QRectF& rect) override;

private:
    void createItems();
    void updateItems(const QPointF& first, const QPointF& second, const QPointF& third, const QPointF& whitePoint);

    std::int32_t widthMargin = 29;
    std::int32_t heightMargin = 21;
    std::int32_t xOffset = 20;
    std::int32_t yOffset = 5;
    double xRange = 0.8;
    double yRange = 0.9;
    std::int32_t whitePointRadius = 2;
    bool itemsNeedCreating = true;
    bool backgroundNeedsLoading = true;
    QPointF points[4];
    QSize backgroundSize;
    BackgroundPictureItem* backgroundItem = nullptr;
    QString backgroundPath;
    TriangleItem* triangleItem = nullptr;
    BlackCircleItem* circleItem = nullptr;
};
