#include "Gui/CreateIconFromPattern.h"

#include "Common/Application/Constants.h"

#include <QApplication>
#include <QFileInfo>
#include <QIconEngine>
#include <QImageReader>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

#include <array>
#include <utility>

namespace {

// Pixmaps up to this many pixels are kept in the pixmap cache; larger ones (the 1024-pixel logo)
// are decoded again whenever they are asked for.
constexpr qint64 CachedPixels = 256 * 256;

// The largest side of a picture set on windows: on X11 a window's icon property holds every listed
// size, and every window (tooltips and balloons too) gets one.
constexpr int WindowIconSide = 256;

// An icon of picture files that decodes a file only when a pixmap of it is asked for. It picks a
// file as QIcon's own file engine does: the smallest at least as large as the request, else the
// largest; other modes and states in the same order; a mode it has no file for is drawn by the style.
class PictureFileIconEngine : public QIconEngine {
public:
    PictureFileIconEngine() = default;
    PictureFileIconEngine(const PictureFileIconEngine&) = default;

    void addFile(const QString& fileName, const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QImageReader reader(fileName, PictureFormat(fileName));
        reader.setAutoDetectImageFormat(false);
        if (!reader.canRead() && QImageReader(fileName).format().isEmpty()) {
            return;  // missing, or not a picture
        }
        entries.append({fileName, size.isValid() ? size : reader.size(), mode, state, QPixmap()});
    }

    void addPixmap(const QPixmap& pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        if (!pixmap.isNull()) {
            entries.append({QString(), pixmap.size(), mode, state, pixmap});
        }
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const Entry* entry = BestMatch(size, mode, state);
        if (entry == nullptr || entry->size.isEmpty()) {
            return {};
        }
        QSize actual = entry->size;
        if (actual.width() > size.width() || actual.height() > size.height()) {
            actual.scale(size, Qt::KeepAspectRatio);
        }
        return actual;
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const Entry* entry = BestMatch(size, mode, state);
        if (entry == nullptr) {
            return {};
        }
        const QSize actual = actualSize(size, mode, state);
        const bool generated = entry->mode != mode && mode != QIcon::Normal;
        // The file name last: it may hold anything.
        const QString key = QStringLiteral("korvel-icon:%1x%2:%3:%4:%5:%6:")
                                .arg(actual.width())
                                .arg(actual.height())
                                .arg(int(entry->mode))
                                .arg(generated ? int(mode) : -1)
                                .arg(entry->pixmap.cacheKey())
                                .arg(QGuiApplication::palette().cacheKey()) +
                            entry->fileName;
        QPixmap result;
        if (QPixmapCache::find(key, &result)) {
            return result;
        }
        if (!entry->pixmap.isNull()) {
            result = entry->pixmap;
        } else {
            // Not QPixmap's own loading, which would keep every file in the pixmap cache.
            result = QPixmap::fromImage(ReadPicture(entry->fileName));
        }
        if (result.isNull()) {
            return result;
        }
        if (result.size() != actual) {
            result = result.scaled(actual, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
        if (generated) {
            QStyleOption option(0);
            option.palette = QGuiApplication::palette();
            const QPixmap styled = QApplication::style()->generatedIconPixmap(mode, result, &option);
            if (!styled.isNull()) {
                result = styled;
            }
        }
        if (qint64(result.width()) * result.height() <= CachedPixels) {
            QPixmapCache::insert(key, result);
        }
        return result;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPaintDevice* device = painter->device();
        const qreal ratio = device != nullptr ? device->devicePixelRatio() : qApp->devicePixelRatio();
        QPixmap picture = pixmap(rect.size() * ratio, mode, state);
        picture.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, picture);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        QList<QSize> sizes;
        for (const Entry& entry : std::as_const(entries)) {
            if (entry.mode == mode && entry.state == state && !entry.size.isEmpty() &&
                (!listsOnlyWindowSizes || (entry.size.width() <= WindowIconSide && entry.size.height() <= WindowIconSide))) {
                sizes.append(entry.size);
            }
        }
        return sizes;
    }

    bool isNull() override { return entries.isEmpty(); }

    // From now on only the sizes a window takes are listed (see CreateWindowIconFromPattern); a
    // pixmap of any size is still drawn from the best file.
    void ListOnlyWindowSizes() { listsOnlyWindowSizes = true; }

    QString key() const override { return QStringLiteral("PictureFileIconEngine"); }
    QIconEngine* clone() const override { return new PictureFileIconEngine(*this); }

private:
    struct Entry {
        QString fileName;  // empty for an added pixmap
        QSize size;
        QIcon::Mode mode;
        QIcon::State state;
        QPixmap pixmap;  // only for an added pixmap
    };

    const Entry* Match(const QSize& size, QIcon::Mode mode, QIcon::State state) const
    {
        const qint64 wanted = qint64(size.width()) * size.height();
        const Entry* best = nullptr;
        qint64 bestArea = 0;
        for (const Entry& entry : entries) {
            if (entry.mode != mode || entry.state != state) {
                continue;
            }
            const qint64 area = qint64(entry.size.width()) * entry.size.height();
            const bool better = best == nullptr || (bestArea < wanted ? area > bestArea : area >= wanted && area < bestArea);
            if (better) {
                best = &entry;
                bestArea = area;
            }
        }
        return best;
    }

    const Entry* BestMatch(const QSize& size, QIcon::Mode mode, QIcon::State state) const
    {
        const QIcon::State opposite = state == QIcon::On ? QIcon::Off : QIcon::On;
        std::array<std::pair<QIcon::Mode, QIcon::State>, 8> order;
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            const QIcon::Mode other = mode == QIcon::Disabled ? QIcon::Selected : QIcon::Disabled;
            order = {{{mode, state}, {QIcon::Normal, state}, {QIcon::Active, state}, {mode, opposite},
                      {QIcon::Normal, opposite}, {QIcon::Active, opposite}, {other, state}, {other, opposite}}};
        } else {
            const QIcon::Mode other = mode == QIcon::Normal ? QIcon::Active : QIcon::Normal;
            order = {{{mode, state}, {other, state}, {mode, opposite}, {other, opposite}, {QIcon::Disabled, state},
                      {QIcon::Selected, state}, {QIcon::Disabled, opposite}, {QIcon::Selected, opposite}}};
        }
        for (const auto& [tryMode, tryState] : order) {
            if (const Entry* entry = Match(size, tryMode, tryState)) {
                return entry;
            }
        }
        return nullptr;
    }

