#pragma once

#include "Common/Logging/Loggable.h"
#include "Common/Network/IArchiveDownloader.h"

#include <QList>
#include <QMap>
#include <QNetworkRequest>
#include <QSslError>

class QNetworkAccessManager;
class QNetworkReply;

namespace Korvel::DisplayCalibration::Common::Network {

// Two HTTPS requests: the first returns the archive's address as text (optionally in double quotes),
// the second fetches the archive from that https address. Its network manager is released with
// deleteLater: an owner that destroys it after the event loop has ended lets deferred deletes run
// (QCoreApplication::sendPostedEvents with QEvent::DeferredDelete) before the application goes.
class TwoPhaseArchiveDownloader : public IArchiveDownloader, public Logging::Loggable {
    Q_OBJECT

public:
    // No profile archive comes near this size: a larger reply (announced or received) is not read
    // further and ends the download as failed.
    static constexpr qint64 MaximumArchiveSize = qint64(64) << 20;
    // The same for the first reply, which holds no more than an address.
    static constexpr qint64 MaximumAddressSize = qint64(64) << 10;

    TwoPhaseArchiveDownloader();
    ~TwoPhaseArchiveDownloader() override;

    void DownloadArchive(const QUrl& url) override;

    // Adds a header to every request; a header of the same name is replaced.
    void AddRawHeader(const QString& name, const QString& value);
    // A request with the raw headers in ascending name order, TLS 1.2 or later over the default configuration.
    QNetworkRequest CreateRequest(const QUrl& url) const;
    // Logs `prefix` and the Base64 of `text` encrypted with the resource public key (one 512-byte RSA
    // message per 373 bytes of UTF-8), at ERROR. Never throws; the text itself is never logged in plain.
    void LogEncrypted(const QString& prefix, const QString& text);

public slots:
    void OnArchiveUrlReceived(QNetworkReply* reply);
    void OnArchiveReceived(QNetworkReply* reply);
    void onSslErrors(QNetworkReply* reply, const QList<QSslError>& errors);

private:
    // As soon as the reply's announced length or the bytes it has received pass `limit`, stops it and
    // ends the download with `reason`, logging the cause (encrypted) after `logPrefix`.
    void LimitSize(QNetworkReply* reply, qint64 limit, const QString& logPrefix, const QString& reason);
    // Detaches `replyManager` from this downloader, so that it reaches no handler after the download's outcome.
    void EndDownload(QNetworkAccessManager* replyManager);
    // Detaches the current manager and schedules its deletion: a handler of its own reply may still run.
    void ReleaseManager();
    static QString SupportText(bool fullStop);

    QNetworkAccessManager* manager = nullptr;
    QMap<QString, QString> rawHeaders;
};

}  // namespace Korvel::DisplayCalibration::Common::Network
