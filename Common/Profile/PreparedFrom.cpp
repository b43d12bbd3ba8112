#include "Common/Profile/PreparedFrom.h"

#include "Common/Profile/ProfileInstallStep.h"
#include "WindowsStandIn/Win32.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

constexpr qsizetype Sha256Size = 32;

// The exception's message: its text adds the last line's period.
std::string Lines(const QStringList& names)
{
    QStringList lines;
    for (const QString& name : names) {
        lines << ProfileChangedException::Line(name);
    }
    QString text = lines.join(QLatin1Char('\n'));
    text.chop(1);
    return text.toStdString();
}

}  // namespace

ProfileChangedException::ProfileChangedException(const QStringList& names)
    : InstallProfileException(std::int32_t(ERROR_FILE_INVALID), Lines(names)), names(names)
{
}

QString ProfileChangedException::Line(const QString& name)
{
    return QStringLiteral("Profile %1 changed since it was read.").arg(name);
}

QByteArray InstalledFileDigest(const QString& directory, const QString& name)
{
    const QString path = directory + QLatin1Char('/') + name;
    const QFileInfo file(path);
    if (!file.exists() && !file.isSymLink()) {
        return QByteArray();
    }
    // A link is never followed: what it names is no installed profile.
    QFile content(path);
    if (file.isSymLink() || !file.isFile() || !content.open(QIODevice::ReadOnly)) {
        throw InstallProfileException(("Profile " + name + " cannot be read.").toStdString());
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&content)) {
        throw InstallProfileException(("Profile " + name + " cannot be read.").toStdString());
    }
    return hash.result();
}

PreparedFrom ReadPreparedFrom(const QString& directory, const QStringList& names)
{
    PreparedFrom digests;
    for (const QString& name : names) {
        digests.insert(name, InstalledFileDigest(directory, name));
    }
    return digests;
}

QStringList ChangedSince(const QString& directory, const PreparedFrom& preparedFrom)
{
    QStringList changed;
    for (auto it = preparedFrom.cbegin(); it != preparedFrom.cend(); ++it) {
        if (InstalledFileDigest(directory, it.key()) != it.value()) {
            changed << it.key();
        }
    }
    return changed;
}

QString PreparedFromValue(const QString& name, const QByteArray& digest)
{
    return name + QLatin1Char('=') + QString::fromLatin1(digest.toHex());
}

std::optional<std::pair<QString, QByteArray>> ParsePreparedFromValue(const QString& value)
{
    const qsizetype separator = value.lastIndexOf(QLatin1Char('='));
    if (separator < 0) {
        return std::nullopt;
    }
    const QString name = value.left(separator);
    const QString hex = value.mid(separator + 1);
    if (!IsPlainFileName(name)) {
        return std::nullopt;
    }
    if (hex.isEmpty()) {
        return std::pair{name, QByteArray()};
    }
    const QByteArray digest = QByteArray::fromHex(hex.toLatin1());
    // fromHex skips what is no hexadecimal digit: the text must be exactly the digest's.
    if (hex.size() != 2 * Sha256Size || digest.size() != Sha256Size ||
        QString::fromLatin1(digest.toHex()).compare(hex, Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return std::pair{name, digest};
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
