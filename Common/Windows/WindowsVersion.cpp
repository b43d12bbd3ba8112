#include "Common/Windows/WindowsVersion.h"

#include <array>
#include <stdexcept>
#include <string>

namespace Korvel::DisplayCalibration::Common::Windows {

namespace {

bool IsAsciiLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

}  // namespace

WindowsVersion::WindowsVersion()
{
    Open();
}

WindowsVersion::~WindowsVersion()
{
    if (key != nullptr) {
        RegCloseKey(key);
    }
}

void WindowsVersion::Open()
{
    status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0, KEY_READ, &key);
    if (status != LSTATUS(ERROR_SUCCESS)) {
        key = nullptr;
        throw std::runtime_error("Registry opening failed for Windows Version");
    }
}

WindowsDisplayVersion WindowsVersion::DisplayVersion()
{
    if (key == nullptr) {
        Open();
    }
    std::array<wchar_t, 512 / sizeof(wchar_t)> buffer{};
    DWORD size = DWORD(sizeof buffer);
    status = RegQueryValueExW(key, L"DisplayVersion", nullptr, nullptr, reinterpret_cast<LPBYTE>(buffer.data()), &size);
    RegCloseKey(key);
    key = nullptr;
    if (status != LSTATUS(ERROR_SUCCESS)) {
        throw std::runtime_error("Failed to query DisplayVersion. Error Code: " + std::to_string(status));
    }
    // The text ends at its terminator or at the end of the data read.
    std::wstring text(buffer.data(), size / sizeof(wchar_t));
    text = text.substr(0, text.find(L'\0'));

    const std::size_t letter = [&text] {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (IsAsciiLetter(text[i])) {
                return i;
            }
        }
        return std::wstring::npos;
    }();
    if (letter == std::wstring::npos) {
        throw std::runtime_error("DisplayVersion does not have a symbol");
    }
    WindowsDisplayVersion version;
    try {
        version.number = std::stoi(text.substr(0, letter), nullptr, 10);
        version.release = std::stoi(text.substr(letter + 1), nullptr, 10);
    } catch (const std::logic_error&) {
        throw std::runtime_error("DisplayVersion conversion failed");
    }
    version.letter = char(text[letter]);
    return version;
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
