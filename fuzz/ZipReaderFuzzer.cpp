// The ZIP reader over memory, as extraction uses it: the central directory, then every entry's data.
#include "ZipArchive/ZipArchive.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    const auto archive = ZipArchive::Create(&input);
    if (!archive->HasEndRecord() && archive->GetEntriesCount() != 0) {
        std::abort();  // no archive, no entries
    }
    for (std::size_t i = 0; i < archive->GetEntriesCount(); ++i) {
        const auto entry = archive->GetEntry(i);
        if (entry->IsPasswordProtected()) {
            entry->SetPassword("password");
        }
        if (std::istream* stream = entry->GetDecompressionStream()) {
            // The first 256 KiB: past a few dictionary wraps, more data only repeats the decoder's
            // work (and a small input can declare gigabytes).
            crc32stream checked(*stream);
            char buffer[1 << 15];
            for (int block = 0; block < 8; ++block) {
                if (checked.read(buffer, sizeof buffer).gcount() == 0) {
                    break;
                }
            }
            entry->CloseDecompressionStream();
        }
        if (archive->GetEntry(entry->GetFullName()) == nullptr) {
            std::abort();  // an entry read is found by its name
        }
    }
    return 0;
}
