#include "ZipArchive/CompressionMethods.h"
#include "ZipArchive/Streams.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>

namespace {

std::string Sample(std::size_t size)
{
    std::string data;
    data.reserve(size);
    std::uint32_t state = 7;
    while (data.size() < size) {
        state = state * 1103515245u + 12345u;
        data.push_back((state >> 16) % 3 ? char('a' + (state >> 24) % 8) : char(state >> 8));
    }
    return data;
}

std::string Encode(ICompressionMethod& method, const std::string& data)
{
    std::ostringstream output;
    {
        compression_encoder_stream encoder(method.GetEncoder(), method.GetEncoderProperties(), output);
        encoder.write(data.data(), static_cast<std::streamsize>(data.size()));
        encoder.flush();
    }
    return output.str();
}

std::string Decode(ICompressionMethod& method, std::istream& input)
{
    compression_decoder_stream decoder(method.GetDecoder(), method.GetDecoderProperties(), input);
    std::ostringstream output;
    utils::stream::copy(decoder, output, 1 << 20);
    return output.str();
}

std::string Decode(ICompressionMethod& method, const std::string& data)
{
    std::istringstream input(data);
    return Decode(method, input);
}

// zlib's own raw inflate, as the peer of our deflate encoder.
std::string ZlibInflate(const std::string& data)
{
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    std::string output(1 << 22, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(output.data());
    z.avail_out = static_cast<uInt>(output.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    output.resize(z.total_out);
    inflateEnd(&z);
    return output;
}

struct MethodCase {
    const char* name;
    std::function<std::shared_ptr<ICompressionMethod>()> create;
};

const MethodCase kMethods[] = {
    {"Store", [] { return StoreMethod::Create(); }},
    {"Deflate", [] { return DeflateMethod::Create(); }},
    {"Bzip2", [] { return Bzip2Method::Create(); }},
    {"Lzma", [] { return LzmaMethod::Create(); }},
};

// Empty input, one byte, around and at multiples of the 32768-byte buffers, and larger.
const std::size_t kSizes[] = {0, 1, 32767, 32768, 32769, 65536, 300000};

class MethodRoundTrip : public testing::TestWithParam<std::tuple<MethodCase, std::size_t>> {};

TEST_P(MethodRoundTrip, DecodesWhatItEncodes)
{
    const auto& [method, size] = GetParam();
    const std::string data = Sample(size);
    const std::string encoded = Encode(*method.create(), data);
    EXPECT_EQ(Decode(*method.create(), encoded), data);
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodRoundTrip, testing::Combine(testing::ValuesIn(kMethods), testing::ValuesIn(kSizes)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(DeflateTest, EncoderOutputIsRawDeflateForZlib)
{
    for (const std::size_t size : kSizes) {
        const std::string data = Sample(size);
        EXPECT_EQ(ZlibInflate(Encode(*DeflateMethod::Create(), data)), data) << size;
    }
    // Empty input is the end block alone.
    EXPECT_EQ(Encode(*DeflateMethod::Create(), ""), std::string("\x03\x00", 2));
}

TEST(DeflateTest, EncoderCountsBytes)
{
    auto method = DeflateMethod::Create();
    std::ostringstream output;
    const std::string data = Sample(65536);
    {
        compression_encoder_stream encoder(method->GetEncoder(), method->GetEncoderProperties(), output);
        encoder << data;
        encoder.flush();
    }
    EXPECT_EQ(method->GetEncoder()->get_bytes_read(), data.size());
    EXPECT_EQ(method->GetEncoder()->get_bytes_written(), output.str().size());
}

TEST(LzmaTest, DataStartsWithTheZipLzmaHeader)
{
    const std::string encoded = Encode(*LzmaMethod::Create(), Sample(1000));
    ASSERT_GE(encoded.size(), 9u);
    EXPECT_EQ(encoded.substr(0, 4), std::string("\x09\x16\x05\x00", 4));
}

TEST(LzmaTest, DecodingStopsAtTheOutputLimit)
{
    const std::string data = Sample(100000);
    const std::string encoded = Encode(*LzmaMethod::Create(), data);
    auto method = LzmaMethod::Create();
    dynamic_cast<lzma_decoder_properties&>(method->GetDecoderProperties()).OutputLimit = 40000;
    EXPECT_EQ(Decode(*method, encoded), data.substr(0, 40000));
}

TEST(LzmaTest, DictionaryLargerThanTheDataIsNotAllocatedUpFront)
{
    // A header that declares a 4 GiB dictionary before a few bytes of data.
    std::string encoded = Encode(*LzmaMethod::Create(), Sample(5000));
    encoded.replace(5, 4, std::string("\xff\xff\xff\xff", 4));
    EXPECT_EQ(Decode(*LzmaMethod::Create(), encoded), Sample(5000));
}

// Decoders over damaged input end the data without an exception or a hang.
class DamagedInput : public testing::TestWithParam<std::tuple<MethodCase, const char*>> {};

TEST_P(DamagedInput, EndsEarly)
{
    const auto& [method, damage] = GetParam();
    const std::string data = Sample(200000);
    std::string encoded = Encode(*method.create(), data);
    const std::string kind = damage;
    if (kind == "Truncated") {
        encoded.resize(encoded.size() / 2);
    } else if (kind == "Corrupt") {
        for (std::size_t i = encoded.size() / 3; i < encoded.size() / 3 + 64; ++i) {
            encoded[i] = static_cast<char>(encoded[i] ^ 0x5a);
        }
    } else if (kind == "HeaderOnly") {
        encoded.resize(std::min<std::size_t>(encoded.size(), 9));
    } else {
        encoded.clear();
    }
    const std::string decoded = Decode(*method.create(), encoded);
    EXPECT_NE(decoded, data);
    if (kind == "Truncated") {
        EXPECT_EQ(decoded, data.substr(0, decoded.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(Decoders, DamagedInput,
                         testing::Combine(testing::ValuesIn(kMethods + 1, kMethods + 4),
                                          testing::Values("Truncated", "Corrupt", "HeaderOnly", "Empty")),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + std::get<1>(info.param);
                         });

TEST(DecoderTest, InputStandsRightAfterTheCompressedData)
{
    for (const auto& method : {kMethods[1], kMethods[2]}) {
        const std::string data = Sample(100000);
        std::istringstream input(Encode(*method.create(), data) + "TRAILER");
        EXPECT_EQ(Decode(*method.create(), input), data) << method.name;
        std::string rest;
        input >> rest;
        EXPECT_EQ(rest, "TRAILER") << method.name;
    }
}

TEST(MethodTest, LookupByCode)
{
    const std::pair<std::uint16_t, std::uint16_t> known[] = {{0, 10}, {8, 20}, {12, 46}, {14, 63}};
    for (const auto& [code, version] : known) {
        const auto method = CreateCompressionMethod(code);
        ASSERT_TRUE(method) << code;
        EXPECT_EQ(method->GetDescriptor().CompressionMethod, code);
        EXPECT_EQ(method->GetDescriptor().VersionNeededToExtract, version);
    }
    EXPECT_FALSE(CreateCompressionMethod(9));
    EXPECT_FALSE(CreateCompressionMethod(99));
}

TEST(MethodTest, PropertiesAreNormalised)
{
    auto deflate = DeflateMethod::Create();
    auto& level = dynamic_cast<deflate_encoder_properties&>(deflate->GetEncoderProperties());
    EXPECT_EQ(level.CompressionLevel, 6);
    level.CompressionLevel = 42;
    EXPECT_EQ(dynamic_cast<deflate_encoder_properties&>(deflate->GetEncoderProperties()).CompressionLevel, 9);

    auto bzip2 = Bzip2Method::Create();
    auto& block = dynamic_cast<bzip2_encoder_properties&>(bzip2->GetEncoderProperties());
    block.BlockSize = 0;
    EXPECT_EQ(dynamic_cast<bzip2_encoder_properties&>(bzip2->GetEncoderProperties()).BlockSize, 1);
    EXPECT_EQ(Decode(*Bzip2Method::Create(), Encode(*bzip2, Sample(1000))), Sample(1000));
}

TEST(SubStreamTest, ReadsOnlyItsWindowAndSeeksInside)
{
    std::istringstream base("0123456789abcdef");
    isubstream window(base, 4, 8);
    std::string all;
    window >> all;
    EXPECT_EQ(all, "456789ab");

    window.clear();
    window.seekg(-3, std::ios_base::end);
    window >> all;
    EXPECT_EQ(all, "9ab");
    window.clear();
    EXPECT_EQ(window.seekg(9).fail(), true);

    // A window reaching past the base ends where the base ends.
    isubstream past(base, 12, 100);
    past >> all;
    EXPECT_EQ(all, "cdef");
}

TEST(Crc32StreamTest, MatchesTheStandardCheckValue)
{
    std::istringstream base("123456789");
    crc32stream crc(base);
    nullstream sink;
    utils::stream::copy(crc, sink, 4);
    EXPECT_EQ(crc.get_crc32(), 0xCBF43926u);
    EXPECT_EQ(crc.get_bytes_read(), 9u);
}

TEST(CryptoStreamTest, RoundTripAndWrongPassword)
{
    const std::string data = Sample(70000);
    std::ostringstream encrypted;
    {
        zip_cryptostream crypto;
        crypto.init(encrypted, "pa55", 0x7c);
        crypto.write(data.data(), static_cast<std::streamsize>(data.size()));
        crypto.flush();
    }
    ASSERT_EQ(encrypted.str().size(), data.size() + 12);
    EXPECT_NE(encrypted.str().substr(12), data);

    std::istringstream input(encrypted.str());
    zip_cryptostream decrypt;
    ASSERT_TRUE(decrypt.init(input, "pa55", 0x7c));
    std::ostringstream plain;
    utils::stream::copy(decrypt, plain, 1 << 20);
    EXPECT_EQ(plain.str(), data);

    std::istringstream again(encrypted.str());
    zip_cryptostream wrong;
    EXPECT_FALSE(wrong.init(again, "other", 0x7c));
    EXPECT_EQ(wrong.get(), std::char_traits<char>::eof());
}

TEST(CopyTest, CopiesAcrossBufferBoundaries)
{
    for (const std::size_t size : {0, 4, 5, 12}) {
        std::istringstream input(Sample(size));
        std::ostringstream output;
        utils::stream::copy(input, output, 4);
        EXPECT_EQ(output.str(), Sample(size)) << size;
    }
}

}  // namespace
