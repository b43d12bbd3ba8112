// Shared pieces of the tray program's widget tests (offscreen platform).
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>

namespace GuiTestSupport {

// The application object of the test process, made on first use.
inline QApplication& Application()
{
    static int argc = 1;
    static char name[] = "KorvelTintwiseTests";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return *application;
}

// The widget as it paints itself, at its current size.
inline QImage Render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image);
    return image;
}

// Whether two colours differ by at most `tolerance` in every channel.
inline bool Near(const QColor& a, const QColor& b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace GuiTestSupport
