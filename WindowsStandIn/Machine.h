// The simulated machine: one directory that holds what a Windows laptop holds for
// these programs (description, registry hives, drive C, journal).
#pragma once

#include <stdexcept>

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace WinSim {

// Thrown by the machine's own management functions (creation, description edits);
// the Win32 stand-in functions report through error codes instead.
class MachineError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file of the machine that does not parse; the message names it. Nothing writes over such a file.
class DamagedFileError : public MachineError {
public:
    using MachineError::MachineError;
};

// The machine directory of this process: $WINSIM_MACHINE, or the default machine,
// which is created from the "default" preset on first use.
QString MachineDirectory();
QString DefaultMachineDirectory();

// Creates a machine in `directory` (absent or empty) from a preset shipped with the project.
void CreateMachine(const QString& directory, const QString& preset = QStringLiteral("default"));
QStringList PresetNames();

QString DescriptionFile(const QString& machine = MachineDirectory());
QJsonObject LoadDescription(const QString& machine = MachineDirectory());
// Reads one field by dotted key ("displays.0.hdr.enabled"); undefined when absent.
QJsonValue DescriptionValue(const QString& dottedKey, const QString& machine = MachineDirectory());
// Changes one field by dotted key, creating missing objects on the way.
void SetDescriptionValue(const QString& dottedKey, const QJsonValue& value,
                         const QString& machine = MachineDirectory());

// Maps a Windows path of drive C ("C:/ProgramData/..." or "C:\\ProgramData\\...") into the
// machine; "\" is a separator. Other paths come back with "/" separators.
QString MapWindowsPath(const QString& windowsPath, const QString& machine = MachineDirectory());

// A process is elevated when it was started through the "runas" stand-in (or `winsim run --elevated`).
bool IsElevated();
inline constexpr const char* ElevationVariable = "WINSIM_ELEVATED";
inline constexpr const char* MachineVariable = "WINSIM_MACHINE";

// The journal: one event a line, "<time> <pid> <event> <details>".
void Journal(const QString& event, const QString& details, const QString& machine = MachineDirectory());
QString JournalFile(const QString& machine = MachineDirectory());
QStringList ReadJournal(const QString& machine = MachineDirectory());

}  // namespace WinSim
