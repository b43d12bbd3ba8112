// Names of operating-system objects that processes find by name (shared memory segments, local
// servers). Windows keeps them in the session's namespace; here each simulated machine has its own,
// so that the programs of two machines on one host never meet.
#pragma once

#include <QString>

namespace WinSim {

// `name` made unique to this process's machine; the same in every process of the machine.
QString LocalObjectName(const QString& name);

}  // namespace WinSim
