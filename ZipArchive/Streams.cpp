#include "ZipArchive/Streams.h"

#include <zlib.h>

#include <algorithm>

// Compression streams ----------------------------------------------------------------------------

template <typename ElemT, typename TraitsT>
compression_encoder_streambuf<ElemT, TraitsT>::compression_encoder_streambuf(
    std::shared_ptr<compression_encoder_interface> encoder, compression_encoder_properties_interface& properties,
    std::ostream& stream)
{
    init(std::move(encoder), properties, stream);
}

template <typename ElemT, typename TraitsT>
compression_encoder_streambuf<ElemT, TraitsT>::~compression_encoder_streambuf()
{
    sync();
}

template <typename ElemT, typename TraitsT>
void compression_encoder_streambuf<ElemT, TraitsT>::init(std::shared_ptr<compression_encoder_interface> encoder,
                                                         compression_encoder_properties_interface& properties,
                                                         std::ostream& stream)
{
    this->encoder = std::move(encoder);
    this->encoder->init(stream, properties);
    finished = !this->encoder->is_init();
    Reset();
}

template <typename ElemT, typename TraitsT>
auto compression_encoder_streambuf<ElemT, TraitsT>::overflow(int_type c) -> int_type
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

template <typename ElemT, typename TraitsT>
int compression_encoder_streambuf<ElemT, TraitsT>::sync()
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

template <typename ElemT, typename TraitsT>
void compression_encoder_streambuf<ElemT, TraitsT>::Reset()
{
    if (!encoder || !encoder->is_init()) {
        this->setp(nullptr, nullptr);
        return;
    }
    auto* begin = reinterpret_cast<ElemT*>(encoder->get_buffer_begin());
    auto* end = reinterpret_cast<ElemT*>(encoder->get_buffer_end());
    this->setp(begin, end - 1);
}

template <typename ElemT, typename TraitsT>
compression_decoder_streambuf<ElemT, TraitsT>::compression_decoder_streambuf(
    std::shared_ptr<compression_decoder_interface> decoder, compression_decoder_properties_interface& properties,
    std::istream& stream)
{
    init(std::move(decoder), properties, stream);
}

template <typename ElemT, typename TraitsT>
void compression_decoder_streambuf<ElemT, TraitsT>::init(std::shared_ptr<compression_decoder_interface> decoder,
                                                         compression_decoder_properties_interface& properties,
                                                         std::istream& stream)
{
    this->decoder = std::move(decoder);
    this->decoder->init(stream, properties);
    this->setg(nullptr, nullptr, nullptr);
}

template <typename ElemT, typename TraitsT>
auto compression_decoder_streambuf<ElemT, TraitsT>::underflow() -> int_type
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

template <typename ElemT, typename TraitsT>
basic_compression_encoder_stream<ElemT, TraitsT>::basic_compression_encoder_stream()
    : std::basic_ostream<ElemT, TraitsT>(&buffer)
{
}

template <typename ElemT, typename TraitsT>
basic_compression_encoder_stream<ElemT, TraitsT>::basic_compression_encoder_stream(
    std::shared_ptr<compression_encoder_interface> encoder, compression_encoder_properties_interface& properties,
    std::ostream& stream)
    : basic_compression_encoder_stream()
{
    init(std::move(encoder), properties, stream);
}

template <typename ElemT, typename TraitsT>
void basic_compression_encoder_stream<ElemT, TraitsT>::init(std::shared_ptr<compression_encoder_interface> encoder,
                                                            compression_encoder_properties_interface& properties,
                                                            std::ostream& stream)
{
    buffer.init(std::move(encoder), properties, stream);
    this->clear();
}

template <typename ElemT, typename TraitsT>
basic_compression_decoder_stream<ElemT, TraitsT>::basic_compression_decoder_stream()
    : std::basic_istream<ElemT, TraitsT>(&buffer)
{
}

template <typename ElemT, typename TraitsT>
basic_compression_decoder_stream<ElemT, TraitsT>::basic_compression_decoder_stream(
    std::shared_ptr<compression_decoder_interface> decoder, compression_decoder_properties_interface& properties,
    std::istream& stream)
    : basic_compression_decoder_stream()
{
    init(std::move(decoder), properties, stream);
}

template <typename ElemT, typename TraitsT>
void basic_compression_decoder_stream<ElemT, TraitsT>::init(std::shared_ptr<compression_decoder_interface> decoder,
                                                            compression_decoder_properties_interface& properties,
                                                            std::istream& stream)
{
    buffer.init(std::move(decoder), properties, stream);
    this->clear();
}

// Window stream ----------------------------------------------------------------------------------

