// ZIP archives (single disk, no ZIP64) over standard streams.
#pragma once

#include "ZipArchive/CompressionMethods.h"
#include "ZipArchive/Streams.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace detail {

struct ZipGenericExtraField {
    std::uint16_t Tag = 0;
    std::vector<char> Data;
};

// Reads the extra fields of a record: fields while at least 4 bytes remain and each field's data fits.
std::vector<ZipGenericExtraField> ReadExtraFields(const std::string& bytes);
std::string SerializeExtraFields(const std::vector<ZipGenericExtraField>& fields);

// The fields a local header and a central directory header share, stored in the same order in both.
struct ZipEntryFields {
    static constexpr std::size_t kSize = 22;
    std::uint16_t VersionNeededToExtract = 0;
    std::uint16_t GeneralPurposeBitFlag = 0;
    std::uint16_t CompressionMethod = 0;
    std::uint16_t LastModificationTime = 0;
    std::uint16_t LastModificationDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint32_t CompressedSize = 0;
    std::uint32_t UncompressedSize = 0;

    void Read(const unsigned char* bytes);
    void Write(std::ostream& stream, bool zeroSizesAndCrc = false) const;
};

struct ZipLocalFileHeader : ZipEntryFields {
    static constexpr std::uint32_t kSignature = 0x04034b50;
    std::string Filename;
    std::vector<ZipGenericExtraField> ExtraFields;

    bool Deserialize(std::istream& stream);
    void Serialize(std::ostream& stream, bool zeroSizesAndCrc) const;
};

struct ZipCentralDirectoryFileHeader : ZipEntryFields {
    static constexpr std::uint32_t kSignature = 0x02014b50;
    std::uint16_t VersionMadeBy = 0;
    std::uint16_t DiskNumberStart = 0;
    std::uint16_t InternalFileAttributes = 0;
    std::uint32_t ExternalFileAttributes = 0;
    std::uint32_t RelativeOffsetOfLocalHeader = 0;
    std::string Filename;
    std::vector<ZipGenericExtraField> ExtraFields;
    std::string FileComment;

    bool Deserialize(std::istream& stream);
    void Serialize(std::ostream& stream) const;
};

struct EndOfCentralDirectoryBlock {
    static constexpr std::uint32_t kSignature = 0x06054b50;
    static constexpr std::size_t kSize = 22;
    std::uint16_t NumberOfThisDisk = 0;
    std::uint16_t NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
    std::uint16_t NumberOfEntriesInTheCentralDirectoryOnThisDisk = 0;
    std::uint16_t NumberOfEntriesInTheCentralDirectory = 0;
    std::uint32_t SizeOfCentralDirectory = 0;
    std::uint32_t OffsetOfStartOfCentralDirectoryWithRespectToTheStartingDiskNumber = 0;
    std::string Comment;

    bool Deserialize(std::istream& stream);
    void Serialize(std::ostream& stream) const;
};

}  // namespace detail

class ZipArchive;

// One entry of an archive: read from the central directory, or new.
class ZipArchiveEntry : public std::enable_shared_from_this<ZipArchiveEntry> {
    friend class ZipArchive;

public:
    using Ptr = std::shared_ptr<ZipArchiveEntry>;

    enum class CompressionMode { Immediate = 0, Deferred = 1 };

    static constexpr std::uint16_t kEncrypted = 0x0001;
    static constexpr std::uint16_t kDataDescriptor = 0x0008;
    static constexpr std::uint32_t kDirectoryAttribute = 0x10;
    static constexpr std::uint32_t kArchiveAttribute = 0x20;

    ~ZipArchiveEntry();

    // The normalised full name ("\" as "/", no leading or doubled "/").
    const std::string& GetFullName() const { return centralDirectoryFileHeader.Filename; }
    // The part of the full name after its last "/"; empty for a directory.
    const std::string& GetName() const { return name; }
    bool IsDirectory() const;
    bool IsPasswordProtected() const { return (centralDirectoryFileHeader.GeneralPurposeBitFlag & kEncrypted) != 0; }
    bool IsUsingDataDescriptor() const
    {
        return (centralDirectoryFileHeader.GeneralPurposeBitFlag & kDataDescriptor) != 0;
    }

    std::uint32_t GetCrc32() const { return centralDirectoryFileHeader.Crc32; }
    std::uint32_t GetSize() const { return centralDirectoryFileHeader.UncompressedSize; }
    std::uint32_t GetCompressedSize() const { return centralDirectoryFileHeader.CompressedSize; }
    std::uint16_t GetCompressionMethod() const { return centralDirectoryFileHeader.CompressionMethod; }
    std::uint16_t GetVersionToExtract() const { return centralDirectoryFileHeader.VersionNeededToExtract; }
    std::uint16_t GetLastModificationTime() const { return centralDirectoryFileHeader.LastModificationTime; }
    std::uint16_t GetLastModificationDate() const { return centralDirectoryFileHeader.LastModificationDate; }
    std::uint32_t GetAttributes() const { return centralDirectoryFileHeader.ExternalFileAttributes; }
    const std::string& GetComment() const { return centralDirectoryFileHeader.FileComment; }

