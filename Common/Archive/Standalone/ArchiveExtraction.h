// Extraction of a ZIP archive's file entries into one folder, bounded in size, each file replaced
// whole. Uses neither Qt nor the platform stand-in, so that `profile-extract` loads only what it uses;
// ProfileArchiver turns its errors into DecompressProfilesException.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class ZipArchiveEntry;

namespace Korvel::DisplayCalibration::Common::Archive {

// No profile archive comes near these: an entry, or the entries of one extraction together, that
// would write more is refused.
constexpr std::uint64_t MaximumEntrySize = std::uint64_t(64) << 20;
constexpr std::uint64_t MaximumExtractedSize = std::uint64_t(64) << 20;

class ExtractionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes file entries into one folder, each under its bare name. An entry is written to a hidden
// temporary name (".extract-*.partial": no entry the programs look for, and left out of their folder
// listings) and renamed over its final name only once it is whole, of its declared size and CRC-32:
// an earlier file of that name stays as it was until then, and a kill leaves no part-written file under
// an entry's name. Data past an entry's declared size is not read.
class EntryExtractor {
public:
    explicit EntryExtractor(std::string destination);
    ~EntryExtractor();
    EntryExtractor(const EntryExtractor&) = delete;
    EntryExtractor& operator=(const EntryExtractor&) = delete;

    // Throws ExtractionError: "Failed to extract file: <bare name>" when the entry cannot be read or
    // written or its data is not what the archive declares; a size-limit text when it is too large.
    void Extract(ZipArchiveEntry& entry);

private:
    void OpenDestination(const std::string& failure);
    std::string CreateTemporary(int& file);

    std::string destination;
    int directory = -1;
    std::uint64_t extracted = 0;  // bytes written by this extractor so far
    std::unique_ptr<char[]> buffer;
};

// Extracts the file entries of the archive at `archivePath` that `wanted` chooses into `destination`
// (directory entries are skipped). Before anything is written, the declared sizes of the chosen
// entries are checked against the limits. Throws ExtractionError ("Archive does not exist: ",
// "Not a ZIP archive: ", the texts of EntryExtractor) or the ZIP library's std::runtime_error.
void ExtractArchive(const std::string& archivePath, const std::string& destination,
                    const std::function<bool(const ZipArchiveEntry&)>& wanted);

}  // namespace Korvel::DisplayCalibration::Common::Archive
