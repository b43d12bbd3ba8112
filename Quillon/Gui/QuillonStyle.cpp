#include "Quillon/Gui/QuillonStyle.h"

#include "Quillon/Constants.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPolygon>
#include <QPushButton>
#include <QScreen>

namespace {

QScreen* ScreenOf(const QWidget* widget)
{
    if (widget != nullptr) {
        if (QScreen* screen = QGuiApplication::screenAt(widget->pos())) {
            return screen;
        }
        if (QScreen* screen = widget->screen()) {
            return screen;
        }
    }
    return QGuiApplication::primaryScreen();
}

double DpiRatio(const QScreen* screen)
{
    return screen != nullptr ? screen->physicalDotsPerInchX() / screen->logicalDotsPerInchX() : 1.0;
}

}  // namespace

QuillonStyle::QuillonStyle(const QColor& backgroundColor, const QColor& textColor, const QColor& accentColor,
                           const QColor& lineEditTextColor, const QColor& buttonBorderColor, int borderWidth,
                           const QString& windowIconPath)
    : QProxyStyle(nullptr), backgroundColor(backgroundColor), textColor(textColor), accentColor(accentColor),
      lineEditTextColor(lineEditTextColor), buttonBorderColor(buttonBorderColor), borderWidth(borderWidth)
{
    QGuiApplication::setWindowIcon(QIcon(windowIconPath));
    setApplicationPalette();
}

void QuillonStyle::setApplicationPalette()
{
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::ButtonText, QBrush(Qt::white));
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(textColor));
    palette.setBrush(QPalette::All, QPalette::Text, QBrush(textColor));
    palette.setBrush(QPalette::All, QPalette::Base, QBrush(backgroundColor));
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(backgroundColor));
    palette.setBrush(QPalette::All, QPalette::Button, QBrush(backgroundColor));
    palette.setBrush(QPalette::All, QPalette::Link, QBrush(accentColor));
    QApplication::setPalette(palette);
}

void QuillonStyle::ScaleFont(QWidget* widget)
{
    font = widget->font();
    // A font sized in pixels has no point size to scale.
    if (font.pointSize() > 0) {
        font.setPointSize(int(font.pointSize() * GetPrimaryScreenDpiRatio()));
        widget->setFont(font);
    }
}

void QuillonStyle::polish(QWidget* widget)
{
    QProxyStyle::polish(widget);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        ScaleFont(edit);
        QPalette palette = edit->palette();
        palette.setBrush(QPalette::All, QPalette::Text, QBrush(lineEditTextColor));
        palette.setBrush(QPalette::All, QPalette::Base, QBrush(accentColor));
        edit->setPalette(palette);
    }
    if (qobject_cast<QLabel*>(widget) != nullptr) {
        ScaleFont(widget);
    }
    if (qobject_cast<QPushButton*>(widget) != nullptr) {
        ScaleFont(widget);
    }
}

void QuillonStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (element == CE_PushButtonBevel) {
        if (qobject_cast<const QPushButton*>(widget) != nullptr) {
            DrawButtonBorder(painter, widget, buttonBorderColor);
        }
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void QuillonStyle::DrawButtonBorder(QPainter* painter, const QWidget* widget, const QColor& color) const
{
    painter->save();
    const QPolygon outline({QPoint(0, 0), QPoint(0, widget->height()), QPoint(widget->width(), widget->height()),
                            QPoint(widget->width(), 0)});
    painter->setPen(QPen(QBrush(color), 2 * borderWidth, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    painter->drawPolygon(outline, Qt::OddEvenFill);
    painter->restore();
}

DarkStyle::DarkStyle()
    : QuillonStyle(QColor(37, 40, 42), QColor(138, 142, 142), QColor(114, 116, 117), QColor(243, 243, 243),
                   QColor(158, 162, 162), 2, WindowIconPath)
{
}

double GetWidgetDpiRatio(const QWidget* widget)
{
    return DpiRatio(ScreenOf(widget));
}

double GetVerticalScaleFactor(const QWidget* widget)
{
    const QScreen* screen = ScreenOf(widget);
    return screen != nullptr ? screen->geometry().height() / 1080.0 : 1.0;
}

double GetHorizontalScaleFactor(const QWidget* widget)
{
    const QScreen* screen = ScreenOf(widget);
    return screen != nullptr ? screen->geometry().width() / 1920.0 : 1.0;
}

double GetPrimaryScreenDpiRatio()
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return DpiRatio(screens.isEmpty() ? nullptr : screens.first());
}
