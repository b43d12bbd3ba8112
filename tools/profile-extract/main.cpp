// Extracts ZIP archives through ProfileArchiver: profile-extract ARCHIVE... DESTINATION
#include "Common/Archive/ProfileArchiver.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <exception>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ARCHIVE... DESTINATION\n", argv[0]);
        return 2;
    }
    Korvel::DisplayCalibration::Common::Archive::ProfileArchiver archiver;
    const QString destination = QString::fromLocal8Bit(argv[argc - 1]);
    int status = 0;
    for (int i = 1; i < argc - 1; ++i) {
        try {
            archiver.DecompressProfiles(QString::fromLocal8Bit(argv[i]), destination, QStringList());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "%s: %s\n", argv[i], error.what());
            status = 1;
        }
    }
    return status;
}
