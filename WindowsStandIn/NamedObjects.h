// Names of operating-system objects that processes find by name (shared memory segments, local
// servers). Windows keeps them in the session's namespace; here each simulated machine has its own,
// so that the programs of two machines on one host never meet.
#pragma once

#include <QString>

namespace WinSim {

// `name` made unique to this process's machine; the same in every process of the machine.
QString LocalObjectName(const QString& name);

// A lock named `name` in this process's machine, held while the object lives and released by the
// kernel when its holder ends however it ends, as Windows frees a named object with its process.
// Here a segment's own count of attachments can outlive the process that made it, so a segment
// alone does not show that its maker still runs.
class NamedLock {
public:
    // Takes the lock at once, or within `waitMilliseconds` while another process holds it. A
    // symbolic link at the lock's file is removed, never followed.
    explicit NamedLock(const QString& name, int waitMilliseconds = 0);
    ~NamedLock();
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;

    bool Held() const { return descriptor >= 0; }
    bool HeldByAnother() const { return heldByAnother; }

private:
    int descriptor = -1;
    bool heldByAnother = false;  // else, when not held, the lock file could not be made
};

}  // namespace WinSim
