#include "WindowsStandIn/RegistrySettings.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <optional>

namespace WinSim {
namespace {

using Registry::Key;
using Registry::Value;

// The QVariant a registry value reads as, as Qt does on Windows.
QVariant ToVariant(const Value& value)
{
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return value.data.toString();
    case REG_DWORD:
        return int(value.data.toUInt());
    case REG_QWORD:
        return qint64(value.data.toULongLong());
    case REG_MULTI_SZ:
        return value.data.toStringList();
    default:
        return value.data.toByteArray();
    }
}

// The registry value a QVariant is stored as, as Qt does on Windows.
Value FromVariant(const QVariant& variant)
{
    switch (variant.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return {REG_DWORD, QVariant::fromValue(quint32(variant.toUInt()))};
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return {REG_QWORD, QVariant::fromValue(quint64(variant.toULongLong()))};
    case QMetaType::QStringList:
        return {REG_MULTI_SZ, variant.toStringList()};
    case QMetaType::QByteArray:
        return {REG_BINARY, variant.toByteArray()};
    default:
        return {REG_SZ, variant.toString()};
    }
}

void Flatten(const Key& key, const QString& prefix, QSettings::SettingsMap& map)
{
    for (const auto& [name, value] : key.values) {
        map.insert(prefix + name, ToVariant(value));
    }
    for (const Key& child : key.keys) {
        Flatten(child, prefix + child.name + "/", map);
    }
}

// What this process last read or wrote of each hive through QSettings, as QSettings holds it: the
// base against which a write tells the changes made through QSettings from changes other processes
// made since. (QSettings may take a newer file's size and time for content it read before that file
// replaced it, and then writes from that older view.)
std::mutex basesMutex;
QHash<QString, QSettings::SettingsMap>& Bases()
{
    static QHash<QString, QSettings::SettingsMap> bases;
    return bases;
}

void RememberBase(const QIODevice& device, const QSettings::SettingsMap& map)
{
    if (const auto* file = qobject_cast<const QFileDevice*>(&device)) {
        const std::lock_guard lock(basesMutex);
        Bases().insert(file->fileName(), map);
    }
}

QSettings::SettingsMap Base(const QString& fileName)
{
    const std::lock_guard lock(basesMutex);
    return Bases().value(fileName);
}

QSet<QString> LowerCasePaths(const QSettings::SettingsMap& map)
{
    QSet<QString> paths;
    for (auto it = map.begin(); it != map.end(); ++it) {
        paths.insert(it.key().toLower());
    }
    return paths;
}

QString FileName(const QIODevice& device)
{
    const auto* file = qobject_cast<const QFileDevice*>(&device);
    return file != nullptr ? file->fileName() : QString();
}

// A hive that does not parse reads as a format error.
bool ReadHive(QIODevice& device, QSettings::SettingsMap& map)
{
    try {
        Flatten(Registry::HiveFromJson(Detail::ParseJsonFile(FileName(device), device.readAll())), QString(), map);
    } catch (const DamagedFileError&) {
        return false;
    }
    RememberBase(device, map);
    return true;
}

struct Change {
    QString path;  // key path below the hive, "/"-separated
    QString name;
    bool locked;
    std::optional<Value> value;  // none: removed
};

// Removes from `key` the values whose lower-case path is in `removed`.
void RemoveMissing(Key& key, const QString& prefix, const QSet<QString>& removed, bool locked, QList<Change>& changes)
{
    locked = locked || key.readOnly;
    for (auto it = key.values.begin(); it != key.values.end();) {
        if (removed.contains((prefix + it->first).toLower())) {
            changes.append({prefix.chopped(prefix.isEmpty() ? 0 : 1), it->first, locked, std::nullopt});
            it = key.values.erase(it);
        } else {
            ++it;
        }
    }
    for (Key& child : key.keys) {
        RemoveMissing(child, prefix + child.name + "/", removed, locked, changes);
    }
}

// Applies to `root`, the hive as stored now, what was changed through QSettings since `base`: a
// value known in the base under some spelling and in the map under none was removed; a value of the
// map that differs from the base was set. Values another process wrote since stay.
QList<Change> Merge(Key& root, const QSettings::SettingsMap& base, const QSettings::SettingsMap& map)
{
    QList<Change> changes;
    RemoveMissing(root, QString(), LowerCasePaths(base) - LowerCasePaths(map), false, changes);
    for (auto it = map.begin(); it != map.end(); ++it) {
        const auto known = base.constFind(it.key());
        if (known != base.constEnd() && known.value() == it.value()) {
            continue;  // not changed through QSettings: the file's value may be newer
        }
        QStringList parts = it.key().split('/');
        const QString name = parts.takeLast();
        bool locked = false;
        Key* key = Registry::CreatePath(root, parts, Registry::Access::Unchecked, nullptr, &locked);
        const Value* existing = key->FindValue(name);
        if (existing != nullptr && ToVariant(*existing) == it.value()) {
            continue;
        }
        const Value value = FromVariant(it.value());
        key->SetValue(name, value);
        changes.append({parts.join('/'), name, locked, value});
    }
    return changes;
}

// Whether this process may make every change: none below a read-only key, none in the machine hive
// without elevation.
bool Permitted(const QList<Change>& changes, Registry::Hive hive)
{
    for (const Change& change : changes) {
        if (change.locked || (hive == Registry::Hive::LocalMachine && !IsElevated())) {
            return false;
        }
    }
    return true;
}

// Writes the hive through QSettings' save file, whose time is made later than the replaced file's,
// as the store's writes do, so that readers caching by size and time see a same-size change.
bool Save(QFileDevice& file, const Key& root)
{
    struct stat before {};
    const bool existed = ::stat(QFile::encodeName(file.fileName()).constData(), &before) == 0;
    if (file.write(Detail::JsonFileContent(Registry::HiveToJson(root))) < 0 || !file.flush()) {
        return false;
    }
    if (existed && file.handle() >= 0) {
        Detail::AdvanceModificationTime(file.handle(), before);
    }
    return true;
}

void JournalChanges(Registry::Hive hive, const QList<Change>& changes)
{
    for (const Change& change : changes) {
        const QString keyPath = Registry::HiveName(hive) + (change.path.isEmpty() ? QString() : "/" + change.path);
        Journal(change.value ? QStringLiteral("registry-set") : QStringLiteral("registry-delete-value"),
                QString(keyPath).replace('/', '\\') + " " + change.name +
                    (change.value ? "=" + Registry::ValueToText(*change.value) : QString()));
    }
}

// QSettings holds the hive's lock while it calls this: the file on disk is current. A damaged hive
// is never written over.
// Removes what a writer killed while saving the hive left beside it: QSaveFile's "<hive>.XXXXXX",
// which it links under that name just before renaming it over the hive. Called under the hive's
// lock, which every writer of the hive holds while it writes; `own` is this write's save file.
void RemoveDeadSaveFiles(const QFileDevice& own)
{
    const QFileInfo hive(own.fileName());
    struct stat mine {};
    const bool named = own.handle() >= 0 && ::fstat(own.handle(), &mine) == 0;
    const QDir folder = hive.dir();
    for (const QString& name : folder.entryList({hive.fileName() + ".??????"}, QDir::Files | QDir::System)) {
        if (name.endsWith(QLatin1String(".lock")) || name.mid(hive.fileName().size() + 1).startsWith("tmp.")) {
            continue;
        }
        const QByteArray path = QFile::encodeName(folder.filePath(name));
        struct stat left {};
        if (::lstat(path.constData(), &left) != 0 || !S_ISREG(left.st_mode) ||
            (named && left.st_dev == mine.st_dev && left.st_ino == mine.st_ino)) {
            continue;
        }
        ::unlink(path.constData());
    }
}

bool WriteHive(QIODevice& device, const QSettings::SettingsMap& map)
{
    auto* file = qobject_cast<QFileDevice*>(&device);
    if (file == nullptr) {
        return false;
    }
    const Registry::Hive hive = file->fileName() == Registry::HiveFile(Registry::Hive::LocalMachine)
                                    ? Registry::Hive::LocalMachine
                                    : Registry::Hive::CurrentUser;
    if (QFileInfo(file->fileName()).isSymLink()) {
        // The hive became a symbolic link after this process opened it, and the save file took the
        // link's target when it opened. The link gives way to a copy of what it showed; this write
        // is refused, and the next sync writes the copy.
        Detail::ReplaceSymbolicLink(file->fileName(), true);
        if (auto* save = qobject_cast<QSaveFile*>(file)) {
            save->cancelWriting();
        }
        return false;
    }
    RemoveDeadSaveFiles(*file);
    Key root;
    try {
        root = Registry::HiveFromJson(Detail::ReadJsonFile(file->fileName()).value_or(QJsonObject()));
    } catch (const MachineError&) {
        return false;
    }
    const QList<Change> changes = Merge(root, Base(file->fileName()), map);
    if (!Permitted(changes, hive) || !Save(*file, root)) {
        return false;
    }
    // QSettings now takes the merged map as what the file holds.
    RememberBase(device, map);
    JournalChanges(hive, changes);
    return true;
}

}  // namespace

