#include "ZipArchive/CompressionMethods.h"

#include <bzlib.h>
#include <zlib.h>

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

struct deflate_encoder::State {
    z_stream stream{};
    bool finished = false;
};

deflate_encoder::deflate_encoder() = default;

deflate_encoder::~deflate_encoder()
{
    if (state) {
        deflateEnd(&state->stream);
    }
}

void deflate_encoder::init(std::ostream& stream, compression_encoder_properties_interface& properties)
{
    properties.normalize();
    const int level = static_cast<deflate_encoder_properties&>(properties).CompressionLevel;
    if (state) {
        deflateEnd(&state->stream);
    }
    state = std::make_unique<State>();
    InitBase(stream, properties.BufferCapacity);
    initialised = deflateInit2(&state->stream, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    if (!initialised) {
        state.reset();
    }
}

void deflate_encoder::init(std::ostream& stream)
{
    deflate_encoder_properties properties;
    init(stream, properties);
}

void deflate_encoder::encode_next(std::size_t length)
{
    if (!initialised || state->finished) {
        return;
    }
    bytesRead += length;
    const int flush = length < input.size() ? Z_FINISH : Z_NO_FLUSH;
    z_stream& z = state->stream;
    z.next_in = reinterpret_cast<Bytef*>(input.data());
    z.avail_in = static_cast<uInt>(length);
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        if (deflate(&z, flush) == Z_STREAM_ERROR) {
            break;
        }
        const std::size_t have = buffer.size() - z.avail_out;
        output->write(buffer.data(), static_cast<std::streamsize>(have));
        bytesWritten += have;
    } while (z.avail_out == 0);
    state->finished = flush == Z_FINISH;
}

struct deflate_decoder::State {
    z_stream stream{};
};

deflate_decoder::deflate_decoder() = default;

deflate_decoder::~deflate_decoder()
{
    if (state) {
        inflateEnd(&state->stream);
    }
}

void deflate_decoder::init(std::istream& stream, compression_decoder_properties_interface& properties)
{
    properties.normalize();
    if (state) {
        inflateEnd(&state->stream);
    }
    state = std::make_unique<State>();
    InitBase(stream, properties.BufferCapacity);
    initialised = inflateInit2(&state->stream, -MAX_WBITS) == Z_OK;
    if (!initialised) {
        state.reset();
    }
}

void deflate_decoder::init(std::istream& stream)
{
    deflate_decoder_properties properties;
    init(stream, properties);
}

std::size_t deflate_decoder::decode_next()
{
    produced = 0;
    if (!initialised || ended) {
        return 0;
    }
    z_stream& z = state->stream;
    for (;;) {
        if (z.avail_in == 0 && !inputEnded) {
            z.next_in = reinterpret_cast<Bytef*>(buffer.data());
            z.avail_in = static_cast<uInt>(ReadInput());
        }
        z.next_out = reinterpret_cast<Bytef*>(output.data());
        z.avail_out = static_cast<uInt>(output.size());
        const int result = inflate(&z, Z_NO_FLUSH);
        produced = output.size() - z.avail_out;
        bytesWritten += produced;
        if (result == Z_STREAM_END) {
            ended = true;
            PutBack(z.avail_in);
            return produced;
        }
        // Corrupt data ends the stream; what this call produced is still delivered.
        if ((result < 0 && result != Z_BUF_ERROR) || result == Z_NEED_DICT) {
            ended = true;
            return produced;
        }
        if (produced > 0) {
            return produced;
        }
        // Truncated data: the input is used up and nothing more comes out.
        if (z.avail_in == 0 && inputEnded) {
            ended = true;
            return 0;
        }
    }
}

// bzip2 ----------------------------------------------------------------------------------------

struct bzip2_encoder::State {
    bz_stream stream{};
    bool finished = false;
};

bzip2_encoder::bzip2_encoder() = default;

bzip2_encoder::~bzip2_encoder()
{
    if (state) {
        BZ2_bzCompressEnd(&state->stream);
    }
}

void bzip2_encoder::init(std::ostream& stream, compression_encoder_properties_interface& properties)
{
    properties.normalize();
    const auto& own = static_cast<bzip2_encoder_properties&>(properties);
    if (state) {
        BZ2_bzCompressEnd(&state->stream);
    }
    state = std::make_unique<State>();
    InitBase(stream, properties.BufferCapacity);
    initialised = BZ2_bzCompressInit(&state->stream, own.BlockSize, 0, own.WorkFactor) == BZ_OK;
    if (!initialised) {
        state.reset();
    }
}

void bzip2_encoder::init(std::ostream& stream)
{
    bzip2_encoder_properties properties;
    init(stream, properties);
}

void bzip2_encoder::encode_next(std::size_t length)
{
    if (!initialised || state->finished) {
        return;
    }
    bytesRead += length;
    const int action = length < input.size() ? BZ_FINISH : BZ_RUN;
    bz_stream& z = state->stream;
    z.next_in = input.data();
    z.avail_in = static_cast<unsigned>(length);
    for (;;) {
        z.next_out = buffer.data();
        z.avail_out = static_cast<unsigned>(buffer.size());
        const int result = BZ2_bzCompress(&z, action);
        const std::size_t have = buffer.size() - z.avail_out;
        output->write(buffer.data(), static_cast<std::streamsize>(have));
        bytesWritten += have;
        if (result < 0 || result == BZ_STREAM_END || (action == BZ_RUN && z.avail_in == 0)) {
            break;
        }
    }
    state->finished = action == BZ_FINISH;
}

struct bzip2_decoder::State {
    bz_stream stream{};
};

bzip2_decoder::bzip2_decoder() = default;

bzip2_decoder::~bzip2_decoder()
{
    if (state) {
        BZ2_bzDecompressEnd(&state->stream);
    }
}

void bzip2_decoder::init(std::istream& stream, compression_decoder_properties_interface& properties)
{
    properties.normalize();
    if (state) {
        BZ2_bzDecompressEnd(&state->stream);
    }
    state = std::make_unique<State>();
    InitBase(stream, properties.BufferCapacity);
    initialised = BZ2_bzDecompressInit(&state->stream, 0, 0) == BZ_OK;
    if (!initialised) {
        state.reset();
    }
}

void bzip2_decoder::init(std::istream& stream)
{
    bzip2_decoder_properties properties;
    init(stream, properties);
}

std::size_t bzip2_decoder::decode_next()
{
    produced = 0;
    if (!initialised || ended) {
        return 0;
    }
    bz_stream& z = state->stream;
    for (;;) {
        if (z.avail_in == 0 && !inputEnded) {
            z.next_in = buffer.data();
            z.avail_in = static_cast<unsigned>(ReadInput());
        }
        z.next_out = output.data();
        z.avail_out = static_cast<unsigned>(output.size());
        const int result = BZ2_bzDecompress(&z);
        produced = output.size() - z.avail_out;
        bytesWritten += produced;
        if (result == BZ_STREAM_END) {
            ended = true;
            PutBack(z.avail_in);
            return produced;
        }
        if (result != BZ_OK) {
            ended = true;
            return produced;
        }
        if (produced > 0) {
            return produced;
        }
        if (z.avail_in == 0 && inputEnded) {
            ended = true;
            return 0;
        }
    }
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
