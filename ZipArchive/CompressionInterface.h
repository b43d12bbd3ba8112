// Encoder and decoder interfaces of the compression methods, and their properties.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <ostream>

// Properties are normalised before an encoder or decoder uses them.
struct compression_encoder_properties_interface {
    virtual ~compression_encoder_properties_interface() = default;
    virtual void normalize() {}

    std::size_t BufferCapacity = 1 << 15;
};

struct compression_decoder_properties_interface {
    virtual ~compression_decoder_properties_interface() = default;
    virtual void normalize() {}

    std::size_t BufferCapacity = 1 << 15;
};

// The encoder interface: data is placed in its input buffer, then `encode_next` compresses it into
// the output stream. A block shorter than the buffer capacity ends the data.
class compression_encoder_interface {
public:
    virtual ~compression_encoder_interface() = default;
    virtual bool is_init() const = 0;
    virtual std::uint64_t get_bytes_read() const = 0;
    virtual std::uint64_t get_bytes_written() const = 0;
    virtual char* get_buffer_begin() = 0;
    virtual char* get_buffer_end() = 0;
    virtual void init(std::ostream& stream, compression_encoder_properties_interface& properties) = 0;
    virtual void init(std::ostream& stream) = 0;
    virtual void encode_next(std::size_t length) = 0;
    virtual void sync() = 0;
};

// The decoder interface: `decode_next` fills its output buffer from the input stream and returns the
// number of bytes produced; 0 at the end of the data or on an error.
class compression_decoder_interface {
public:
    virtual ~compression_decoder_interface() = default;
    virtual bool is_init() const = 0;
    virtual std::uint64_t get_bytes_read() const = 0;
    virtual std::uint64_t get_bytes_written() const = 0;
    virtual char* get_buffer_begin() = 0;
    virtual char* get_buffer_end() = 0;
    virtual void init(std::istream& stream, compression_decoder_properties_interface& properties) = 0;
    virtual void init(std::istream& stream) = 0;
    virtual std::size_t decode_next() = 0;
};
