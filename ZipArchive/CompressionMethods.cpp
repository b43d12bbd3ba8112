#include "ZipArchive/CompressionMethods.h"

#include <algorithm>
#include <cstring>

void deflate_encoder_properties::normalize()
{
    CompressionLevel = std::clamp(CompressionLevel, 0, 9);
}

void bzip2_encoder_properties::normalize()
{
    BlockSize = std::clamp(BlockSize, 1, 9);
    // bzip2 accepts work factors 0 to 250 (0 chooses its default of 30).
    WorkFactor = std::clamp(WorkFactor, 0, 250);
}

void compression_encoder_base::InitBase(std::ostream& stream, std::size_t capacity)
{
    output = &stream;
    input.assign(capacity, 0);
    buffer.assign(capacity, 0);
    bytesRead = 0;
    bytesWritten = 0;
}

void compression_decoder_base::InitBase(std::istream& stream, std::size_t capacity)
{
    input = &stream;
    buffer.assign(capacity, 0);
    output.assign(capacity, 0);
    produced = 0;
    bytesRead = 0;
    bytesWritten = 0;
    inputEnded = false;
    ended = false;
}

std::size_t compression_decoder_base::ReadInput()
{
    if (inputEnded) {
        return 0;
    }
    input->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto count = static_cast<std::size_t>(input->gcount());
    bytesRead += count;
    if (count < buffer.size()) {
        inputEnded = true;
    }
    return count;
}

void compression_decoder_base::PutBack(std::size_t unused)
{
    if (unused == 0) {
        return;
    }
    input->clear();
    input->seekg(-static_cast<std::streamoff>(unused), std::ios_base::cur);
    bytesRead -= unused;
}

// Store ----------------------------------------------------------------------------------------

void store_encoder::init(std::ostream& stream, compression_encoder_properties_interface& properties)
{
    properties.normalize();
    InitBase(stream, properties.BufferCapacity);
    initialised = true;
}

void store_encoder::init(std::ostream& stream)
{
    store_encoder_properties properties;
    init(stream, properties);
}

void store_encoder::encode_next(std::size_t length)
{
    bytesRead += length;
    output->write(input.data(), static_cast<std::streamsize>(length));
    bytesWritten += length;
}

void store_decoder::init(std::istream& stream, compression_decoder_properties_interface& properties)
{
    properties.normalize();
    InitBase(stream, properties.BufferCapacity);
    initialised = true;
}

void store_decoder::init(std::istream& stream)
{
    store_decoder_properties properties;
    init(stream, properties);
}

std::size_t store_decoder::decode_next()
{
    produced = 0;
    if (inputEnded) {
        return 0;
    }
    const std::size_t count = ReadInput();
    std::memcpy(output.data(), buffer.data(), count);
    produced = count;
    bytesWritten += count;
    return count;
}

// Deflate --------------------------------------------------------------------------------------

bool zlib_deflate_codec::Init(z_stream& stream, const deflate_encoder_properties& properties)
{
    return deflateInit2(&stream, properties.CompressionLevel, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}

codec_status zlib_deflate_codec::Step(z_stream& stream, bool finish)
{
    const int result = deflate(&stream, finish ? Z_FINISH : Z_NO_FLUSH);
    return result == Z_STREAM_END                      ? codec_status::stream_end
           : result == Z_OK || result == Z_BUF_ERROR ? codec_status::ok
                                                     : codec_status::error;
}

void zlib_deflate_codec::End(z_stream& stream)
{
    deflateEnd(&stream);
}

bool zlib_inflate_codec::Init(z_stream& stream, const deflate_decoder_properties&)
{
    return inflateInit2(&stream, -MAX_WBITS) == Z_OK;
}

codec_status zlib_inflate_codec::Step(z_stream& stream)
{
    const int result = inflate(&stream, Z_NO_FLUSH);
    return result == Z_STREAM_END                      ? codec_status::stream_end
           : result == Z_OK || result == Z_BUF_ERROR ? codec_status::ok
                                                     : codec_status::error;
}

void zlib_inflate_codec::End(z_stream& stream)
{
    inflateEnd(&stream);
}

// bzip2 ----------------------------------------------------------------------------------------

bool bzip2_compress_codec::Init(bz_stream& stream, const bzip2_encoder_properties& properties)
{
    return BZ2_bzCompressInit(&stream, properties.BlockSize, 0, properties.WorkFactor) == BZ_OK;
}

codec_status bzip2_compress_codec::Step(bz_stream& stream, bool finish)
{
    const int result = BZ2_bzCompress(&stream, finish ? BZ_FINISH : BZ_RUN);
    return result == BZ_STREAM_END ? codec_status::stream_end
           : result >= 0           ? codec_status::ok
                                   : codec_status::error;
}

void bzip2_compress_codec::End(bz_stream& stream)
{
    BZ2_bzCompressEnd(&stream);
}

bool bzip2_decompress_codec::Init(bz_stream& stream, const bzip2_decoder_properties&)
{
    return BZ2_bzDecompressInit(&stream, 0, 0) == BZ_OK;
}

codec_status bzip2_decompress_codec::Step(bz_stream& stream)
{
    const int result = BZ2_bzDecompress(&stream);
    return result == BZ_STREAM_END ? codec_status::stream_end
           : result == BZ_OK       ? codec_status::ok
                                   : codec_status::error;
}

void bzip2_decompress_codec::End(bz_stream& stream)
{
    BZ2_bzDecompressEnd(&stream);
}

// Lookup ---------------------------------------------------------------------------------------

std::shared_ptr<ICompressionMethod> CreateCompressionMethod(std::uint16_t code)
{
    if (code == StoreMethod::Descriptor().CompressionMethod) {
        return StoreMethod::Create();
    }
    if (code == DeflateMethod::Descriptor().CompressionMethod) {
        return DeflateMethod::Create();
    }
    if (code == Bzip2Method::Descriptor().CompressionMethod) {
        return Bzip2Method::Create();
    }
    if (code == LzmaMethod::Descriptor().CompressionMethod) {
        return LzmaMethod::Create();
    }
    return nullptr;
}
