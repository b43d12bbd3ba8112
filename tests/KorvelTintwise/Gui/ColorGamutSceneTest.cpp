#include "Gui/ColorGamutScene.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

const QString Background = QStringLiteral(":/images/Dark/Preferences/Gamut.png");
const QPointF Red(0.64, 0.33), Green(0.30, 0.60), Blue(0.15, 0.06), D65(0.3127, 0.3290);

QImage Render(ColorGamutScene& scene)
{
    QImage image(278, 302, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    scene.render(&painter, QRectF(image.rect()), QRectF(0, 0, 278, 302));
    return image;
}

bool Dark(const QColor& c)
{
    return c.red() + c.green() + c.blue() < 120;
}

QPoint Pixel(const QPointF& p)
{
    return QPoint(static_cast<int>(p.x()), static_cast<int>(p.y()));
}

class ColorGamutSceneTest : public testing::Test {
protected:
    void SetUp() override { GuiTestSupport::Application(); }

    // Midpoints of the triangle's edges and a point of the circle's ring, all bright in the background.
    static std::vector<QPoint> Marks(const ColorGamutScene& scene)
    {
        const QPointF r = scene.chromaticityToScene(Red), g = scene.chromaticityToScene(Green),
                      b = scene.chromaticityToScene(Blue), w = scene.chromaticityToScene(D65);
        return {Pixel((r + g) / 2), Pixel((g + b) / 2), Pixel((b + r) / 2), Pixel(w + QPointF(2, 0))};
    }
};

TEST_F(ColorGamutSceneTest, ChromaticitiesMapOntoThePlottingArea)
{
    ColorGamutScene scene(Background);
    ColorGamutScene blind(QStringLiteral(":/images/no-such-picture.png"));
    const struct {
        const ColorGamutScene& scene;
        QPointF chromaticity, expected;
    } cases[] = {
        {scene, {0, 0}, {20, 286}},
        {scene, {0.8, 0.9}, {269, 5}},
        {scene, {0.3127, 0.3290}, {20 + 249 * 0.3127 / 0.8, (1 - 0.3290 / 0.9) * 281 + 5}},
        {scene, {0.9, -0.1}, {20 + 249 * 0.9 / 0.8, (1 + 0.1 / 0.9) * 281 + 5}},  // not clamped
        // Without its picture the scene maps over an empty rectangle.
        {blind, {0, 0}, {20, -16}},
        {blind, {0.8, 0.9}, {-9, 5}},
    };
    for (const auto& c : cases) {
        const QPointF mapped = c.scene.chromaticityToScene(c.chromaticity);
        EXPECT_NEAR(mapped.x(), c.expected.x(), 1e-9) << c.chromaticity.x();
        EXPECT_NEAR(mapped.y(), c.expected.y(), 1e-9) << c.chromaticity.y();
    }
    const QPointF white = scene.chromaticityToScene(D65);
    EXPECT_NEAR(white.x(), 117.33, 0.01);
    EXPECT_NEAR(white.y(), 183.28, 0.01);
}

TEST_F(ColorGamutSceneTest, DrawsTheTriangleThroughThePrimariesAndCirclesTheWhitePoint)
{
    ColorGamutScene scene(Background);
    const QImage before = Render(scene);
    for (const QPoint& mark : Marks(scene)) {
        ASSERT_FALSE(Dark(before.pixelColor(mark))) << mark.x() << "," << mark.y();
    }

    scene.drawColorGamut(Red, Green, Blue, D65);
    const QImage drawn = Render(scene);
    for (const QPoint& mark : Marks(scene)) {
        EXPECT_TRUE(Dark(drawn.pixelColor(mark))) << mark.x() << "," << mark.y();
    }
    // The circle is hollow; inside the triangle the diagram shows through.
    const QPoint centre = Pixel(scene.chromaticityToScene(D65));
    EXPECT_EQ(drawn.pixelColor(centre), before.pixelColor(centre));
    EXPECT_EQ(drawn.pixelColor(centre + QPoint(0, 12)), before.pixelColor(centre + QPoint(0, 12)));
    EXPECT_EQ(scene.whitePointCircle()->rect(),
              QRectF(scene.chromaticityToScene(D65) - QPointF(2, 2), QSizeF(4, 4)));

    // Another order of the primaries draws the same triangle.
    scene.drawColorGamut(Blue, Red, Green, D65);
    EXPECT_EQ(Render(scene), drawn);
}

TEST_F(ColorGamutSceneTest, ClearingLeavesTheBackgroundUntilTheNextDrawing)
{
    ColorGamutScene scene(Background);
    const QImage background = Render(scene);
    scene.drawColorGamut(Red, Green, Blue, D65);
    const auto* firstTriangle = scene.triangle();

    scene.clearColorGamut();
    EXPECT_EQ(Render(scene), background);
    EXPECT_EQ(scene.triangle()->scene(), nullptr);
    scene.clearColorGamut();
    EXPECT_EQ(Render(scene), background);
    EXPECT_EQ(scene.items().size(), 1);

    const QPointF p3Red(0.68, 0.32), p3Green(0.265, 0.69);
    scene.drawColorGamut(p3Red, p3Green, Blue, D65);
    EXPECT_EQ(scene.items().size(), 3);
    EXPECT_NE(scene.triangle(), firstTriangle);
    const QImage redrawn = Render(scene);
    EXPECT_TRUE(Dark(redrawn.pixelColor(Pixel((scene.chromaticityToScene(p3Red) + scene.chromaticityToScene(p3Green)) / 2))));
    EXPECT_FALSE(Dark(redrawn.pixelColor(Pixel((scene.chromaticityToScene(Red) + scene.chromaticityToScene(Green)) / 2))));
}

TEST_F(ColorGamutSceneTest, NewSceneHoldsItsItemsCollapsedAtTheOrigin)
{
    ColorGamutScene scene(Background);
    EXPECT_EQ(scene.items().size(), 3);
    EXPECT_EQ(scene.triangle()->polygon(), QPolygonF({QPointF(0, 0), QPointF(0, 0), QPointF(0, 0)}));
    EXPECT_EQ(scene.whitePointCircle()->rect(), QRectF());
    EXPECT_EQ(scene.triangle()->zValue(), 0);

    ColorGamutScene blind(QStringLiteral(":/images/no-such-picture.png"));
    blind.drawColorGamut(Red, Green, Blue, D65);
    EXPECT_EQ(blind.triangle()->polygon().at(0), blind.chromaticityToScene(Red));
    EXPECT_EQ(blind.chromaticityToScene({0, 0.9}), QPointF(20, 5));
    EXPECT_TRUE(blind.background()->boundingRect().isEmpty());
    Render(blind);
}

TEST_F(ColorGamutSceneTest, BackgroundIsDecodedWhenFirstPaintedWithTheSizeOfItsFile)
{
    ColorGamutScene scene(Background);
    EXPECT_FALSE(scene.background()->IsDecoded());
    EXPECT_EQ(scene.sceneRect(), QRectF(0, 0, 278, 302));
    EXPECT_EQ(scene.chromaticityToScene({0.8, 0.9}), QPointF(269, 5));
    scene.drawColorGamut(Red, Green, Blue, D65);
    EXPECT_FALSE(scene.background()->IsDecoded());

    const QImage painted = Render(scene);
    EXPECT_TRUE(scene.background()->IsDecoded());
    QImage file(Background);
    EXPECT_EQ(painted.pixelColor(200, 40), file.pixelColor(200, 40));
    EXPECT_EQ(painted.pixelColor(2, 2), file.pixelColor(2, 2));
}

}  // namespace
