// Compression methods of ZIP entries: store, deflate (zlib), bzip2 and LZMA (LZMA SDK).
#pragma once

#include "ZipArchive/CompressionInterface.h"

#include <bzlib.h>
#include <zlib.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct deflate_encoder_properties : compression_encoder_properties_interface {
    void normalize() override;
    int CompressionLevel = 6;
};
struct deflate_decoder_properties : compression_decoder_properties_interface {};

struct bzip2_encoder_properties : compression_encoder_properties_interface {
    void normalize() override;
    int BlockSize = 6;
    int WorkFactor = 30;
};
struct bzip2_decoder_properties : compression_decoder_properties_interface {};

struct lzma_encoder_properties : compression_encoder_properties_interface {
    void normalize() override;
    bool IsMultithreaded = true;
    int CompressionLevel = 5;
    int NumberOfThreads = 2;  // set by normalize
};
struct lzma_decoder_properties : compression_decoder_properties_interface {
    // The decoder delivers at most this many bytes (the entry's uncompressed size).
    std::uint64_t OutputLimit = std::numeric_limits<std::uint64_t>::max();
};

struct store_encoder_properties : compression_encoder_properties_interface {};
struct store_decoder_properties : compression_decoder_properties_interface {};

// Buffers and counters shared by the encoders.
class compression_encoder_base : public compression_encoder_interface {
public:
    bool is_init() const override { return initialised; }
    std::uint64_t get_bytes_read() const override { return bytesRead; }
    std::uint64_t get_bytes_written() const override { return bytesWritten; }
    char* get_buffer_begin() override { return input.data(); }
    char* get_buffer_end() override { return input.data() + input.size(); }

protected:
    void InitBase(std::ostream& stream, std::size_t capacity);

    std::ostream* output = nullptr;
    std::vector<char> input;
    std::vector<char> buffer;
    std::uint64_t bytesRead = 0;
    std::uint64_t bytesWritten = 0;
    bool initialised = false;
};

// Buffers and counters shared by the decoders; the output buffer's end is what the last call produced.
class compression_decoder_base : public compression_decoder_interface {
public:
    bool is_init() const override { return initialised; }
    std::uint64_t get_bytes_read() const override { return bytesRead; }
    std::uint64_t get_bytes_written() const override { return bytesWritten; }
    char* get_buffer_begin() override { return output.data(); }
    char* get_buffer_end() override { return output.data() + produced; }

protected:
    void InitBase(std::istream& stream, std::size_t capacity);
    // Reads up to one buffer of input; notes the end of the input on a short read.
    std::size_t ReadInput();
    // Puts unused input back into the input stream so that it stands after the compressed data.
    void PutBack(std::size_t unused);

    std::istream* input = nullptr;
    std::vector<char> buffer;
    std::vector<char> output;
    std::size_t produced = 0;
    std::uint64_t bytesRead = 0;
    std::uint64_t bytesWritten = 0;
    bool initialised = false;
    bool inputEnded = false;
    bool ended = false;
};

class store_encoder : public compression_encoder_base {
public:
    void init(std::ostream& stream, compression_encoder_properties_interface& properties) override;
    void init(std::ostream& stream) override;
    void encode_next(std::size_t length) override;
    void sync() override {}
};

class store_decoder : public compression_decoder_base {
public:
    void init(std::istream& stream, compression_decoder_properties_interface& properties) override;
    void init(std::istream& stream) override;
    std::size_t decode_next() override;
};

// zlib and bzip2 are driven alike: a stream structure with next_in, avail_in, next_out and avail_out,
// and one call that advances it. A codec names the structure and maps that call's results.
enum class codec_status { ok, stream_end, error };

struct zlib_deflate_codec {
    using stream_type = z_stream;
    using byte_type = Bytef;
    static bool Init(z_stream& stream, const deflate_encoder_properties& properties);
    static codec_status Step(z_stream& stream, bool finish);
    static void End(z_stream& stream);
};
struct zlib_inflate_codec {
    using stream_type = z_stream;
    using byte_type = Bytef;
    static bool Init(z_stream& stream, const deflate_decoder_properties& properties);
    static codec_status Step(z_stream& stream);
    static void End(z_stream& stream);
};
struct bzip2_compress_codec {
    using stream_type = bz_stream;
    using byte_type = char;
    static bool Init(bz_stream& stream, const bzip2_encoder_properties& properties);
    static codec_status Step(bz_stream& stream, bool finish);
    static void End(bz_stream& stream);
};
struct bzip2_decompress_codec {
    using stream_type = bz_stream;
    using byte_type = char;
    static bool Init(bz_stream& stream, const bzip2_decoder_properties& properties);
    static codec_status Step(bz_stream& stream);
    static void End(bz_stream& stream);
};

