#include "ZipArchive/ZipArchive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

constexpr std::uint16_t kVersionMadeBy = 63;
constexpr std::uint16_t kVersionNeededDefault = 10;
constexpr std::uint16_t kVersionNeededDirectory = 20;
constexpr std::uint16_t kHighestVersionSupported = 63;
constexpr std::uint32_t kDataDescriptorSignature = 0x08074b50;
constexpr std::size_t kCopyBufferSize = 1 << 20;
constexpr int kEndRecordLastByte = detail::EndOfCentralDirectoryBlock::kSignature >> 24;

std::uint16_t Get16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Put16(std::ostream& stream, std::uint16_t value)
{
    const char bytes[2] = {static_cast<char>(value), static_cast<char>(value >> 8)};
    stream.write(bytes, 2);
}
void Put32(std::ostream& stream, std::uint32_t value)
{
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    stream.write(bytes, 4);
}

bool ReadBytes(std::istream& stream, std::string& into, std::size_t length)
{
    into.resize(length);
    if (length == 0) {
        return true;
    }
    stream.read(into.data(), static_cast<std::streamsize>(length));
    return stream.gcount() == static_cast<std::streamsize>(length);
}

bool ReadFixed(std::istream& stream, unsigned char* into, std::size_t length)
{
    stream.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(length));
    return stream.gcount() == static_cast<std::streamsize>(length);
}

void DosTimeNow(std::uint16_t& time, std::uint16_t& date)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    time = static_cast<std::uint16_t>(local.tm_hour * 2048 + local.tm_min * 32 + local.tm_sec / 2);
    date = static_cast<std::uint16_t>((local.tm_year + 1900 - 1980) * 512 + (local.tm_mon + 1) * 32 + local.tm_mday);
}

std::string BareName(const std::string& fullName)
{
    const auto slash = fullName.rfind('/');
    return slash == std::string::npos ? fullName : fullName.substr(slash + 1);
}

}  // namespace

