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
    // At most 64 KiB of data in all: past a few dictionary wraps, more only repeats the decoders'
    // work (a small input can declare gigabytes, or many entries over the same data).
    int blocks = 2;
    for (std::size_t i = 0; i < archive->GetEntriesCount(); ++i) {
        const auto entry = archive->GetEntry(i);
        if (entry->IsPasswordProtected()) {
            entry->SetPassword("password");
        }
        if (std::istream* stream = entry->GetDecompressionStream()) {
            crc32stream checked(*stream);
            char buffer[1 << 15];
            while (blocks > 0 && checked.read(buffer, sizeof buffer).gcount() > 0) {
                --blocks;
            }
            entry->CloseDecompressionStream();
        }
        if (archive->GetEntry(entry->GetFullName()) == nullptr) {
            std::abort();  // an entry read is found by its name
        }
    }
    return 0;
}
