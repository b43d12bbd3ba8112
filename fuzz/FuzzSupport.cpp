#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <unistd.h>

namespace Fuzz {

const std::string& ScratchDirectory()
{
    // Never destroyed, so that the exit handler can still use it.
    static const std::string* directory = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/korvel-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a scratch folder in " + pattern);
        }
        const auto* made = new std::string(pattern);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(*directory, ignored);
        });
        return made;
    }();
    return *directory;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        throw std::runtime_error("cannot write " + path);
    }
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) {
        throw std::runtime_error("cannot write " + path);
    }
}

void WriteFile(const std::string& path, std::string_view text)
{
    WriteFile(path, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

std::vector<std::string_view> SplitAtZeros(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t zero = text.find('\0', start);
        parts.push_back(text.substr(start, zero == std::string_view::npos ? std::string_view::npos : zero - start));
        if (zero == std::string_view::npos) {
            return parts;
        }
        start = zero + 1;
    }
}

}  // namespace Fuzz
