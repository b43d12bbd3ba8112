#include "WindowsStandIn/Registry.h"

#include "WindowsStandIn/FileStore.h"

#include <QJsonArray>

#include <utility>

namespace WinSim::Registry {
namespace {

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

const struct {
    DWORD type;
    const char* name;
} TypeNames[] = {
    {REG_NONE, "REG_NONE"},   {REG_SZ, "REG_SZ"},           {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"}, {REG_DWORD, "REG_DWORD"}, {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

QJsonValue DataToJson(const Value& value)
{
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return value.data.toString();
    case REG_DWORD:
        return double(value.data.toUInt());
    case REG_QWORD:
        return QString::number(value.data.toULongLong());
    case REG_MULTI_SZ:
        return QJsonArray::fromStringList(value.data.toStringList());
    default:
        return QString::fromLatin1(value.data.toByteArray().toHex());
    }
}

Value DataFromJson(DWORD type, const QJsonValue& json)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return {type, json.toString()};
    case REG_DWORD:
        return {type, QVariant::fromValue(quint32(json.toDouble()))};
    case REG_QWORD:
        return {type, QVariant::fromValue(json.isString() ? json.toString().toULongLong() : quint64(json.toDouble()))};
    case REG_MULTI_SZ: {
        QStringList list;
        for (const QJsonValue& item : json.toArray()) {
            list << item.toString();
        }
        return {type, list};
    }
    default:
        return {type, QByteArray::fromHex(json.toString().toLatin1())};
    }
}

// Runs `change` on the freshly loaded hive under the hive's lock and saves it when it reports success.
// `change` returns ERROR_SUCCESS and may set `*changed` to false to skip the save. A damaged hive is
// left as it was (ERROR_BADDB).
template <typename Change>
DWORD Mutate(const QString& keyPath, Access access, const QString& journalEvent, const QString& journalDetails,
             Change change)
{
    const std::optional<KeyPath> path = ParseKeyPath(keyPath);
    if (!path) {
        return ERROR_INVALID_PARAMETER;
    }
    if (access == Access::Checked && path->hive == Hive::LocalMachine && !IsElevated()) {
        return ERROR_ACCESS_DENIED;
    }
    const QString machine = MachineDirectory();
    DWORD result = ERROR_SUCCESS;
    bool saved = false;
    try {
        Detail::UpdateJsonFile(HiveFile(path->hive, machine), [&](QJsonObject& hive) {
            Key root = HiveFromJson(hive);
            bool changed = true;
            result = change(root, *path, &changed);
            if (result != ERROR_SUCCESS || !changed) {
                return false;
            }
            hive = HiveToJson(root);
            saved = true;
            return true;
        });
    } catch (const DamagedFileError&) {
        return ERROR_BADDB;
    } catch (const MachineError&) {
        return ERROR_ACCESS_DENIED;
    }
    if (saved) {
        Journal(journalEvent, path->ToString() + (journalDetails.isEmpty() ? QString() : " " + journalDetails), machine);
    }
    return result;
}

// Runs a lookup on the hive of `keyPath`: ERROR_INVALID_PARAMETER for a path that names no hive,
// ERROR_BADDB for a damaged hive, ERROR_ACCESS_DENIED for one that cannot be read.
template <typename Lookup>
DWORD Read(const QString& keyPath, Lookup lookup)
{
    const std::optional<KeyPath> path = ParseKeyPath(keyPath);
    if (!path) {
        return ERROR_INVALID_PARAMETER;
    }
    try {
        const Key root = LoadHive(path->hive);
        return lookup(FindPath(root, path->parts));
    } catch (const DamagedFileError&) {
        return ERROR_BADDB;
    } catch (const MachineError&) {
        return ERROR_ACCESS_DENIED;
    }
}

}  // namespace

Key* Key::FindKey(const QString& wanted)
{
    for (Key& key : keys) {
        if (SameName(key.name, wanted)) {
            return &key;
        }
    }
    return nullptr;
}

const Key* Key::FindKey(const QString& wanted) const
{
    return const_cast<Key*>(this)->FindKey(wanted);
}

const Value* Key::FindValue(const QString& wanted) const
{
    for (const auto& [name, value] : values) {
        if (SameName(name, wanted)) {
            return &value;
        }
    }
    return nullptr;
}

bool Key::SetValue(const QString& wanted, const Value& value)
{
    for (auto& [name, stored] : values) {
        if (SameName(name, wanted)) {
            const bool changed = !(stored == value);
            stored = value;
            return changed;
        }
    }
    values.emplace_back(wanted, value);
    return true;
}

const Key* FindPath(const Key& root, const QStringList& parts, bool* readOnly)
{
    bool locked = root.readOnly;
    const Key* key = &root;
    for (const QString& part : parts) {
        key = key->FindKey(part);
        if (key == nullptr) {
            break;
        }
        locked = locked || key->readOnly;
    }
    if (readOnly != nullptr) {
        *readOnly = locked;
    }
    return key;
}