namespace detail {

std::vector<ZipGenericExtraField> ReadExtraFields(const std::string& bytes)
{
    std::vector<ZipGenericExtraField> fields;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t position = 0;
    while (bytes.size() - position >= 4) {
        const std::uint16_t tag = Get16(data + position);
        const std::uint16_t size = Get16(data + position + 2);
        position += 4;
        if (size > bytes.size() - position) {
            break;
        }
        fields.push_back({tag, std::vector<char>(bytes.begin() + static_cast<std::ptrdiff_t>(position),
                                                 bytes.begin() + static_cast<std::ptrdiff_t>(position + size))});
        position += size;
    }
    return fields;
}

std::string SerializeExtraFields(const std::vector<ZipGenericExtraField>& fields)
{
    std::ostringstream stream;
    for (const auto& field : fields) {
        Put16(stream, field.Tag);
        Put16(stream, static_cast<std::uint16_t>(field.Data.size()));
        stream.write(field.Data.data(), static_cast<std::streamsize>(field.Data.size()));
    }
    return stream.str();
}

void ZipEntryFields::Read(const unsigned char* bytes)
{
    VersionNeededToExtract = Get16(bytes);
    GeneralPurposeBitFlag = Get16(bytes + 2);
    CompressionMethod = Get16(bytes + 4);
    LastModificationTime = Get16(bytes + 6);
    LastModificationDate = Get16(bytes + 8);
    Crc32 = Get32(bytes + 10);
    CompressedSize = Get32(bytes + 14);
    UncompressedSize = Get32(bytes + 18);
}

void ZipEntryFields::Write(std::ostream& stream, bool zeroSizesAndCrc) const
{
    Put16(stream, VersionNeededToExtract);
    Put16(stream, GeneralPurposeBitFlag);
    Put16(stream, CompressionMethod);
    Put16(stream, LastModificationTime);
    Put16(stream, LastModificationDate);
    Put32(stream, zeroSizesAndCrc ? 0 : Crc32);
    Put32(stream, zeroSizesAndCrc ? 0 : CompressedSize);
    Put32(stream, zeroSizesAndCrc ? 0 : UncompressedSize);
}

bool ZipLocalFileHeader::Deserialize(std::istream& stream)
{
    unsigned char fixed[30];
    if (!ReadFixed(stream, fixed, sizeof fixed) || Get32(fixed) != kSignature) {
        return false;
    }
    Read(fixed + 4);
    std::string extra;
    if (!ReadBytes(stream, Filename, Get16(fixed + 26)) || !ReadBytes(stream, extra, Get16(fixed + 28))) {
        return false;
    }
    ExtraFields = ReadExtraFields(extra);
    return true;
}

void ZipLocalFileHeader::Serialize(std::ostream& stream, bool zeroSizesAndCrc) const
{
    const std::string extra = SerializeExtraFields(ExtraFields);
    Put32(stream, kSignature);
    Write(stream, zeroSizesAndCrc);
    Put16(stream, static_cast<std::uint16_t>(Filename.size()));
    Put16(stream, static_cast<std::uint16_t>(extra.size()));
    stream.write(Filename.data(), static_cast<std::streamsize>(Filename.size()));
    stream.write(extra.data(), static_cast<std::streamsize>(extra.size()));
}

bool ZipCentralDirectoryFileHeader::Deserialize(std::istream& stream)
{
    unsigned char fixed[46];
    if (!ReadFixed(stream, fixed, sizeof fixed) || Get32(fixed) != kSignature) {
        return false;
    }
    VersionMadeBy = Get16(fixed + 4);
    Read(fixed + 6);
    DiskNumberStart = Get16(fixed + 34);
    InternalFileAttributes = Get16(fixed + 36);
    ExternalFileAttributes = Get32(fixed + 38);
    RelativeOffsetOfLocalHeader = Get32(fixed + 42);
    std::string extra;
    if (!ReadBytes(stream, Filename, Get16(fixed + 28)) || !ReadBytes(stream, extra, Get16(fixed + 30)) ||
        !ReadBytes(stream, FileComment, Get16(fixed + 32))) {
        return false;
    }
    ExtraFields = ReadExtraFields(extra);
    return true;
}

void ZipCentralDirectoryFileHeader::Serialize(std::ostream& stream) const
{
    const std::string extra = SerializeExtraFields(ExtraFields);
    Put32(stream, kSignature);
    Put16(stream, VersionMadeBy);
    Write(stream);
    Put16(stream, static_cast<std::uint16_t>(Filename.size()));
    Put16(stream, static_cast<std::uint16_t>(extra.size()));
    Put16(stream, static_cast<std::uint16_t>(FileComment.size()));
    Put16(stream, DiskNumberStart);
    Put16(stream, InternalFileAttributes);
    Put32(stream, ExternalFileAttributes);
    Put32(stream, RelativeOffsetOfLocalHeader);
    stream.write(Filename.data(), static_cast<std::streamsize>(Filename.size()));
    stream.write(extra.data(), static_cast<std::streamsize>(extra.size()));
    stream.write(FileComment.data(), static_cast<std::streamsize>(FileComment.size()));
}

bool EndOfCentralDirectoryBlock::Deserialize(std::istream& stream)
{
    unsigned char fixed[kSize];
    if (!ReadFixed(stream, fixed, sizeof fixed) || Get32(fixed) != kSignature) {
        return false;
    }
    NumberOfThisDisk = Get16(fixed + 4);
    NumberOfTheDiskWithTheStartOfTheCentralDirectory = Get16(fixed + 6);
    NumberOfEntriesInTheCentralDirectoryOnThisDisk = Get16(fixed + 8);
    NumberOfEntriesInTheCentralDirectory = Get16(fixed + 10);
    SizeOfCentralDirectory = Get32(fixed + 12);
    OffsetOfStartOfCentralDirectoryWithRespectToTheStartingDiskNumber = Get32(fixed + 16);
    // A comment cut short (a trailing signature in its place) keeps what is there.
    Comment.resize(Get16(fixed + 20));
    stream.read(Comment.data(), static_cast<std::streamsize>(Comment.size()));
    Comment.resize(static_cast<std::size_t>(std::max<std::streamsize>(stream.gcount(), 0)));
    return true;
}

void EndOfCentralDirectoryBlock::Serialize(std::ostream& stream) const
{
    Put32(stream, kSignature);
    Put16(stream, NumberOfThisDisk);
    Put16(stream, NumberOfTheDiskWithTheStartOfTheCentralDirectory);
    Put16(stream, NumberOfEntriesInTheCentralDirectoryOnThisDisk);
    Put16(stream, NumberOfEntriesInTheCentralDirectory);
    Put32(stream, SizeOfCentralDirectory);
    Put32(stream, OffsetOfStartOfCentralDirectoryWithRespectToTheStartingDiskNumber);
    Put16(stream, static_cast<std::uint16_t>(Comment.size()));
    stream.write(Comment.data(), static_cast<std::streamsize>(Comment.size()));
}

}  // namespace detail

