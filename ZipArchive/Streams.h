// Standard-stream adapters of the ZIP library: compression, window, CRC-32, null and traditional
// PKWARE encryption streams, and the copy helper. None owns the stream below it. The templates are
// instantiated for char in the library (ZipArchive/Streams.cpp, ZipArchive/ZipCryptoStream.cpp).
#pragma once

#include "ZipArchive/CompressionInterface.h"

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
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
                                  compression_encoder_properties_interface& properties, std::ostream& stream);
    ~compression_encoder_streambuf() override;

    void init(std::shared_ptr<compression_encoder_interface> encoder,
              compression_encoder_properties_interface& properties, std::ostream& stream);

    bool is_init() const { return encoder && encoder->is_init(); }
    const std::shared_ptr<compression_encoder_interface>& get_encoder() const { return encoder; }

protected:
    int_type overflow(int_type c) override;
    // Finishes the compressed data.
    int sync() override;

private:
    void Reset();

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
                                  compression_decoder_properties_interface& properties, std::istream& stream);

    void init(std::shared_ptr<compression_decoder_interface> decoder,
              compression_decoder_properties_interface& properties, std::istream& stream);

    bool is_init() const { return decoder && decoder->is_init(); }
    const std::shared_ptr<compression_decoder_interface>& get_decoder() const { return decoder; }

protected:
    int_type underflow() override;

private:
    std::shared_ptr<compression_decoder_interface> decoder;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_compression_encoder_stream : public std::basic_ostream<ElemT, TraitsT> {
public:
    basic_compression_encoder_stream();
    basic_compression_encoder_stream(std::shared_ptr<compression_encoder_interface> encoder,
                                     compression_encoder_properties_interface& properties, std::ostream& stream);

    void init(std::shared_ptr<compression_encoder_interface> encoder,
              compression_encoder_properties_interface& properties, std::ostream& stream);
    bool is_init() const { return buffer.is_init(); }

private:
    compression_encoder_streambuf<ElemT, TraitsT> buffer;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_compression_decoder_stream : public std::basic_istream<ElemT, TraitsT> {
public:
    basic_compression_decoder_stream();
    basic_compression_decoder_stream(std::shared_ptr<compression_decoder_interface> decoder,
                                     compression_decoder_properties_interface& properties, std::istream& stream);

    void init(std::shared_ptr<compression_decoder_interface> decoder,
              compression_decoder_properties_interface& properties, std::istream& stream);
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
    sub_streambuf(std::basic_istream<ElemT, TraitsT>& stream, pos_type start, std::streamoff length);

    void init(std::basic_istream<ElemT, TraitsT>& stream, pos_type start, std::streamoff length);

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type target, std::ios_base::openmode which) override;

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
    basic_isubstream();
    basic_isubstream(std::basic_istream<ElemT, TraitsT>& stream, typename TraitsT::pos_type start,
                     std::streamoff length);

    void init(std::basic_istream<ElemT, TraitsT>& stream, typename TraitsT::pos_type start, std::streamoff length);

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
    explicit crc32_streambuf(std::basic_istream<ElemT, TraitsT>& stream);

    void init(std::basic_istream<ElemT, TraitsT>& stream);

    std::uint32_t get_crc32() const { return crc; }
    std::uint64_t get_bytes_read() const { return bytesRead; }

protected:
    int_type underflow() override;

private:
    std::basic_istream<ElemT, TraitsT>* stream = nullptr;
    std::uint32_t crc = 0;
    std::uint64_t bytesRead = 0;
    std::vector<ElemT> buffer;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_crc32stream : public std::basic_istream<ElemT, TraitsT> {
public:
    basic_crc32stream();
    explicit basic_crc32stream(std::basic_istream<ElemT, TraitsT>& stream);

    void init(std::basic_istream<ElemT, TraitsT>& stream);
    std::uint32_t get_crc32() const { return buffer.get_crc32(); }
    std::uint64_t get_bytes_read() const { return buffer.get_bytes_read(); }

private:
    crc32_streambuf<ElemT, TraitsT> buffer;
};

// Accepts and discards every byte.
template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class null_streambuf : public std::basic_streambuf<ElemT, TraitsT> {
protected:
    typename TraitsT::int_type overflow(typename TraitsT::int_type c) override;
    std::streamsize xsputn(const ElemT*, std::streamsize count) override;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_nullstream : public std::basic_ostream<ElemT, TraitsT> {
public:
    basic_nullstream();

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

    ~zip_crypto_streambuf() override;

    // Reads and decrypts the header; false when its last byte is not the check byte (wrong password).
    bool init(std::basic_istream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte);
    // Writes the encrypted header: random bytes ending with the check byte.
    void init(std::basic_ostream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte);

    bool is_valid() const { return valid; }

protected:
    int_type underflow() override;
    int_type overflow(int_type c) override;
    int sync() override;

private:
    void Start(const std::string& password);
    int Flush();
    void UpdateKeys(unsigned char byte);
    unsigned char StreamByte() const;
    unsigned char Decrypt(unsigned char byte);
    unsigned char Encrypt(unsigned char byte);

    std::basic_istream<ElemT, TraitsT>* input = nullptr;
    std::basic_ostream<ElemT, TraitsT>* output = nullptr;
    std::uint32_t keys[3] = {};
    std::vector<ElemT> buffer;
    bool valid = false;
};

template <typename ElemT, typename TraitsT = std::char_traits<ElemT>>
class basic_zip_cryptostream : public std::basic_iostream<ElemT, TraitsT> {
public:
    basic_zip_cryptostream();

    bool init(std::basic_istream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte);
    void init(std::basic_ostream<ElemT, TraitsT>& stream, const std::string& password, std::uint8_t checkByte);
    bool is_valid() const { return buffer.is_valid(); }

private:
    zip_crypto_streambuf<ElemT, TraitsT> buffer;
};

extern template class compression_encoder_streambuf<char>;
extern template class compression_decoder_streambuf<char>;
extern template class basic_compression_encoder_stream<char>;
extern template class basic_compression_decoder_stream<char>;
extern template class sub_streambuf<char>;
extern template class basic_isubstream<char>;
extern template class crc32_streambuf<char>;
extern template class basic_crc32stream<char>;
extern template class null_streambuf<char>;
extern template class basic_nullstream<char>;
extern template class zip_crypto_streambuf<char>;
extern template class basic_zip_cryptostream<char>;

using compression_encoder_stream = basic_compression_encoder_stream<char>;
using compression_decoder_stream = basic_compression_decoder_stream<char>;
using isubstream = basic_isubstream<char>;
using crc32stream = basic_crc32stream<char>;
using nullstream = basic_nullstream<char>;
using zip_cryptostream = basic_zip_cryptostream<char>;

namespace utils::stream {

// Copies `input` to `output` until a read delivers less than a full buffer.
void copy(std::istream& input, std::ostream& output, std::size_t bufferSize = 1 << 20);

}  // namespace utils::stream
