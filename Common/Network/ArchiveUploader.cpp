#include "Common/Network/ArchiveUploader.h"

#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/Security/HashGenerator.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>

#include <exception>
#include <stdexcept>

namespace Korvel::DisplayCalibration::Common::Network {

const std::string UploadClientName = "KorvelTintwise";

namespace {

QHttpPart TextPart(const QString& name, const QByteArray& body)
{
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, "form-data; name=\"" + name + "\"");
    part.setBody(body);
    return part;
}

}  // namespace

std::string BuildRequestToken(const std::vector<std::string>& values, Security::IHashGenerator& generator)
{
    if (values.size() != 4) {
        throw std::invalid_argument("A request token is made of four values");
    }
    std::string text = values[0] + values[1] + values[3] + values[2];
    // ASCII only: a locale's own case mapping would change the bytes of other characters.
    for (char& byte : text) {
        if (byte >= 'A' && byte <= 'Z') {
            byte = char(byte - 'A' + 'a');
        }
    }
    return generator.Generate(text);
}

ArchiveUploader::ArchiveUploader() = default;

ArchiveUploader::~ArchiveUploader() = default;

void ArchiveUploader::UploadArchive(const QUrl& url, const QString& archivePath)
{
    QString identity;
    try {
        HardwareInfo::BiosTools biosTools;
        identity = "1S" + biosTools.GetComputerModelName() + biosTools.GetComputerSerialNumber();
    } catch (const std::exception& error) {
        emit ArchiveUploadFailed(QString::fromUtf8(error.what()));
        return;
    }
    const QString timestamp = QString::number(QDateTime::currentMSecsSinceEpoch());

    std::string token;
    try {
        const std::string md5 = Security::MD5HashGenerator().GenerateFromFile(QFile::encodeName(archivePath).toStdString());
        Security::SHA256HashGenerator sha256;
        token = BuildRequestToken({md5, UploadClientName, identity.toStdString(), timestamp.toStdString()}, sha256);
    } catch (const std::exception&) {
        emit ArchiveUploadFailed(tr("Token generation Failed!"));
        return;
    }
    if (token.empty()) {
        emit ArchiveUploadFailed(tr("Token generation Failed!"));
        return;
    }

    auto* file = new QFile(archivePath);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        emit ArchiveUploadFailed(tr("Profile archive is invalid!"));
        return;
    }
    if (!file->fileName().endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
        delete file;
        emit ArchiveUploadFailed(tr("Profile archive extension is invalid!"));
        return;
    }
    archiveFile = file;

    auto* parts = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart archivePart;
    archivePart.setHeader(QNetworkRequest::ContentDispositionHeader,
                          "form-data; name=\"updateFile\"; filename=\"" + QFileInfo(archivePath).fileName() + "\"");
    archivePart.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/zip"));
    archivePart.setBodyDevice(file);
    file->setParent(parts);
    parts->append(archivePart);
    parts->append(TextPart(QStringLiteral("sn"), identity.toUtf8()));
    parts->append(TextPart(QStringLiteral("timestamp"), timestamp.toLatin1()));
    parts->append(TextPart(QStringLiteral("updateToken"), QByteArray::fromStdString(token)));
    multiPart = parts;

    auto* manager = new QNetworkAccessManager(this);
    connect(manager, &QNetworkAccessManager::finished, this, &ArchiveUploader::OnResponseReceived);
    manager->clearConnectionCache();
    networkAccessManager = manager;

    QNetworkRequest request(url);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    request.setSslConfiguration(configuration);
    request.setRawHeader(QByteArrayLiteral("ClientID"), ProfileServerClientId.toUtf8());
    QNetworkReply* reply = manager->post(request, parts);
    // The multipart (and the file within) goes with its reply.
    parts->setParent(reply);
}

void ArchiveUploader::OnResponseReceived(QNetworkReply* reply)
{
    QNetworkAccessManager* manager = reply->manager();
    disconnect(manager, &QNetworkAccessManager::finished, this, &ArchiveUploader::OnResponseReceived);
    const QByteArray body = reply->readAll();
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    // The reply, its multipart and file go with the manager of this upload.
    reply->deleteLater();
    manager->deleteLater();

    // The server's answer carries its verdict in "Status": only a true one stored the archive, whatever
    // the HTTP status.
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject()) {
        emit ArchiveUploadFailed(tr("Server response is invalid!"));
    } else if (document.object().value(QStringLiteral("Status")) != QJsonValue(true)) {
        emit ArchiveUploadFailed(tr("Status is false!"));
    } else if (error == QNetworkReply::NoError) {
        emit ArchiveUploadFinished(body);
    } else {
        emit ArchiveUploadFailed(tr("%1").arg(errorText));
    }
}

IArchiveUploader* ArchiveUploaderFactory::Create()
{
    return new ArchiveUploader();
}

}  // namespace Korvel::DisplayCalibration::Common::Network
