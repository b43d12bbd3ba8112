// ProfileArchiver's extraction of any bytes: every entry, then "PanelInfo.xml" alone.
#include "Common/Archive/ProfileArchiver.h"
#include "fuzz/FuzzSupport.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <filesystem>

namespace Archive = Korvel::DisplayCalibration::Common::Archive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Entry names need not be valid UTF-8, so the folders are handled as bytes.
    const std::string archivePath = Fuzz::ScratchDirectory() + "/archive.zip";
    const std::string destination = Fuzz::ScratchDirectory() + "/out";
    std::filesystem::remove_all(destination);
    std::filesystem::create_directory(destination);
    Fuzz::WriteFile(archivePath, data, size);

    Archive::ProfileArchiver archiver;
    try {
        archiver.DecompressProfiles(QString::fromStdString(archivePath), QString::fromStdString(destination), {});
    } catch (const Archive::DecompressProfilesException&) {
    }
    try {
        archiver.DecompressFile(QString::fromStdString(archivePath), QString::fromStdString(destination),
                                QStringLiteral("PanelInfo.xml"));
    } catch (const Archive::DecompressProfilesException&) {
    }
    return 0;
}
