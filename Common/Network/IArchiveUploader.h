#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

namespace Korvel::DisplayCalibration::Common::Network {

// Sends a profile archive to the profile server under this computer's identity; every upload ends
// with exactly one of the two signals.
class IArchiveUploader : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~IArchiveUploader() override = default;

    // Starts one upload of the archive file at `archivePath` to `url`; a check that fails before
    // anything is sent reports at once.
    virtual void UploadArchive(const QUrl& url, const QString& archivePath) = 0;

public slots:
    virtual void OnResponseReceived(QNetworkReply* reply) = 0;

signals:
    void ArchiveUploadFinished(QByteArray reply);
    void ArchiveUploadFailed(QString reason);
};

class IArchiveUploaderFactory {
public:
    virtual ~IArchiveUploaderFactory() = default;
    // A new uploader without parent, owned by the caller.
    virtual IArchiveUploader* Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Network
