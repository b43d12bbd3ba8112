// A picture file read whole when made and decoded only when first drawn: until then it holds the
// file's encoded bytes (a few KiB for the style's and the diagram's pictures, against 4 bytes a
// pixel decoded) and the size its header gives.
#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QSize>
#include <QString>

class EncodedPicture {
public:
    EncodedPicture() = default;
    // Reads the file; a missing or unreadable file gives a null picture of size (-1, -1).
    explicit EncodedPicture(const QString& path);

    QSize Size() const { return size; }
    // The decoded picture (GUI thread only); decoded on the first call and kept.
    const QPixmap& Pixmap() const;
    bool IsDecoded() const { return encoded.isEmpty(); }

private:
    mutable QByteArray encoded;
    QByteArray format;
    QSize size;
    mutable QPixmap pixmap;
};
