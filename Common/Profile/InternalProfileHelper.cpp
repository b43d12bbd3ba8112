#include "Common/Profile/InternalProfileHelper.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

QString LocalPath(const QString& path)
{
    return WinSim::MapWindowsPath(path);
}

}  // namespace

void InternalProfileHelper::EnableColorCalibration()
{
    if (!WcsSetCalibrationManagementState(TRUE)) {
        throw EnableColorCalibrationException(std::int32_t(GetLastError()), std::string());
    }
}

void InternalProfileHelper::DisableColorCalibration()
{
    if (!WcsSetCalibrationManagementState(FALSE)) {
        throw DisableColorCalibrationException(std::int32_t(GetLastError()), std::string());
    }
}

void InternalProfileHelper::InstallProfile(const QString& path)
{
    const QString source = LocalPath(path);
    if (!QFileInfo(source).isFile()) {
        throw InstallProfileException(QStringLiteral("File %1 does not exist.").arg(path).toStdString());
    }
    const QString name = QFileInfo(source).fileName();
    const QString installed = ReadColorDirectory() + "/" + name;

    // Keep the installed profile of that name until the new one is in place.
    QTemporaryDir backupDirectory;
    QString backup;
    if (QFileInfo(installed).isFile() &&
        QFileInfo(installed).canonicalFilePath() != QFileInfo(source).canonicalFilePath()) {
        backup = backupDirectory.filePath(name);
        if (!backupDirectory.isValid() || !QFile::copy(installed, backup)) {
            throw InstallProfileException(ERROR_ACCESS_DENIED,
                                          ("Cannot keep a copy of the installed " + name).toStdString());
        }
        UninstallProfile(name);
    }
    if (!InstallColorProfileA(nullptr, QDir::toNativeSeparators(source).toUtf8().constData())) {
        const DWORD error = GetLastError();
        if (!backup.isEmpty()) {
            InstallColorProfileA(nullptr, backup.toUtf8().constData());
        }
        throw InstallProfileException(std::int32_t(error), std::string());
    }
}

void InternalProfileHelper::InstallProfiles(const QStringList& paths)
{
    RemoveInstalledSdrProfiles();
    for (const QString& path : paths) {
        InstallProfile(path);
    }
}

void InternalProfileHelper::UninstallProfile(const QString& name)
{
    if (name.isEmpty() || name.contains('/') || name.contains('\\') || name == "." || name == "..") {
        throw UninstallProfileException(ERROR_INVALID_PARAMETER, ("Invalid profile name " + name).toStdString());
    }
    if (!QFileInfo(ReadColorDirectory() + "/" + name).isFile()) {
        return;
    }
    if (!UninstallColorProfileA(nullptr, name.toUtf8().constData(), TRUE)) {
        throw UninstallProfileException(std::int32_t(GetLastError()), std::string());
    }
}

void InternalProfileHelper::UninstallProfiles(const QStringList& names)
{
    for (const QString& name : names) {
        UninstallProfile(name);
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
