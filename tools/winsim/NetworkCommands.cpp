// Network settings of the machine: where the profile server runs and which roots it trusts.
#include "tools/winsim/Command.h"

#include "WindowsStandIn/CertificateStore.h"

#include <QLoggingCategory>

namespace Winsim {
namespace {

int Trust(QStringList args)
{
    // Certificates load Qt's TLS plugin, whose loader warns that winsim runs without an
    // application object (it must: one would announce winsim as a program of the machine).
    QLoggingCategory::setFilterRules(QStringLiteral("qt.core.qobject.connect.warning=false"));
    if (args.size() == 1 && args[0] == "list") {
        for (const QSslCertificate& certificate : WinSim::TrustedRootCertificates()) {
            Print(certificate.subjectDisplayName() + "  (SHA-256 " +
                  QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex()) + ")");
        }
        return 0;
    }
    if (args.size() == 2 && args[0] == "add") {
        const int added = WinSim::AddTrustedRootCertificates(args[1]);
        Print(QStringLiteral("%1 certificate(s) added").arg(added));
        return 0;
    }
    throw UsageError{QStringLiteral("trust needs \"add PEMFILE\" or \"list\"")};
}

const bool registered = RegisterCommand(
    QStringLiteral("trust"), QStringLiteral("trust add PEMFILE | trust list"),
    QStringLiteral("adds the PEM certificates of PEMFILE to the machine's trusted roots, or lists them"), Trust);

}  // namespace
}  // namespace Winsim