// A block shorter than the buffer finishes the data.
template <typename CodecT, typename PropertiesT>
class streaming_encoder : public compression_encoder_base {
public:
    ~streaming_encoder() override { Close(); }

    void init(std::ostream& stream, compression_encoder_properties_interface& properties) override
    {
        properties.normalize();
        Close();
        InitBase(stream, properties.BufferCapacity);
        finished = false;
        codec = {};
        initialised = CodecT::Init(codec, static_cast<PropertiesT&>(properties));
    }
    void init(std::ostream& stream) override
    {
        PropertiesT properties;
        init(stream, properties);
    }

    void encode_next(std::size_t length) override
    {
        if (!initialised || finished) {
            return;
        }
        bytesRead += length;
        finished = length < input.size();
        codec.next_in = reinterpret_cast<typename CodecT::byte_type*>(input.data());
        codec.avail_in = static_cast<unsigned>(length);
        for (;;) {
            codec.next_out = reinterpret_cast<typename CodecT::byte_type*>(buffer.data());
            codec.avail_out = static_cast<unsigned>(buffer.size());
            const codec_status status = CodecT::Step(codec, finished);
            const std::size_t have = buffer.size() - codec.avail_out;
            output->write(buffer.data(), static_cast<std::streamsize>(have));
            bytesWritten += have;
            if (status != codec_status::ok || (!finished && codec.avail_in == 0 && codec.avail_out != 0)) {
                break;
            }
        }
    }

    void sync() override {}

private:
    void Close()
    {
        if (initialised) {
            CodecT::End(codec);
            initialised = false;
        }
    }

    typename CodecT::stream_type codec{};
    bool finished = false;
};

// At the end of the compressed data, unused input is put back into the input stream.
template <typename CodecT, typename PropertiesT>
class streaming_decoder : public compression_decoder_base {
public:
    ~streaming_decoder() override { Close(); }

    void init(std::istream& stream, compression_decoder_properties_interface& properties) override
    {
        properties.normalize();
        Close();
        InitBase(stream, properties.BufferCapacity);
        codec = {};
        initialised = CodecT::Init(codec, static_cast<PropertiesT&>(properties));
    }
    void init(std::istream& stream) override
    {
        PropertiesT properties;
        init(stream, properties);
    }

    std::size_t decode_next() override
    {
        produced = 0;
        if (!initialised || ended) {
            return 0;
        }
        for (;;) {
            if (codec.avail_in == 0 && !inputEnded) {
                codec.next_in = reinterpret_cast<typename CodecT::byte_type*>(buffer.data());
                codec.avail_in = static_cast<unsigned>(ReadInput());
            }
            codec.next_out = reinterpret_cast<typename CodecT::byte_type*>(output.data());
            codec.avail_out = static_cast<unsigned>(output.size());
            const codec_status status = CodecT::Step(codec);
            produced = output.size() - codec.avail_out;
            bytesWritten += produced;
            if (status == codec_status::stream_end) {
                ended = true;
                PutBack(codec.avail_in);
                return produced;
            }
            // Corrupt data ends the stream; what this call produced is still delivered.
            if (status == codec_status::error) {
                ended = true;
                return produced;
            }
            if (produced > 0) {
                return produced;
            }
            // Truncated data: the input is used up and nothing more comes out.
            if (codec.avail_in == 0 && inputEnded) {
                ended = true;
                return 0;
            }
        }
    }

private:
    void Close()
    {
        if (initialised) {
            CodecT::End(codec);
            initialised = false;
        }
    }

    typename CodecT::stream_type codec{};
};

