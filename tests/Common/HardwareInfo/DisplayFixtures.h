// Simulated displays and EDIDs for the hardware-information tests.
#pragma once

#include "WindowsStandIn/Machine.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

namespace DisplayFixtures {

struct Descriptor {
    std::uint8_t tag = 0;  // 0xFC name, 0xFE alphanumeric, 0xFF serial; 0 for a detailed timing
    QByteArray text;       // up to 13 bytes, written as given and padded with blanks
};

struct EdidFields {
    QByteArray manufacturer = "KVL";  // three letters; '@' gives the letter code 0
    std::uint16_t productCode = 0x4A1C;
    std::uint32_t serialNumber = 0;
    std::uint16_t widthMm = 302;
    std::uint16_t heightMm = 189;
    // Descriptors 2 to 4 (the first is the detailed timing).
    Descriptor second;
    Descriptor third;
    Descriptor fourth;
    bool badChecksum = false;
};

// A 128-byte EDID 1.4 base block.
inline QByteArray MakeEdid(const EdidFields& fields)
{
    QByteArray edid(128, '\0');
    const auto set = [&edid](int offset, unsigned value) { edid[offset] = char(value & 0xFF); };
    const unsigned char header[] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    for (int i = 0; i < 8; ++i) {
        set(i, header[i]);
    }
    unsigned word = 0;
    for (int i = 0; i < 3; ++i) {
        word = (word << 5) | unsigned((fields.manufacturer[i] - 0x40) & 31);
    }
    set(8, word >> 8);
    set(9, word);
    set(10, fields.productCode);
    set(11, fields.productCode >> 8);
    for (int i = 0; i < 4; ++i) {
        set(12 + i, fields.serialNumber >> (8 * i));
    }
    set(16, 12);    // week
    set(17, 34);    // 2024
    set(18, 1);
    set(19, 4);
    set(20, 0xA5);  // digital, 8 bits, DisplayPort
    set(21, (fields.widthMm + 5) / 10);
    set(22, (fields.heightMm + 5) / 10);
    set(23, 0x78);
    set(24, 0x02);
    const unsigned char colour[] = {0xEE, 0x95, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
    for (int i = 0; i < 10; ++i) {
        set(25 + i, colour[i]);
    }
    for (int i = 38; i < 54; ++i) {
        set(i, 0x01);  // no standard timings
    }
    // Detailed timing 1920x1200 at 60 Hz with the image size.
    const unsigned char timing[] = {0x28, 0x3C, 0x80, 0xA0, 0x70, 0xB0, 0x23, 0x40, 0x30, 0x20, 0x36, 0x00};
    for (int i = 0; i < 12; ++i) {
        set(54 + i, timing[i]);
    }
    set(66, fields.widthMm);
    set(67, fields.heightMm);
    set(68, ((fields.widthMm >> 8) << 4) | (fields.heightMm >> 8));
    set(71, 0x1A);
    int offset = 72;
    for (const Descriptor* descriptor : {&fields.second, &fields.third, &fields.fourth}) {
        if (descriptor->tag == 0) {
            set(offset + 3, 0x10);  // dummy descriptor
        } else {
            set(offset + 3, descriptor->tag);
            QByteArray text = descriptor->text.left(13);
            text.append(QByteArray(13 - text.size(), ' '));
            edid.replace(offset + 5, 13, text);
        }
        offset += 18;
    }
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += static_cast<unsigned char>(edid[i]);
    }
    set(127, (256 - sum % 256) % 256 + (fields.badChecksum ? 1 : 0));
    return edid;
}

inline QString Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// A display entry of the machine description.
struct DisplaySetup {
    QByteArray edid;
    qint64 outputTechnology = 0x80000000LL;
    bool active = true;
    QString deviceName = QStringLiteral("\\\\.\\DISPLAY1");
    int adapter = 0;
    bool withBrightness = false;
};

inline QJsonObject DisplayEntry(const DisplaySetup& setup)
{
    QJsonObject entry{{"deviceName", setup.deviceName},
                      {"adapter", setup.adapter},
                      {"edid", Hex(setup.edid)},
                      {"outputTechnology", setup.outputTechnology},
                      {"active", setup.active},
                      {"hdr", QJsonObject{{"supported", true}, {"enabled", false}}},
                      {"bitsPerColor", 8}};
    if (setup.withBrightness) {
        entry.insert("brightness", QJsonObject{{"levels", QJsonArray{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}},
                                               {"current", 60}});
    }
    return entry;
}

inline void SetDisplays(std::initializer_list<DisplaySetup> displays)
{
    QJsonArray array;
    for (const DisplaySetup& display : displays) {
        array.append(DisplayEntry(display));
    }
    WinSim::SetDescriptionValue(QStringLiteral("displays"), array);
}

// The internal panel of the tests: SHP14C4 with serial text and panel text.
inline QByteArray PanelEdid()
{
    EdidFields fields;
    fields.manufacturer = "SHP";
    fields.productCode = 0x14C4;
    fields.second = {0xFF, "AB12 CD34\n   "};
    fields.third = {0xFE, "PANELWORKS\n"};
    fields.fourth = {0xFE, "PW140M1A49\n"};
    return MakeEdid(fields);
}

inline QByteArray ExternalEdid(const QByteArray& manufacturer = "DEL", std::uint16_t product = 0xA0B1)
{
    EdidFields fields;
    fields.manufacturer = manufacturer;
    fields.productCode = product;
    fields.second = {0xFC, "OFFICE 27Q\n"};
    fields.third = {0xFF, "7XK2L93\n"};
    return MakeEdid(fields);
}

// The message of the exception `action` throws, or "(no exception)".
template <typename Exception>
std::string Message(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& error) {
        return error.what();
    }
    return "(no exception)";
}

}  // namespace DisplayFixtures
