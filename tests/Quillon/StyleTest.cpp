// The dark style and the screen measures on the test application's two screens (QuillonFixtures.h).
#include "Quillon/Gui/QuillonStyle.h"
#include "tests/Quillon/QuillonFixtures.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyleOptionButton>

#include <gtest/gtest.h>

#include <set>

namespace {

class StyleTest : public testing::Test {
protected:
    void SetUp() override { QuillonTest::Application(); }
};

TEST_F(StyleTest, PaletteIsDarkWithLightLineEdits)
{
    const QPalette palette = QApplication::palette();
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::ButtonText), QColor(Qt::white));
    EXPECT_EQ(palette.color(QPalette::Inactive, QPalette::WindowText), QColor(138, 142, 142));
    EXPECT_EQ(palette.color(QPalette::Disabled, QPalette::Text), QColor(138, 142, 142));
    for (const auto role : {QPalette::Base, QPalette::Window, QPalette::Button}) {
        EXPECT_EQ(palette.color(QPalette::Active, role), QColor(37, 40, 42)) << role;
    }
    EXPECT_EQ(palette.color(QPalette::Active, QPalette::Link), QColor(114, 116, 117));
    EXPECT_TRUE(QApplication::windowIcon().pixmap(32).isNull()) << "the logo resource is not Quillon's";

    QLineEdit edit;
    edit.ensurePolished();
    EXPECT_EQ(edit.palette().color(QPalette::Active, QPalette::Text), QColor(243, 243, 243));
    EXPECT_EQ(edit.palette().color(QPalette::Active, QPalette::Base), QColor(114, 116, 117));
}

// The primary screen's physical DPI is twice its logical DPI.
TEST_F(StyleTest, FontsOfLabelsButtonsAndLineEditsScaleByThePrimaryDpiRatio)
{
    EXPECT_DOUBLE_EQ(GetPrimaryScreenDpiRatio(), 2.0);
    QLabel label;
    QPushButton button;
    QLineEdit edit;
    QCheckBox box;
    for (QWidget* widget : std::initializer_list<QWidget*>{&label, &button, &edit, &box}) {
        QFont font = widget->font();
        font.setPointSize(12);
        widget->setFont(font);
        widget->ensurePolished();
    }
    EXPECT_EQ(label.font().pointSize(), 24);
    EXPECT_EQ(button.font().pointSize(), 24);
    EXPECT_EQ(edit.font().pointSize(), 24);
    EXPECT_EQ(box.font().pointSize(), 12);

    QLabel pixelSized;
    QFont font = pixelSized.font();
    font.setPixelSize(20);
    pixelSized.setFont(font);
    pixelSized.ensurePolished();
    EXPECT_EQ(pixelSized.font().pixelSize(), 20);
}

// A push button shows its 4-pixel outline and label only, no bevel; other widgets get no bevel at all.
TEST_F(StyleTest, PushButtonIsAnOutlinedRectangle)
{
    QPushButton button;
    button.resize(120, 40);
    const QImage image = button.grab().toImage();
    const QColor border(158, 162, 162);
    for (const QPoint point : {QPoint(0, 20), QPoint(1, 20), QPoint(60, 0), QPoint(60, 39), QPoint(119, 20)}) {
        EXPECT_EQ(image.pixelColor(point), border) << point.x() << "," << point.y();
    }
    std::set<QRgb> inside;
    for (int x = 3; x < 117; ++x) {
        inside.insert(image.pixel(x, 4));
    }
    EXPECT_EQ(inside, std::set<QRgb>{QColor(37, 40, 42).rgb()});

    QImage canvas(50, 20, QImage::Format_RGB32);
    canvas.fill(Qt::red);
    QLabel other;
    QStyleOptionButton option;
    option.initFrom(&other);
    option.rect = canvas.rect();
    QPainter painter(&canvas);
    QApplication::style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &other);
    painter.end();
    EXPECT_EQ(canvas.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(canvas.pixelColor(25, 10), QColor(Qt::red));
}

TEST_F(StyleTest, ScreenMeasuresComeFromTheScreenUnderTheWidget)
{
    QWidget widget;
    const struct {
        QPoint position;
        double ratio;
        double scale;
    } cases[] = {
        {{0, 0}, 2.0, 1.0},
        {{1919, 1079}, 2.0, 1.0},
        {{1920, 0}, 1.0, 2.0},
        {{5000, 2000}, 1.0, 2.0},
        // No screen there: the widget's own screen, the primary one.
        {{-3000, -3000}, 2.0, 1.0},
    };
    for (const auto& c : cases) {
        widget.move(c.position);
        EXPECT_DOUBLE_EQ(GetWidgetDpiRatio(&widget), c.ratio) << c.position.x();
        EXPECT_DOUBLE_EQ(GetHorizontalScaleFactor(&widget), c.scale) << c.position.x();
        EXPECT_DOUBLE_EQ(GetVerticalScaleFactor(&widget), c.scale) << c.position.x();
    }
}

}  // namespace
