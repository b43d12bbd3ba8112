#include "Common/Profile/ProfileInstallStep.h"

#include "Common/Profile/ProfileHelperExceptions.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/NamedObjects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
const QString LockName = QStringLiteral("profile-install");
// Where earlier versions kept a lock file whose content named its holder.
const QString FormerLockName = QStringLiteral(".profile-install.lock");
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

// What stands at `path`, a link taken as a link.
fs::file_type TypeOf(const QString& path)
{
    std::error_code error;
    return fs::symlink_status(FilePath(path), error).type();
}

bool Exists(const QString& path)
{
    const fs::file_type type = TypeOf(path);
    return type != fs::file_type::not_found && type != fs::file_type::none;
}

// Removes whatever stands at `path` unless it is of `type`: a link goes as a link, its target left
// alone. Returns whether something of `type` is there.
bool KeepOnly(const QString& path, fs::file_type type)
{
    const fs::file_type found = TypeOf(path);
    if (found == type) {
        return true;
    }
    std::error_code error;
    if (Exists(path)) {
        fs::remove(FilePath(path), error);
    }
    return false;
}

// A folder at `path`, made when missing; false when there is none and none can be made.
bool MakeFolder(const QString& path)
{
    if (KeepOnly(path, fs::file_type::directory)) {
        return true;
    }
    std::error_code error;
    fs::create_directory(FilePath(path), error);
    return TypeOf(path) == fs::file_type::directory;
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
    : ProfileInstallStep(colourDirectory, Wait::ForLock)
{
    if (!lock->Held()) {
        throw InstallProfileException(
            lock->HeldByAnother() ? std::int32_t(ERROR_INVALID_STATE) : std::int32_t(ERROR_ACCESS_DENIED),
            ("Cannot lock the profile installation in " + colourDirectory).toStdString());
    }
    Settle();
}

ProfileInstallStep::ProfileInstallStep(const QString& colourDirectory, Wait wait)
    : directory(colourDirectory), folder(colourDirectory + "/" + FolderName),
      lock(std::make_unique<WinSim::NamedLock>(LockName, wait == Wait::ForLock ? LockWaitMs : 0))
{
}

ProfileInstallStep::~ProfileInstallStep() = default;

void ProfileInstallStep::Recover(const QString& colourDirectory)
{
    if (!Exists(colourDirectory + "/" + FolderName) && !Exists(colourDirectory + "/" + FormerLockName)) {
        return;
    }
    ProfileInstallStep step(colourDirectory, Wait::NotAtAll);
    if (!step.lock->Held()) {
        return;  // another step runs and settles what it finds itself
    }
    try {
        step.Settle();
    } catch (const std::exception&) {
        // Left for the next step, which reports it.
    }
}

// A record that is there was written whole; without one nothing was changed yet. A record that
// does not read as one (names that are no plain file names included) is never guessed at.
void ProfileInstallStep::Settle()
{
    std::error_code error;
    fs::remove(FilePath(directory + "/" + FormerLockName), error);
    // A link or file standing where the step's folder belongs is removed as it is, never followed.
    if (!KeepOnly(folder, fs::file_type::directory)) {
        return;
    }
    QFile file(folder + "/" + RecordName);
    if (!KeepOnly(file.fileName(), fs::file_type::regular)) {
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
    const QJsonValue display = record.value(QStringLiteral("disassociateFrom"));
    if ((phase != Installing && phase != Finishing && phase != Undoing) || !installing || !existed || !forgetting ||
        !removing || !(display.isUndefined() || display.isString())) {
        throw InstallProfileException(std::int32_t(ERROR_FILE_CORRUPT),
                                      ("The record of an interrupted profile installation is damaged: " +
                                       file.fileName())
                                          .toStdString());
    }
    plan = {*installing, *existed, *forgetting, *removing, display.toString()};
    KeepOnly(folder + "/" + KeptFolderName, fs::file_type::directory);
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
    if (!plan.disassociateFrom.isEmpty()) {
        record.insert(QStringLiteral("disassociateFrom"), plan.disassociateFrom);
    }
    const QString path = folder + "/" + RecordName;
    if (!MakeFolder(folder) || !MakeFolder(folder + "/" + KeptFolderName) ||
        !WinSim::Detail::WriteFileAtomically(path, QJsonDocument(record).toJson())) {
        throw InstallProfileException(std::int32_t(ERROR_ACCESS_DENIED), ("Cannot write " + path).toStdString());
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
    if (!plan.disassociateFrom.isEmpty()) {
        for (const QString& name : plan.installing) {
            DisassociateColorProfileFromDeviceW(nullptr, name.toStdWString().c_str(),
                                                plan.disassociateFrom.toStdWString().c_str());
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
        if (KeepOnly(kept, fs::file_type::regular)) {
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

// Copies that killed runs of the step left go first, then the record: kept files without a record
// are leftovers of a settled step. Links in the folder are removed as links.
void ProfileInstallStep::Clear()
{
    for (const QString& name : plan.installing) {
        WinSim::RemoveInterruptedProfileCopies(name);
    }
    std::error_code error;
    fs::remove(FilePath(folder + "/" + RecordName), error);
    fs::remove_all(FilePath(folder), error);
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
