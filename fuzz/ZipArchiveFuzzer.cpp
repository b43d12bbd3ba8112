// libFuzzer harness: the ZIP reader over any bytes, then ProfileArchiver extraction of the same bytes.
#include "Common/Archive/ProfileArchiver.h"
#include "ZipArchive/ZipArchive.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
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

    // Entry names need not be valid UTF-8, so the folders are handled as bytes.
    static const std::string& directory = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/zip-fuzz-XXXXXX";
        // Never destroyed, so that the exit handler can still use it.
        auto* made = new std::string(mkdtemp(pattern.data()));
        std::atexit([] { std::filesystem::remove_all(directory); });
        return std::ref(*made);
    }();
    const std::string destination = directory + "/out";
    std::filesystem::remove_all(destination);
    std::filesystem::create_directory(destination);
    std::ofstream(directory + "/archive.zip", std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    const QString archivePath = QString::fromStdString(directory + "/archive.zip");
    const QString target = QString::fromStdString(destination);

    Korvel::DisplayCalibration::Common::Archive::ProfileArchiver archiver;
    try {
        archiver.DecompressProfiles(archivePath, target, QStringList());
    } catch (const Korvel::DisplayCalibration::Common::Archive::DecompressProfilesException&) {
    }
    try {
        archiver.DecompressFile(archivePath, target, QStringLiteral("PanelInfo.xml"));
    } catch (const Korvel::DisplayCalibration::Common::Archive::DecompressProfilesException&) {
    }
    return 0;
}
