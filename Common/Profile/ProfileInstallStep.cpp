#include "Common/Profile/ProfileInstallStep.h"

#include "Common/Profile/ProfileHelperExceptions.h"
#include "WindowsStandIn/ColorSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <filesystem>
#include <optional>
#include <system_error>

namespace Korvel::DisplayCalibration::Common::Profile {

bool IsPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') && name != "." && name != "..";
}

namespace {

namespace fs = std::filesystem;

const QString FolderName = QStringLiteral(".profile-install");
const QString RecordName = QStringLiteral("step.json");
const QString KeptFolderName = QStringLiteral("kept");
// Phases of the record: until "finish" a left step is undone, from then on it is carried through.
const QString Installing = QStringLiteral("install");
const QString Finishing = QStringLiteral("finish");
const QString Undoing = QStringLiteral("undo");
// Another step holds the lock for as long as its files take to copy.
constexpr int LockWaitMs = 120000;

fs::path FilePath(const QString& path)
{
    return fs::path(QFile::encodeName(path).toStdString());
}

bool Exists(const QString& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(FilePath(path), error));
}

bool Rename(const QString& from, const QString& to)
{
    std::error_code error;
    fs::rename(FilePath(from), FilePath(to), error);
    return !error;
}

// `kept` becomes the same file as `installed` (a hard link), or else a whole copy of it.
bool Keep(const QString& installed, const QString& kept)
{
    std::error_code error;
    fs::remove(FilePath(kept), error);
    fs::create_hard_link(FilePath(installed), FilePath(kept), error);
    if (!error) {
        return true;
    }
    const QString partial = kept + ".part";
    QFile::remove(partial);
    return QFile::copy(installed, partial) && Rename(partial, kept);
}

QJsonArray ToJson(const QStringList& names)
{
    return QJsonArray::fromStringList(names);
}

// The names of a record's list; nullopt unless every one is a plain file name.
std::optional<QStringList> FromJson(const QJsonValue& value)
{
    if (!value.isArray()) {
        return std::nullopt;
    }
    QStringList names;
    for (const QJsonValue entry : value.toArray()) {
        const QString name = entry.toString();
        if (!IsPlainFileName(name)) {
            return std::nullopt;
        }
        names << name;
    }
    return names;
}

QStringList Touched(const ProfileInstallPlan& plan)
{
    QStringList names = plan.installing + plan.removing;
    names.removeDuplicates();
    return names;
}

bool Uninstall(const QString& name, bool deleteFile)
{
    return UninstallColorProfileA(nullptr, name.toUtf8().constData(), deleteFile ? TRUE : FALSE) != FALSE;
}

}  // namespace

ProfileInstallStep::ProfileInstallStep(const QString& colourDirectory)
    : directory(colourDirectory), folder(colourDirectory + "/" + FolderName),
      lock(colourDirectory + "/" + FolderName + ".lock")
{
    // Only a holder that no longer runs leaves a stale lock; a live one may hold it for long.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(LockWaitMs)) {
        throw InstallProfileException(
            lock.error() == QLockFile::LockFailedError ? std::int32_t(ERROR_INVALID_STATE)
                                                       : std::int32_t(ERROR_ACCESS_DENIED),
            ("Cannot lock the profile installation in " + colourDirectory).toStdString());
    }
    Settle();
}

void ProfileInstallStep::Recover(const QString& colourDirectory)
{
    if (Exists(colourDirectory + "/" + FolderName)) {
        const ProfileInstallStep step(colourDirectory);
    }
}

