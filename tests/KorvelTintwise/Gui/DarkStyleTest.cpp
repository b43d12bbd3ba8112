// The dark application style: palette, menu font and the check box drawn at the screen's DPI ratio.
#include "Gui/DarkStyle.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

namespace {

const QColor Frame(158, 162, 162);

struct RatioCase {
    float ratio;
    QRect square;
};

// The indicator at (10, 10), 16 x 16: at ratio 1.0 the square keeps its size, one pixel right and
// one down; at 1.25 it is 125 % as large with no vertical offset.
const RatioCase RatioCases[] = {{1.0f, QRect(11, 11, 16, 16)}, {1.25f, QRect(11, 10, 20, 20)}};

QImage Draw(const DarkStyle& style, float ratio, QStyle::State state)
{
    QImage image(48, 48, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QStyleOptionButton option;
    option.rect = QRect(10, 10, 16, 16);
    option.state = state;
    style.DrawCheckBox(&option, &painter, ratio);
    painter.end();
    return image;
}

TEST(DarkStyleTest, CheckBoxSquareFollowsTheDpiRatio)
{
    GuiTestSupport::Application();
    const DarkStyle style;
    for (const RatioCase& ratioCase : RatioCases) {
        const QRect square = DarkStyle::CheckBoxSquare(QRect(10, 10, 16, 16), ratioCase.ratio);
        EXPECT_EQ(square, ratioCase.square) << ratioCase.ratio;
        const QImage off = Draw(style, ratioCase.ratio, QStyle::State_Enabled | QStyle::State_Off);
        const int middleY = square.top() + square.height() / 2;
        const int middleX = square.left() + square.width() / 2;
        // The frame on all four sides, nothing outside it.
        for (const QPoint& edge : {QPoint(square.left(), middleY), QPoint(square.left() + square.width(), middleY),
                                   QPoint(middleX, square.top()), QPoint(middleX, square.top() + square.height())}) {
            EXPECT_TRUE(GuiTestSupport::Near(off.pixelColor(edge), Frame)) << ratioCase.ratio << " " << edge.x() << ","
                                                                            << edge.y();
        }
        EXPECT_EQ(off.pixelColor(square.left() + square.width() + 3, middleY).alpha(), 0) << ratioCase.ratio;
        EXPECT_EQ(off.pixelColor(middleX, square.top() + square.height() + 3).alpha(), 0) << ratioCase.ratio;

        // The check mark only for an enabled box that is on (or being pressed).
        const QImage on = Draw(style, ratioCase.ratio, QStyle::State_Enabled | QStyle::State_On);
        const QImage pressed = Draw(style, ratioCase.ratio, QStyle::State_Enabled | QStyle::State_Sunken);
        const QImage disabledOn = Draw(style, ratioCase.ratio, QStyle::State_On);
        EXPECT_NE(on, off);
        EXPECT_EQ(pressed, on);
        EXPECT_EQ(disabledOn, off);
    }
}

TEST(DarkStyleTest, PaletteMenusAndComboBoxes)
{
    GuiTestSupport::Application();
    const QPalette previous = QApplication::palette();
    auto* style = new DarkStyle;
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor(37, 40, 42));
    EXPECT_EQ(QApplication::palette().color(QPalette::WindowText), QColor(138, 142, 142));
    EXPECT_EQ(QApplication::palette().color(QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(QApplication::palette().color(QPalette::Link), QColor(114, 116, 117));
    // The window icon draws the 1024-pixel logo for whoever asks, but lists (and so hands every X11
    // window) only the sizes up to 256.
    const QIcon icon = QApplication::windowIcon();
    EXPECT_EQ(icon.pixmap(QSize(1024, 1024)).size(), QSize(1024, 1024));
    EXPECT_EQ(icon.pixmap(QSize(600, 600)).size(), QSize(600, 600));
    EXPECT_EQ(icon.availableSizes(), (QList<QSize>{{16, 16}, {24, 24}, {32, 32}, {48, 48}}));
    QMenu menu;
    QComboBox comboBox;
    style->polish(&menu);
    style->polish(&comboBox);
    EXPECT_EQ(menu.font().pointSize(), 12);
    EXPECT_EQ(comboBox.palette().color(QPalette::Text), QColor(243, 243, 243));
    delete style;
    QApplication::setPalette(previous);
}

}  // namespace
