// Quillon's application style and the screen measures its windows are sized by.
#pragma once

#include <QColor>
#include <QFont>
#include <QProxyStyle>
#include <QString>

class QPainter;
class QWidget;

// A proxy of the platform style with a dark palette: fonts of line edits, labels and push buttons
// scaled by the primary screen's DPI ratio, push buttons drawn as an outlined rectangle.
class QuillonStyle : public QProxyStyle {
    Q_OBJECT

public:
    QuillonStyle(const QColor& backgroundColor, const QColor& textColor, const QColor& accentColor,
                 const QColor& lineEditTextColor, const QColor& buttonBorderColor, int borderWidth,
                 const QString& windowIconPath);
    ~QuillonStyle() override = default;

    void polish(QWidget* widget) override;
    using QProxyStyle::polish;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

    void setApplicationPalette();
    // The widget's outline: a rectangle of its size, the pen twice the border width, round joins.
    void DrawButtonBorder(QPainter* painter, const QWidget* widget, const QColor& color) const;

private:
    void ScaleFont(QWidget* widget);

    QColor backgroundColor;
    QColor textColor;
    QColor accentColor;
    QColor lineEditTextColor;
    QColor buttonBorderColor;
    int borderWidth;
    QFont font;
};

class DarkStyle : public QuillonStyle {
    Q_OBJECT

public:
    DarkStyle();
};

// The screen under the widget's position, else the widget's own screen, else the primary one.
double GetWidgetDpiRatio(const QWidget* widget);      // physical / logical horizontal DPI
double GetVerticalScaleFactor(const QWidget* widget);    // screen height / 1080
double GetHorizontalScaleFactor(const QWidget* widget);  // screen width / 1920
double GetPrimaryScreenDpiRatio();                        // the first screen's DPI ratio
