#include "Common/Archive/ProfileArchiver.h"

#include "ZipArchive/ZipArchive.h"

#include <QFileInfo>

#include <cstdio>
#include <fstream>
#include <functional>

namespace Korvel::DisplayCalibration::Common::Archive {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

// Extracts the file entries chosen by `wanted`; every failure becomes a DecompressProfilesException.
void Extract(ProfileArchiver& archiver, const QString& archivePath, const QString& destination,
             const std::function<bool(const ZipArchiveEntry&)>& wanted)
{
    if (!QFileInfo::exists(archivePath)) {
        throw DecompressProfilesException("Archive does not exist: " + archivePath.toStdString());
    }
    try {
        const auto archive = ZipFile::Open(archivePath.toStdString());
        // The library reads anything as an archive, without entries when it is none.
        if (!archive->HasEndRecord()) {
            throw DecompressProfilesException("Not a ZIP archive: " + archivePath.toStdString());
        }
        const std::string target = destination.toStdString();
        for (std::size_t index = 0; index < archive->GetEntriesCount(); ++index) {
            const auto entry = archive->GetEntry(index);
            // Directory entries carry no data; every file lands directly in the destination.
            if (!entry->IsDirectory() && wanted(*entry)) {
                archiver.ExtractEntry(entry, target);
            }
        }
    } catch (const DecompressProfilesException&) {
        throw;
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
    Extract(*this, archivePath, destination, [](const ZipArchiveEntry&) { return true; });
}

void ProfileArchiver::DecompressFile(const QString& archivePath, const QString& destination, const QString& fileName)
{
    const std::string wanted = fileName.toStdString();
    Extract(*this, archivePath, destination, [&](const ZipArchiveEntry& entry) { return entry.GetName() == wanted; });
}

void ProfileArchiver::ExtractEntry(const std::shared_ptr<ZipArchiveEntry>& entry, const std::string& destination)
{
    const std::string& name = entry->GetName();
    const DecompressProfilesException failure("Failed to extract file: " + name);
    if (name.find('\0') != std::string::npos) {
        throw failure;
    }
    const std::string path = destination + "/" + name;
    std::ofstream output(path, std::ios::binary | std::ios::trunc);
    if (!output.is_open()) {
        throw failure;
    }
    std::istream* data = entry->GetDecompressionStream();
    if (!data) {
        output.close();
        std::remove(path.c_str());
        throw failure;
    }
    // The data is checked against the entry's CRC-32 and size, so that a corrupt or truncated entry
    // is not left behind as if it were whole.
    crc32stream checked(*data);
    utils::stream::copy(checked, output, kChunkSize);
    entry->CloseDecompressionStream();
    output.flush();
    output.close();
    if (output.fail() || checked.get_crc32() != entry->GetCrc32() || checked.get_bytes_read() != entry->GetSize()) {
        std::remove(path.c_str());
        throw failure;
    }
}

IProfileArchiver* ProfileArchiverFactory::Create()
{
    return new ProfileArchiver();
}

}  // namespace Korvel::DisplayCalibration::Common::Archive