    void SetPassword(const std::string& value) { password = value; }
    void UseDataDescriptor(bool use = true);
    void SetLastModificationTime(std::uint16_t time, std::uint16_t date);

    // The entry's new data: read from `stream` (not owned) and compressed with `method`, now
    // (immediate) or while the archive is written (deferred).
    bool SetCompressionStream(std::istream& stream, std::shared_ptr<ICompressionMethod> method,
                              CompressionMode mode = CompressionMode::Immediate);

    // A stream of the decompressed data; null when the entry cannot be read (a directory, a version
    // needed above 63, encrypted without the right password, data outside the archive).
    std::istream* GetDecompressionStream();
    // A stream of the data as stored; null as above.
    std::istream* GetRawStream();
    void CloseDecompressionStream();
    void CloseRawStream();

private:
    ZipArchiveEntry() = default;

    static Ptr CreateNew(ZipArchive* archive, const std::string& fullPath);
    static Ptr CreateExisting(ZipArchive* archive, const detail::ZipCentralDirectoryFileHeader& header);

    bool FetchLocalFileHeader();
    bool OpenRawWindow();
    std::uint8_t CheckByte() const;
    void SyncHeaders();
    // Writes the local header and data; false when the old data could not be copied whole.
    bool SerializeLocalFileHeader(std::ostream& stream, std::streampos archiveStart);
    void SerializeCentralDirectoryFileHeader(std::ostream& stream);
    void Compress(std::istream* source, std::ostream& output, std::uint32_t& crc, std::uint64_t& size);

    ZipArchive* archive = nullptr;
    detail::ZipCentralDirectoryFileHeader centralDirectoryFileHeader;
    detail::ZipLocalFileHeader localFileHeader;
    std::string name;
    std::string password;

    std::shared_ptr<ICompressionMethod> compressionMethod;
    CompressionMode compressionMode = CompressionMode::Immediate;
    std::istream* inputStream = nullptr;
    std::unique_ptr<std::string> immediateBuffer;
    std::uint32_t immediateCrc = 0;
    std::uint64_t immediateSize = 0;

    std::shared_ptr<isubstream> rawStream;
    std::shared_ptr<zip_cryptostream> encryptionStream;
    std::shared_ptr<compression_decoder_stream> decompressionStream;
    std::shared_ptr<ICompressionMethod> decompressionMethod;

    bool originallyInArchive = false;
    bool isNewOrChanged = false;
    bool hasLocalFileHeader = false;
    std::streamoff offsetOfCompressedData = -1;
    std::streamoff offsetOfSerializedLocalFileHeader = -1;
};

// An archive: the end record and the entries of its central directory, over a stream.
class ZipArchive {
    friend class ZipArchiveEntry;

public:
    using Ptr = std::shared_ptr<ZipArchive>;

    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // An archive read from `stream` (an empty new archive for null).
    static Ptr Create(std::istream* stream = nullptr, bool takeOwnership = false);

    std::size_t GetEntriesCount() const { return entries.size(); }
    ZipArchiveEntry::Ptr GetEntry(std::size_t index) const { return entries.at(index); }
    ZipArchiveEntry::Ptr GetEntry(const std::string& fullName) const;
    ZipArchiveEntry::Ptr CreateEntry(const std::string& fullName);
    void RemoveEntry(const std::string& fullName);
    // Whether the stream held an end-of-central-directory record; without one it is no archive
    // (and has no entries).
    bool HasEndRecord() const { return hasEndRecord; }
    const std::string& GetComment() const { return endOfCentralDirectoryBlock.Comment; }
    void SetComment(const std::string& comment) { endOfCentralDirectoryBlock.Comment = comment; }

    // Writes the whole archive; false when an old entry's data could not be copied whole.
    bool WriteToStream(std::ostream& stream);

    // The entry name for a path: "\" becomes "/", leading "/" dropped, doubled "/" collapsed.
    static std::string NormalizePath(const std::string& path);

private:
    ZipArchive() = default;
    bool ReadEndOfCentralDirectory();
    // Whether the end record read at `position` of the stream names a central directory that is there.
    bool IsEndRecordAt(std::streamoff position, const unsigned char* record);
    void ReadCentralDirectory();

    detail::EndOfCentralDirectoryBlock endOfCentralDirectoryBlock;
    std::vector<ZipArchiveEntry::Ptr> entries;
    std::istream* zipStream = nullptr;
    bool owningStream = false;
    bool hasEndRecord = false;
    std::streamoff streamSize = 0;
};

// Archive files named by path.
class ZipFile {
public:
    // Opens (creating it empty when missing) the archive file; throws std::runtime_error.
    static ZipArchive::Ptr Open(const std::string& zipPath);
    // Adds a file under the part of its path after the last "/", rewriting the archive through
    // "<archive>.tmp"; throws std::runtime_error.
    static void AddFile(const std::string& zipPath, const std::string& fileName,
                        std::shared_ptr<ICompressionMethod> method);
    static void AddFile(const std::string& zipPath, const std::string& fileName, const std::string& inArchiveName,
                        const std::string& password, std::shared_ptr<ICompressionMethod> method);
};
