// Standard-stream adapters of the ZIP library: compression, window, CRC-32, null and traditional
// PKWARE encryption streams, and the copy helper. None owns the stream below it.
#pragma once

#include "ZipArchive/CompressionInterface.h"

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <istream>
#include <memory>
#include <ostream>
#include <random>
#include <streambuf>
#include <string>
#include <vector>

// Encoder stream buffer: the put area is the encoder's input buffer less one byte.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class compression_encoder_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
    static_assert(sizeof(ElemT) == 1);

public:
    using int_type = typename TraitsT::int_type;

    compression_encoder_streambuf() = default;
    compression_encoder_streambuf(std::shared_ptr<compression_encoder_interface> encoder,
                                  compression_encoder_properties_interface& properties, std::ostream& stream)
    {
        init(std::move(encoder), properties, stream);
    }
    ~compression_encoder_streambuf() override { sync(); }

    void init(std::shared_ptr<compression_encoder_interface> encoder,
              compression_encoder_properties_interface& properties, std::ostream& stream)
    {
        this->encoder = std::move(encoder);
        this->encoder->init(stream, properties);
        finished = !this->encoder->is_init();
        Reset();
    }

    bool is_init() const { return encoder && encoder->is_init(); }
    const std::shared_ptr<compression_encoder_interface>& get_encoder() const { return encoder; }

protected:
    int_type overflow(int_type c) override
    {
        if (finished) {
            return TraitsT::eof();
        }
        if (!TraitsT::eq_int_type(c, TraitsT::eof())) {
            *this->pptr() = TraitsT::to_char_type(c);
            this->pbump(1);
        }
        encoder->encode_next(static_cast<std::size_t>(this->pptr() - this->pbase()));
        Reset();
        return TraitsT::not_eof(c);
    }

    // Finishes the compressed data.
    int sync() override
    {
        if (finished) {
            return 0;
        }
        finished = true;
        encoder->encode_next(static_cast<std::size_t>(this->pptr() - this->pbase()));
        encoder->sync();
        Reset();
        return 0;
    }

private:
    void Reset()
    {
        if (!encoder || !encoder->is_init()) {
            this->setp(nullptr, nullptr);
            return;
        }
        auto* begin = reinterpret_cast<ElemT*>(encoder->get_buffer_begin());
        auto* end = reinterpret_cast<ElemT*>(encoder->get_buffer_end());
        this->setp(begin, end - 1);
    }

    std::shared_ptr<compression_encoder_interface> encoder;
    bool finished = true;
};

// Decoder stream buffer: the get area is the decoder's output buffer.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class compression_decoder_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
    static_assert(sizeof(ElemT) == 1);

public:
    using int_type = typename TraitsT::int_type;

    compression_decoder_streambuf() = default;
    compression_decoder_streambuf(std::shared_ptr<compression_decoder_interface> decoder,
                                  compression_decoder_properties_interface& properties, std::istream& stream)
    {
        init(std::move(decoder), properties, stream);
    }

    void init(std::shared_ptr<compression_decoder_interface> decoder,
              compression_decoder_properties_interface& properties, std::istream& stream)
    {
        this->decoder = std::move(decoder);
        this->decoder->init(stream, properties);
        this->setg(nullptr, nullptr, nullptr);
    }

    bool is_init() const { return decoder && decoder->is_init(); }
    const std::shared_ptr<compression_decoder_interface>& get_decoder() const { return decoder; }

protected:
    int_type underflow() override
    {
        if (!decoder || !decoder->is_init()) {
            return TraitsT::eof();
        }
        const std::size_t count = decoder->decode_next();
        if (count == 0) {
            this->setg(nullptr, nullptr, nullptr);
            return TraitsT::eof();
        }
        auto* begin = reinterpret_cast<ElemT*>(decoder->get_buffer_begin());
        this->setg(begin, begin, begin + count);
        return TraitsT::to_int_type(*begin);
    }

