#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

namespace Korvel::DisplayCalibration::Common::Network {

// Fetches a display's signed profile archive; every download ends with exactly one of the two signals.
class IArchiveDownloader : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IArchiveDownloader() override = default;

    // Starts a download of the archive that `url` leads to; returns at once.
    virtual void DownloadArchive(const QUrl& url) = 0;

signals:
    void ArchiveDownloadFinished(QByteArray archiveByteArray);
    void ArchiveDownloadFailed(QString reason);
};

}  // namespace Korvel::DisplayCalibration::Common::Network
