// EDID blocks as a monitor's device key holds them.
#include "Common/HardwareInfo/Edid.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray edid = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    HardwareInfo::MonitorEdidRecord record;
    const bool decoded = HardwareInfo::DecodeEdid(edid, record);
    if (decoded != (edid.size() >= HardwareInfo::EdidBaseBlockSize) || record.ManufacturerId.size() != (decoded ? 3 : 0)) {
        std::abort();
    }
    return 0;
}