private:
    std::shared_ptr<compression_decoder_interface> decoder;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_compression_encoder_stream : public std::basic_ostream<ElemT, TraitsT> {
public:
    basic_compression_encoder_stream() : std::basic_ostream<ElemT, TraitsT>(&buffer) {}
    basic_compression_encoder_stream(std::shared_ptr<compression_encoder_interface> encoder,
                                     compression_encoder_properties_interface& properties, std::ostream& stream)
        : basic_compression_encoder_stream()
    {
        init(std::move(encoder), properties, stream);
    }

    void init(std::shared_ptr<compression_encoder_interface> encoder,
              compression_encoder_properties_interface& properties, std::ostream& stream)
    {
        buffer.init(std::move(encoder), properties, stream);
        this->clear();
    }
    bool is_init() const { return buffer.is_init(); }

private:
    compression_encoder_streambuf<ElemT, TraitsT> buffer;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_compression_decoder_stream : public std::basic_istream<ElemT, TraitsT> {
public:
    basic_compression_decoder_stream() : std::basic_istream<ElemT, TraitsT>(&buffer) {}
    basic_compression_decoder_stream(std::shared_ptr<compression_decoder_interface> decoder,
                                     compression_decoder_properties_interface& properties, std::istream& stream)
        : basic_compression_decoder_stream()
    {
        init(std::move(decoder), properties, stream);
    }

    void init(std::shared_ptr<compression_decoder_interface> decoder,
              compression_decoder_properties_interface& properties, std::istream& stream)
    {
        buffer.init(std::move(decoder), properties, stream);
        this->clear();
    }
    bool is_init() const { return buffer.is_init(); }

private:
    compression_decoder_streambuf<ElemT, TraitsT> buffer;
};

// A read-only window on an underlying stream: `length` bytes from `start`.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class sub_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
public:
    using int_type = typename TraitsT::int_type;
    using pos_type = typename TraitsT::pos_type;
    using off_type = typename TraitsT::off_type;

    sub_streambuf() = default;
    sub_streambuf(std::basic_istream<ElemT, TraitsT>& stream, pos_type start, std::streamoff length)
    {
        init(stream, start, length);
    }

    void init(std::basic_istream<ElemT, TraitsT>& stream, pos_type start, std::streamoff length)
    {
        this->stream = &stream;
        this->start = start;
        this->length = std::max<std::streamoff>(length, 0);
        position = 0;
        buffer.assign(1 << 15, ElemT());
        this->setg(nullptr, nullptr, nullptr);
    }

protected:
    int_type underflow() override
    {
        if (!stream || position >= length) {
            return TraitsT::eof();
        }
        stream->clear();
        stream->seekg(start + position);
        const auto wanted = std::min<std::streamoff>(static_cast<std::streamoff>(buffer.size()), length - position);
        stream->read(buffer.data(), wanted);
        const std::streamsize count = stream->gcount();
        if (count <= 0) {
            return TraitsT::eof();
        }
        position += count;
        this->setg(buffer.data(), buffer.data(), buffer.data() + count);
        return TraitsT::to_int_type(buffer[0]);
    }

    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override
    {
        if (!(which & std::ios_base::in)) {
            return pos_type(off_type(-1));
        }
        const std::streamoff current = position - (this->egptr() - this->gptr());
        std::streamoff target = offset;
        if (direction == std::ios_base::cur) {
            target += current;
        } else if (direction == std::ios_base::end) {
            target += length;
        }
        if (target < 0 || target > length) {
            return pos_type(off_type(-1));
        }
        position = target;
        this->setg(nullptr, nullptr, nullptr);
        return pos_type(target);
    }

    pos_type seekpos(pos_type target, std::ios_base::openmode which) override
    {
        return seekoff(off_type(target), std::ios_base::beg, which);
    }

private:
    std::basic_istream<ElemT, TraitsT>* stream = nullptr;
    pos_type start = 0;
    std::streamoff length = 0;
    std::streamoff position = 0;
    std::vector<ElemT> buffer;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_isubstream : public std::basic_istream<ElemT, TraitsT> {
public:
    basic_isubstream() : std::basic_istream<ElemT, TraitsT>(&buffer) {}
    basic_isubstream(std::basic_istream<ElemT, TraitsT>& stream, typename TraitsT::pos_type start,
                     std::streamoff length)
        : basic_isubstream()
    {
        init(stream, start, length);
    }

    void init(std::basic_istream<ElemT, TraitsT>& stream, typename TraitsT::pos_type start, std::streamoff length)
    {
        buffer.init(stream, start, length);
        this->clear();
    }

private:
    sub_streambuf<ElemT, TraitsT> buffer;
};

// Reads from an underlying stream and keeps the CRC-32 of every byte delivered.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class crc32_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
    static_assert(sizeof(ElemT) == 1);

public:
    using int_type = typename TraitsT::int_type;

    crc32_streambuf() = default;
    explicit crc32_streambuf(std::basic_istream<ElemT, TraitsT>& stream) { init(stream); }

    void init(std::basic_istream<ElemT, TraitsT>& stream)
    {
        this->stream = &stream;
        crc = crc32(0, nullptr, 0);
        bytesRead = 0;
        buffer.assign(1 << 15, ElemT());
        this->setg(nullptr, nullptr, nullptr);
    }

    std::uint32_t get_crc32() const { return static_cast<std::uint32_t>(crc); }
    std::uint64_t get_bytes_read() const { return bytesRead; }

protected:
    int_type underflow() override
    {
        if (!stream) {
            return TraitsT::eof();
        }
        stream->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize count = stream->gcount();
        if (count <= 0) {
            return TraitsT::eof();
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(count));
        bytesRead += static_cast<std::uint64_t>(count);
        this->setg(buffer.data(), buffer.data(), buffer.data() + count);
        return TraitsT::to_int_type(buffer[0]);
    }

private:
    std::basic_istream<ElemT, TraitsT>* stream = nullptr;
    uLong crc = 0;
    std::uint64_t bytesRead = 0;
    std::vector<ElemT> buffer;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_crc32stream : public std::basic_istream<ElemT, TraitsT> {
public:
    basic_crc32stream() : std::basic_istream<ElemT, TraitsT>(&buffer) {}
    explicit basic_crc32stream(std::basic_istream<ElemT, TraitsT>& stream) : basic_crc32stream() { init(stream); }

    void init(std::basic_istream<ElemT, TraitsT>& stream)
    {
        buffer.init(stream);
        this->clear();
    }
    std::uint32_t get_crc32() const { return buffer.get_crc32(); }
    std::uint64_t get_bytes_read() const { return buffer.get_bytes_read(); }

private:
    crc32_streambuf<ElemT, TraitsT> buffer;
};

// Accepts and discards every byte.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class null_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
protected:
    typename TraitsT::int_type overflow(typename TraitsT::int_type c) override { return TraitsT::not_eof(c); }
    std::streamsize xsputn(const ElemT*, std::streamsize count) override { return count; }
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_nullstream : public std::basic_ostream<ElemT, TraitsT> {
public:
    basic_nullstream() : std::basic_ostream<ElemT, TraitsT>(&buffer) {}

private:
    null_streambuf<ElemT, TraitsT> buffer;
};

// Traditional PKWARE encryption: decrypts what it reads from an underlying stream, or encrypts what is
// written into it to an underlying stream. Both begin with the 12-byte encryption header.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class zip_crypto_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
    static_assert(sizeof(ElemT) == 1);

public:
    using int_type = typename TraitsT::int_type;
    static constexpr std::size_t kHeaderSize = 12;

    ~zip_crypto_streambuf() override { sync(); }

    // Reads and decrypts the header; false when its last byte is not the check byte (wrong password).
    bool init(std::basic_istream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte)
    {
        Start(password);
        input = &stream;
        output = nullptr;
        unsigned char header[kHeaderSize];
        stream.read(reinterpret_cast<ElemT*>(header), kHeaderSize);
        if (stream.gcount() != static_cast<std::streamsize>(kHeaderSize)) {
            return valid = false;
        }
        for (unsigned char& byte : header) {
            byte = Decrypt(byte);
        }
        return valid = header[kHeaderSize - 1] == checkByte;
    }

    // Writes the encrypted header: random bytes ending with the check byte.
    void init(std::basic_ostream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte)
    {
        Start(password);
        input = nullptr;
        output = &stream;
        std::mt19937 generator(
            static_cast<std::mt19937::result_type>(std::chrono::steady_clock::now().time_since_epoch().count()));
        unsigned char header[kHeaderSize];
        for (unsigned char& byte : header) {
            byte = static_cast<unsigned char>(generator());
        }
        header[kHeaderSize - 1] = checkByte;
        for (unsigned char& byte : header) {
            byte = Encrypt(byte);
        }
        stream.write(reinterpret_cast<const ElemT*>(header), kHeaderSize);
        valid = true;
        this->setp(buffer.data(), buffer.data() + buffer.size());
    }

    bool is_valid() const { return valid; }

protected:
    int_type underflow() override
    {
        if (!input || !valid) {
            return TraitsT::eof();
        }
        input->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const std::streamsize count = input->gcount();
        if (count <= 0) {
            return TraitsT::eof();
        }
        for (std::streamsize i = 0; i < count; ++i) {
            buffer[i] = static_cast<ElemT>(Decrypt(static_cast<unsigned char>(buffer[i])));
        }
        this->setg(buffer.data(), buffer.data(), buffer.data() + count);
        return TraitsT::to_int_type(buffer[0]);
    }

    int_type overflow(int_type c) override
    {
        if (!output || Flush() != 0) {
            return TraitsT::eof();
        }
        if (!TraitsT::eq_int_type(c, TraitsT::eof())) {
            *this->pptr() = TraitsT::to_char_type(c);
            this->pbump(1);
        }
        return TraitsT::not_eof(c);
    }

    int sync() override { return output ? Flush() : 0; }

private:
    void Start(const std::string& password)
    {
        keys[0] = 0x12345678;
        keys[1] = 0x23456789;
        keys[2] = 0x34567890;
        for (const char c : password) {
            UpdateKeys(static_cast<unsigned char>(c));
        }
        buffer.assign(1 << 15, ElemT());
        this->setg(nullptr, nullptr, nullptr);
        this->setp(nullptr, nullptr);
    }

    int Flush()
    {
        for (ElemT* p = this->pbase(); p < this->pptr(); ++p) {
            *p = static_cast<ElemT>(Encrypt(static_cast<unsigned char>(*p)));
        }
        output->write(this->pbase(), this->pptr() - this->pbase());
        this->setp(buffer.data(), buffer.data() + buffer.size());
        return output->good() ? 0 : -1;
    }

    static std::uint32_t Crc32Step(std::uint32_t crc, unsigned char byte)
    {
        static const z_crc_t* table = get_crc_table();
        return table[(crc ^ byte) & 0xff] ^ (crc >> 8);
    }

    void UpdateKeys(unsigned char byte)
    {
        keys[0] = Crc32Step(keys[0], byte);
        keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
        keys[2] = Crc32Step(keys[2], static_cast<unsigned char>(keys[1] >> 24));
    }

    unsigned char StreamByte() const
    {
        const std::uint32_t temp = (keys[2] | 2) & 0xffff;
        return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    }

    unsigned char Decrypt(unsigned char byte)
    {
        const unsigned char plain = byte ^ StreamByte();
        UpdateKeys(plain);
        return plain;
    }

    unsigned char Encrypt(unsigned char byte)
    {
        const unsigned char cipher = byte ^ StreamByte();
        UpdateKeys(byte);
        return cipher;
    }

    std::basic_istream<ElemT, TraitsT>* input = nullptr;
    std::basic_ostream<ElemT, TraitsT>* output = nullptr;
    std::uint32_t keys[3] = {};
    std::vector<ElemT> buffer;
    bool valid = false;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_zip_cryptostream : public std::basic_iostream<ElemT, TraitsT> {
public:
    basic_zip_cryptostream() : std::basic_iostream<ElemT, TraitsT>(&buffer) {}

    bool init(std::basic_istream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte)
    {
        this->clear();
        return buffer.init(stream, password, checkByte);
    }
    void init(std::basic_ostream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte)
    {
        this->clear();
        buffer.init(stream, password, checkByte);
    }
    bool is_valid() const { return buffer.is_valid(); }

private:
    zip_crypto_streambuf<ElemT, TraitsT> buffer;
};

using compression_encoder_stream = basic_compression_encoder_stream<char>;
using compression_decoder_stream = basic_compression_decoder_stream<char>;
using isubstream = basic_isubstream<char>;
using crc32stream = basic_crc32stream<char>;
using nullstream = basic_nullstream<char>;
using zip_cryptostream = basic_zip_cryptostream<char>;

namespace utils::stream {

// Copies `input` to `output` until a read delivers less than a full buffer.
inline void copy(std::istream& input, std::ostream& output, std::size_t bufferSize = 1 << 20)
{
    // Left uninitialised: only the pages a small entry touches are ever mapped.
    const std::unique_ptr<char[]> buffer(new char[bufferSize]);
    std::streamsize count;
    do {
        input.read(buffer.get(), static_cast<std::streamsize>(bufferSize));
        count = input.gcount();
        output.write(buffer.get(), count);
    } while (count == static_cast<std::streamsize>(bufferSize));
}

}  // namespace utils::stream