// ZipArchiveEntry ------------------------------------------------------------------------------

ZipArchiveEntry::~ZipArchiveEntry()
{
    CloseRawStream();
}

ZipArchiveEntry::Ptr ZipArchiveEntry::CreateNew(ZipArchive* archive, const std::string& fullPath)
{
    Ptr entry(new ZipArchiveEntry());
    entry->archive = archive;
    entry->isNewOrChanged = true;
    auto& header = entry->centralDirectoryFileHeader;
    header.VersionMadeBy = kVersionMadeBy;
    header.VersionNeededToExtract = kVersionNeededDefault;
    header.CompressionMethod = StoreMethod::Descriptor().CompressionMethod;
    header.Filename = fullPath;
    header.ExternalFileAttributes = fullPath.back() == '/' ? kDirectoryAttribute : kArchiveAttribute;
    DosTimeNow(header.LastModificationTime, header.LastModificationDate);
    entry->name = BareName(fullPath);
    entry->SyncHeaders();
    entry->hasLocalFileHeader = true;
    return entry;
}

ZipArchiveEntry::Ptr ZipArchiveEntry::CreateExisting(ZipArchive* archive,
                                                     const detail::ZipCentralDirectoryFileHeader& header)
{
    const std::string fullName = ZipArchive::NormalizePath(header.Filename);
    if (fullName.empty()) {
        return nullptr;
    }
    Ptr entry(new ZipArchiveEntry());
    entry->archive = archive;
    entry->originallyInArchive = true;
    entry->centralDirectoryFileHeader = header;
    entry->centralDirectoryFileHeader.Filename = fullName;
    entry->name = BareName(fullName);
    return entry;
}

bool ZipArchiveEntry::IsDirectory() const
{
    return name.empty();
}

void ZipArchiveEntry::UseDataDescriptor(bool use)
{
    auto& flag = centralDirectoryFileHeader.GeneralPurposeBitFlag;
    flag = static_cast<std::uint16_t>(use ? (flag | kDataDescriptor) : (flag & ~kDataDescriptor));
    isNewOrChanged = true;
}

void ZipArchiveEntry::SetLastModificationTime(std::uint16_t time, std::uint16_t date)
{
    centralDirectoryFileHeader.LastModificationTime = time;
    centralDirectoryFileHeader.LastModificationDate = date;
}

void ZipArchiveEntry::SyncHeaders()
{
    static_cast<detail::ZipEntryFields&>(localFileHeader) = centralDirectoryFileHeader;
    localFileHeader.Filename = centralDirectoryFileHeader.Filename;
}

bool ZipArchiveEntry::FetchLocalFileHeader()
{
    if (hasLocalFileHeader) {
        return offsetOfCompressedData >= 0 || !originallyInArchive;
    }
    std::istream* stream = archive ? archive->zipStream : nullptr;
    const std::streamoff offset = centralDirectoryFileHeader.RelativeOffsetOfLocalHeader;
    if (!stream || offset + 30 > archive->streamSize) {
        return false;
    }
    stream->clear();
    stream->seekg(offset);
    if (!localFileHeader.Deserialize(*stream)) {
        return false;
    }
    offsetOfCompressedData = stream->tellg();
    SyncHeaders();
    hasLocalFileHeader = true;
    return offsetOfCompressedData >= 0;
}

bool ZipArchiveEntry::OpenRawWindow()
{
    if (!originallyInArchive || !FetchLocalFileHeader()) {
        return false;
    }
    const std::streamoff length = centralDirectoryFileHeader.CompressedSize;
    // Data that would lie past the end of the archive gives no stream.
    if (offsetOfCompressedData + length > archive->streamSize) {
        return false;
    }
    archive->zipStream->clear();
    archive->zipStream->seekg(offsetOfCompressedData);
    rawStream = std::make_shared<isubstream>(*archive->zipStream, offsetOfCompressedData, length);
    return true;
}

