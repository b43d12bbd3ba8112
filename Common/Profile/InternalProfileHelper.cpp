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

QString FileName(const QString& path)
{
    return QFileInfo(LocalPath(path)).fileName();
}

// Copies of the colour directory's files that an installation replaces or removes, to put back
// when it fails.
class KeptProfiles {
public:
    // Keeps a copy of each of `names` that is installed; throws InstallProfileException when one
    // cannot be kept.
    KeptProfiles(const QString& directory, const QStringList& names)
        : directory(directory)
    {
        for (const QString& name : names) {
            if (name.isEmpty() || this->names.contains(name)) {
                continue;
            }
            this->names << name;
            const QString installed = directory + "/" + name;
            if (QFileInfo(installed).isFile() && !(copies.isValid() && QFile::copy(installed, copies.filePath(name)))) {
                throw InstallProfileException(ERROR_ACCESS_DENIED,
                                              ("Cannot keep a copy of the installed " + name).toStdString());
            }
        }
    }

    // Gives each name its kept file back, and removes those that had none.
    void Restore() const
    {
        for (const QString& name : names) {
            const QString installed = directory + "/" + name;
            QFile::remove(installed);
            if (QFileInfo(copies.filePath(name)).isFile()) {
                QFile::copy(copies.filePath(name), installed);
            }
        }
    }

private:
    QString directory;
    QStringList names;
    QTemporaryDir copies;
};

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
    qsizetype failing = 0;
    InstallReplacing({path}, {}, failing);
}

void InternalProfileHelper::InstallProfiles(const QStringList& paths)
{
    qsizetype failing = 0;
    InstallProfileSet(paths, false, failing);
}

void InternalProfileHelper::InstallProfileSet(const QStringList& paths, bool hdr10, qsizetype& failing)
{
    failing = 0;
    InstallReplacing(paths, hdr10 ? InstalledHdr10Set() : InstalledSdrSet(), failing);
}

// Only files change until every new file is in; then each replaced profile is uninstalled, which
// is the one step that changes the colour system's state.
void InternalProfileHelper::InstallReplacing(const QStringList& paths, const QStringList& removed,
                                             qsizetype& failing)
{
    const QString directory = ColorDirectory();
    QStringList names = removed;
    for (const QString& path : paths) {
        names << FileName(path);
    }
    const KeptProfiles kept(directory, names);
    QStringList replaced;
    QList<qsizetype> replacing;
    try {
        for (const QString& name : removed) {
            QFile::remove(directory + "/" + name);
        }
        for (failing = 0; failing < paths.size(); ++failing) {
            const QString& path = paths[failing];
            const QString source = LocalPath(path);
            if (!QFileInfo(source).isFile()) {
                throw InstallProfileException(QStringLiteral("File %1 does not exist.").arg(path).toStdString());
            }
            const QString name = QFileInfo(source).fileName();
            const QString installed = directory + "/" + name;
            if (QFileInfo(installed).isFile() &&
                QFileInfo(installed).canonicalFilePath() != QFileInfo(source).canonicalFilePath()) {
                if (!replaced.contains(name)) {
                    replaced << name;
                    replacing << failing;
                }
                if (!QFile::remove(installed)) {
                    throw UninstallProfileException(ERROR_ACCESS_DENIED, std::string());
                }
            }
            if (!InstallColorProfileA(nullptr, QDir::toNativeSeparators(source).toUtf8().constData())) {
                throw InstallProfileException(std::int32_t(GetLastError()), std::string());
            }
        }
        // Uninstalling is what drops the associations and defaults of a replaced profile's name. It
        // waits until every new file is in, takes the new file with it, and that file is written back.
        for (qsizetype at = 0; at < replaced.size(); ++at) {
            failing = replacing[at];
            const QString installed = directory + "/" + replaced[at];
            QFile file(installed);
            if (!file.open(QIODevice::ReadOnly)) {
                throw InstallProfileException(ERROR_ACCESS_DENIED, std::string());
            }
            const QByteArray content = file.readAll();
            file.close();
            UninstallProfile(replaced[at]);
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.flush()) {
                throw InstallProfileException(ERROR_ACCESS_DENIED, std::string());
            }
        }
    } catch (...) {
        kept.Restore();
        throw;
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