    QList<Entry> entries;
    bool listsOnlyWindowSizes = false;
};

}  // namespace

QByteArray PictureFormat(const QString& path)
{
    return QFileInfo(path).suffix().toLower().toLatin1();
}

QImage ReadPicture(const QString& path)
{
    QImageReader reader(path, PictureFormat(path));
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    return image.isNull() ? QImageReader(path).read() : image;
}

QImage ReadPicture(QIODevice& device, const QByteArray& format)
{
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (!image.isNull() || !device.seek(0)) {
        return image;
    }
    return QImageReader(&device).read();
}

namespace {

void FillIcon(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode, QIcon::State state,
              bool windowIcon)
{
    // QIcon lets go of an engine without pictures, so a new icon's engine is filled before it is set.
    auto* engine = icon.isNull() ? new PictureFileIconEngine : nullptr;
    for (const int size : sizes) {
        const QString path =
            QString(pattern).replace(Korvel::DisplayCalibration::Common::DimensionPlaceholder, QString::number(size));
        if (engine != nullptr) {
            engine->addFile(path, QSize(size, size), mode, state);
        } else {
            icon.addFile(path, QSize(size, size), mode, state);
        }
    }
    if (engine != nullptr && !engine->isNull()) {
        if (windowIcon) {
            engine->ListOnlyWindowSizes();
        }
        icon = QIcon(engine);
    } else {
        delete engine;
    }
}

}  // namespace

void CreateIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                           QIcon::State state)
{
    FillIcon(icon, pattern, sizes, mode, state, false);
}

QIcon CreatePictureIcon(const QString& path)
{
    auto* engine = new PictureFileIconEngine;
    engine->addFile(path, QSize(), QIcon::Normal, QIcon::Off);
    if (engine->isNull()) {
        delete engine;
        return QIcon();
    }
    return QIcon(engine);
}

void CreateWindowIconFromPattern(QIcon& icon, const QString& pattern, const QList<int>& sizes, QIcon::Mode mode,
                                 QIcon::State state)
{
    FillIcon(icon, pattern, sizes, mode, state, true);
}