std::uint8_t ZipArchiveEntry::CheckByte() const
{
    if (IsUsingDataDescriptor()) {
        return static_cast<std::uint8_t>(centralDirectoryFileHeader.LastModificationTime >> 8);
    }
    return static_cast<std::uint8_t>(centralDirectoryFileHeader.Crc32 >> 24);
}

std::istream* ZipArchiveEntry::GetRawStream()
{
    if (rawStream || encryptionStream || !OpenRawWindow()) {
        return nullptr;
    }
    return rawStream.get();
}

std::istream* ZipArchiveEntry::GetDecompressionStream()
{
    if (GetVersionToExtract() > kHighestVersionSupported || rawStream || encryptionStream) {
        return nullptr;
    }
    if (IsPasswordProtected() && password.empty()) {
        return nullptr;
    }
    if (!OpenRawWindow()) {
        return nullptr;
    }
    std::istream* current = rawStream.get();
    if (IsPasswordProtected()) {
        encryptionStream = std::make_shared<zip_cryptostream>();
        if (!encryptionStream->init(*rawStream, password, CheckByte())) {
            CloseRawStream();
            return nullptr;
        }
        current = encryptionStream.get();
    }
    if (GetCompressionMethod() != StoreMethod::Descriptor().CompressionMethod) {
        decompressionMethod = CreateCompressionMethod(GetCompressionMethod());
        if (decompressionMethod) {
            auto& properties = decompressionMethod->GetDecoderProperties();
            if (auto* lzma = dynamic_cast<lzma_decoder_properties*>(&properties)) {
                lzma->OutputLimit = GetSize();
            }
            decompressionStream = std::make_shared<compression_decoder_stream>(decompressionMethod->GetDecoder(),
                                                                               properties, *current);
            current = decompressionStream.get();
        }
    }
    return current;
}

void ZipArchiveEntry::CloseDecompressionStream()
{
    decompressionStream.reset();
    decompressionMethod.reset();
    encryptionStream.reset();
    rawStream.reset();
}

void ZipArchiveEntry::CloseRawStream()
{
    CloseDecompressionStream();
}

bool ZipArchiveEntry::SetCompressionStream(std::istream& stream, std::shared_ptr<ICompressionMethod> method,
                                           CompressionMode mode)
{
    if (IsDirectory() || !method) {
        return false;
    }
    compressionMethod = std::move(method);
    compressionMode = mode;
    inputStream = &stream;
    immediateBuffer.reset();
    isNewOrChanged = true;
    if (mode == CompressionMode::Immediate) {
        std::ostringstream compressed;
        crc32stream crcStream(stream);
        {
            compression_encoder_stream encoder(compressionMethod->GetEncoder(),
                                               compressionMethod->GetEncoderProperties(), compressed);
            utils::stream::copy(crcStream, encoder, kCopyBufferSize);
            encoder.flush();
        }
        immediateBuffer = std::make_unique<std::string>(compressed.str());
        immediateCrc = crcStream.get_crc32();
        immediateSize = crcStream.get_bytes_read();
        inputStream = nullptr;
    }
    return true;
}

void ZipArchiveEntry::Compress(std::istream* source, std::ostream& output, std::uint32_t& crc, std::uint64_t& size)
{
    const bool encrypted = !password.empty();
    std::uint64_t written = 0;
    if (immediateBuffer) {
        crc = immediateCrc;
        size = immediateSize;
        centralDirectoryFileHeader.Crc32 = crc;
    } else if (encrypted && !IsUsingDataDescriptor()) {
        // The check byte comes from the CRC, so read the data once before compressing it.
        const auto start = source->tellg();
        crc32stream crcStream(*source);
        nullstream sink;
        utils::stream::copy(crcStream, sink, kCopyBufferSize);
        centralDirectoryFileHeader.Crc32 = crcStream.get_crc32();
        source->clear();
        source->seekg(start);
    }

    zip_cryptostream crypto;
    std::ostream* target = &output;
    if (encrypted) {
        crypto.init(output, password, CheckByte());
        target = &crypto;
        written += zip_crypto_streambuf<char>::kHeaderSize;
    }
    if (immediateBuffer) {
        target->write(immediateBuffer->data(), static_cast<std::streamsize>(immediateBuffer->size()));
        written += immediateBuffer->size();
    } else {
        crc32stream crcStream(*source);
        auto encoder = compressionMethod->GetEncoder();
        {
            compression_encoder_stream encoderStream(encoder, compressionMethod->GetEncoderProperties(), *target);
            utils::stream::copy(crcStream, encoderStream, kCopyBufferSize);
            encoderStream.flush();
        }
        written += encoder->get_bytes_written();
        crc = crcStream.get_crc32();
        size = crcStream.get_bytes_read();
    }
    target->flush();
    centralDirectoryFileHeader.CompressedSize = static_cast<std::uint32_t>(written);
}

