// Small helpers for files shared by the processes of one machine.
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QString>

namespace WinSim::Detail {

// Replaces `path` whole by writing a sibling file and renaming it over the old one, so a
// reader sees either the old or the new content. The new file's modification time is made
// later than the old one's, so readers that cache by time notice every change.
bool WriteFileAtomically(const QString& path, const QByteArray& content);

// Takes `lock`, polling every few milliseconds: QLockFile::lock() backs off up to seconds between
// tries, while the machine's files are held only for milliseconds. False on a lock-file error.
bool LockPromptly(QLockFile& lock);

// The content of `path`, or an empty array when it does not exist.
QByteArray ReadWholeFile(const QString& path, bool* exists = nullptr);

// Appends one line with a single write (atomic for lines of ordinary length).
void AppendLine(const QString& path, const QByteArray& line);

}  // namespace WinSim::Detail