template <typename ElemT, typename TraitsT>
sub_streambuf<ElemT, TraitsT>::sub_streambuf(std::basic_istream<ElemT, TraitsT>& stream, pos_type start,
                                             std::streamoff length)
{
    init(stream, start, length);
}

template <typename ElemT, typename TraitsT>
void sub_streambuf<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream, pos_type start,
                                         std::streamoff length)
{
    this->stream = &stream;
    this->start = start;
    this->length = std::max<std::streamoff>(length, 0);
    position = 0;
    buffer.assign(1 << 15, ElemT());
    this->setg(nullptr, nullptr, nullptr);
}

template <typename ElemT, typename TraitsT>
auto sub_streambuf<ElemT, TraitsT>::underflow() -> int_type
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

template <typename ElemT, typename TraitsT>
auto sub_streambuf<ElemT, TraitsT>::seekoff(off_type offset, std::ios_base::seekdir direction,
                                            std::ios_base::openmode which) -> pos_type
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

template <typename ElemT, typename TraitsT>
auto sub_streambuf<ElemT, TraitsT>::seekpos(pos_type target, std::ios_base::openmode which) -> pos_type
{
    return seekoff(off_type(target), std::ios_base::beg, which);
}

template <typename ElemT, typename TraitsT>
basic_isubstream<ElemT, TraitsT>::basic_isubstream() : std::basic_istream<ElemT, TraitsT>(&buffer)
{
}

template <typename ElemT, typename TraitsT>
basic_isubstream<ElemT, TraitsT>::basic_isubstream(std::basic_istream<ElemT, TraitsT>& stream,
                                                   typename TraitsT::pos_type start, std::streamoff length)
    : basic_isubstream()
{
    init(stream, start, length);
}

template <typename ElemT, typename TraitsT>
void basic_isubstream<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream,
                                            typename TraitsT::pos_type start, std::streamoff length)
{
    buffer.init(stream, start, length);
    this->clear();
}

// CRC-32 stream ----------------------------------------------------------------------------------

template <typename ElemT, typename TraitsT>
crc32_streambuf<ElemT, TraitsT>::crc32_streambuf(std::basic_istream<ElemT, TraitsT>& stream)
{
    init(stream);
}

template <typename ElemT, typename TraitsT>
void crc32_streambuf<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream)
{
    this->stream = &stream;
    crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    bytesRead = 0;
    buffer.assign(1 << 15, ElemT());
    this->setg(nullptr, nullptr, nullptr);
}

template <typename ElemT, typename TraitsT>
auto crc32_streambuf<ElemT, TraitsT>::underflow() -> int_type
{
    if (!stream) {
        return TraitsT::eof();
    }
    stream->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize count = stream->gcount();
    if (count <= 0) {
        return TraitsT::eof();
    }
    crc = static_cast<std::uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(count)));
    bytesRead += static_cast<std::uint64_t>(count);
    this->setg(buffer.data(), buffer.data(), buffer.data() + count);
    return TraitsT::to_int_type(buffer[0]);
}

template <typename ElemT, typename TraitsT>
basic_crc32stream<ElemT, TraitsT>::basic_crc32stream() : std::basic_istream<ElemT, TraitsT>(&buffer)
{
}

template <typename ElemT, typename TraitsT>
basic_crc32stream<ElemT, TraitsT>::basic_crc32stream(std::basic_istream<ElemT, TraitsT>& stream)
    : basic_crc32stream()
{
    init(stream);
}

template <typename ElemT, typename TraitsT>
void basic_crc32stream<ElemT, TraitsT>::init(std::basic_istream<ElemT, TraitsT>& stream)
{
    buffer.init(stream);
    this->clear();
}

// Null stream ------------------------------------------------------------------------------------

template <typename ElemT, typename TraitsT>
typename TraitsT::int_type null_streambuf<ElemT, TraitsT>::overflow(typename TraitsT::int_type c)
{
    return TraitsT::not_eof(c);
}

template <typename ElemT, typename TraitsT>
std::streamsize null_streambuf<ElemT, TraitsT>::xsputn(const ElemT*, std::streamsize count)
{
    return count;
}

template <typename ElemT, typename TraitsT>
basic_nullstream<ElemT, TraitsT>::basic_nullstream() : std::basic_ostream<ElemT, TraitsT>(&buffer)
{
}

template class compression_encoder_streambuf<char>;
template class compression_decoder_streambuf<char>;
template class basic_compression_encoder_stream<char>;
template class basic_compression_decoder_stream<char>;
template class sub_streambuf<char>;
template class basic_isubstream<char>;
template class crc32_streambuf<char>;
template class basic_crc32stream<char>;
template class null_streambuf<char>;
template class basic_nullstream<char>;

namespace utils::stream {

void copy(std::istream& input, std::ostream& output, std::size_t bufferSize)
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
