#include "Common/Security/HashGenerator.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>

namespace Korvel::DisplayCalibration::Common::Security {
namespace {

using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
// Feeds the data to digest through the update step it is handed.
using Feeder = std::function<void(const std::function<void(const void*, std::size_t)>& update)>;

std::string Digest(const EVP_MD* algorithm, const Feeder& feed)
{
    const Context context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!context) {
        throw std::runtime_error("Failed to create EVP_MD_CTX");
    }
    if (EVP_DigestInit_ex(context.get(), algorithm, nullptr) != 1) {
        throw std::runtime_error("Failed to initialize digest context");
    }
    feed([&context](const void* data, std::size_t size) {
        if (EVP_DigestUpdate(context.get(), data, size) != 1) {
            throw std::runtime_error("Failed to update digest context");
        }
    });
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
        throw std::runtime_error("Failed to finalize digest context");
    }
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(std::size_t(length) * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += Digits[digest[i] >> 4];
        text += Digits[digest[i] & 0x0f];
    }
    return text;
}

std::string DigestOf(const EVP_MD* algorithm, const std::string& data)
{
    return Digest(algorithm, [&data](const auto& update) { update(data.data(), data.size()); });
}

}  // namespace

std::string SHA256HashGenerator::Generate(const std::string& data)
{
    return DigestOf(EVP_sha256(), data);
}

std::string MD5HashGenerator::Generate(const std::string& data)
{
    return DigestOf(EVP_md5(), data);
}

std::string MD5HashGenerator::GenerateFromFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        throw std::runtime_error("Could not open file: " + path);
    }
    return Digest(EVP_md5(), [&](const auto& update) {
        std::array<char, 4096> block{};
        while (file.read(block.data(), std::streamsize(block.size())) || file.gcount() > 0) {
            update(block.data(), std::size_t(file.gcount()));
        }
        if (file.bad()) {
            throw std::runtime_error("Could not read file: " + path);
        }
    });
}

}  // namespace Korvel::DisplayCalibration::Common::Security
