#include "Common/Profile/InternalProfileHelper.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    ProfileInstallStep step(ColorDirectory());
    InstallReplacing(step, {path}, {}, QString(), failing);
}

void InternalProfileHelper::InstallProfiles(const QStringList& paths)
{
    qsizetype failing = 0;
    InstallProfileSet(paths, false, failing);
}

void InternalProfileHelper::InstallProfileSet(const QStringList& paths, bool hdr10, qsizetype& failing,
                                              const PreparedFrom& preparedFrom)
{
    failing = 0;
    // A step a killed run left is settled before the installed set is looked at.
    ProfileInstallStep step(ColorDirectory());
    CheckPreparedFrom(preparedFrom);
    InstallReplacing(step, paths, hdr10 ? InstalledHdr10Set() : InstalledSdrSet(), hdr10 ? QString() : GetDeviceId(),
                     failing);
}

void InternalProfileHelper::ReplaceProfiles(const QStringList& paths, const PreparedFrom& preparedFrom,
                                            qsizetype& failing)
{
    failing = 0;
    ProfileInstallStep step(ColorDirectory());
    CheckPreparedFrom(preparedFrom);
    InstallReplacing(step, paths, {}, QString(), failing, true);
}

void InternalProfileHelper::InstallCorrectedProfiles(const QStringList& paths, const PreparedFrom& preparedFrom)
{
    qsizetype failing = 0;
    ReplaceProfiles(paths, preparedFrom, failing);
}

// Called with the step's lock held: no other installation can change the files between this check
// and the step's end.
void InternalProfileHelper::CheckPreparedFrom(const PreparedFrom& preparedFrom) const
{
    for (auto it = preparedFrom.cbegin(); it != preparedFrom.cend(); ++it) {
        if (!IsPlainFileName(it.key())) {
            throw InstallProfileException(ERROR_INVALID_PARAMETER, ("Invalid profile name " + it.key()).toStdString());
        }
    }
    const QStringList changed = ChangedSince(ColorDirectory(), preparedFrom);
    if (!changed.isEmpty()) {
        throw ProfileChangedException(changed);
    }
}

// The plan is complete before anything changes: every source is there, and the names it replaces
// or removes are known.
void InternalProfileHelper::InstallReplacing(ProfileInstallStep& step, const QStringList& paths,
                                             const QStringList& removed, const QString& disassociateFrom,
                                             qsizetype& failing, bool keepMentions)
{
    const QString directory = ColorDirectory();
    ProfileInstallPlan plan;
    plan.disassociateFrom = disassociateFrom;
    for (failing = 0; failing < paths.size(); ++failing) {
        const QString source = LocalPath(paths[failing]);
        if (!QFileInfo(source).isFile()) {
            throw InstallProfileException(
                QStringLiteral("File %1 does not exist.").arg(paths[failing]).toStdString());
        }
        const QString name = QFileInfo(source).fileName();
        const QString installed = directory + "/" + name;
        if (plan.installing.contains(name)) {
            continue;
        }
        plan.installing << name;
        // A profile of the same name that is not of the replaced set loses its associations and
        // defaults, as uninstalling it would; installing a file over itself changes nothing.
        if (!keepMentions && QFileInfo(installed).isFile() && !removed.contains(name) &&
            QFileInfo(installed).canonicalFilePath() != QFileInfo(source).canonicalFilePath()) {
            plan.forgetting << name;
        }
    }
    for (const QString& name : removed) {
        if (!plan.installing.contains(name) && !plan.removing.contains(name)) {
            plan.removing << name;
        }
    }
    plan.removing.sort();
    for (const QString& name : plan.installing + plan.removing) {
        if (QFileInfo(directory + "/" + name).isFile()) {
            plan.existed << name;
        }
    }

    failing = 0;
    try {
        step.Begin(plan);
        for (failing = 0; failing < paths.size(); ++failing) {
            const QByteArray source = QDir::toNativeSeparators(LocalPath(paths[failing])).toUtf8();
            if (!InstallColorProfileA(nullptr, source.constData())) {
                throw InstallProfileException(std::int32_t(GetLastError()), std::string());
            }
        }
        QString failed;
        try {
            step.Finish(failed);
        } catch (...) {
            failing = 0;
            while (failing + 1 < paths.size() && FileName(paths[failing]) != failed) {
                ++failing;
            }
            throw;
        }
    } catch (...) {
        step.Undo();
        throw;
    }
}

void InternalProfileHelper::RecoverInterruptedInstall()
{
    QString directory;
    try {
        directory = ReadColorDirectory();
    } catch (const GetColorDirectoryPathException&) {
        return;  // what needs the colour directory reports this itself
    }
    ProfileInstallStep::Recover(directory);
}

// Under the installation's lock, after a step a killed run left is settled: an uninstall never
// meets a half-done installation.
void InternalProfileHelper::UninstallProfile(const QString& name)
{
    if (!IsPlainFileName(name)) {
        throw UninstallProfileException(ERROR_INVALID_PARAMETER, ("Invalid profile name " + name).toStdString());
    }
    const QString directory = ReadColorDirectory();
    const ProfileInstallStep step(directory);
    if (!QFileInfo(directory + "/" + name).isFile()) {
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
