// JSON state files of the machine directory that programs change ("colour.json", "services.json",
// "failures.json"), read and written through the machine's one JSON reader and writer (FileStore.h).
#pragma once

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Win32.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

namespace WinSim::Detail {

QString StateFilePath(const QString& name, const QString& machine = MachineDirectory());
// The file's object, or `initial` when the file does not exist yet. Throws DamagedFileError
// naming a file that does not parse.
QJsonObject ReadStateFile(const QString& name, const QJsonObject& initial = QJsonObject(),
                          const QString& machine = MachineDirectory());
// Reads the file (or `initial`), lets `change` edit it and writes it back when `change` returns
// true. Returns true; a failure throws DamagedFileError (the file stays as it was) or MachineError.
bool UpdateStateFile(const QString& name, const std::function<bool(QJsonObject&)>& change,
                     const QJsonObject& initial = QJsonObject(), const QString& machine = MachineDirectory());

// For the Win32 stand-in functions, which report through the last error: as above, but a damaged
// file gives ERROR_FILE_CORRUPT and any other failure of the machine ERROR_GEN_FAILURE, with
// nullopt or false.
std::optional<QJsonObject> TryReadStateFile(const QString& name, const QJsonObject& initial = QJsonObject());
bool TryUpdateStateFile(const QString& name, const std::function<bool(QJsonObject&)>& change,
                        const QJsonObject& initial = QJsonObject());

}  // namespace WinSim::Detail

namespace WinSim {

// Failures a test asks for: the named stand-in call fails with `code`. A `qualifier` narrows the
// failure to one instance (an adapter's LUID low part for the display-association functions).
// Code 0 clears the entry.
void SetInjectedFailure(const QString& function, DWORD code, const QString& qualifier = QString(),
                        const QString& machine = MachineDirectory());
// The injected code for a call, looking first for "function@qualifier", then for "function".
std::optional<DWORD> InjectedFailure(const QString& function, const QString& qualifier = QString());
QJsonObject InjectedFailures(const QString& machine = MachineDirectory());

}  // namespace WinSim
