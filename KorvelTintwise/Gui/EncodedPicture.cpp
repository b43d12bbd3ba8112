#include "Gui/EncodedPicture.h"

#include "Gui/CreateIconFromPattern.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

EncodedPicture::EncodedPicture(const QString& path) : format(PictureFormat(path))
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        encoded = file.readAll();
    }
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::ReadOnly);
    // The suffix's format alone: detection would load every image plugin.
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    size = reader.size();
    if (!size.isValid()) {
        buffer.seek(0);
        size = QImageReader(&buffer).size();
    }
}

const QPixmap& EncodedPicture::Pixmap() const
{
    if (!encoded.isEmpty()) {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::ReadOnly);
        pixmap = QPixmap::fromImage(ReadPicture(buffer, format));
        encoded = QByteArray();
    }
    return pixmap;
}
