// The machine's trusted root certificates: the stand-in for the Windows root store that feeds
// Qt's default TLS configuration (library WindowsStandInNetwork, defined in Network/).
#pragma once

#include "WindowsStandIn/Machine.h"

#include <QList>
#include <QSslCertificate>

namespace WinSim {

// Description key of the trusted roots: a list of PEM texts.
inline constexpr const char* TrustedRootsKey = "network.trustedRootCertificates";

// The certificates of the machine's trusted roots (none when the machine or the key is absent).
QList<QSslCertificate> TrustedRootCertificates(const QString& machine = MachineDirectory());

// Adds the PEM certificates of `pemFile` to the machine's trusted roots (each once); returns how many
// were new. Throws MachineError when the file holds no certificate.
int AddTrustedRootCertificates(const QString& pemFile, const QString& machine = MachineDirectory());

// Adds the machine's trusted roots to Qt's default TLS configuration (each once). Runs by itself when
// the application object is made, on a machine that exists; a test that sets up its machine later
// calls it again.
void ApplyTrustedRootCertificates();

}  // namespace WinSim
