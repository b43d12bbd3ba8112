#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

// One monitor interface with its parsed EDID.
struct MonitorEdidRecord {
    QString DevicePath;
    QString ManufacturerId;
    std::uint16_t ProductCode = 0;
    std::uint32_t SerialNumber = 0;
    std::uint8_t EdidVersion = 0;
    std::uint8_t EdidRevision = 0;
    QString MonitorName;       // descriptor 0xFC, trimmed
    QString SerialText;        // descriptor 0xFF, untrimmed
    QString AlphanumericText;  // descriptor 0xFE, untrimmed
    std::uint16_t HorizontalSizeMm = 0;
    std::uint16_t VerticalSizeMm = 0;
    QString PanelText;         // bytes 113 to 124, trimmed
    // The error of opening the device key, or of its value enumeration when it failed and no EDID
    // was read (0: none).
    std::int32_t ReadError = 0;
};

inline constexpr qsizetype EdidBaseBlockSize = 128;

// Decodes the EDID base block into `record`. An EDID shorter than the base block is refused:
// false, and the record is left as it was.
bool DecodeEdid(const QByteArray& edid, MonitorEdidRecord& record);

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
