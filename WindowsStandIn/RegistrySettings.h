// QSettings over the machine's registry store. A registered QSettings format reads and
// writes a whole hive; OpenRegistrySettings positions a settings object on one key:
//
//     auto settings = WinSim::OpenRegistrySettings("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\App\\PanelInfo");
//     settings->value("HdrSupported");
//
// The key path is matched ignoring case, as Windows does; QSettings itself compares names
// case-sensitively here, so value names and groups entered with beginGroup must be spelt as
// they are stored. Writes merge with stored names ignoring case. A write that the store refuses (HKLM without elevation, a
// read-only key) leaves the hive unchanged and sets status() to AccessError at sync().
// A long-lived object sees other processes' writes after sync(). Never call clear(): it
// empties the whole hive, not just the key.
#pragma once

#include <QSettings>
#include <QString>

#include <memory>

namespace WinSim {

QSettings::Format RegistryFormat();

// A settings object positioned (through beginGroup) on `keyPath`, or null when the path does
// not name a hive ("HKEY_LOCAL_MACHINE\\...", "HKEY_CURRENT_USER\\..."). Throws MachineError when
// there is no machine. A damaged hive reads with status() FormatError, and no write replaces it.
std::unique_ptr<QSettings> OpenRegistrySettings(const QString& keyPath);

// QSettings keeps a change the store refused in its cache, shared by every settings object of
// the process on that hive, and offers it again at each sync(). After such a refusal this sets
// the value `name` of the object's current group back to what the store holds (removes it when
// the store has none), so that reads and later syncs agree with the registry.
void RevertToStore(QSettings& settings, const QString& name);

}  // namespace WinSim
