// Shared pieces of the tray program's widget tests (offscreen platform).
#pragma once

#include "tests/fixtures/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRect>
#include <QTemporaryDir>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace GuiTestSupport {

// Screens of the offscreen platform, named as Windows names displays.
inline const QRect FirstScreen(0, 0, 1920, 1080);
inline const QRect SecondScreen(1920, 0, 2560, 1440);

// The application object of the test process, made on first use, on two offscreen screens
// "\\.\DISPLAY1" (FirstScreen) and "\\.\DISPLAY2" (SecondScreen).
inline QApplication& Application()
{
    static QApplication* application = [] {
        static QTemporaryDir directory;
        const QString config = directory.filePath(QStringLiteral("screens.json"));
        QJsonArray screens;
        int index = 1;
        for (const QRect& area : {FirstScreen, SecondScreen}) {
            screens.append(QJsonObject {{"name", QStringLiteral("\\\\.\\DISPLAY%1").arg(index++)},
                                        {"x", area.x()},
                                        {"y", area.y()},
                                        {"width", area.width()},
                                        {"height", area.height()},
                                        {"logicalDpi", 96},
                                        {"logicalBaseDpi", 96},
                                        {"dpr", 1.0}});
        }
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(QJsonDocument(QJsonObject {{"screens", screens}}).toJson());
        }
        file.close();
        if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
        }
        static int argc = 1;
        static char name[] = "KorvelTintwise";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
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

// While the result lives: once a window of type T runs modally, hands it to `inspect` and closes it.
template <typename T>
[[nodiscard]] std::unique_ptr<QTimer> OnNextModal(std::function<void(T*)> inspect)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QTimer* watch = timer.get();
    QObject::connect(watch, &QTimer::timeout, [watch, inspect] {
        // Not yet in the window's own event loop.
        if (QThread::currentThread()->loopLevel() == 0) {
            return;
        }
        watch->stop();
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<T*>(widget); window != nullptr && window->isVisible()) {
                inspect(window);
                window->done(0);
                return;
            }
        }
        ADD_FAILURE() << "no window of the expected type";
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
                dialog->done(0);
            }
        }
    });
    timer->start();
    return timer;
}

}  // namespace GuiTestSupport