bool ZipArchiveEntry::SerializeLocalFileHeader(std::ostream& stream, std::streampos archiveStart)
{
    auto& central = centralDirectoryFileHeader;
    const bool hasNewData = isNewOrChanged && !IsDirectory() && (inputStream || immediateBuffer);
    std::istream* oldData = nullptr;
    if (!hasNewData && originallyInArchive && !IsDirectory()) {
        oldData = GetRawStream();
        if (!oldData) {
            return false;
        }
    }
    if (!hasLocalFileHeader && !FetchLocalFileHeader()) {
        SyncHeaders();
    }
    if (!password.empty() && hasNewData) {
        central.GeneralPurposeBitFlag |= kEncrypted;
    }
    if (hasNewData) {
        central.CompressionMethod = compressionMethod->GetDescriptor().CompressionMethod;
        central.VersionNeededToExtract =
            std::max(central.VersionNeededToExtract, compressionMethod->GetDescriptor().VersionNeededToExtract);
    } else if (isNewOrChanged && IsDirectory()) {
        central.CompressedSize = central.UncompressedSize = central.Crc32 = 0;
        central.VersionNeededToExtract = std::max(central.VersionNeededToExtract, kVersionNeededDirectory);
    }
    SyncHeaders();

    const std::streampos headerPosition = stream.tellp();
    offsetOfSerializedLocalFileHeader = headerPosition - archiveStart;
    localFileHeader.Serialize(stream, IsUsingDataDescriptor());

    bool complete = true;
    if (hasNewData) {
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
        Compress(inputStream, stream, crc, size);
        central.Crc32 = crc;
        central.UncompressedSize = static_cast<std::uint32_t>(size);
        SyncHeaders();
        if (!IsUsingDataDescriptor()) {
            const std::streampos end = stream.tellp();
            stream.seekp(headerPosition);
            localFileHeader.Serialize(stream, false);
            stream.seekp(end);
        }
    } else if (oldData) {
        const std::streampos before = stream.tellp();
        utils::stream::copy(*oldData, stream, kCopyBufferSize);
        const std::streamoff copied = stream.tellp() - before;
        CloseRawStream();
        complete = copied == static_cast<std::streamoff>(central.CompressedSize);
    }
    if (IsUsingDataDescriptor()) {
        Put32(stream, kDataDescriptorSignature);
        Put32(stream, central.Crc32);
        Put32(stream, central.CompressedSize);
        Put32(stream, central.UncompressedSize);
    }
    return complete;
}

void ZipArchiveEntry::SerializeCentralDirectoryFileHeader(std::ostream& stream)
{
    centralDirectoryFileHeader.RelativeOffsetOfLocalHeader = static_cast<std::uint32_t>(offsetOfSerializedLocalFileHeader);
    centralDirectoryFileHeader.Serialize(stream);
}

// ZipArchive -----------------------------------------------------------------------------------

ZipArchive::~ZipArchive()
{
    for (const auto& entry : entries) {
        entry->CloseRawStream();
        entry->archive = nullptr;
    }
    if (owningStream) {
        delete zipStream;
    }
}

ZipArchive::Ptr ZipArchive::Create(std::istream* stream, bool takeOwnership)
{
    Ptr archive(new ZipArchive());
    archive->zipStream = stream;
    archive->owningStream = stream && takeOwnership;
    if (stream) {
        stream->clear();
        stream->seekg(0, std::ios_base::end);
        archive->streamSize = std::max<std::streamoff>(stream->tellg(), 0);
        // Without an end record the stream is no archive, and has no entries.
        archive->hasEndRecord = archive->ReadEndOfCentralDirectory();
        if (archive->hasEndRecord) {
            archive->ReadCentralDirectory();
        } else {
            archive->endOfCentralDirectoryBlock = {};
        }
    }
    return archive;
}

