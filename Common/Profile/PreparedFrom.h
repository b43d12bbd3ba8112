// What an installation prepared from installed profiles was prepared from: the SHA-256 of each
// installed file as the caller read it, by its file name in the colour directory (an empty digest:
// there was no such file). The elevated tool checks them under the installation's lock and refuses
// the whole installation when one of them changed since, so a copy made before another program
// replaced the set never replaces that program's files.
#pragma once

#include "Common/Profile/ProfileHelperExceptions.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace Korvel::DisplayCalibration::Common::Profile {

using PreparedFrom = QMap<QString, QByteArray>;

// An installation refused because installed files it was prepared from changed since they were
// read: one line "Profile NAME changed since it was read." per file, code ERROR_FILE_INVALID.
class ProfileChangedException : public InstallProfileException {
public:
    explicit ProfileChangedException(const QStringList& names);
    const QStringList& Names() const { return names; }
    // "Profile NAME changed since it was read."
    static QString Line(const QString& name);

private:
    QStringList names;
};

// The SHA-256 of the file `name` of `directory` as it is now; empty when there is no such file.
// Throws InstallProfileException when something else stands there or the file cannot be read.
QByteArray InstalledFileDigest(const QString& directory, const QString& name);
// The digests of `names` (plain file names of `directory`), read one after the other.
PreparedFrom ReadPreparedFrom(const QString& directory, const QStringList& names);
// The names of `preparedFrom` whose file in `directory` is no longer the one read, in name order.
QStringList ChangedSince(const QString& directory, const PreparedFrom& preparedFrom);

// The command-line form "NAME=SHA256HEX" (lower-case hexadecimal; "NAME=" for a file that was absent).
QString PreparedFromValue(const QString& name, const QByteArray& digest);
// Reads that form back: nullopt unless NAME is a plain file name and the digest is empty or 64
// hexadecimal digits. A name holding "=" is read up to the last "=".
std::optional<std::pair<QString, QByteArray>> ParsePreparedFromValue(const QString& value);

}  // namespace Korvel::DisplayCalibration::Common::Profile
