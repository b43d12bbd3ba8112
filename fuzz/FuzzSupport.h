// Shared by the fuzz targets, in libFuzzer builds and in the replay programs alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Fuzz {

// A folder of this process under $TMPDIR (else /tmp), made on first use and removed at exit.
const std::string& ScratchDirectory();

// Writes `size` bytes to `path`, replacing the file.
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);
void WriteFile(const std::string& path, std::string_view text);

// The input cut at every zero byte (texts such as XML and command lines hold none).
std::vector<std::string_view> SplitAtZeros(const std::uint8_t* data, std::size_t size);

}  // namespace Fuzz
