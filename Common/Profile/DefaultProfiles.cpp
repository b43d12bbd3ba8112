#include "Common/Profile/DefaultProfiles.h"

#include "Common/Application/Paths.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/ProfileInstallStep.h"
#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/NamedObjects.h"
#include "WindowsStandIn/Win32.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <exception>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

const QString SdrKey = QStringLiteral("sdr");
const QString AdvancedColorKey = QStringLiteral("advancedColor");
const QString RecordFileName = QStringLiteral("PreviousDefaultProfiles.json");
const QString RecordLockName = QStringLiteral("previous-default-profiles");

// The display's default of one mode: empty when none is set, nullopt when it cannot be read.
std::optional<QString> ReadDefault(IProfileHelper& helper, bool advancedColor)
{
    try {
        return helper.ReadActiveProfile(advancedColor);
    } catch (const ReadActiveProfileException& error) {
        if (DWORD(error.Code()) == (advancedColor ? ERROR_NOT_FOUND : ERROR_FILE_NOT_FOUND)) {
            return QString();
        }
        return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool Differs(const std::optional<QString>& current, const QString& wanted)
{
    return !current || current->compare(wanted, Qt::CaseInsensitive) != 0;
}

// A record's value: the key is absent (unknown), or holds a plain file name or "" (none).
bool ReadValue(const QJsonObject& object, const QString& key, std::optional<QString>& value)
{
    if (!object.contains(key)) {
        return true;
    }
    if (!object.value(key).isString()) {
        return false;
    }
    value = object.value(key).toString();
    return value->isEmpty() || IsPlainFileName(*value);
}

QString Describe(const std::optional<QString>& value)
{
    return !value ? QStringLiteral("unknown") : value->isEmpty() ? QStringLiteral("none") : *value;
}

// A file, or a link, at `path`.
bool Stands(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Puts back the record that stands while the caller holds its lock, and removes it.
LeftDefaultProfiles PutBackStandingRecord(IProfileHelper& helper)
{
    using Outcome = LeftDefaultProfiles::Outcome;
    const QString path = DefaultProfilesRecord::Path();
    if (!Stands(path)) {
        return {};
    }
    std::optional<DefaultProfiles> defaults;
    QString problem = QStringLiteral("it holds no default profiles");
    if (QFileInfo(path).isSymLink()) {
        problem = QStringLiteral("it is a symbolic link");
    } else {
        try {
            const std::optional<QJsonObject> object = WinSim::Detail::ReadJsonFile(path);
            if (!object) {
                return {};
            }
            defaults = DefaultProfiles::FromJson(*object);
        } catch (const std::exception& error) {
            problem = QString::fromUtf8(error.what());
        }
    }
    if (!defaults) {
        QFile::remove(path);
        return {Outcome::Unreadable, path + ": " + problem};
    }
    QString failure;
    const DefaultProfiles::PutBackResult result = defaults->PutBack(helper, failure);
    QFile::remove(path);
    const QString recorded =
        "SDR " + Describe(defaults->Sdr()) + ", advanced colour " + Describe(defaults->AdvancedColor());
    if (result == DefaultProfiles::PutBackResult::Failed) {
        return {Outcome::NotPutBack, recorded + ": " + failure};
    }
    return {Outcome::PutBack, recorded};
}

}  // namespace

DefaultProfiles DefaultProfiles::Read(IProfileHelper& helper)
{
    DefaultProfiles defaults;
    defaults.sdr = ReadDefault(helper, false);
    defaults.advancedColor = ReadDefault(helper, true);
    return defaults;
}

DefaultProfiles::PutBackResult DefaultProfiles::PutBack(IProfileHelper& helper, QString& failure) const
{
    try {
        if (advancedColor) {
            const std::optional<QString> current = ReadDefault(helper, true);
            if (Differs(current, *advancedColor)) {
                if (!advancedColor->isEmpty()) {
                    helper.ActivateProfile(*advancedColor, true);
                } else if (current) {
                    helper.RemoveAdvancedColorAssociation(*current);
                } else {
                    failure = QStringLiteral("The advanced-colour default profile cannot be read.");
                    return PutBackResult::Failed;
                }
            }
        }
        if (sdr && !sdr->isEmpty() && Differs(ReadDefault(helper, false), *sdr)) {
            helper.ActivateProfile(*sdr, false);
        }
        return sdr && !sdr->isEmpty() ? PutBackResult::PreviousInUse : PutBackResult::NoSdrProfile;
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
        return PutBackResult::Failed;
    }
}

QJsonObject DefaultProfiles::ToJson() const
{
    QJsonObject object;
    if (sdr) {
        object.insert(SdrKey, *sdr);
    }
    if (advancedColor) {
        object.insert(AdvancedColorKey, *advancedColor);
    }
    return object;
}

std::optional<DefaultProfiles> DefaultProfiles::FromJson(const QJsonObject& object)
{
    DefaultProfiles defaults;
    for (const QString& key : object.keys()) {
        if (key != SdrKey && key != AdvancedColorKey) {
            return std::nullopt;
        }
    }
    if (!ReadValue(object, SdrKey, defaults.sdr) || !ReadValue(object, AdvancedColorKey, defaults.advancedColor)) {
        return std::nullopt;
    }
    return defaults;
}

QString LeftDefaultProfiles::Description() const
{
    switch (outcome) {
    case Outcome::None:
        return QString();
    case Outcome::UpdateRunning:
        return QStringLiteral("The default profiles recorded by an update that still runs are left alone.");
    case Outcome::PutBack:
        return "The default profiles recorded by an interrupted update were put back (" + detail + ").";
    case Outcome::NotPutBack:
        return "The default profiles recorded by an interrupted update could not be put back (" + detail + ").";
    case Outcome::Unreadable:
        return "A record of default profiles that does not read was removed (" + detail + ").";
    }
    return QString();
}

DefaultProfilesRecord::DefaultProfilesRecord(IProfileHelper& helper)
{
    try {
        lock = std::make_unique<WinSim::NamedLock>(RecordLockName);
        if (lock->Held()) {
            left = PutBackStandingRecord(helper);
        } else {
            failure = lock->HeldByAnother() ? QStringLiteral("An update in another program holds the record's lock.")
                                            : QStringLiteral("The record's lock cannot be taken.");
            lock.reset();
        }
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
        lock.reset();
    }
    previous = DefaultProfiles::Read(helper);
    if (!lock) {
        return;
    }
    try {
        const QString path = Path();
        QDir().mkpath(QFileInfo(path).path());
        WinSim::Detail::WriteJsonFile(path, previous.ToJson());
        recordPath = path;
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
        lock.reset();
    }
}

DefaultProfilesRecord::~DefaultProfilesRecord()
{
    if (!recordPath.isEmpty()) {
        QFile::remove(recordPath);
    }
}

QStringList DefaultProfilesRecord::Notes() const
{
    QStringList notes;
    if (const QString found = left.Description(); !found.isEmpty()) {
        notes << found;
    }
    if (!Recorded()) {
        notes << "The display's default profiles are not recorded: " + failure;
    }
    return notes;
}

QString DefaultProfilesRecord::Path()
{
    return QDir(ApplicationDataDirectory()).filePath(RecordFileName);
}

LeftDefaultProfiles DefaultProfilesRecord::PutBackLeftRecord(IProfileHelper& helper)
{
    try {
        if (!Stands(Path())) {
            return {};
        }
        const WinSim::NamedLock held(RecordLockName);
        if (!held.Held()) {
            return held.HeldByAnother()
                       ? LeftDefaultProfiles{LeftDefaultProfiles::Outcome::UpdateRunning, QString()}
                       : LeftDefaultProfiles{LeftDefaultProfiles::Outcome::NotPutBack,
                                             QStringLiteral("the record's lock cannot be taken")};
        }
        return PutBackStandingRecord(helper);
    } catch (const std::exception& error) {
        return {LeftDefaultProfiles::Outcome::NotPutBack, QString::fromUtf8(error.what())};
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
