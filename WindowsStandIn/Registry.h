// The registry store of the simulated machine: the HKLM and HKCU hives as JSON files in
// "<machine>/registry", case-insensitive and case-preserving like Windows. Every process of
// the machine shares them: writes are serialised with a lock file and replace the hive
// whole, so each write is visible to other processes at once.
#pragma once

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Win32.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>
#include <utility>
#include <vector>

namespace WinSim::Registry {

enum class Hive { LocalMachine, CurrentUser };

// Whether the caller's rights are checked: programs of the machine are checked (HKLM writes
// need elevation, read-only keys refuse writes); the machine's own tool is not.
enum class Access { Checked, Unchecked };

struct Value {
    DWORD type = REG_NONE;
    // REG_SZ/REG_EXPAND_SZ: QString; REG_DWORD: quint32; REG_QWORD: quint64;
    // REG_MULTI_SZ: QStringList; REG_BINARY/REG_NONE: QByteArray.
    QVariant data;

    friend bool operator==(const Value&, const Value&) = default;
};

struct Key {
    QString name;
    bool readOnly = false;
    std::vector<std::pair<QString, Value>> values;
    std::vector<Key> keys;

    Key* FindKey(const QString& name);
    const Key* FindKey(const QString& name) const;
    const Value* FindValue(const QString& name) const;
    // Stores `value` under `name`, replacing a value of that name in any case; true when it changed.
    bool SetValue(const QString& name, const Value& value);
    friend bool operator==(const Key&, const Key&) = default;
};

struct KeyPath {
    Hive hive = Hive::LocalMachine;
    QStringList parts;  // subkeys below the hive's root
    QString ToString() const;
};

// Accepts "HKEY_LOCAL_MACHINE\\A\\B", "HKLM/A/B", "HKEY_CURRENT_USER", "HKCU\\A".
std::optional<KeyPath> ParseKeyPath(const QString& path);
QString HiveName(Hive hive);
QString HiveFile(Hive hive, const QString& machine = MachineDirectory());

DWORD TypeFromName(const QString& name);  // REG_NONE for an unknown name
QString TypeName(DWORD type);
// A value of `type` from text, as `winsim reg set` takes it; nullopt when the text does not fit.
std::optional<Value> ValueFromText(DWORD type, const QString& text);
QString ValueToText(const Value& value);

// Walking a hive: the key at `parts` below `root` (null when missing); `readOnly` tells whether it
// or a key above it is read-only.
const Key* FindPath(const Key& root, const QStringList& parts, bool* readOnly = nullptr);
Key* FindPath(Key& root, const QStringList& parts, bool* readOnly = nullptr);
// Finds or creates the key at `parts`. With checked access a read-only key on the way refuses
// (null); `created` is set when a key was added, `readOnly` as for FindPath.
Key* CreatePath(Key& root, const QStringList& parts, Access access, bool* created = nullptr, bool* readOnly = nullptr);

// Whole hives (for the QSettings format and the tool). A hive file that does not parse throws
// DamagedFileError naming it; the lookups and changes below report it as ERROR_BADDB.
Key LoadHive(Hive hive, const QString& machine = MachineDirectory());
Key HiveFromJson(const QJsonObject& object);
QJsonObject HiveToJson(const Key& root);

// Lookups: ERROR_SUCCESS, or ERROR_FILE_NOT_FOUND when the key or value does not exist (ERROR_BADDB:
// the hive is damaged).
DWORD GetValue(const QString& keyPath, const QString& name, Value& out);
DWORD ListValues(const QString& keyPath, QStringList& names);
DWORD ListSubkeys(const QString& keyPath, QStringList& names);
bool KeyExists(const QString& keyPath);

// Changes: ERROR_SUCCESS, ERROR_ACCESS_DENIED (HKLM without elevation, read-only key),
// ERROR_FILE_NOT_FOUND (deleting what is not there), ERROR_INVALID_PARAMETER (bad path).
DWORD SetValue(const QString& keyPath, const QString& name, const Value& value, Access access = Access::Checked);
DWORD DeleteValue(const QString& keyPath, const QString& name, Access access = Access::Checked);
DWORD CreateKey(const QString& keyPath, Access access = Access::Checked);
DWORD DeleteKey(const QString& keyPath, Access access = Access::Checked);  // with its subkeys
DWORD SetKeyReadOnly(const QString& keyPath, bool readOnly);                 // the machine's own tool

// An open key (for RegQueryValueExW, RegEnumValueA, RegCloseKey) that holds the given values
// in this order instead of a key of the store: a device's hardware key.
HKEY OpenValueSnapshot(const QString& path, std::vector<std::pair<QString, Value>> values);

}  // namespace WinSim::Registry
