// What the colour-system stand-in's areas share: the state file "colour.json" (read and changed
// through the machine's JSON reader and writer), edits of its nested objects, profile names and
// the reporting of failures.
#pragma once

#include "WindowsStandIn/ColorSystem.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace WinSim::Detail::Colour {

QString FromWide(LPCWSTR text);
QString FromNarrow(LPCSTR text);
// Profiles are known by their file name; callers may pass a full path ("\" or "/" separators).
QString ProfileFileName(const QString& profile);
bool IsInstalled(const QString& fileName);
QString ScopeName(WCS_PROFILE_MANAGEMENT_SCOPE scope);
QString SubTypeName(COLORPROFILESUBTYPE subType);  // empty for an unknown subtype

// Sets the last error; false / the HRESULT of the code.
bool Fail(DWORD code);
HRESULT FailHresult(DWORD code);
// The injected failure of `function` (for `qualifier`), already reported through SetLastError.
bool Injected(const char* function, const QString& qualifier = QString());
HRESULT InjectedHresult(const char* function, const QString& qualifier);

// The state, or nullopt with the last error set (ERROR_FILE_CORRUPT for a damaged file).
std::optional<QJsonObject> State();
// Changes the state under its lock; false with the last error set when it cannot be read or written.
bool Update(const std::function<void(QJsonObject&)>& change);

// state[a][b]... as an object path: read, set (undefined removes) .
QJsonValue At(const QJsonObject& object, const QStringList& path);
void SetAt(QJsonObject& object, const QStringList& path, const QJsonValue& value);
// A name list with or without `name` (compared ignoring case).
QJsonArray WithName(QJsonArray list, const QString& name);
QJsonArray WithoutName(const QJsonArray& list, const QString& name);
// Removes every mention of an uninstalled profile from the state.
void ForgetProfile(QJsonObject& state, const QString& name);

}  // namespace WinSim::Detail::Colour
