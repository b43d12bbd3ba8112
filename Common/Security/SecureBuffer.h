// A fixed-size byte buffer that is wiped before its memory is released.
#pragma once

#include <openssl/crypto.h>

#include <cstddef>
#include <vector>

namespace Korvel::DisplayCalibration::Common::Security {

class SecureBuffer {
public:
    explicit SecureBuffer(std::size_t size) : bytes(size, 0) {}
    ~SecureBuffer() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
    SecureBuffer(const SecureBuffer&) = delete;
    SecureBuffer& operator=(const SecureBuffer&) = delete;

    unsigned char* data() { return bytes.data(); }
    std::size_t size() const { return bytes.size(); }

private:
    std::vector<unsigned char> bytes;
};

}  // namespace Korvel::DisplayCalibration::Common::Security
