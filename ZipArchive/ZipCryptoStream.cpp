#include "ZipArchive/Streams.h"

#include <zlib.h>

#include <chrono>
#include <random>

template <typename ElemT, typename TraitsT>
zip_crypto_streambuf<ElemT, TraitsT>::~zip_crypto_streambuf()
{
    sync();
}

template <typename ElemT, typename TraitsT>
bool zip_crypto_streambuf<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream,
                                                const std::string& password, std::uint8_t checkByte)
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

template <typename ElemT, typename TraitsT>
void zip_crypto_streambuf<ElemT, TraitsT>::init(std::basic_ostream<ElemT, TraitsT>& stream,
                                                const std::string& password, std::uint8_t checkByte)
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

template <typename ElemT, typename TraitsT>
auto zip_crypto_streambuf<ElemT, TraitsT>::underflow() -> int_type
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

template <typename ElemT, typename TraitsT>
auto zip_crypto_streambuf<ElemT, TraitsT>::overflow(int_type c) -> int_type
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

template <typename ElemT, typename TraitsT>
int zip_crypto_streambuf<ElemT, TraitsT>::sync()
{
    return output ? Flush() : 0;
}

template <typename ElemT, typename TraitsT>
void zip_crypto_streambuf<ElemT, TraitsT>::Start(const std::string& password)
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

template <typename ElemT, typename TraitsT>
int zip_crypto_streambuf<ElemT, TraitsT>::Flush()
{
    for (ElemT* p = this->pbase(); p < this->pptr(); ++p) {
        *p = static_cast<ElemT>(Encrypt(static_cast<unsigned char>(*p)));
    }
    output->write(this->pbase(), this->pptr() - this->pbase());
    this->setp(buffer.data(), buffer.data() + buffer.size());
    return output->good() ? 0 : -1;
}

namespace {

std::uint32_t Crc32Step(std::uint32_t crc, unsigned char byte)
{
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ byte) & 0xff] ^ (crc >> 8);
}

}  // namespace

template <typename ElemT, typename TraitsT>
void zip_crypto_streambuf<ElemT, TraitsT>::UpdateKeys(unsigned char byte)
{
    keys[0] = Crc32Step(keys[0], byte);
    keys[1] = (keys[1] + (keys[0] & 0xff)) * 134775813u + 1;
    keys[2] = Crc32Step(keys[2], static_cast<unsigned char>(keys[1] >> 24));
}

template <typename ElemT, typename TraitsT>
unsigned char zip_crypto_streambuf<ElemT, TraitsT>::StreamByte() const
{
    const std::uint32_t temp = (keys[2] | 2) & 0xffff;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

template <typename ElemT, typename TraitsT>
unsigned char zip_crypto_streambuf<ElemT, TraitsT>::Decrypt(unsigned char byte)
{
    const unsigned char plain = byte ^ StreamByte();
    UpdateKeys(plain);
    return plain;
}

template <typename ElemT, typename TraitsT>
unsigned char zip_crypto_streambuf<ElemT, TraitsT>::Encrypt(unsigned char byte)
{
    const unsigned char cipher = byte ^ StreamByte();
    UpdateKeys(byte);
    return cipher;
}

template <typename ElemT, typename TraitsT>
basic_zip_cryptostream<ElemT, TraitsT>::basic_zip_cryptostream() : std::basic_iostream<ElemT, TraitsT>(&buffer)
{
}

template <typename ElemT, typename TraitsT>
bool basic_zip_cryptostream<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream,
                                                  const std::string& password, std::uint8_t checkByte)
{
    this->clear();
    return buffer.init(stream, password, checkByte);
}

template <typename ElemT, typename TraitsT>
void basic_zip_cryptostream<ElemT, TraitsT>::init(std::basic_ostream<ElemT, TraitsT>& stream,
                                                  const std::string& password, std::uint8_t checkByte)
{
    this->clear();
    buffer.init(stream, password, checkByte);
}

template class zip_crypto_streambuf<char>;
template class basic_zip_cryptostream<char>;
