#include "Common/Archive/Standalone/ArchiveExtraction.h"

#include "ZipArchive/ZipArchive.h"

#include <zlib.h>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <istream>
#include <vector>

namespace Korvel::DisplayCalibration::Common::Archive {

namespace {

constexpr std::size_t kChunkSize = 1 << 20;

std::string TooLarge(const std::string& name)
{
    return "Archive entry exceeds the size limit of " + std::to_string(MaximumEntrySize) + " bytes: " + name;
}

std::string TooLargeInAll()
{
    return "Archive entries exceed the size limit of " + std::to_string(MaximumExtractedSize) + " bytes in all";
}

bool WriteAll(int file, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(file, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A read-only stream over a file read with pread: seeking within what was read last reads nothing
// again (the archive reader seeks before every header and every block of entry data, which a
// std::ifstream turns into a system call each).
class FileReadBuffer : public std::streambuf {
public:
    explicit FileReadBuffer(int file) : file(file), buffer(new char[kCapacity]) { setg(nullptr, nullptr, nullptr); }
    ~FileReadBuffer() override { ::close(file); }
    FileReadBuffer(const FileReadBuffer&) = delete;
    FileReadBuffer& operator=(const FileReadBuffer&) = delete;

protected:
    int_type underflow() override
    {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        start = Position();
        ssize_t count;
        do {
            count = ::pread(file, buffer.get(), kCapacity, start);
        } while (count < 0 && errno == EINTR);
        if (count <= 0) {
            setg(buffer.get(), buffer.get(), buffer.get());
            return traits_type::eof();
        }
        setg(buffer.get(), buffer.get(), buffer.get() + count);
        return traits_type::to_int_type(*gptr());
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override
    {
        if (!(which & std::ios_base::in)) {
            return pos_type(off_type(-1));
        }
        off_type target = offset;
        if (direction == std::ios_base::cur) {
            target += Position();
        } else if (direction == std::ios_base::end) {
            struct stat status {};
            if (::fstat(file, &status) != 0) {
                return pos_type(off_type(-1));
            }
            target += status.st_size;
        }
        if (target < 0) {
            return pos_type(off_type(-1));
        }
        if (eback() != nullptr && target >= start && target <= start + (egptr() - eback())) {
            setg(eback(), eback() + (target - start), egptr());
        } else {
            start = target;
            setg(buffer.get(), buffer.get(), buffer.get());
        }
        return pos_type(target);
    }

    pos_type seekpos(pos_type target, std::ios_base::openmode which) override
    {
        return seekoff(off_type(target), std::ios_base::beg, which);
    }

private:
    static constexpr std::size_t kCapacity = 1 << 16;

    off_type Position() const { return eback() == nullptr ? start : start + (gptr() - eback()); }

    int file;
    std::unique_ptr<char[]> buffer;
    off_type start = 0;  // file position of the buffer's first byte
};

class FileReadStream : public std::istream {
public:
    explicit FileReadStream(int file) : std::istream(nullptr), buffer(file) { rdbuf(&buffer); }

private:
    FileReadBuffer buffer;
};

// Puts the whole file `temporary` in the place of `name` in one step (never a moment without a file of
// that name when there was one). Over an existing file the two are exchanged and the old one, now under
// the temporary name, is removed: renaming over it would make ext4 write the new file out at once (its
// replace-by-rename heuristic), a wait per entry when the old file was written a moment ago.
bool Replace(int directory, const char* temporary, const char* name)
{
    if (::renameat2(directory, temporary, directory, name, RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno == EEXIST) {
        struct stat existing {};
        if (::fstatat(directory, name, &existing, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(existing.st_mode)) {
            return false;
        }
        if (::renameat2(directory, temporary, directory, name, RENAME_EXCHANGE) == 0) {
            ::unlinkat(directory, temporary, 0);
            return true;
        }
    }
    // A file system without these flags.
    return (errno == EINVAL || errno == ENOSYS) && ::renameat(directory, temporary, directory, name) == 0;
}

}  // namespace

EntryExtractor::EntryExtractor(std::string destination) : destination(std::move(destination)) {}

EntryExtractor::~EntryExtractor()
{
    if (directory >= 0) {
        ::close(directory);
    }
}

void EntryExtractor::OpenDestination(const std::string& failure)
{
    if (directory >= 0) {
        return;
    }
    directory = ::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        throw ExtractionError(failure);
    }
}

std::string EntryExtractor::CreateTemporary(int& file)
{
    static std::atomic<unsigned> counter{0};
    static const std::string process = std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".extract-" + process + "-" + std::to_string(counter++) + ".partial";
        file = ::openat(directory, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file >= 0) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

void EntryExtractor::Extract(ZipArchiveEntry& entry)
{
    const std::string& name = entry.GetName();
    const std::string failure = "Failed to extract file: " + name;
    // Only a plain name in the folder itself: no directory, no NUL, neither "." nor "..".
    if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) {
        throw ExtractionError(failure);
    }
    const std::uint64_t declared = entry.GetSize();
    if (declared > MaximumEntrySize) {
        throw ExtractionError(TooLarge(name));
    }
    if (extracted + declared > MaximumExtractedSize) {
        throw ExtractionError(TooLargeInAll());
    }
    OpenDestination(failure);
    // The entry's streams are closed and the temporary file removed on every way out, unless it was
    // put in place.
    struct Cleanup {
        ZipArchiveEntry& entry;
        int directory;
        int file = -1;
        std::string temporary;
        ~Cleanup()
        {
            entry.CloseDecompressionStream();
            if (file >= 0) {
                ::close(file);
            }
            if (!temporary.empty()) {
                ::unlinkat(directory, temporary.c_str(), 0);
            }
        }
    } cleanup{entry, directory, -1, {}};
    std::istream* data = entry.GetDecompressionStream();
    if (!data) {
        throw ExtractionError(failure);
    }
    cleanup.temporary = CreateTemporary(cleanup.file);
    if (cleanup.temporary.empty()) {
        throw ExtractionError(failure);
    }
    if (!buffer) {
        // Left uninitialised: only the pages a small entry touches are ever mapped.
        buffer.reset(new char[kChunkSize]);
    }

    // At most one byte more than declared is read: more data than declared is an error, found
    // without decompressing the rest.
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    std::uint64_t produced = 0;
    for (;;) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkSize, declared - produced + 1));
        data->read(buffer.get(), static_cast<std::streamsize>(wanted));
        const auto count = static_cast<std::size_t>(std::max<std::streamsize>(data->gcount(), 0));
        produced += count;
        if (produced > declared) {
            throw ExtractionError(failure);
        }
        crc = static_cast<std::uint32_t>(
            crc32(crc, reinterpret_cast<const Bytef*>(buffer.get()), static_cast<uInt>(count)));
        if (!WriteAll(cleanup.file, buffer.get(), count)) {
            throw ExtractionError(failure);
        }
        if (count < wanted) {
            break;
        }
    }
    const int file = cleanup.file;
    cleanup.file = -1;
    if (::close(file) != 0 || produced != declared || crc != entry.GetCrc32() ||
        !Replace(directory, cleanup.temporary.c_str(), name.c_str())) {
        throw ExtractionError(failure);
    }
    cleanup.temporary.clear();
    extracted += produced;
}

void ExtractArchive(const std::string& archivePath, const std::string& destination,
                    const std::function<bool(const ZipArchiveEntry&)>& wanted)
{
    const int file = ::open(archivePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw ExtractionError("Archive does not exist: " + archivePath);
        }
        throw ExtractionError("cannot open zip file");
    }
    const auto archive = ZipArchive::Create(new FileReadStream(file), true);
    // The library reads anything as an archive, without entries when it is none.
    if (!archive->HasEndRecord()) {
        throw ExtractionError("Not a ZIP archive: " + archivePath);
    }
    std::vector<ZipArchiveEntry::Ptr> chosen;
    std::uint64_t total = 0;
    for (std::size_t index = 0; index < archive->GetEntriesCount(); ++index) {
        auto entry = archive->GetEntry(index);
        // Directory entries carry no data; every file lands directly in the destination.
        if (entry->IsDirectory() || (wanted && !wanted(*entry))) {
            continue;
        }
        if (entry->GetSize() > MaximumEntrySize) {
            throw ExtractionError(TooLarge(entry->GetName()));
        }
        total += entry->GetSize();
        chosen.push_back(std::move(entry));
    }
    if (total > MaximumExtractedSize) {
        throw ExtractionError(TooLargeInAll());
    }
    EntryExtractor extractor(destination);
    for (const auto& entry : chosen) {
        extractor.Extract(*entry);
    }
}

}  // namespace Korvel::DisplayCalibration::Common::Archive
