// Reg* functions over the machine's registry store.
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/Win32.h"

#include <QString>

#include <cstring>

struct HKEY__ {
    QString path;
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

}  // namespace

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
    if (!WinSim::Registry::KeyExists(path)) {
        return LSTATUS(ERROR_FILE_NOT_FOUND);
    }
    *result = new HKEY__{path};
    return LSTATUS(ERROR_SUCCESS);
}

LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (key == nullptr || (data != nullptr && dataSize == nullptr)) {
        return LSTATUS(ERROR_INVALID_PARAMETER);
    }
    WinSim::Registry::Value value;
    const DWORD status = WinSim::Registry::GetValue(PathOf(key), FromWide(valueName), value);
    if (status != ERROR_SUCCESS) {
        return LSTATUS(status);
    }
    // Texts come back as wide strings with their terminating null (multi-strings with a final extra null).
    std::string bytes;
    auto appendWide = [&bytes](const QString& text) {
        const std::wstring wide = text.toStdWString();
        bytes.append(reinterpret_cast<const char*>(wide.c_str()), (wide.size() + 1) * sizeof(wchar_t));
    };
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        appendWide(value.data.toString());
        break;
    case REG_MULTI_SZ:
        for (const QString& item : value.data.toStringList()) {
            appendWide(item);
        }
        appendWide(QString());
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

LSTATUS RegCloseKey(HKEY key)
{
    if (key == nullptr || IsPredefined(key)) {
        return LSTATUS(key == nullptr ? ERROR_INVALID_HANDLE : ERROR_SUCCESS);
    }
    delete key;
    return LSTATUS(ERROR_SUCCESS);
}
