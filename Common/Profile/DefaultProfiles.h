#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace WinSim {
class NamedLock;
}

namespace Korvel::DisplayCalibration::Common::Profile {

class IProfileHelper;

// The internal display's default SDR and advanced-colour profiles at one moment, so that a road that
// changes them and then fails can put them back. Each is known (a profile's file name, or empty when
// none is set) or unknown (it could not be read); only known ones are ever put back.
class DefaultProfiles {
public:
    // Reads both defaults.
    static DefaultProfiles Read(IProfileHelper& helper);

    enum class PutBackResult {
        PreviousInUse,  // every known default is in force again, an SDR profile among them
        NoSdrProfile,   // the known ones are in force again; no SDR profile was known (none, or unread)
        Failed,         // a default could not be put back (the helper's text in `failure`)
    };
    // Makes the known defaults the display's defaults again where the current ones differ. An
    // advanced-colour default that was none is removed again; an SDR default that was none is left
    // as it is (Windows has no way back to none).
    PutBackResult PutBack(IProfileHelper& helper, QString& failure) const;

    const std::optional<QString>& Sdr() const { return sdr; }
    const std::optional<QString>& AdvancedColor() const { return advancedColor; }

    // The known defaults as a JSON object ("sdr", "advancedColor"; an unknown one is left out), and
    // back: nullopt unless every value there is a profile's plain file name or empty.
    QJsonObject ToJson() const;
    static std::optional<DefaultProfiles> FromJson(const QJsonObject& object);

private:
    std::optional<QString> sdr;
    std::optional<QString> advancedColor;
};

// What a start (or an update) found of a record that a killed update left.
struct LeftDefaultProfiles {
    enum class Outcome {
        None,           // no record
        UpdateRunning,  // its update runs in another program: left alone
        PutBack,        // its defaults are in force again; the record is removed
        NotPutBack,     // a default could not be put back; the record is removed
        Unreadable,     // it does not read as a record; removed, nothing changed
    };
    Outcome outcome = Outcome::None;
    QString detail;

    // A line for the log; empty when there was no record.
    QString Description() const;
};

// The defaults of before an update's switch to Windows' sRGB profile, recorded while the update runs
// so that a killed update does not leave the display on sRGB: the next start of the tray program or
// of Quillon puts them back. The record is one file below the application data root, which both
// programs share, written whole and never through a symbolic link; the update holds a named lock,
// which the kernel releases when its holder dies, for as long as its record stands.
class DefaultProfilesRecord {
public:
    // Takes the lock, puts back what a killed update left recorded (Left()), reads the display's
    // defaults (Previous()) and records them. Without the lock (another program's update holds it)
    // or when the file cannot be written nothing is recorded: Recorded() is false, Failure() says
    // why, and the update goes on without a record.
    explicit DefaultProfilesRecord(IProfileHelper& helper);
    // Removes the record, then releases the lock.
    ~DefaultProfilesRecord();
    DefaultProfilesRecord(const DefaultProfilesRecord&) = delete;
    DefaultProfilesRecord& operator=(const DefaultProfilesRecord&) = delete;

    const DefaultProfiles& Previous() const { return previous; }
    const LeftDefaultProfiles& Left() const { return left; }
    bool Recorded() const { return !recordPath.isEmpty(); }
    const QString& Failure() const { return failure; }
    // Lines for the log: what was found of a left record, and why nothing is recorded.
    QStringList Notes() const;

    static QString Path();
    // At a program's start: puts back the defaults that a killed update left recorded. Never throws.
    static LeftDefaultProfiles PutBackLeftRecord(IProfileHelper& helper);

private:
    std::unique_ptr<WinSim::NamedLock> lock;
    DefaultProfiles previous;
    LeftDefaultProfiles left;
    QString recordPath;  // empty: nothing recorded
    QString failure;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
