#pragma once

#include "Common/Profile/PreparedFrom.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Profile/ProfileInstallStep.h"

namespace Korvel::DisplayCalibration::Common::Profile {

// The profile helper of the elevated tool: the operations that ProfileHelper hands to Tessaly
// are done in-process here.
class InternalProfileHelper : public ProfileHelper {
public:
    // Switches calibration management unconditionally.
    void EnableColorCalibration() override;
    void DisableColorCalibration() override;
    // Installs machine-wide, replacing an installed profile of the same file name. When the new one
    // cannot be installed the old one stays, with its associations and defaults. `path` may use "\"
    // separators.
    void InstallProfile(const QString& path) override;
    // InstallProfileSet for the SDR set.
    void InstallProfiles(const QStringList& paths) override;
    // Installs `paths` in order in place of the installed SDR set (`hdr10`: the HDR10 set) as one
    // ProfileInstallStep: each file replaces its namesake whole, the set's profiles that the new
    // one does not hold are uninstalled once every new file is in, a profile of the same file
    // name that is not of the set loses its associations and defaults, and the SDR set's files are
    // no longer associated with the display. On failure throws the
    // failing step's exception with `failing` set to the index of the path it concerns; the colour
    // directory and what the colour system keeps about those profiles are then as they were before.
    // A kill leaves a step that the next run finishes or undoes. Before anything changes, and under
    // the step's lock, every file of `preparedFrom` must still be the one its caller read: else
    // ProfileChangedException, with nothing changed.
    void InstallProfileSet(const QStringList& paths, bool hdr10, qsizetype& failing,
                           const PreparedFrom& preparedFrom = PreparedFrom());
    // Installs `paths` in order, each in place of the installed profile of its file name, as one
    // ProfileInstallStep: nothing else is installed or uninstalled, and a replaced profile loses its
    // associations and defaults. `preparedFrom` is checked as by InstallProfileSet; failures as there.
    void ReplaceProfiles(const QStringList& paths, const PreparedFrom& preparedFrom, qsizetype& failing);
    void InstallCorrectedProfiles(const QStringList& paths, const PreparedFrom& preparedFrom) override;
    // Uninstalls and deletes an installed profile, as a ProfileInstallStep does (its failures
    // included); a name that is not installed is no error. A name that is no plain file name is
    // refused.
    void UninstallProfile(const QString& name) override;
    void UninstallProfiles(const QStringList& names) override;

    // Finishes or undoes an installation step that a killed run left, unless another step runs.
    // Never throws: a step it cannot settle is reported by the next command that installs or
    // uninstalls.
    static void RecoverInterruptedInstall();

private:
    // Throws ProfileChangedException when a file of `preparedFrom` changed since its caller read it.
    void CheckPreparedFrom(const PreparedFrom& preparedFrom) const;
    // Installs `paths` in place of the installed profiles `removed` as `step`, which holds the
    // colour directory's lock, as InstallProfileSet does; the files are then disassociated from the
    // display `disassociateFrom` (none when empty). With `keepMentions` a replaced namesake keeps
    // its associations and defaults: the file is the same profile, corrected.
    void InstallReplacing(ProfileInstallStep& step, const QStringList& paths, const QStringList& removed,
                          const QString& disassociateFrom, qsizetype& failing, bool keepMentions = false);
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
