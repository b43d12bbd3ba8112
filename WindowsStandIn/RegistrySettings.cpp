#include "WindowsStandIn/RegistrySettings.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Registry.h"

#include <QFileDevice>
#include <QJsonDocument>

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

bool ReadHive(QIODevice& device, QSettings::SettingsMap& map)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &error);
    if (error.error != QJsonParseError::NoError) {
        return false;
    }
    Flatten(Registry::HiveFromJson(document.object()), QString(), map);
    return true;
}

struct Change {
    QString path;  // key path below the hive, "/"-separated
    QString name;
    bool locked;
    std::optional<Value> value;  // none: removed
};

// Removes from `key` the values that `wanted` no longer holds (wanted keys are lower-cased paths).
void RemoveMissing(Key& key, const QString& prefix, const QHash<QString, QVariant>& wanted, bool locked,
                   QList<Change>& changes)
{
    locked = locked || key.readOnly;
    for (auto it = key.values.begin(); it != key.values.end();) {
        if (!wanted.contains((prefix + it->first).toLower())) {
            changes.append({prefix.chopped(prefix.isEmpty() ? 0 : 1), it->first, locked, std::nullopt});
            it = key.values.erase(it);
        } else {
            ++it;
        }
    }
    for (Key& child : key.keys) {
        RemoveMissing(child, prefix + child.name + "/", wanted, locked, changes);
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

    QHash<QString, QVariant> wanted;
    for (auto it = map.begin(); it != map.end(); ++it) {
        wanted.insert(it.key().toLower(), it.value());
    }
    QList<Change> changes;
    RemoveMissing(root, QString(), wanted, false, changes);

    for (auto it = map.begin(); it != map.end(); ++it) {
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

    if (changes.isEmpty()) {
        return device.write(Detail::ReadWholeFile(file->fileName())) >= 0;
    }
    for (const Change& change : changes) {
        if (change.locked || (isMachineHive && !IsElevated())) {
            return false;
        }
    }
    if (device.write(QJsonDocument(Registry::HiveToJson(root)).toJson(QJsonDocument::Indented)) < 0) {
        return false;
    }
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
