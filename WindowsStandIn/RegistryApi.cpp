// Reg* functions over the machine's registry store.
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/SimulatedDisplays.h"
#include "WindowsStandIn/Win32.h"

#include <QString>
#include <QStringList>

#include <cstring>
#include <tuple>
#include <optional>
#include <utility>
#include <vector>

struct HKEY__ {
    QString path;
    // A key whose values were handed over when it was opened (a device's hardware key).
    std::optional<std::vector<std::pair<QString, WinSim::Registry::Value>>> snapshot;
};

namespace {

bool IsPredefined(HKEY key)
{
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER;
}

QString PathOf(HKEY key)
{
    if (key == HKEY_LOCAL_MACHINE) {
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    }
    if (key == HKEY_CURRENT_USER) {
        return QStringLiteral("HKEY_CURRENT_USER");
    }
    return key->path;
}

QString FromWide(LPCWSTR text)
{
    return text != nullptr ? QString::fromWCharArray(text) : QString();
}


// The value's data as Reg* functions return it: texts with their terminating null, wide or
// narrow (multi-strings with a final extra null), numbers little-endian, the rest raw.
std::string ValueBytes(const WinSim::Registry::Value& value, bool wide)
{
    std::string bytes;
    auto appendText = [&bytes, wide](const QString& text) {
        if (wide) {
            const std::wstring data = text.toStdWString();
            bytes.append(reinterpret_cast<const char*>(data.c_str()), (data.size() + 1) * sizeof(wchar_t));
        } else {
            const QByteArray data = text.toLocal8Bit();
            bytes.append(data.constData(), size_t(data.size()) + 1);
        }
    };
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        appendText(value.data.toString());
        break;
    case REG_MULTI_SZ:
        for (const QString& item : value.data.toStringList()) {
            appendText(item);
        }
        appendText(QString());
        break;
    case REG_DWORD: {
        const quint32 number = value.data.toUInt();
        bytes.assign(reinterpret_cast<const char*>(&number), sizeof number);
        break;
    }
    case REG_QWORD: {
        const quint64 number = value.data.toULongLong();
        bytes.assign(reinterpret_cast<const char*>(&number), sizeof number);
        break;
    }
    default: {
        const QByteArray raw = value.data.toByteArray();
        bytes.assign(raw.constData(), size_t(raw.size()));
    }
    }
    return bytes;
}

DWORD LookUpValue(HKEY key, const QString& name, WinSim::Registry::Value& out)
{
    if (key != nullptr && !IsPredefined(key) && key->snapshot) {
        for (const auto& [valueName, value] : *key->snapshot) {
            if (valueName.compare(name, Qt::CaseInsensitive) == 0) {
                out = value;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    }
    return WinSim::Registry::GetValue(PathOf(key), name, out);
}

}  // namespace

namespace WinSim::Registry {

HKEY OpenValueSnapshot(const QString& path, std::vector<std::pair<QString, Value>> values)
{
    return new HKEY__{path, std::move(values)};
}

}  // namespace WinSim::Registry

LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    if (key == nullptr || result == nullptr) {
        return LSTATUS(ERROR_INVALID_HANDLE);
    }
    QString path = PathOf(key);
    const QString sub = FromWide(subKey);
    if (!sub.isEmpty()) {
        path += "\\" + sub;
    }
    QStringList subkeys;
    if (const DWORD status = WinSim::Registry::ListSubkeys(path, subkeys); status != ERROR_SUCCESS) {
        return LSTATUS(status == ERROR_BADDB ? ERROR_BADDB : ERROR_FILE_NOT_FOUND);
    }
    *result = new HKEY__{path, std::nullopt};
    return LSTATUS(ERROR_SUCCESS);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (key == nullptr || (data != nullptr && dataSize == nullptr)) {
        return LSTATUS(ERROR_INVALID_PARAMETER);
    }
    WinSim::Registry::Value value;
    const DWORD status = LookUpValue(key, FromWide(valueName), value);
    if (status != ERROR_SUCCESS) {
        return LSTATUS(status);
    }
    const std::string bytes = ValueBytes(value, true);
    if (type != nullptr) {
        *type = value.type;
    }
    if (dataSize == nullptr) {
        return LSTATUS(ERROR_SUCCESS);
    }
    const DWORD capacity = *dataSize;
    *dataSize = DWORD(bytes.size());
    if (data == nullptr) {
        return LSTATUS(ERROR_SUCCESS);
    }
    if (bytes.size() > capacity) {
        return LSTATUS(ERROR_MORE_DATA);
    }
    std::memcpy(data, bytes.data(), bytes.size());
    return LSTATUS(ERROR_SUCCESS);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD, LPDWORD type,
                      LPBYTE data, LPDWORD dataSize)
{
    if (key == nullptr || valueName == nullptr || valueNameSize == nullptr || (data != nullptr && dataSize == nullptr)) {
        return LSTATUS(ERROR_INVALID_PARAMETER);
    }
    QString name;
    WinSim::Registry::Value value;
    if (!IsPredefined(key) && key->snapshot) {
        if (const LONG fault = WinSim::Displays::Fault("RegEnumValueA"); fault != 0) {
            return fault;
        }
        if (index >= key->snapshot->size()) {
            return LSTATUS(ERROR_NO_MORE_ITEMS);
        }
        std::tie(name, value) = (*key->snapshot)[index];
    } else {
        QStringList names;
        const DWORD status = WinSim::Registry::ListValues(PathOf(key), names);
        if (status != ERROR_SUCCESS) {
            return LSTATUS(status);
        }
        if (index >= DWORD(names.size())) {
            return LSTATUS(ERROR_NO_MORE_ITEMS);
        }
        name = names[index];
        if (WinSim::Registry::GetValue(PathOf(key), name, value) != ERROR_SUCCESS) {
            return LSTATUS(ERROR_NO_MORE_ITEMS);
        }
    }
    const QByteArray narrowName = name.toLocal8Bit();
    if (DWORD(narrowName.size()) + 1 > *valueNameSize) {
        return LSTATUS(ERROR_MORE_DATA);
    }
    const std::string bytes = ValueBytes(value, false);
    if (data != nullptr && bytes.size() > *dataSize) {
        return LSTATUS(ERROR_MORE_DATA);
    }
    std::memcpy(valueName, narrowName.constData(), size_t(narrowName.size()) + 1);
    *valueNameSize = DWORD(narrowName.size());
    if (type != nullptr) {
        *type = value.type;
    }
    if (dataSize != nullptr) {
        if (data != nullptr) {
            std::memcpy(data, bytes.data(), bytes.size());
        }
        *dataSize = DWORD(bytes.size());
    }
    return LSTATUS(ERROR_SUCCESS);
}

LSTATUS RegCloseKey(HKEY key)
{
    if (key == nullptr || IsPredefined(key)) {
        return LSTATUS(key == nullptr ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    }
    delete key;
    return LSTATUS(ERROR_SUCCESS);
}
