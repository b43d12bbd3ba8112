// Checks the signature of profile archives as the tray program does, with the public key this build
// carries: verify-archive ARCHIVE...
#include "Common/Security/DecrypterFactory.h"
#include "ProfileData/ProfileRestorer.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <exception>
#include <stdexcept>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE...\n", argv[0]);
        return 2;
    }
    QFile key(QStringLiteral(":/digitalsignature/public_key"));
    if (!key.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: no public key resource\n", argv[0]);
        return 2;
    }
    const auto decrypter =
        Korvel::DisplayCalibration::Common::Security::DecrypterFactory().CreateDecrypter(key.readAll(), false);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        QFile file(QString::fromLocal8Bit(argv[i]));
        try {
            if (!file.open(QIODevice::ReadOnly)) {
                throw std::runtime_error(file.errorString().toStdString());
            }
            ProfileRestorer::VerifySignature(*decrypter, file.readAll());
            std::printf("%s: valid\n", argv[i]);
        } catch (const std::exception& error) {
            std::printf("%s: %s\n", argv[i], error.what());
            status = 1;
        }
    }
    return status;
}
