#pragma once

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Archive {

// Packs files into a ZIP archive and unpacks archives of profiles.
class IProfileArchiver {
public:
    virtual ~IProfileArchiver() = default;
    // Throws CompressProfilesException.
    virtual void CompressProfiles(const QStringList& files, const QString& archivePath) = 0;
    // Extracts every file entry into `destination`; throws DecompressProfilesException.
    virtual void DecompressProfiles(const QString& archivePath, const QString& destination,
                                    const QStringList& expectedFiles) = 0;
    // Extracts the entries whose bare name equals `fileName`; throws DecompressProfilesException.
    virtual void DecompressFile(const QString& archivePath, const QString& destination, const QString& fileName) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Archive
