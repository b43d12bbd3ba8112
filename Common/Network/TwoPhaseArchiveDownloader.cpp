#include "Common/Network/TwoPhaseArchiveDownloader.h"

#include "Common/Application/Constants.h"
#include "Common/Security/EncrypterFactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Common::Network {

TwoPhaseArchiveDownloader::TwoPhaseArchiveDownloader() : Loggable("TwoPhaseArchiveDownloader") {}

TwoPhaseArchiveDownloader::~TwoPhaseArchiveDownloader()
{
    ReleaseManager();
}

void TwoPhaseArchiveDownloader::ReleaseManager()
{
    if (manager == nullptr) {
        return;
    }
    manager->disconnect(this);
    // A handler of this manager's reply may be running: delete it later.
    if (QCoreApplication::instance() != nullptr) {
        manager->deleteLater();
    } else {
        delete manager;
    }
    manager = nullptr;
}

void TwoPhaseArchiveDownloader::AddRawHeader(const QString& name, const QString& value)
{
    rawHeaders.insert(name, value);
}

QNetworkRequest TwoPhaseArchiveDownloader::CreateRequest(const QUrl& url) const
{
    QNetworkRequest request(url);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    request.setSslConfiguration(configuration);
    for (auto header = rawHeaders.cbegin(); header != rawHeaders.cend(); ++header) {
        request.setRawHeader(header.key().toUtf8(), header.value().toUtf8());
    }
    return request;
}

void TwoPhaseArchiveDownloader::DownloadArchive(const QUrl& url)
{
    ReleaseManager();
    manager = new QNetworkAccessManager();
    connect(manager, &QNetworkAccessManager::sslErrors, this, &TwoPhaseArchiveDownloader::onSslErrors);
    connect(manager, &QNetworkAccessManager::finished, this, &TwoPhaseArchiveDownloader::OnArchiveUrlReceived);
    manager->clearConnectionCache();
    LimitSize(manager->get(CreateRequest(url)), MaximumAddressSize, QStringLiteral("On archive URL received reply: "),
              tr("Failed to obtain profile archive URL."));
}

void TwoPhaseArchiveDownloader::LimitSize(QNetworkReply* reply, qint64 limit, const QString& logPrefix,
                                          const QString& reason)
{
    const auto check = [this, reply, limit, logPrefix, reason](qint64 received) {
        const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
        if (std::max(received, reply->bytesAvailable()) <= limit &&
            (!announced.isValid() || announced.toLongLong() <= limit)) {
            return;
        }
        reply->disconnect(this);
        EndDownload(reply->manager());
        reply->abort();
        reply->deleteLater();
        LogEncrypted(logPrefix, QStringLiteral("Reply larger than %1 bytes").arg(limit));
        emit ArchiveDownloadFailed(reason);
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [check] { check(0); });
    connect(reply, &QNetworkReply::downloadProgress, this, [check](qint64 received, qint64) { check(received); });
}

void TwoPhaseArchiveDownloader::EndDownload(QNetworkAccessManager* replyManager)
{
    if (replyManager != nullptr) {
        replyManager->disconnect(this);
    }
}

void TwoPhaseArchiveDownloader::OnArchiveUrlReceived(QNetworkReply* reply)
{
    QNetworkAccessManager* replyManager = reply->manager();
    if (reply->error() != QNetworkReply::NoError) {
        LogEncrypted(QStringLiteral("On archive URL received reply: "), reply->errorString());
        reply->deleteLater();
        EndDownload(replyManager);
        emit ArchiveDownloadFailed(tr("Failed to obtain profile archive URL."));
        return;
    }
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    disconnect(replyManager, &QNetworkAccessManager::finished, this, &TwoPhaseArchiveDownloader::OnArchiveUrlReceived);

    QString text = QString::fromUtf8(body);
    if (!text.isEmpty() && text.endsWith(QChar(u'"')) && text.startsWith(QChar(u'"'))) {
        text.chop(1);
        text.remove(0, 1);
    }
    const QUrl archiveUrl(text, QUrl::TolerantMode);
    // Only an absolute https address keeps the archive's transfer authenticated.
    if (!archiveUrl.isValid() || archiveUrl.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0 ||
        archiveUrl.host().isEmpty()) {
        EndDownload(replyManager);
        emit ArchiveDownloadFailed(tr("Failed to restore the ICC profiles customized for your display. Obtained "
                                      "profile archive URL is not valid."));
        return;
    }
    connect(replyManager, &QNetworkAccessManager::finished, this, &TwoPhaseArchiveDownloader::OnArchiveReceived);
    LimitSize(replyManager->get(CreateRequest(archiveUrl)), MaximumArchiveSize,
              QStringLiteral("On archive received reply: "), SupportText(false));
}

void TwoPhaseArchiveDownloader::OnArchiveReceived(QNetworkReply* reply)
{
    QNetworkAccessManager* replyManager = reply->manager();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    EndDownload(replyManager);
    if (body.isEmpty()) {
        emit ArchiveDownloadFailed(SupportText(true));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        LogEncrypted(QStringLiteral("On archive received reply: "), reply->errorString());
        emit ArchiveDownloadFailed(SupportText(false));
        return;
    }
    emit ArchiveDownloadFinished(body);
}

void TwoPhaseArchiveDownloader::onSslErrors(QNetworkReply* reply, const QList<QSslError>& errors)
{
    QString details =
        tr("Failed to restore the ICC profiles customized for your display because of SSL errors.");
    for (const QSslError& error : errors) {
        details += " " + error.errorString() + ".";
    }
    LogEncrypted(QStringLiteral("On SSL errors reply: "), details);
    reply->deleteLater();
    // The aborted reply still finishes; it must not report a second outcome.
    EndDownload(reply->manager());
    emit ArchiveDownloadFailed(SupportText(false));
}

QString TwoPhaseArchiveDownloader::SupportText(bool fullStop)
{
    return (fullStop ? tr("Failed to restore the ICC profiles customized for your display. Please contact support "
                          "at %1.")
                     : tr("Failed to restore the ICC profiles customized for your display. Please contact support "
                          "at %1"))
        .arg(SupportPageLink());
}

void TwoPhaseArchiveDownloader::LogEncrypted(const QString& prefix, const QString& text)
{
    if (!IsEnabledFor(Logging::ErrorLevel)) {
        return;
    }
    std::string line = prefix.toStdString();
    try {
        QFile key(QStringLiteral(":/digitalsignature/public_key"));
        if (!key.open(QIODevice::ReadOnly)) {
            throw std::runtime_error("public key resource not readable");
        }
        const auto encrypter = Security::EncrypterFactory().CreateEncrypter(key.readAll(), false);
        // One RSA message holds at most 373 bytes (128 in its first block, 245 in its second): longer
        // texts go in several messages, joined before the Base64 encoding.
        constexpr qsizetype PieceSize = 373;
        const QByteArray plain = text.toUtf8();
        QByteArray cipher;
        qsizetype offset = 0;
        do {
            cipher += encrypter->EncryptWithPublicKey(plain.mid(offset, PieceSize));
            offset += PieceSize;
        } while (offset < plain.size());
        line += cipher.toBase64().toStdString();
    } catch (const std::exception& error) {
        line += std::string("(text not logged: ") + error.what() + ")";
    } catch (...) {
        line += "(text not logged)";
    }
    LogPieces(Logging::ErrorLevel, line);
}

}  // namespace Korvel::DisplayCalibration::Common::Network