class deflate_encoder : public streaming_encoder<zlib_deflate_codec, deflate_encoder_properties> {};
class deflate_decoder : public streaming_decoder<zlib_inflate_codec, deflate_decoder_properties> {};
class bzip2_encoder : public streaming_encoder<bzip2_compress_codec, bzip2_encoder_properties> {};
class bzip2_decoder : public streaming_decoder<bzip2_decompress_codec, bzip2_decoder_properties> {};

// The LZMA SDK encoder runs on a thread of its own and takes the blocks handed over by encode_next;
// sync ends the data and joins the thread.
class lzma_encoder : public compression_encoder_base {
public:
    lzma_encoder();
    ~lzma_encoder() override;
    void init(std::ostream& stream, compression_encoder_properties_interface& properties) override;
    void init(std::ostream& stream) override;
    void encode_next(std::size_t length) override;
    void sync() override;

    struct State;

private:
    std::unique_ptr<State> state;
};

class lzma_decoder : public compression_decoder_base {
public:
    lzma_decoder();
    ~lzma_decoder() override;
    void init(std::istream& stream, compression_decoder_properties_interface& properties) override;
    void init(std::istream& stream) override;
    std::size_t decode_next() override;

private:
    struct State;
    std::unique_ptr<State> state;
};

// A compression method: one encoder, one decoder and their properties.
class ICompressionMethod {
public:
    struct method_descriptor {
        std::uint16_t CompressionMethod;
        std::uint16_t VersionNeededToExtract;
    };

    virtual ~ICompressionMethod() = default;
    // Normalised on each call.
    virtual compression_encoder_properties_interface& GetEncoderProperties() = 0;
    virtual const method_descriptor& GetDescriptor() const = 0;

    compression_decoder_properties_interface& GetDecoderProperties() { return *decoderProperties; }
    std::shared_ptr<compression_encoder_interface> GetEncoder() const { return encoder; }
    std::shared_ptr<compression_decoder_interface> GetDecoder() const { return decoder; }

protected:
    std::shared_ptr<compression_encoder_interface> encoder;
    std::shared_ptr<compression_decoder_interface> decoder;
    std::shared_ptr<compression_encoder_properties_interface> encoderProperties;
    std::shared_ptr<compression_decoder_properties_interface> decoderProperties;
};

template <typename EncoderT, typename DecoderT, typename EncoderPropertiesT, typename DecoderPropertiesT,
          std::uint16_t Code, std::uint16_t Version>
class compression_method : public ICompressionMethod {
public:
    compression_method()
    {
        encoder = std::make_shared<EncoderT>();
        decoder = std::make_shared<DecoderT>();
        encoderProperties = std::make_shared<EncoderPropertiesT>();
        decoderProperties = std::make_shared<DecoderPropertiesT>();
    }

    compression_encoder_properties_interface& GetEncoderProperties() override
    {
        encoderProperties->normalize();
        return *encoderProperties;
    }
    const method_descriptor& GetDescriptor() const override { return Descriptor(); }

    static const method_descriptor& Descriptor()
    {
        static const method_descriptor descriptor{Code, Version};
        return descriptor;
    }
};

class StoreMethod
    : public compression_method<store_encoder, store_decoder, store_encoder_properties, store_decoder_properties, 0, 10> {
public:
    static std::shared_ptr<StoreMethod> Create() { return std::make_shared<StoreMethod>(); }
};

class DeflateMethod : public compression_method<deflate_encoder, deflate_decoder, deflate_encoder_properties,
                                                deflate_decoder_properties, 8, 20> {
public:
    static std::shared_ptr<DeflateMethod> Create() { return std::make_shared<DeflateMethod>(); }
};

class Bzip2Method
    : public compression_method<bzip2_encoder, bzip2_decoder, bzip2_encoder_properties, bzip2_decoder_properties, 12, 46> {
public:
    static std::shared_ptr<Bzip2Method> Create() { return std::make_shared<Bzip2Method>(); }
};

class LzmaMethod
    : public compression_method<lzma_encoder, lzma_decoder, lzma_encoder_properties, lzma_decoder_properties, 14, 63> {
public:
    static std::shared_ptr<LzmaMethod> Create() { return std::make_shared<LzmaMethod>(); }
};

// A fresh method for a ZIP method code (store, deflate, bzip2, LZMA compared in that order); null for
// an unknown code.
std::shared_ptr<ICompressionMethod> CreateCompressionMethod(std::uint16_t code);
