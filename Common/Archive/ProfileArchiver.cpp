#include "Common/Archive/ProfileArchiver.h"

#include "Common/Archive/Standalone/ArchiveExtraction.h"
#include "ZipArchive/ZipArchive.h"

#include <QFileInfo>

#include <cstdio>

namespace Korvel::DisplayCalibration::Common::Archive {

namespace {

// Runs an extraction; every failure becomes a DecompressProfilesException with its text.
template <typename Extraction>
void Decompress(const Extraction& extraction)
{
    try {
        extraction();
    } catch (const std::exception& error) {
        throw DecompressProfilesException(error.what());
    } catch (...) {
        throw DecompressProfilesException("Unknown error");
    }
}

}  // namespace

void ProfileArchiver::CompressProfiles(const QStringList& files, const QString& archivePath)
{
    for (const QString& file : files) {
        if (!QFileInfo::exists(file)) {
            throw CompressProfilesException("File does not exist: " + file.toStdString());
        }
    }
    const std::string archive = archivePath.toStdString();
    std::remove(archive.c_str());
    try {
        for (const QString& file : files) {
            ZipFile::AddFile(archive, file.toStdString(), DeflateMethod::Create());
        }
    } catch (const std::exception& error) {
        throw CompressProfilesException(error.what());
    } catch (...) {
        throw CompressProfilesException("Unknown error.");
    }
}

void ProfileArchiver::DecompressProfiles(const QString& archivePath, const QString& destination,
                                         const QStringList& /*expectedFiles*/)
{
    Decompress([&] { ExtractArchive(archivePath.toStdString(), destination.toStdString(), nullptr); });
}

void ProfileArchiver::DecompressFile(const QString& archivePath, const QString& destination, const QString& fileName)
{
    const std::string wanted = fileName.toStdString();
    Decompress([&] {
        ExtractArchive(archivePath.toStdString(), destination.toStdString(),
                       [&](const ZipArchiveEntry& entry) { return entry.GetName() == wanted; });
    });
}

void ProfileArchiver::ExtractEntry(const std::shared_ptr<ZipArchiveEntry>& entry, const std::string& destination)
{
    Decompress([&] { EntryExtractor(destination).Extract(*entry); });
}

IProfileArchiver* ProfileArchiverFactory::Create()
{
    return new ProfileArchiver();
}

}  // namespace Korvel::DisplayCalibration::Common::Archive
