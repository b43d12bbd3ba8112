#pragma once

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Windows {

// Reads the machine-wide panel values (most of them AES-encrypted and Base64-encoded). Each read
// throws ReadRegistryException when the hive cannot be read.
class IRegistryParser {
public:
    virtual ~IRegistryParser() = default;
    // False when the group has no keys, the key is absent or the value does not decrypt; `out` then stays unchanged.
    virtual bool ReadString(const QString& group, const QString& key, QString& out) = 0;
    // As ReadString; a text that is no base-10 number reads as 0.
    virtual bool ReadInt(const QString& group, const QString& key, int& out) = 0;
    // 0: the group has no keys; 2: a key is absent or empty; 3: all present and non-empty.
    virtual int CheckValues(const QString& group, const QStringList& keys) = 0;
    virtual bool GroupHasKeys(const QString& group) = 0;
    // The key exists and its value is not the empty text.
    virtual bool HasValue(const QString& group, const QString& key) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
