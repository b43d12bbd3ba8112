#include "WindowsStandIn/CertificateStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSslConfiguration>

namespace WinSim {

QList<QSslCertificate> TrustedRootCertificates(const QString& machine)
{
    if (!QFileInfo::exists(DescriptionFile(machine))) {
        return {};
    }
    QList<QSslCertificate> certificates;
    for (const QJsonValue pem : DescriptionValue(QString::fromLatin1(TrustedRootsKey), machine).toArray()) {
        certificates += QSslCertificate::fromData(pem.toString().toUtf8(), QSsl::Pem);
    }
    return certificates;
}

int AddTrustedRootCertificates(const QString& pemFile, const QString& machine)
{
    QFile file(pemFile);
    if (!file.open(QIODevice::ReadOnly)) {
        throw MachineError(("cannot read " + pemFile + ": " + file.errorString()).toStdString());
    }
    const QList<QSslCertificate> added = QSslCertificate::fromData(file.readAll(), QSsl::Pem);
    if (added.isEmpty()) {
        throw MachineError(("no PEM certificate in " + pemFile).toStdString());
    }
    const QList<QSslCertificate> present = TrustedRootCertificates(machine);
    QJsonArray roots = DescriptionValue(QString::fromLatin1(TrustedRootsKey), machine).toArray();
    int count = 0;
    for (const QSslCertificate& certificate : added) {
        if (!present.contains(certificate)) {
            roots.append(QString::fromLatin1(certificate.toPem()));
            ++count;
        }
    }
    if (count > 0) {
        SetDescriptionValue(QString::fromLatin1(TrustedRootsKey), roots, machine);
    }
    return count;
}

void ApplyTrustedRootCertificates()
{
    const QString chosen = qEnvironmentVariable(MachineVariable);
    const QList<QSslCertificate> roots = TrustedRootCertificates(chosen.isEmpty() ? DefaultMachineDirectory() : chosen);
    if (roots.isEmpty()) {
        return;
    }
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> known = configuration.caCertificates();
    QList<QSslCertificate> missing;
    for (const QSslCertificate& certificate : roots) {
        if (!known.contains(certificate) && !missing.contains(certificate)) {
            missing.append(certificate);
        }
    }
    if (!missing.isEmpty()) {
        configuration.addCaCertificates(missing);
        QSslConfiguration::setDefaultConfiguration(configuration);
    }
}

}  // namespace WinSim

namespace {

// Programs trust the machine's roots from the start, as they would trust the Windows store.
void ApplyAtStartup()
{
    try {
        WinSim::ApplyTrustedRootCertificates();
    } catch (const WinSim::MachineError&) {
        // An unreadable machine trusts nothing extra; the programs report its other failures.
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ApplyAtStartup)
