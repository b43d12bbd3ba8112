#include "Quillon/Constants.h"

#include "Common/Application/Constants.h"

using Korvel::DisplayCalibration::Common::ProfileServerHost;

const QString WindowTitle = QStringLiteral("Quillon");
const QString SupportDisplayName = QStringLiteral("Quillon");
const QString ApplicationName = QStringLiteral("Korvel Tintwise");
const QString InstanceGuardKey = QStringLiteral("Quillon");
const QString WorkingFolderName = QStringLiteral("ReplacementProfiles");
const QString PanelSerialPattern = QStringLiteral("^8[sS][A-Za-z0-9]{21}$");
const QString WindowIconPath = QStringLiteral(":/images/icons/icon-logo.png");

QString DownloadUrlTemplate()
{
    return "https://" + ProfileServerHost() + Korvel::DisplayCalibration::Common::ProfileDownloadPath;
}

QUrl UploadUrl()
{
    return QUrl("https://" + ProfileServerHost() + "/v3/ColorCalibration/UpdateTheColorFile");
}
