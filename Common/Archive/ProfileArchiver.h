#pragma once

#include "Common/Archive/ArchiveExceptions.h"
#include "Common/Archive/IProfileArchiver.h"

#include <memory>
#include <string>

class ZipArchiveEntry;

namespace Korvel::DisplayCalibration::Common::Archive {

class ProfileArchiver : public IProfileArchiver {
public:
    void CompressProfiles(const QStringList& files, const QString& archivePath) override;
    void DecompressProfiles(const QString& archivePath, const QString& destination,
                            const QStringList& expectedFiles) override;
    void DecompressFile(const QString& archivePath, const QString& destination, const QString& fileName) override;

    // Writes one file entry to destination + "/" + its bare name (see EntryExtractor); throws
    // DecompressProfilesException.
    void ExtractEntry(const std::shared_ptr<ZipArchiveEntry>& entry, const std::string& destination);
};

class IProfileArchiverFactory {
public:
    virtual ~IProfileArchiverFactory() = default;
    // The caller owns the new archiver.
    virtual IProfileArchiver* Create() = 0;
};

class ProfileArchiverFactory : public IProfileArchiverFactory {
public:
    IProfileArchiver* Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Archive