QSettings::Format RegistryFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("json"), ReadHive, WriteHive, Qt::CaseSensitive);
    return format;
}

std::unique_ptr<QSettings> OpenRegistrySettings(const QString& keyPath)
{
    const std::optional<Registry::KeyPath> path = Registry::ParseKeyPath(keyPath);
    if (!path) {
        return nullptr;
    }
    const QString machine = MachineDirectory();
    if (!QFileInfo::exists(DescriptionFile(machine))) {
        throw MachineError(("no simulated machine in " + machine).toStdString());
    }
    // QSettings' save file writes the target of a symbolic link: such a hive is replaced by a copy
    // of what it shows before QSettings opens it (while it is one, writes are refused).
    const QString hiveFile = Registry::HiveFile(path->hive, machine);
    Detail::ReplaceSymbolicLink(hiveFile);
    // QSettings waits 30 s for the lock of a writer that died before naming itself in it.
    Detail::RemoveDeadLockFile(hiveFile + ".lock");
    // QSettings compares names case-sensitively on this platform: spell the path as stored.
    QStringList parts = path->parts;
    try {
        const Key root = Registry::LoadHive(path->hive, machine);
        const Key* key = &root;
        for (QString& part : parts) {
            key = key != nullptr ? key->FindKey(part) : nullptr;
            if (key != nullptr) {
                part = key->name;
            }
        }
    } catch (const DamagedFileError&) {
        // Read through QSettings, the hive gives a format error.
    }
    auto settings = std::make_unique<QSettings>(hiveFile, RegistryFormat());
    if (!parts.isEmpty()) {
        settings->beginGroup(parts.join('/'));
    }
    return settings;
}

void RevertToStore(QSettings& settings, const QString& name)
{
    const QString hive = settings.fileName() == Registry::HiveFile(Registry::Hive::LocalMachine)
                             ? Registry::HiveName(Registry::Hive::LocalMachine)
                             : Registry::HiveName(Registry::Hive::CurrentUser);
    const QString group = settings.group();
    Value stored;
    if (Registry::GetValue(group.isEmpty() ? hive : hive + "\\" + QString(group).replace('/', '\\'), name, stored) ==
        ERROR_SUCCESS) {
        settings.setValue(name, ToVariant(stored));
    } else {
        settings.remove(name);
    }
    settings.sync();
}

}  // namespace WinSim
