#pragma once

#include "Common/Network/IArchiveUploader.h"

#include <QPointer>

#include <string>
#include <vector>

class QFile;
class QHttpMultiPart;
class QNetworkAccessManager;

namespace Korvel::DisplayCalibration::Common::Security {
class IHashGenerator;
}

namespace Korvel::DisplayCalibration::Common::Network {

// The client name that goes into the request token.
extern const std::string UploadClientName;  // "KorvelTintwise"

// One multipart HTTPS POST per upload: the archive ("updateFile"), the identity "1S" + model + BIOS
// serial ("sn"), a millisecond timestamp and the request token, with the "ClientID" header. An
// upload's network manager, multipart and file are released once its reply has been handled.
class ArchiveUploader : public IArchiveUploader {
    Q_OBJECT

public:
    ArchiveUploader();
    ~ArchiveUploader() override;

    void UploadArchive(const QUrl& url, const QString& archivePath) override;

public slots:
    void OnResponseReceived(QNetworkReply* reply) override;

private:
    QPointer<QNetworkAccessManager> networkAccessManager;
    QPointer<QHttpMultiPart> multiPart;
    QPointer<QFile> archiveFile;
};

class ArchiveUploaderFactory : public IArchiveUploaderFactory {
public:
    IArchiveUploader* Create() override;
};

// The digest of values[0] + values[1] + values[3] + values[2] with the ASCII letters lower-cased
// (every other byte as it is, whatever the locale). Throws std::invalid_argument for another number
// of values than four, and what the generator throws.
std::string BuildRequestToken(const std::vector<std::string>& values, Security::IHashGenerator& generator);

}  // namespace Korvel::DisplayCalibration::Common::Network