// A record that is there was written whole (QSaveFile); without one nothing was changed yet. A
// record that does not read as one (names that are no plain file names included) is never guessed at.
void ProfileInstallStep::Settle()
{
    if (!Exists(folder)) {
        return;
    }
    QFile file(folder + "/" + RecordName);
    if (!Exists(file.fileName())) {
        Clear();
        return;
    }
    const QJsonObject record =
        file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
    file.close();
    const QString phase = record.value(QStringLiteral("phase")).toString();
    const auto installing = FromJson(record.value(QStringLiteral("installing")));
    const auto existed = FromJson(record.value(QStringLiteral("existed")));
    const auto forgetting = FromJson(record.value(QStringLiteral("forgetting")));
    const auto removing = FromJson(record.value(QStringLiteral("removing")));
    if ((phase != Installing && phase != Finishing && phase != Undoing) || !installing || !existed || !forgetting ||
        !removing) {
        throw InstallProfileException(std::int32_t(ERROR_FILE_CORRUPT),
                                      ("The record of an interrupted profile installation is damaged: " +
                                       file.fileName())
                                          .toStdString());
    }
    plan = {*installing, *existed, *forgetting, *removing};
    if (phase == Finishing) {
        CarryThrough(nullptr);
    } else if (!Undo()) {
        throw InstallProfileException(std::int32_t(ERROR_ACCESS_DENIED),
                                      ("Cannot undo the interrupted profile installation in " + directory)
                                          .toStdString());
    }
}

void ProfileInstallStep::WriteRecord(const QString& phase)
{
    QJsonObject record{{QStringLiteral("phase"), phase},
                       {QStringLiteral("installing"), ToJson(plan.installing)},
                       {QStringLiteral("existed"), ToJson(plan.existed)},
                       {QStringLiteral("forgetting"), ToJson(plan.forgetting)},
                       {QStringLiteral("removing"), ToJson(plan.removing)}};
    QSaveFile file(folder + "/" + RecordName);
    if (!QDir().mkpath(folder + "/" + KeptFolderName) || !file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(record).toJson()) < 0 || !file.commit()) {
        throw InstallProfileException(std::int32_t(ERROR_ACCESS_DENIED),
                                      ("Cannot write " + file.fileName()).toStdString());
    }
}

void ProfileInstallStep::Begin(const ProfileInstallPlan& newPlan)
{
    plan = newPlan;
    WriteRecord(Installing);
    for (const QString& name : plan.existed) {
        if (!Keep(directory + "/" + name, folder + "/" + KeptFolderName + "/" + name)) {
            throw InstallProfileException(std::int32_t(ERROR_ACCESS_DENIED),
                                          ("Cannot keep the installed " + name).toStdString());
        }
    }
}

void ProfileInstallStep::Finish(QString& failed)
{
    WriteRecord(Finishing);
    CarryThrough(&failed);
}

void ProfileInstallStep::CarryThrough(QString* failed)
{
    for (const QString& name : plan.forgetting) {
        if (QFileInfo(directory + "/" + name).isFile() && !Uninstall(name, false)) {
            if (failed != nullptr) {
                *failed = name;
            }
            throw UninstallProfileException(std::int32_t(GetLastError()), std::string());
        }
    }
    for (const QString& name : plan.removing) {
        if (QFileInfo(directory + "/" + name).isFile()) {
            Uninstall(name, true);
        }
    }
    Clear();
}

bool ProfileInstallStep::Undo()
{
    try {
        WriteRecord(Undoing);
    } catch (const InstallProfileException&) {
        return false;
    }
    bool whole = true;
    for (const QString& name : Touched(plan)) {
        const QString installed = directory + "/" + name;
        const QString kept = folder + "/" + KeptFolderName + "/" + name;
        if (Exists(kept)) {
            whole = Rename(kept, installed) && whole;
        } else if (!plan.existed.contains(name) && Exists(installed)) {
            // A file that was not there goes with its mentions; when the colour system cannot
            // take it (its state unreadable), the file goes alone.
            if (!Uninstall(name, true)) {
                QFile::remove(installed);
            }
            whole = !Exists(installed) && whole;
        }
    }
    if (whole) {
        Clear();
    }
    return whole;
}

// The record goes first: kept files without a record are leftovers of a settled step.
void ProfileInstallStep::Clear()
{
    QFile::remove(folder + "/" + RecordName);
    QDir(folder).removeRecursively();
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