bool ZipArchive::ReadEndOfCentralDirectory()
{
    if (streamSize < static_cast<std::streamoff>(detail::EndOfCentralDirectoryBlock::kSize)) {
        return false;
    }
    // Scan backwards block by block for the signature; the record may be followed by a comment or by
    // other bytes (a signature appended to the archive).
    constexpr std::streamoff kBlock = 1 << 16;
    std::vector<unsigned char> block;
    std::streamoff candidate = streamSize - static_cast<std::streamoff>(detail::EndOfCentralDirectoryBlock::kSize);
    while (candidate >= 0) {
        const std::streamoff blockStart = std::max<std::streamoff>(0, candidate - kBlock + 1);
        block.resize(static_cast<std::size_t>(candidate - blockStart) + detail::EndOfCentralDirectoryBlock::kSize);
        zipStream->clear();
        zipStream->seekg(blockStart);
        if (!ReadFixed(*zipStream, block.data(), block.size())) {
            return false;
        }
        // Signatures from the last candidate down: memrchr finds the last of their four bytes.
        std::size_t searched = static_cast<std::size_t>(candidate - blockStart) + 1;
        while (const void* found = memrchr(block.data() + 3, kEndRecordLastByte, searched)) {
            const unsigned char* p = static_cast<const unsigned char*>(found) - 3;
            searched = static_cast<std::size_t>(p - block.data());
            const std::streamoff position = blockStart + static_cast<std::streamoff>(searched);
            if (Get32(p) != detail::EndOfCentralDirectoryBlock::kSignature || !IsEndRecordAt(position, p)) {
                continue;
            }
            zipStream->clear();
            zipStream->seekg(position);
            return endOfCentralDirectoryBlock.Deserialize(*zipStream);
        }
        candidate = blockStart - 1;
    }
    return false;
}

bool ZipArchive::IsEndRecordAt(std::streamoff position, const unsigned char* record)
{
    // Four signature bytes can occur by chance (in compressed data, in a signature appended to the
    // archive): a record counts only where its central directory lies in front of it and starts
    // with a header, or where it declares an empty directory that ends right at the record.
    const std::streamoff offset = Get32(record + 16);
    const std::uint32_t size = Get32(record + 12);
    if (offset + static_cast<std::streamoff>(size) > position) {
        return false;
    }
    if (size == 0 && Get16(record + 8) == 0 && Get16(record + 10) == 0 && offset == position) {
        return true;
    }
    if (offset + 4 > position) {
        return false;
    }
    unsigned char signature[4];
    zipStream->clear();
    zipStream->seekg(offset);
    return ReadFixed(*zipStream, signature, sizeof signature) &&
           Get32(signature) == detail::ZipCentralDirectoryFileHeader::kSignature;
}

void ZipArchive::ReadCentralDirectory()
{
    zipStream->clear();
    zipStream->seekg(endOfCentralDirectoryBlock.OffsetOfStartOfCentralDirectoryWithRespectToTheStartingDiskNumber);
    detail::ZipCentralDirectoryFileHeader header;
    while (header.Deserialize(*zipStream)) {
        if (auto entry = ZipArchiveEntry::CreateExisting(this, header)) {
            entries.push_back(std::move(entry));
        }
    }
}

std::string ZipArchive::NormalizePath(const std::string& path)
{
    std::string result;
    result.reserve(path.size());
    for (char c : path) {
        if (c == '\\') {
            c = '/';
        }
        if (c == '/' && (result.empty() || result.back() == '/')) {
            continue;
        }
        result.push_back(c);
    }
    return result;
}

ZipArchiveEntry::Ptr ZipArchive::GetEntry(const std::string& fullName) const
{
    const std::string wanted = NormalizePath(fullName);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const auto& entry) { return entry->GetFullName() == wanted; });
    return found == entries.end() ? nullptr : *found;
}

