// signarchive [--key <private key PEM>] <archive> [<output>]
//
// Appends the signature that the programs check: the SHA-256 digest of the archive bytes,
// encrypted with the private key as a two-block RSA message (512 bytes). Without <output>
// the archive itself is replaced by the signed one. The default key is the build's test key.
#include "Common/Security/EncrypterException.h"
#include "Common/Security/EncrypterFactory.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <exception>

namespace {

int Fail(const QString& message)
{
    std::fprintf(stderr, "signarchive: %s\n", qUtf8Printable(message));
    return 2;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Appends the archive signature (SHA-256 digest, RSA-encrypted with the private key).");
    parser.addHelpOption();
    const QCommandLineOption keyOption("key", "Private key (PEM).", "file", KORVEL_TEST_PRIVATE_KEY_FILE);
    parser.addOption(keyOption);
    parser.addPositionalArgument("archive", "The archive to sign.");
    parser.addPositionalArgument("output", "Where to write the signed archive (default: the archive itself).", "[output]");
    parser.process(application);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.isEmpty() || arguments.size() > 2) {
        std::fprintf(stderr, "%s", qUtf8Printable(parser.helpText()));
        return 1;
    }

    QFile keyFile(parser.value(keyOption));
    if (!keyFile.open(QIODevice::ReadOnly)) {
        return Fail(keyFile.fileName() + ": " + keyFile.errorString());
    }
    QFile archive(arguments.at(0));
    if (!archive.open(QIODevice::ReadOnly)) {
        return Fail(archive.fileName() + ": " + archive.errorString());
    }
    const QByteArray payload = archive.readAll();
    archive.close();

    QByteArray signature;
    try {
        const auto encrypter = Korvel::DisplayCalibration::Common::Security::EncrypterFactory().CreateEncrypter(
            keyFile.readAll(), true);
        signature = encrypter->EncryptWithPrivateKey(QCryptographicHash::hash(payload, QCryptographicHash::Sha256));
    } catch (const std::exception& error) {
        return Fail(keyFile.fileName() + ": " + QString::fromUtf8(error.what()).trimmed());
    }

    // Written whole or not at all, so a failure leaves the archive as it was.
    QSaveFile output(arguments.size() == 2 ? arguments.at(1) : arguments.at(0));
    if (!output.open(QIODevice::WriteOnly) || output.write(payload) != payload.size() ||
        output.write(signature) != signature.size() || !output.commit()) {
        return Fail(output.fileName() + ": " + output.errorString());
    }
    return 0;
}
