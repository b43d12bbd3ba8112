#include "WindowsStandIn/RegistrySettings.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Registry.h"

#include <QFileDevice>
#include <QJsonDocument>
#include <QSet>

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

bool ReadHive(QIODevice& device, QSettings::SettingsMap& map)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        return false;
    }
    Flatten(Registry::HiveFromJson(document.object()), QString(), map);
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

bool WriteHive(QIODevice& device, const QSettings::SettingsMap& map)
{
    const auto* file = qobject_cast<QFileDevice*>(&device);
    if (file == nullptr) {
        return false;
    }
    const bool isMachineHive = file->fileName() == Registry::HiveFile(Registry::Hive::LocalMachine);
    const Registry::Hive hive = isMachineHive ? Registry::Hive::LocalMachine : Registry::Hive::CurrentUser;

    // QSettings holds the hive's lock while it calls us: the file on disk is current.
    Key root = Registry::HiveFromJson(QJsonDocument::fromJson(Detail::ReadWholeFile(file->fileName())).object());

    // Removed through QSettings: known in the base under some spelling, in the map under none.
    // Values the base does not know were written by another process since, and stay.
    const QSettings::SettingsMap base = Base(file->fileName());
    const QSet<QString> removed = LowerCasePaths(base) - LowerCasePaths(map);
    QList<Change> changes;
    RemoveMissing(root, QString(), removed, false, changes);

    for (auto it = map.begin(); it != map.end(); ++it) {
        const auto known = base.constFind(it.key());
        if (known != base.constEnd() && known.value() == it.value()) {
            continue;  // not changed through QSettings: the file's value may be newer
        }
        QStringList parts = it.key().split('/');
        const QString name = parts.takeLast();
        Key* key = &root;
        bool locked = root.readOnly;
        for (const QString& part : parts) {
            Key* child = key->FindKey(part);
            if (child == nullptr) {
                key->keys.push_back(Key{part, false, {}, {}});
                child = &key->keys.back();
            }
            key = child;
            locked = locked || key->readOnly;
        }
        const Value* existing = key->FindValue(name);
        if (existing != nullptr && ToVariant(*existing) == it.value()) {
            continue;
        }
        const Value value = FromVariant(it.value());
        if (existing != nullptr) {
            for (auto& entry : key->values) {
                if (entry.first.compare(name, Qt::CaseInsensitive) == 0) {
                    entry.second = value;
                }
            }
        } else {
            key->values.emplace_back(name, value);
        }
        changes.append({parts.join('/'), name, locked, value});
    }

    for (const Change& change : changes) {
        if (change.locked || (isMachineHive && !IsElevated())) {
            return false;
        }
    }
    if (device.write(QJsonDocument(Registry::HiveToJson(root)).toJson(QJsonDocument::Indented)) < 0) {
        return false;
    }
    // QSettings now takes the merged map as what the file holds.
    RememberBase(device, map);
    for (const Change& change : changes) {
        const QString keyPath = Registry::HiveName(hive) + (change.path.isEmpty() ? QString() : "/" + change.path);
        Journal(change.value ? QStringLiteral("registry-set") : QStringLiteral("registry-delete-value"),
                QString(keyPath).replace('/', '\\') + " " + change.name +
                    (change.value ? "=" + Registry::ValueToText(*change.value) : QString()));
    }
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
    // QSettings compares names case-sensitively on this platform: spell the path as stored.
    QStringList parts = path->parts;
    const Key root = Registry::LoadHive(path->hive);
    const Key* key = &root;
    for (QString& part : parts) {
        key = key != nullptr ? key->FindKey(part) : nullptr;
        if (key != nullptr) {
            part = key->name;
        }
    }
    auto settings = std::make_unique<QSettings>(Registry::HiveFile(path->hive), RegistryFormat());
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