Key* FindPath(Key& root, const QStringList& parts, bool* readOnly)
{
    return const_cast<Key*>(FindPath(std::as_const(root), parts, readOnly));
}

Key* CreatePath(Key& root, const QStringList& parts, Access access, bool* created, bool* readOnly)
{
    Key* key = &root;
    bool locked = root.readOnly;
    for (const QString& part : parts) {
        Key* child = key->FindKey(part);
        if (child == nullptr) {
            if (locked && access == Access::Checked) {
                return nullptr;
            }
            key->keys.push_back(Key{part, false, {}, {}});
            child = &key->keys.back();
            if (created != nullptr) {
                *created = true;
            }
        }
        key = child;
        locked = locked || key->readOnly;
    }
    if (readOnly != nullptr) {
        *readOnly = locked;
    }
    return locked && access == Access::Checked ? nullptr : key;
}

QString KeyPath::ToString() const
{
    return HiveName(hive) + (parts.isEmpty() ? QString() : "\\" + parts.join('\\'));
}

std::optional<KeyPath> ParseKeyPath(const QString& text)
{
    QString normalised = text;
    normalised.replace('/', '\\');
    QStringList parts = normalised.split('\\', Qt::SkipEmptyParts);
    if (parts.isEmpty()) {
        return std::nullopt;
    }
    KeyPath path;
    const QString root = parts.takeFirst();
    if (SameName(root, "HKEY_LOCAL_MACHINE") || SameName(root, "HKLM")) {
        path.hive = Hive::LocalMachine;
    } else if (SameName(root, "HKEY_CURRENT_USER") || SameName(root, "HKCU")) {
        path.hive = Hive::CurrentUser;
    } else {
        return std::nullopt;
    }
    path.parts = parts;
    return path;
}

QString HiveName(Hive hive)
{
    return hive == Hive::LocalMachine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
}

QString HiveFile(Hive hive, const QString& machine)
{
    return machine + (hive == Hive::LocalMachine ? "/registry/HKLM.json" : "/registry/HKCU.json");
}

DWORD TypeFromName(const QString& name)
{
    for (const auto& entry : TypeNames) {
        if (SameName(name, QLatin1String(entry.name))) {
            return entry.type;
        }
    }
    return REG_NONE;
}

QString TypeName(DWORD type)
{
    for (const auto& entry : TypeNames) {
        if (entry.type == type) {
            return QLatin1String(entry.name);
        }
    }
    return QStringLiteral("REG_NONE");
}

std::optional<Value> ValueFromText(DWORD type, const QString& text)
{
    bool ok = true;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return Value{type, text};
    case REG_DWORD: {
        const qint64 number = text.toLongLong(&ok, 0);
        if (!ok || number < -2147483648LL || number > 0xFFFFFFFFLL) {
            return std::nullopt;
        }
        return Value{type, QVariant::fromValue(quint32(number))};
    }
    case REG_QWORD: {
        quint64 number = text.toULongLong(&ok, 0);
        if (!ok) {
            number = quint64(text.toLongLong(&ok, 0));
        }
        return ok ? std::optional<Value>(Value{type, QVariant::fromValue(number)}) : std::nullopt;
    }
    case REG_MULTI_SZ:
        return Value{type, text.split('\n')};
    default: {
        QString hex = text;
        hex.remove(' ');
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        if (bytes.toHex() != hex.toLower().toLatin1()) {
            return std::nullopt;
        }
        return Value{type, bytes};
    }
    }
}

QString ValueToText(const Value& value)
{
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return value.data.toString();
    case REG_DWORD:
        return QString::number(value.data.toUInt());
    case REG_QWORD:
        return QString::number(value.data.toULongLong());
    case REG_MULTI_SZ:
        return value.data.toStringList().join('\n');
    default:
        return QString::fromLatin1(value.data.toByteArray().toHex());
    }
}

Key HiveFromJson(const QJsonObject& object)
{
    Key key;
    key.readOnly = object.value(QStringLiteral("readOnly")).toBool();
    const QJsonObject values = object.value(QStringLiteral("values")).toObject();
    for (auto it = values.begin(); it != values.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        key.values.emplace_back(it.key(), DataFromJson(TypeFromName(entry.value(QStringLiteral("type")).toString()),
                                                       entry.value(QStringLiteral("data"))));
    }
    const QJsonObject keys = object.value(QStringLiteral("keys")).toObject();
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        Key child = HiveFromJson(it.value().toObject());
        child.name = it.key();
        key.keys.push_back(std::move(child));
    }
    return key;
}

QJsonObject HiveToJson(const Key& key)
{
    QJsonObject object;
    if (key.readOnly) {
        object.insert(QStringLiteral("readOnly"), true);
    }
    if (!key.values.empty()) {
        QJsonObject values;
        for (const auto& [name, value] : key.values) {
            values.insert(name, QJsonObject{{QStringLiteral("type"), TypeName(value.type)},
                                            {QStringLiteral("data"), DataToJson(value)}});
        }
        object.insert(QStringLiteral("values"), values);
    }
    if (!key.keys.empty()) {
        QJsonObject keys;
        for (const Key& child : key.keys) {
            keys.insert(child.name, HiveToJson(child));
        }
        object.insert(QStringLiteral("keys"), keys);
    }
    return object;
}

