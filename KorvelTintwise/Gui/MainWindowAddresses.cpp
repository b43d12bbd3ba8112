// MainWindow: the address of this computer's profile archive and the update feed's location.
#include "Gui/MainWindow.h"

#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/Security/EncrypterFactory.h"
#include "Common/Security/IEncrypter.h"

#include <QFile>
#include <QSysInfo>
#include <QUrl>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace Common::Logging;

namespace {

const QString PublicKeyResource = QStringLiteral(":/digitalsignature/public_key");

// The feed file of a build architecture as QSysInfo names it; empty when there is none.
QString FeedFile(const QString& architecture)
{
    if (architecture == QLatin1String("i386")) {
        return Common::UpdateFeedX86;
    }
    if (architecture == QLatin1String("x86_64")) {
        return Common::UpdateFeedX64;
    }
    if (architecture == QLatin1String("arm64")) {
        return Common::UpdateFeedArm64;
    }
    return QString();
}

}  // namespace

QString MainWindow::CreateArchiveUrl()
{
    LogText(TraceLevel, "Creating archive URL...");
    const QString serialNumber = biosTools->GetComputerSerialNumber();
    const QString modelName = biosTools->GetComputerModelName();
    const QString identifier = QStringLiteral("1S%1%2").arg(modelName, serialNumber);
    const QString address =
        "https://" + Common::ProfileServerHost() +
        Common::ProfileDownloadPath.arg(QString::fromLatin1(QUrl::toPercentEncoding(identifier)));

    // Only the encrypted form reaches the log.
    QFile keyFile(PublicKeyResource);
    keyFile.open(QIODevice::ReadOnly);
    const QByteArray key = keyFile.readAll();
    const std::unique_ptr<Common::Security::IEncrypter> encrypter =
        Common::Security::EncrypterFactory().CreateEncrypter(key, false);
    const QByteArray encrypted = encrypter->EncryptWithPublicKey(address.toUtf8());
    LogPieces(InfoLevel, "Archive URL: ", encrypted.toBase64().toStdString());
    return address;
}

QString MainWindow::CreateDownloadUrl()
{
    Loggable logger("MainWindow");
    const QString feedFile = FeedFile(QSysInfo::buildCpuArchitecture());
    if (feedFile.isEmpty()) {
        logger.LogText(ErrorLevel, "Download Error: Target architecture is unknown or not specified.");
        return QStringLiteral("unknown.xml");
    }
    const QString url = Common::UpdateFeedHost + Common::UpdateFeedFolder + feedFile;
    logger.LogPieces(InfoLevel, "Download URL: ", url.mid(url.lastIndexOf('/') + 1).toStdString());
    return url;
}
