// Quillon's own constants; the shared ones (data root, file and folder names, placeholders, the
// six profile kinds) are Common's.
#pragma once

#include <QString>
#include <QUrl>

extern const QString WindowTitle;         // "Quillon": dialog, progress and message-box titles
extern const QString SupportDisplayName;  // "Quillon", in the support texts
// "Korvel Tintwise": the tray program's name, so that settings key and data root are the tray program's.
extern const QString ApplicationName;
extern const QString InstanceGuardKey;    // "Quillon"
extern const QString PanelSerialPattern;  // "^8[sS][A-Za-z0-9]{21}$"
// The working folder below the data root, apart from the tray program's restorer's
// "DisplayProfiles": both may run at once, and each empties its own folder.
extern const QString WorkingFolderName;   // "ReplacementProfiles"
// Not among Quillon's resources: its windows keep the program file's icon.
extern const QString WindowIconPath;      // ":/images/icons/icon-logo.png"

// "https://<profile server>/v3/ColorCalibration/GetFileBySn?sn=%1", the host read when called.
QString DownloadUrlTemplate();
// "https://<profile server>/v3/ColorCalibration/UpdateTheColorFile", the host read when called.
QUrl UploadUrl();