Key LoadHive(Hive hive, const QString& machine)
{
    Key root = HiveFromJson(Detail::ReadJsonFile(HiveFile(hive, machine)).value_or(QJsonObject()));
    root.name = HiveName(hive);
    return root;
}

DWORD GetValue(const QString& keyPath, const QString& name, Value& out)
{
    return Read(keyPath, [&](const Key* key) {
        const Value* value = key != nullptr ? key->FindValue(name) : nullptr;
        if (value == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        out = *value;
        return ERROR_SUCCESS;
    });
}

DWORD ListValues(const QString& keyPath, QStringList& names)
{
    return Read(keyPath, [&](const Key* key) {
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        names.clear();
        for (const auto& entry : key->values) {
            names << entry.first;
        }
        return ERROR_SUCCESS;
    });
}

DWORD ListSubkeys(const QString& keyPath, QStringList& names)
{
    return Read(keyPath, [&](const Key* key) {
        if (key == nullptr) {
            return ERROR_FILE_NOT_FOUND;
        }
        names.clear();
        for (const Key& child : key->keys) {
            names << child.name;
        }
        return ERROR_SUCCESS;
    });
}

bool KeyExists(const QString& keyPath)
{
    QStringList ignored;
    return ListSubkeys(keyPath, ignored) == ERROR_SUCCESS;
}

DWORD SetValue(const QString& keyPath, const QString& name, const Value& value, Access access)
{
    return Mutate(keyPath, access, QStringLiteral("registry-set"),
                  (name.isEmpty() ? QStringLiteral("(Default)") : name) + "=" + ValueToText(value),
                  [&](Key& root, const KeyPath& path, bool* changed) -> DWORD {
                      bool created = false;
                      Key* key = CreatePath(root, path.parts, access, &created);
                      if (key == nullptr) {
                          return ERROR_ACCESS_DENIED;
                      }
                      *changed = key->SetValue(name, value) || created;
                      return ERROR_SUCCESS;
                  });
}

DWORD DeleteValue(const QString& keyPath, const QString& name, Access access)
{
    return Mutate(keyPath, access, QStringLiteral("registry-delete-value"), name,
                  [&](Key& root, const KeyPath& path, bool*) -> DWORD {
                      bool readOnly = false;
                      Key* key = FindPath(root, path.parts, &readOnly);
                      if (key == nullptr) {
                          return ERROR_FILE_NOT_FOUND;
                      }
                      if (readOnly && access == Access::Checked) {
                          return ERROR_ACCESS_DENIED;
                      }
                      for (auto it = key->values.begin(); it != key->values.end(); ++it) {
                          if (SameName(it->first, name)) {
                              key->values.erase(it);
                              return ERROR_SUCCESS;
                          }
                      }
                      return ERROR_FILE_NOT_FOUND;
                  });
}

DWORD CreateKey(const QString& keyPath, Access access)
{
    return Mutate(keyPath, access, QStringLiteral("registry-create-key"), QString(),
                  [&](Key& root, const KeyPath& path, bool* changed) -> DWORD {
                      bool created = false;
                      if (FindPath(root, path.parts) != nullptr) {
                          *changed = false;
                          return ERROR_SUCCESS;
                      }
                      return CreatePath(root, path.parts, access, &created) != nullptr ? ERROR_SUCCESS
                                                                                       : ERROR_ACCESS_DENIED;
                  });
}

DWORD DeleteKey(const QString& keyPath, Access access)
{
    return Mutate(keyPath, access, QStringLiteral("registry-delete-key"), QString(),
                  [&](Key& root, const KeyPath& path, bool*) -> DWORD {
                      if (path.parts.isEmpty()) {
                          return ERROR_ACCESS_DENIED;
                      }
                      bool readOnly = false;
                      Key* parent = FindPath(root, path.parts.mid(0, path.parts.size() - 1), &readOnly);
                      Key* key = parent != nullptr ? parent->FindKey(path.parts.last()) : nullptr;
                      if (key == nullptr) {
                          return ERROR_FILE_NOT_FOUND;
                      }
                      if ((readOnly || key->readOnly) && access == Access::Checked) {
                          return ERROR_ACCESS_DENIED;
                      }
                      parent->keys.erase(parent->keys.begin() + (key - parent->keys.data()));
                      return ERROR_SUCCESS;
                  });
}

DWORD SetKeyReadOnly(const QString& keyPath, bool readOnly)
{
    return Mutate(keyPath, Access::Unchecked, QStringLiteral("registry-read-only"),
                  readOnly ? QStringLiteral("on") : QStringLiteral("off"),
                  [&](Key& root, const KeyPath& path, bool*) -> DWORD {
                      bool created = false;
                      Key* key = CreatePath(root, path.parts, Access::Unchecked, &created);
                      key->readOnly = readOnly;
                      return ERROR_SUCCESS;
                  });
}

}  // namespace WinSim::Registry