ZipArchiveEntry::Ptr ZipArchive::CreateEntry(const std::string& fullName)
{
    const std::string normalized = NormalizePath(fullName);
    if (normalized.empty() || GetEntry(normalized)) {
        return nullptr;
    }
    auto entry = ZipArchiveEntry::CreateNew(this, normalized);
    entries.push_back(entry);
    return entry;
}

void ZipArchive::RemoveEntry(const std::string& fullName)
{
    const std::string wanted = NormalizePath(fullName);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const auto& entry) { return entry->GetFullName() == wanted; });
    if (found != entries.end()) {
        (*found)->CloseRawStream();
        entries.erase(found);
    }
}

bool ZipArchive::WriteToStream(std::ostream& stream)
{
    const std::streampos start = stream.tellp();
    bool complete = true;
    for (const auto& entry : entries) {
        complete = entry->SerializeLocalFileHeader(stream, start) && complete;
    }
    const std::streampos directoryStart = stream.tellp();
    for (const auto& entry : entries) {
        entry->SerializeCentralDirectoryFileHeader(stream);
    }
    const std::streampos directoryEnd = stream.tellp();
    auto& end = endOfCentralDirectoryBlock;
    end.NumberOfThisDisk = 0;
    end.NumberOfTheDiskWithTheStartOfTheCentralDirectory = 0;
    end.NumberOfEntriesInTheCentralDirectoryOnThisDisk = static_cast<std::uint16_t>(entries.size());
    end.NumberOfEntriesInTheCentralDirectory = static_cast<std::uint16_t>(entries.size());
    end.SizeOfCentralDirectory = static_cast<std::uint32_t>(directoryEnd - directoryStart);
    end.OffsetOfStartOfCentralDirectoryWithRespectToTheStartingDiskNumber =
        static_cast<std::uint32_t>(directoryStart - start);
    end.Serialize(stream);
    stream.flush();
    return complete;
}

// ZipFile --------------------------------------------------------------------------------------

ZipArchive::Ptr ZipFile::Open(const std::string& zipPath)
{
    auto stream = std::make_unique<std::ifstream>(zipPath, std::ios::binary);
    if (!stream->is_open()) {
        std::ofstream(zipPath, std::ios::binary).close();
        stream->open(zipPath, std::ios::binary);
        if (!stream->is_open()) {
            throw std::runtime_error("cannot open zip file");
        }
    }
    return ZipArchive::Create(stream.release(), true);
}

void ZipFile::AddFile(const std::string& zipPath, const std::string& fileName,
                      std::shared_ptr<ICompressionMethod> method)
{
    AddFile(zipPath, fileName, BareName(fileName), std::string(), std::move(method));
}

void ZipFile::AddFile(const std::string& zipPath, const std::string& fileName, const std::string& inArchiveName,
                      const std::string& password, std::shared_ptr<ICompressionMethod> method)
{
    const std::string temporaryPath = zipPath + ".tmp";
    auto archive = Open(zipPath);

    std::error_code error;
    std::ifstream input(fileName, std::ios::binary);
    if (!input.is_open() || std::filesystem::is_directory(fileName, error)) {
        throw std::runtime_error("cannot open input file");
    }

    auto entry = archive->CreateEntry(inArchiveName);
    if (!entry) {
        archive->RemoveEntry(inArchiveName);
        entry = archive->CreateEntry(inArchiveName);
    }
    if (!entry || entry->IsDirectory()) {
        throw std::runtime_error("invalid entry name");
    }
    if (!password.empty()) {
        entry->SetPassword(password);
        entry->UseDataDescriptor(true);
    }
    entry->SetCompressionStream(input, std::move(method), ZipArchiveEntry::CompressionMode::Deferred);

    std::ofstream output(temporaryPath, std::ios::binary | std::ios::trunc);
    if (!output.is_open()) {
        throw std::runtime_error("cannot open output file");
    }
    const bool complete = archive->WriteToStream(output);
    output.close();
    archive.reset();
    const bool readFailed = input.bad();
    input.close();
    if (!complete || readFailed || output.fail()) {
        throw std::runtime_error("cannot write output file");
    }
    // rename replaces the archive in one step, so a failure leaves it as it was.
    if (std::rename(temporaryPath.c_str(), zipPath.c_str()) != 0) {
        throw std::runtime_error("cannot replace zip file");
    }
}
