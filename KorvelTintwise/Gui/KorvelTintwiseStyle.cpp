#include "Gui/KorvelTintwiseStyle.h"

#include "Gui/CreateIconFromPattern.h"
#include "Gui/TopSeparator.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOption>
#include <QToolButton>

#include <cmath>

namespace {

const QList<int> WindowIconSizes{16, 24, 32, 48, 1024};

// Sets one colour of a widget's palette (group All) unless it holds it already.
void SetPaletteColor(const QWidget* widget, QPalette::ColorRole role, const QColor& color)
{
    auto* target = const_cast<QWidget*>(widget);
    if (target->palette().color(QPalette::Active, role) == color &&
        target->palette().color(QPalette::Inactive, role) == color &&
        target->palette().color(QPalette::Disabled, role) == color) {
        return;
    }
    QPalette palette = target->palette();
    palette.setColor(QPalette::All, role, color);
    target->setPalette(palette);
}

bool IsOnOrSunken(const QStyleOption* option)
{
    return (option->state & QStyle::State_Enabled) &&
           (option->state & (QStyle::State_On | QStyle::State_Sunken));
}

}  // namespace

KorvelTintwiseStyle::KorvelTintwiseStyle(const QColor& backgroundColor, const QColor& textColor,
                                         const QColor& linkColor, const QColor& highlightTextColor,
                                         const QColor& dimTextColor, const QColor& applyButtonTextColor,
                                         const QColor& bottomSeparatorColor, const QColor& topSeparatorColor,
                                         const QColor& frameColor, int frameWidth, int menuFontSize,
                                         const QString& widgetImageDirectory, const QString& radioCheckedPicture,
                                         const QString& radioUncheckedPicture, const QString& checkMarkPicture,
                                         const QString& dropDownArrowPicture, const QString& windowIconPattern)
    : QProxyStyle(), backgroundColor(backgroundColor), textColor(textColor), linkColor(linkColor),
      highlightTextColor(highlightTextColor), dimTextColor(dimTextColor), applyButtonTextColor(applyButtonTextColor),
      bottomSeparatorColor(bottomSeparatorColor), topSeparatorColor(topSeparatorColor), frameColor(frameColor),
      frameWidth(frameWidth), menuFontSize(menuFontSize), widgetImageDirectory(widgetImageDirectory),
      radioCheckedPicture(radioCheckedPicture),
      radioUncheckedPicture(radioUncheckedPicture),
      checkMarkPicture(checkMarkPicture),
      dropDownArrowPicture(dropDownArrowPicture)
{
    QIcon windowIcon;
    CreateWindowIconFromPattern(windowIcon, windowIconPattern, WindowIconSizes, QIcon::Normal, QIcon::Off);
    QGuiApplication::setWindowIcon(windowIcon);
    setApplicationPalette();
}

KorvelTintwiseStyle::~KorvelTintwiseStyle() = default;

void KorvelTintwiseStyle::setApplicationPalette()
{
    QPalette palette;
    palette.setColor(QPalette::All, QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::All, QPalette::WindowText, textColor);
    palette.setColor(QPalette::All, QPalette::Text, textColor);
    palette.setColor(QPalette::All, QPalette::Base, backgroundColor);
    palette.setColor(QPalette::All, QPalette::Window, backgroundColor);
    palette.setColor(QPalette::All, QPalette::Button, backgroundColor);
    palette.setColor(QPalette::All, QPalette::Link, linkColor);
    QApplication::setPalette(palette);
}

void KorvelTintwiseStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (auto* comboBox = qobject_cast<QComboBox*>(widget)) {
        QPalette palette = comboBox->palette();
        palette.setColor(QPalette::All, QPalette::Text, highlightTextColor);
        comboBox->setPalette(palette);
    } else if (auto* menu = qobject_cast<QMenu*>(widget)) {
        QFont font = menu->font();
        font.setPointSize(menuFontSize);
        menu->setFont(font);
    }
}

float KorvelTintwiseStyle::ScreenDpiRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || !(screen->physicalDotsPerInchX() > 0)) {
        return 1.0f;
    }
    return float(screen->logicalDotsPerInchX()) / float(screen->physicalDotsPerInchX());
}

