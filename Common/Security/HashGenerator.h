// Message digests over OpenSSL's EVP interface, as lower-case hexadecimal text.
#pragma once

#include <string>

namespace Korvel::DisplayCalibration::Common::Security {

class IHashGenerator {
public:
    virtual ~IHashGenerator() = default;
    // The digest of `data`, two lower-case hexadecimal digits per byte. Throws std::runtime_error
    // when OpenSSL fails.
    virtual std::string Generate(const std::string& data) = 0;
};

class SHA256HashGenerator : public IHashGenerator {
public:
    std::string Generate(const std::string& data) override;
};

class MD5HashGenerator : public IHashGenerator {
public:
    std::string Generate(const std::string& data) override;
    // The digest of the file's content, read in blocks; throws std::runtime_error
    // ("Could not open file: " + path) when it cannot be opened, or when it cannot be read.
    std::string GenerateFromFile(const std::string& path);
};

}  // namespace Korvel::DisplayCalibration::Common::Security
