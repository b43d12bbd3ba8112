#include "Common/HardwareInfo/Edid.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <gtest/gtest.h>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;

namespace {

// What edid-decode reads from the same bytes.
struct Reading {
    QString manufacturer;
    QString model;
    QString serialNumber;  // empty when the numeric serial is 0
    QString version;
    QString imageSize;
    QString serialText;
    QString name;
    QStringList alphanumeric;
};

Reading DecodeWithEdidDecode(const QByteArray& edid)
{
    QTemporaryFile file;
    EXPECT_TRUE(file.open());
    file.write(edid);
    file.flush();
    QProcess process;
    process.start(QStringLiteral("edid-decode"), {file.fileName()});
    EXPECT_TRUE(TestSupport::WaitForFinished(process));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    Reading reading;
    const auto capture = [&output](const char* pattern) {
        return QRegularExpression(QLatin1String(pattern), QRegularExpression::MultilineOption).match(output).captured(1);
    };
    reading.manufacturer = capture("^\\s*Manufacturer: (\\S+)");
    reading.model = capture("^\\s*Model: (\\d+)");
    reading.serialNumber = capture("^\\s*Serial Number: (\\d+)");
    reading.version = capture("EDID Structure Version & Revision: (\\S+)");
    reading.imageSize = capture("DTD 1: .*\\((\\d+ mm x \\d+ mm)\\)");
    reading.serialText = capture("Display Product Serial Number: '(.*)'");
    reading.name = capture("Display Product Name: '(.*)'");
    auto matches = QRegularExpression(QStringLiteral("Alphanumeric Data String: '(.*)'")).globalMatch(output);
    while (matches.hasNext()) {
        reading.alphanumeric << matches.next().captured(1);
    }
    return reading;
}

struct EdidCase {
    const char* name;
    EdidFields setup;
    QString panelText;
};

TEST(EdidTest, DecodesLikeEdidDecode)
{
    const EdidCase cases[] = {
        {"serial with inner blank and trailing padding",
         {"SHP", 0x14C4, 0, 309, 174, {0xFF, "AB12 CD34\n   "}, {0xFC, "PW140M1A49\n"}, {0xFE, "PW140WFA-SPD1"}, false},
         "PW140WFA-SPD"},
        {"numeric serial, name last",
         {"KVL", 0x000A, 0x01020304, 1210, 680, {0xFE, "KVL\n"}, {0xFF, "X1\n"}, {0xFC, "Vantrel 14\n"}, false},
         "Vantrel 14"},
        {"two alphanumeric strings: the last wins, the panel text has its line feed trimmed",
         {"AUO", 0xB49D, 0, 344, 193, {0xFE, "AUO\n"}, {0xFE, "B140HAN06.8\n"}, {0xFE, "B156HAN0B.9\n"}, false},
         "B156HAN0B.9"},
        {"dummy descriptors only, wrong checksum",
         {"BOE", 0x0BCA, 7, 300, 190, {}, {}, {}, true},
         ""},
    };
    for (const EdidCase& test : cases) {
        SCOPED_TRACE(test.name);
        const QByteArray edid = MakeEdid(test.setup);
        HardwareInfo::MonitorEdidRecord record;
        ASSERT_TRUE(HardwareInfo::DecodeEdid(edid, record));
        const Reading reading = DecodeWithEdidDecode(edid);

        EXPECT_EQ(record.ManufacturerId, reading.manufacturer);
        EXPECT_EQ(QString::number(record.ProductCode), reading.model);
        EXPECT_EQ(record.SerialNumber == 0 ? QString() : QString::number(record.SerialNumber), reading.serialNumber);
        EXPECT_EQ(QStringLiteral("%1.%2").arg(record.EdidVersion).arg(record.EdidRevision), reading.version);
        EXPECT_EQ(QStringLiteral("%1 mm x %2 mm").arg(record.HorizontalSizeMm).arg(record.VerticalSizeMm), reading.imageSize);
        // Our texts keep the terminator and padding (the name is trimmed); edid-decode shows the text alone.
        EXPECT_EQ(record.SerialText.section('\n', 0, 0).trimmed(), reading.serialText);
        EXPECT_EQ(record.MonitorName, reading.name);
        EXPECT_EQ(record.AlphanumericText.section('\n', 0, 0).trimmed(),
                  reading.alphanumeric.isEmpty() ? QString() : reading.alphanumeric.last());
        EXPECT_EQ(record.PanelText, test.panelText);
    }
}

TEST(EdidTest, TextsKeepTheirTerminatorAndPadding)
{
    EdidFields setup;
    setup.second = {0xFF, "AB12 CD34\n"};
    setup.third = {0xFC, "  Panel\n"};
    setup.fourth = {0xFE, "PW140WFA-SPD1"};
    HardwareInfo::MonitorEdidRecord record;
    ASSERT_TRUE(HardwareInfo::DecodeEdid(MakeEdid(setup), record));
    EXPECT_EQ(record.SerialText, QStringLiteral("AB12 CD34\n   "));
    EXPECT_EQ(record.MonitorName, QStringLiteral("Panel"));
    EXPECT_EQ(record.AlphanumericText, QStringLiteral("PW140WFA-SPD1"));
    EXPECT_EQ(record.PanelText, QStringLiteral("PW140WFA-SPD"));
}

TEST(EdidTest, LetterCodeZeroGivesTheAtSign)
{
    EdidFields setup;
    setup.manufacturer = "S@P";
    HardwareInfo::MonitorEdidRecord record;
    ASSERT_TRUE(HardwareInfo::DecodeEdid(MakeEdid(setup), record));
    EXPECT_EQ(record.ManufacturerId, QStringLiteral("S@P"));

    QByteArray shp = MakeEdid({});
    shp[8] = char(0x4D);
    shp[9] = char(0x10);
    ASSERT_TRUE(HardwareInfo::DecodeEdid(shp, record));
    EXPECT_EQ(record.ManufacturerId, QStringLiteral("SHP"));
}

TEST(EdidTest, ShortEdidIsRefused)
{
    const QByteArray edid = MakeEdid({});
    for (const qsizetype size : {qsizetype(0), qsizetype(20), qsizetype(127)}) {
        HardwareInfo::MonitorEdidRecord record;
        record.ManufacturerId = QStringLiteral("OLD");
        EXPECT_FALSE(HardwareInfo::DecodeEdid(edid.left(size), record)) << size;
        EXPECT_EQ(record.ManufacturerId, QStringLiteral("OLD"));
        EXPECT_EQ(record.ProductCode, 0);
    }
}

}  // namespace
