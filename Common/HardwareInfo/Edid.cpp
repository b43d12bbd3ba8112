#include "Common/HardwareInfo/Edid.h"

#include "Common/Application/TextHelpers.h"

#include <string>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

bool DecodeEdid(const QByteArray& edid, MonitorEdidRecord& record)
{
    if (edid.size() < EdidBaseBlockSize) {
        return false;
    }
    const auto byte = [&edid](int i) { return unsigned(static_cast<unsigned char>(edid[i])); };

    const unsigned word = byte(8) * 256 + byte(9);
    QString manufacturer;
    for (const int shift : {10, 5, 0}) {
        manufacturer += QChar(ushort(0x40 + ((word >> shift) & 31)));
    }
    record.ManufacturerId = manufacturer;
    record.ProductCode = std::uint16_t(byte(10) + byte(11) * 256);
    record.SerialNumber = std::uint32_t(byte(12)) | std::uint32_t(byte(13)) << 8 | std::uint32_t(byte(14)) << 16 |
                          std::uint32_t(byte(15)) << 24;
    record.EdidVersion = std::uint8_t(byte(18));
    record.EdidRevision = std::uint8_t(byte(19));
    record.HorizontalSizeMm = std::uint16_t(((byte(68) & 0xF0) << 4) + byte(66));
    record.VerticalSizeMm = std::uint16_t(((byte(68) & 0x0F) << 8) + byte(67));

    for (const int offset : {54, 72, 90, 108}) {
        if (byte(offset) != 0 || byte(offset + 1) != 0 || byte(offset + 2) != 0 || byte(offset + 4) != 0) {
            continue;
        }
        const QByteArray raw = edid.mid(offset + 5, 13);
        switch (byte(offset + 3)) {
        case 0xFC: {
            std::string name = raw.toStdString();
            Trim(name);
            record.MonitorName = QString::fromStdString(name);
            break;
        }
        case 0xFE:
            record.AlphanumericText = QString::fromUtf8(raw);
            break;
        case 0xFF:
            record.SerialText = QString::fromUtf8(raw);
            break;
        default:
            break;
        }
    }
    // Text ends at a zero byte: a descriptor that holds no text gives no panel text.
    QByteArray panelText = edid.mid(113, 12);
    if (const qsizetype end = panelText.indexOf('\0'); end >= 0) {
        panelText.truncate(end);
    }
    record.PanelText = QString::fromUtf8(panelText).trimmed();
    return true;
}

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
