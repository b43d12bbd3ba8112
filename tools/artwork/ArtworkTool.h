// Shared start of the artwork tools: a GUI application without a display, for fonts and painting.
#pragma once

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace ArtworkTool {

inline void UseOffscreenPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A build has no user session; Qt's remark about it is noise in the build output.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (!message.startsWith(QLatin1String("QStandardPaths:"))) {
            std::fprintf(stderr, "%s\n", qPrintable(message));
        }
        if (type == QtFatalMsg) {
            std::abort();
        }
    });
}

// Writes the image in the format its file suffix names (TIFF LZW-compressed); false with a message on failure.
inline bool Save(const QImage& image, const QString& path)
{
    QImageWriter writer(path);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("tif") || suffix == QLatin1String("tiff")) {
        writer.setCompression(1);
    }
    if (!writer.write(image)) {
        std::fprintf(stderr, "Cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

}  // namespace ArtworkTool
