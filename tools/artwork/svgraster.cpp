// svgraster [--color COLOR] INPUT.svg WIDTHxHEIGHT:OUTPUT...
// Draws the SVG scaled to each size (transparent ground) and writes it in the format of the output's
// suffix. --color replaces every "currentColor" of the SVG text, so one drawing serves several states.
#include "ArtworkTool.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

int main(int argc, char* argv[])
{
    ArtworkTool::UseOffscreenPlatform();
    QGuiApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    QString color;
    if (arguments.size() >= 2 && arguments.first() == QLatin1String("--color")) {
        color = arguments.at(1);
        arguments = arguments.mid(2);
    }
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: svgraster [--color COLOR] INPUT.svg WIDTHxHEIGHT:OUTPUT...\n");
        return 2;
    }

    QFile input(arguments.takeFirst());
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "Cannot read %s\n", qPrintable(input.fileName()));
        return 1;
    }
    QByteArray svg = input.readAll();
    if (!color.isEmpty()) {
        svg.replace("currentColor", color.toLatin1());
    }
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "Not a valid SVG: %s\n", qPrintable(input.fileName()));
        return 1;
    }

    static const QRegularExpression target(QStringLiteral("^(\\d+)x(\\d+):(.+)$"));
    for (const QString& argument : arguments) {
        const auto match = target.match(argument);
        if (!match.hasMatch()) {
            std::fprintf(stderr, "Expected WIDTHxHEIGHT:OUTPUT, got %s\n", qPrintable(argument));
            return 2;
        }
        QImage image(match.captured(1).toInt(), match.captured(2).toInt(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(image.rect()));
        painter.end();
        if (!ArtworkTool::Save(image.convertToFormat(QImage::Format_ARGB32), match.captured(3))) {
            return 1;
        }
    }
    return 0;
}
