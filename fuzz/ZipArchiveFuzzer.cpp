// libFuzzer harness: the ZIP reader over any bytes, then ProfileArchiver extraction of the same bytes.
#include "Common/Archive/ProfileArchiver.h"
#include "ZipArchive/ZipArchive.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

void ReadEveryEntry(const std::string& bytes)
{
    auto* stream = new std::istringstream(bytes);
    const auto archive = ZipArchive::Create(stream, true);
    nullstream sink;
    for (std::size_t i = 0; i < archive->GetEntriesCount(); ++i) {
        const auto entry = archive->GetEntry(i);
        entry->SetPassword("password");
        if (std::istream* data = entry->GetDecompressionStream()) {
            utils::stream::copy(*data, sink, 1 << 16);
            entry->CloseDecompressionStream();
        }
        archive->GetEntry(entry->GetFullName());
    }
    // Rewriting copies every entry's stored data.
    std::ostringstream rewritten;
    archive->WriteToStream(rewritten);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    ReadEveryEntry(bytes);

    static const QTemporaryDir directory(QDir::tempPath() + "/zip-fuzz-XXXXXX");
    const QString archivePath = directory.path() + "/archive.zip";
    const QString destination = directory.path() + "/out";
    QDir(destination).removeRecursively();
    QDir().mkpath(destination);
    std::ofstream(archivePath.toStdString(), std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());

    Korvel::DisplayCalibration::Common::Archive::ProfileArchiver archiver;
    try {
        archiver.DecompressProfiles(archivePath, destination, QStringList());
    } catch (const Korvel::DisplayCalibration::Common::Archive::DecompressProfilesException&) {
    }
    try {
        archiver.DecompressFile(archivePath, destination, QStringLiteral("PanelInfo.xml"));
    } catch (const Korvel::DisplayCalibration::Common::Archive::DecompressProfilesException&) {
    }
    return 0;
}
