#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace WinSim {
class NamedLock;
}

namespace Korvel::DisplayCalibration::Common::Profile {

// A name of a file directly in the colour directory: not empty, no separator, not "." or "..".
bool IsPlainFileName(const QString& name);

// What an installation of profiles changes in the colour directory, by file name.
struct ProfileInstallPlan {
    QStringList installing;  // the files that come in, in order
    QStringList existed;     // names of `installing` and `removing` installed before the step
    QStringList forgetting;  // replaced profiles whose associations and defaults go
    QStringList removing;    // installed profiles uninstalled once every new file is in
    QString disassociateFrom;  // a display whose associations with `installing` go at the end
};

// An installation of profiles as one step that a kill cannot leave half done. Its record and the
// files it replaces or removes (kept as hard links, else copies) live in the hidden folder
// ".profile-install" of the colour directory; one step runs at a time under the machine's named lock
// "profile-install", which the kernel releases when its holder dies however it dies. Nothing of the
// step is reached through a symbolic link: a link standing at one of its names is removed as a link.
// The caller installs the new files with InstallColorProfileA, which replaces each one whole.
// Until Finish the step can be undone: the kept files go back and the files that were not there
// go. From Finish on it is carried through: the replaced profiles' associations and defaults go,
// the removed profiles are uninstalled (their mentions first, then the file), then the installed
// ones are disassociated from the plan's display. A step that a
// killed run left is finished or undone by the next step or by Recover.
class ProfileInstallStep {
public:
    // Takes the lock (waiting for another step) and settles a step a killed run left. Throws
    // InstallProfileException when the lock cannot be had or the left step cannot be settled (its
    // record damaged: ERROR_FILE_CORRUPT, naming the record).
    explicit ProfileInstallStep(const QString& colourDirectory);
    ~ProfileInstallStep();
    ProfileInstallStep(const ProfileInstallStep&) = delete;
    ProfileInstallStep& operator=(const ProfileInstallStep&) = delete;

    // Records the plan and keeps the installed files it names; throws InstallProfileException.
    void Begin(const ProfileInstallPlan& plan);
    // Carries the step through. A profile whose associations cannot be dropped throws the failure
    // (UninstallProfileException) with its name in `failed`; the step can still be undone then.
    // A removal that fails leaves that profile installed.
    void Finish(QString& failed);
    // Puts the colour directory back as it was before Begin. What cannot be put back stays recorded
    // for the next step; returns whether everything went back.
    bool Undo();

    // Settles a step that a killed run left in the colour directory, if there is one and no other
    // step runs. Never throws: a step it cannot settle stays for the next step, which reports it.
    static void Recover(const QString& colourDirectory);

private:
    enum class Wait { ForLock, NotAtAll };
    ProfileInstallStep(const QString& colourDirectory, Wait wait);
    void Settle();
    void WriteRecord(const QString& phase);
    void CarryThrough(QString* failed);
    void Clear();

    QString directory;
    QString folder;
    std::unique_ptr<WinSim::NamedLock> lock;
    ProfileInstallPlan plan;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
