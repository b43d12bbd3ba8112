// Files shared by the processes of one machine. The machine's JSON files (description, registry
// hives, state files) are read and written only through ReadJsonFile, WriteJsonFile and
// UpdateJsonFile: a file that does not hold a JSON object is an error naming it, never an empty
// state that the next write would make permanent.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QLockFile>
#include <QString>

#include <functional>
#include <optional>

struct stat;

namespace WinSim::Detail {

// The object stored in `path`, or nullopt when the file does not exist. Throws DamagedFileError
// naming the file when it holds no JSON object (cut short, empty, not JSON), MachineError when it
// cannot be read.
std::optional<QJsonObject> ReadJsonFile(const QString& path);
// The object in `content`, read from `path`; throws DamagedFileError naming `path` when there is none.
QJsonObject ParseJsonFile(const QString& path, const QByteArray& content);
// The text a JSON file of the machine holds for `object`.
QByteArray JsonFileContent(const QJsonObject& object);
// Replaces `path` whole (WriteFileAtomically); throws MachineError when it cannot.
void WriteJsonFile(const QString& path, const QJsonObject& object);
// Under the file's lock ("<path>.lock", the lock QSettings takes too): reads the file (`absent`
// when it does not exist), lets `change` edit it and writes it back when `change` returns true.
// A damaged file stays as it was (DamagedFileError); MachineError when the lock cannot be taken
// or the file cannot be written.
void UpdateJsonFile(const QString& path, const std::function<bool(QJsonObject&)>& change,
                    const QJsonObject& absent = QJsonObject());

// Replaces `path` whole by writing a sibling file and renaming it over the old one, so a
// reader sees either the old or the new content; a symbolic link at `path` or at the sibling's name
// is replaced itself, its target left alone. The new file's modification time is made later than
// the old one's, so readers that cache by time notice every change. Sibling files left by writers
// that died mid-write are removed. The sibling is "<path>.tmp.<pid>", or with `hidden` ".<name>.tmp.<pid>",
// which directory listings leave out (the colour directory's profiles).
bool WriteFileAtomically(const QString& path, const QByteArray& content, bool hidden = false);

// Removes the temporary siblings WriteFileAtomically left for `path` whose writer no longer runs.
void RemoveStaleTemporaries(const QString& path, bool hidden = false);

// Sets the modification time of the open file `fd` later than `before` (the replaced file's) when
// the clock has not moved on, so that a same-size rewrite is seen by readers that cache by time.
void AdvanceModificationTime(int fd, const struct stat& before);

// Takes `lock`, polling every few milliseconds: QLockFile::lock() backs off up to seconds between
// tries, while the machine's files are held only for milliseconds. Gives up (false) after a bound
// longer than QLockFile's stale-lock time, so a lock whose holder cannot be checked is broken
// first; false at once on a lock-file error.
bool LockPromptly(QLockFile& lock);

// Removes the QLockFile at `path` when its maker died before writing who holds it: an empty file on
// which no process holds the kernel lock that QLockFile takes with the file (a file with content
// names its holder, whom QLockFile itself checks). A file younger than the moment between its
// creation and that lock is watched until it is that old (at most half a second). True when it was
// removed.
bool RemoveDeadLockFile(const QString& path);

// Replaces a symbolic link at `path` by a regular file holding what the link showed (its target's
// content when that is a regular file, else nothing); the target stays as it was. Takes the file's
// lock unless the caller holds it. False when `path` is still a link.
bool ReplaceSymbolicLink(const QString& path, bool lockHeld = false);

// Makes the machine's folder `path` when missing; a symbolic link at its name is removed first, so
// that nothing kept there lands in the link's target. False when it cannot be made.
bool MakeMachineFolder(const QString& path);

// The content of `path`, or an empty array when it does not exist.
QByteArray ReadWholeFile(const QString& path, bool* exists = nullptr);

// Appends one line with a single write (atomic for lines of ordinary length). A symbolic link at
// `path` is first replaced by a regular file holding what it showed, so the line never lands
// in the link's target.
void AppendLine(const QString& path, const QByteArray& line);

}  // namespace WinSim::Detail
