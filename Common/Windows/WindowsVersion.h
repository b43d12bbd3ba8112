#pragma once

#include "WindowsStandIn/Win32.h"

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::Windows {

// A Windows display version such as 24H2: number 24, letter 'H', release 2.
struct WindowsDisplayVersion {
    std::int32_t number = 0;
    char letter = 0;
    std::int32_t release = 0;

    friend bool operator==(const WindowsDisplayVersion&, const WindowsDisplayVersion&) = default;
};

// Reads "DisplayVersion" of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows NT\CurrentVersion.
class WindowsVersion {
public:
    // Throws std::runtime_error "Registry opening failed for Windows Version".
    WindowsVersion();
    ~WindowsVersion();
    WindowsVersion(const WindowsVersion&) = delete;
    WindowsVersion& operator=(const WindowsVersion&) = delete;

    // Throws std::runtime_error when the value cannot be read or parsed. The key is closed
    // after the query; a later call opens it again.
    WindowsDisplayVersion DisplayVersion();

private:
    void Open();

    LSTATUS status = ERROR_SUCCESS;
    HKEY key = nullptr;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