QRect KorvelTintwiseStyle::CheckBoxSquare(const QRect& indicator, float ratio)
{
    const int width = int(float(indicator.width()) * ratio);
    const int height = int(float(indicator.height()) * ratio);
    const int offset = int(std::lround((1.25 - double(ratio)) * 4.0));
    return QRect(indicator.left() + 1, indicator.top() + offset, height, width);
}

void KorvelTintwiseStyle::DrawCheckBox(const QStyleOption* option, QPainter* painter, float ratio) const
{
    const QRect square = CheckBoxSquare(option->rect, ratio);
    painter->save();
    painter->setPen(QPen(frameColor, frameWidth, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(square);
    if (IsOnOrSunken(option)) {
        const QPixmap mark = checkMarkPicture.Pixmap().scaled(square.height(), square.width(), Qt::KeepAspectRatio,
                                                     Qt::FastTransformation);
        painter->drawPixmap(square.topLeft(), mark);
    }
    painter->restore();
}

void KorvelTintwiseStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                        const QWidget* widget) const
{
    switch (element) {
    case PE_PanelButtonTool:
        return;
    case PE_IndicatorArrowDown: {
        const int right = widget != nullptr ? widget->width() : option->rect.right() + 1;
        painter->save();
        painter->drawPixmap(QPoint(right - dropDownArrowPicture.Size().width(), 0), dropDownArrowPicture.Pixmap());
        painter->restore();
        return;
    }
    case PE_IndicatorCheckBox:
        if (const auto* checkBox = qobject_cast<const QCheckBox*>(widget)) {
            SetPaletteColor(checkBox, QPalette::WindowText, checkBox->isChecked() ? highlightTextColor : dimTextColor);
        }
        DrawCheckBox(option, painter, ScreenDpiRatio());
        return;
    case PE_IndicatorRadioButton:
        if (const auto* radioButton = qobject_cast<const QRadioButton*>(widget)) {
            SetPaletteColor(radioButton, QPalette::WindowText,
                            radioButton->isChecked() ? highlightTextColor : dimTextColor);
        }
        painter->save();
        painter->drawPixmap(option->rect.topLeft(),
                            (IsOnOrSunken(option) ? radioCheckedPicture : radioUncheckedPicture).Pixmap());
        painter->restore();
        return;
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void KorvelTintwiseStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                      const QWidget* widget) const
{
    switch (element) {
    case CE_PushButtonBevel:
        if (qobject_cast<const QPushButton*>(widget) != nullptr) {
            DrawWidgetFrame(painter, widget, frameColor);
        }
        return;
    case CE_CheckBoxLabel:
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option)) {
            QStyleOptionButton label(*button);
            label.rect.setLeft(label.rect.left() + int(std::lround(ScreenDpiRatio() * 5.0)));
            QProxyStyle::drawControl(element, &label, painter, widget);
            return;
        }
        break;
    case CE_ToolButtonLabel:
        if (const auto* toolButton = qobject_cast<const QToolButton*>(widget)) {
            SetPaletteColor(toolButton, QPalette::ButtonText,
                            toolButton->isChecked() ? highlightTextColor : dimTextColor);
            QProxyStyle::drawControl(element, option, painter, widget);
        }
        return;
    case CE_ShapedFrame:
        if (widget != nullptr && qobject_cast<const TopSeparator*>(widget) != nullptr) {
            painter->save();
            painter->setPen(QPen(topSeparatorColor, 2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
            painter->drawLine(0, 0, widget->width(), 0);
            painter->restore();
        }
        return;
    default:
        break;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void KorvelTintwiseStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                             QPainter* painter, const QWidget* widget) const
{
    if (control != CC_ComboBox) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const auto* comboBox = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (comboBox == nullptr || comboBox->version < 1 || widget == nullptr) {
        return;
    }
    DrawWidgetFrame(painter, widget, frameColor);
    drawPrimitive(PE_IndicatorArrowDown, option, painter, widget);
}

void KorvelTintwiseStyle::DrawWidgetFrame(QPainter* painter, const QWidget* widget, const QColor& color) const
{
    if (widget == nullptr) {
        return;
    }
    painter->save();
    painter->setPen(QPen(color, 2 * frameWidth, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter->setBrush(Qt::NoBrush);
    const QPolygon polygon({QPoint(0, 0), QPoint(0, widget->height()), QPoint(widget->width(), widget->height()),
                            QPoint(widget->width(), 0)});
    painter->drawPolygon(polygon, Qt::OddEvenFill);
    painter->restore();
}
