// The tray program's look: a proxy style over the platform's default style with a dark palette,
// its own frames for push buttons, combo boxes and check boxes, and its own check-box,
// radio-button and drop-down pictures. DarkStyle gives it the program's colours and pictures.
#pragma once

#include "Gui/EncodedPicture.h"

#include <QColor>
#include <QPixmap>
#include <QProxyStyle>
#include <QString>

class KorvelTintwiseStyle : public QProxyStyle {
    Q_OBJECT

public:
    // Needs the application object: loads the pictures and sets the window icon and the palette.
    KorvelTintwiseStyle(const QColor& backgroundColor, const QColor& textColor, const QColor& linkColor,
                        const QColor& highlightTextColor, const QColor& dimTextColor, const QColor& applyButtonTextColor,
                        const QColor& bottomSeparatorColor, const QColor& topSeparatorColor, const QColor& frameColor,
                        int frameWidth, int menuFontSize, const QString& widgetImageDirectory,
                        const QString& radioCheckedPicture, const QString& radioUncheckedPicture,
                        const QString& checkMarkPicture, const QString& dropDownArrowPicture,
                        const QString& windowIconPattern);
    ~KorvelTintwiseStyle() override;

    void setApplicationPalette();

    using QProxyStyle::polish;
    void polish(QWidget* widget) override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

    // The primary screen's logical horizontal DPI over its physical one.
    static float ScreenDpiRatio();
    // The check box's square for an indicator rectangle at a DPI ratio.
    static QRect CheckBoxSquare(const QRect& indicator, float ratio);
    // Draws the check box square (and the check mark when the option is enabled and on or sunken).
    void DrawCheckBox(const QStyleOption* option, QPainter* painter, float ratio) const;

    const QColor& HighlightTextColor() const { return highlightTextColor; }

private:
    void DrawWidgetFrame(QPainter* painter, const QWidget* widget, const QColor& color) const;

    QColor backgroundColor;
    QColor textColor;
    QColor linkColor;
    QColor highlightTextColor;
    QColor dimTextColor;
    QColor applyButtonTextColor;
    QColor bottomSeparatorColor;
    QColor topSeparatorColor;
    QColor frameColor;
    int frameWidth;
    int menuFontSize;
    QString widgetImageDirectory;
    EncodedPicture radioCheckedPicture;
    EncodedPicture radioUncheckedPicture;
    EncodedPicture checkMarkPicture;
    EncodedPicture dropDownArrowPicture;
};
