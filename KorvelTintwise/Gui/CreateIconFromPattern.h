#pragma once

#include <QIcon>
#include <QIODevice>
#include <QImage>
#include <QList>
#include <QString>

// Adds to `icon` one file per size: the pattern with every "$dimension$" replaced by the size, at
// size x size in the given mode and state.
void CreateIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                           QIcon::State state);

// As CreateIconFromPattern, for the application's window icon: it gives a pixmap of any size from
// its files as that icon does, but lists only the sizes up to 256 x 256. On X11 every window made
// (tooltips and notification balloons too) gets a copy of each listed size in its icon property.
void CreateWindowIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                                 QIcon::State state);

// An icon of one picture file at its own size, decoded only when a pixmap of it is asked for (and
// kept in the pixmap cache only up to 256 x 256).
QIcon CreatePictureIcon(const QString& path);

// The picture in a file, read in the format its suffix names without first loading every image
// plugin (as Qt does before it reads a format of its own, such as PNG); a file whose suffix does not
// describe it is read as QImageReader reads it. The icons above read their files this way.
QImage ReadPicture(const QString& path);
// The same over an open device holding a picture file's bytes, with the format its name's suffix gives.
QImage ReadPicture(QIODevice& device, const QByteArray& format);
// The format a picture file's suffix names ("png" for "x.PNG").
QByteArray PictureFormat(const QString& path);
