#include "ProfileData/ProfileQualityReportParser.h"

#include "Common/HardwareInfo/BiosTools.h"
#include "Spectrine/Spectrine.h"

#include <QFile>

#include <log4cplus/logger.h>
#include <log4cplus/loggingmacros.h>

#include <cmath>
#include <memory>

namespace {

using Korvel::DisplayCalibration::Common::HardwareInfo::BiosToolsFactory;
using Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools;

using Line = QList<QStringView>;
using Lines = QList<Line>;

const Line GammaCurveHeader = {u"RGB", u"Normalized", u"Target"};
const Line DeltaEHeader = {u"R", u"G", u"B", u"dE2000"};
const Line VerificationHeader = {u"R", u"G", u"B", u"X", u"Y", u"Z", u"Y", u"x", u"y"};

log4cplus::Logger Logger()
{
    return log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("ProfileQualityReportParser"));
}

// Thrown by the readers for a number that is NaN or infinite ("nan", "inf", "1e400"): the report
// is then unreadable as a whole.
struct NonFiniteNumber {};

// An unparsable number reads as 0.
double ToDouble(QStringView token)
{
    const double value = token.toDouble();
    if (!std::isfinite(value)) {
        throw NonFiniteNumber();
    }
    return value;
}

// The last token of the first line that starts with `key` and has `count` tokens; false, with
// `value` unchanged, when no line does.
bool FindKeyValue(const Lines& lines, QStringView key, qsizetype count, QString& value)
{
    for (const Line& line : lines) {
        if (line.size() == count && line.first().startsWith(key)) {
            value = line.last().toString();
            return true;
        }
    }
    return false;
}

// FindKeyValue for a value kept as written that is still a number (a luminance, a gamma).
bool FindNumberText(const Lines& lines, QStringView key, qsizetype count, QString& value)
{
    QString found;
    if (!FindKeyValue(lines, key, count, found)) {
        return false;
    }
    ToDouble(found);
    value = found;
    return true;
}

int ToInt(QStringView token)
{
    return token.toInt(nullptr, 10);
}

// Rows of a table below its header up to the first one-token line after at least one row. False
// when the header is missing or the rows run to the end of the text; the rows read are taken
// either way. `take` says whether a row of the right width counts.
template <typename Take>
bool ReadTable(const Lines& lines, const Line& header, qsizetype width, Take take)
{
    qsizetype i = 0;
    while (i < lines.size() && lines[i] != header) {
        ++i;
    }
    if (i == lines.size()) {
        return false;
    }
    int rows = 0;
    for (++i; i < lines.size(); ++i) {
        const Line& tokens = lines[i];
        if (tokens.size() == 1 && rows > 0) {
            return true;
        }
        if (tokens.size() == width && tokens != header && take(tokens)) {
            ++rows;
        }
    }
    return false;
}

// The tokens of each line of the text: its runs of characters other than whitespace (what splitting
// the simplified line at its spaces gives), viewed in `text`. A line of whitespace alone is one empty
// token; such lines share one list. The line end of the last line starts no line; an empty text is
// one empty line.
Lines SplitLines(const QString& text)
{
    const Line blank{QStringView()};
    Lines lines;
    lines.reserve(text.count(QLatin1Char('\n')) + 1);
    const QChar* const characters = text.constData();
    qsizetype start = 0;
    while (start < text.size() || (start == 0 && text.isEmpty())) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0) {
            end = text.size();
        }
        Line tokens;
        for (qsizetype i = start; i < end;) {
            while (i < end && characters[i].isSpace()) {
                ++i;
            }
            const qsizetype first = i;
            while (i < end && !characters[i].isSpace()) {
                ++i;
            }
            if (i > first) {
                tokens.append(QStringView(characters + first, i - first));
            }
        }
        lines.append(tokens.isEmpty() ? blank : std::move(tokens));
        start = end + 1;
    }
    return lines;
}

}  // namespace

ProfileQualityReportParser::ProfileQualityReportParser() = default;

bool ProfileQualityReportParser::Load(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = tr("Could not open report!");
        return false;
    }
    // One byte more than allowed tells a report that is too large without reading all of it.
    reportText = file.read(MaximumSize + 1);
    if (reportText.size() > MaximumSize) {
        reportText.clear();
        error = tr("Could not open report!");
        return false;
    }
    const struct {
        bool (ProfileQualityReportParser::*read)(const Lines&);
        const char* message;
    } readers[] = {
        {&ProfileQualityReportParser::ReadProfileName, QT_TR_NOOP("Profile name is not found!")},
        {&ProfileQualityReportParser::ReadComputerSerialNumber, QT_TR_NOOP("Computer serial number is not found!")},
        {&ProfileQualityReportParser::ReadCalibrationDateAndTime,
         QT_TR_NOOP("Calibration date and time is not found!")},
        {&ProfileQualityReportParser::ReadCalibratedLuminance, QT_TR_NOOP("Calibrated luminance is not found!")},
        {&ProfileQualityReportParser::ReadDeltaE2000, QT_TR_NOOP("Delta E values are not found!")},
        {&ProfileQualityReportParser::ReadAverageGamma, QT_TR_NOOP("Average gamma data is not found!")},
        {&ProfileQualityReportParser::ReadGammaCurve, QT_TR_NOOP("Gamma curve data is not found!")},
        {&ProfileQualityReportParser::ReadDeltaEResults, QT_TR_NOOP("Delta E results are not found!")},
        {&ProfileQualityReportParser::ReadVerificationPatches, QT_TR_NOOP("Verification patches are not found!")},
        {&ProfileQualityReportParser::ReadWhitePoint, QT_TR_NOOP("White Point coordinates are not found!")},
        {&ProfileQualityReportParser::ReadPrimaries, QT_TR_NOOP("Coordinates of RGB primaries are not found!")},
    };
    const QString text = QString::fromUtf8(reportText);
    const Lines lines = SplitLines(text);
    QString missing;
    bool complete = true;
    try {
        for (const auto& reader : readers) {
            if (!(this->*reader.read)(lines)) {
                missing += tr(reader.message);
                complete = false;
            }
        }
    } catch (const NonFiniteNumber&) {
        *this = ProfileQualityReportParser();
        error = tr("Could not open report!");
        return false;
    }
    error += missing;
    return complete;
}

bool ProfileQualityReportParser::ReadProfileName(const Lines& lines)
{
    return FindKeyValue(lines, u"ProfileName", 2, profileName);
}

bool ProfileQualityReportParser::ReadComputerSerialNumber(const Lines& lines)
{
    try {
        LOG4CPLUS_DEBUG(Logger(), LOG4CPLUS_TEXT("Retriving Computer serial number using bios tools"));
        const std::unique_ptr<IBiosTools> biosTools(BiosToolsFactory().Create());
        computerSerialNumber = biosTools->GetComputerSerialNumber();
        return true;
    } catch (...) {
        LOG4CPLUS_DEBUG(Logger(),
                        LOG4CPLUS_TEXT("retriving from bios tools failed! Now trying to parse from quality report"));
    }
    return FindKeyValue(lines, u"ComputerSerialNumber", 2, computerSerialNumber);
}

bool ProfileQualityReportParser::ReadCalibrationDateAndTime(const Lines& lines)
{
    for (const Line& line : lines) {
        if (line.size() == 3 && line.first().startsWith(u"Date") && !line[2].isEmpty()) {
            calibrationDate = line[1].toString();
            calibrationTime = line[2].toString();
            return true;
        }
    }
    return false;
}

bool ProfileQualityReportParser::ReadCalibratedLuminance(const Lines& lines)
{
    return FindNumberText(lines, u"Target", 3, calibratedLuminance);
}

bool ProfileQualityReportParser::ReadDeltaE2000(const Lines& lines)
{
    bool mean = false;
    bool max = false;
    for (const Line& line : lines) {
        // The line, its tokens joined by spaces, starts with "dE2000 mean" or "dE2000 max".
        if (line.size() < 4 || line[3].isEmpty() || line[0] != u"dE2000") {
            continue;
        }
        if (!mean && line[1].startsWith(u"mean")) {
            deltaE2000Mean = ToDouble(line[3]);
            mean = true;
        } else if (!max && line[1].startsWith(u"max")) {
            deltaE2000Max = ToDouble(line[3]);
            max = true;
        }
    }
    return mean && max;
}

bool ProfileQualityReportParser::ReadAverageGamma(const Lines& lines)
{
    return FindNumberText(lines, u"Gamma", 2, averageGamma);
}

bool ProfileQualityReportParser::ReadGammaCurve(const Lines& lines)
{
    return ReadTable(lines, GammaCurveHeader, 3, [this](const Line& row) {
        gammaLevels.append(ToInt(row[0]));
        gammaNormalizedValues.append(ToDouble(row[1]));
        gammaTargetValues.append(ToDouble(row[2]));
        return true;
    });
}

bool ProfileQualityReportParser::ReadDeltaEResults(const Lines& lines)
{
    return ReadTable(lines, DeltaEHeader, 4, [this](const Line& row) {
        const double deltaE = ToDouble(row[3]);
        if (!std::isnormal(deltaE)) {
            return false;
        }
        deltaERgbValues.append({ToInt(row[0]), ToInt(row[1]), ToInt(row[2])});
        deltaE2000Values.append(deltaE);
        return true;
    });
}

bool ProfileQualityReportParser::ReadVerificationPatches(const Lines& lines)
{
    if (!lines.contains(VerificationHeader)) {
        return false;
    }
    for (const Line& line : lines) {
        if (line.size() == VerificationHeader.size() && line != VerificationHeader) {
            verificationPatches.append({ToInt(line[0]), ToInt(line[1]), ToInt(line[2])});
        }
    }
    return !verificationPatches.isEmpty();
}

bool ProfileQualityReportParser::ReadWhitePoint(const Lines& lines)
{
    for (const Line& line : lines) {
        if (line.size() != 9 || line[0] != u"255" || line[1] != u"255" || line[2] != u"255") {
            continue;
        }
        whiteX = ToDouble(line[7]);
        whiteY = ToDouble(line[8]);
        KVStatus status = KVSuccess;
        const double kelvin = KVGetColorTempFromXYZ(ToDouble(line[3]), ToDouble(line[4]), ToDouble(line[5]), &status);
        if (status != KVSuccess) {
            return false;
        }
        whitePointColorTemperature = QString::number(kelvin, 'f', 0) + QLatin1Char('K');
        return true;
    }
    return false;
}

bool ProfileQualityReportParser::ReadPrimaries(const Lines& lines)
{
    const struct {
        const char* rgb[3];
        double* x;
        double* y;
    } primaries[] = {
        {{"255", "0", "0"}, &redX, &redY},
        {{"0", "255", "0"}, &greenX, &greenY},
        {{"0", "0", "255"}, &blueX, &blueY},
    };
    bool all = true;
    for (const auto& primary : primaries) {
        bool found = false;
        for (const Line& line : lines) {
            if (line.size() == 9 && line[0] == QLatin1String(primary.rgb[0]) &&
                line[1] == QLatin1String(primary.rgb[1]) && line[2] == QLatin1String(primary.rgb[2])) {
                *primary.x = ToDouble(line[7]);
                *primary.y = ToDouble(line[8]);
                found = true;
                break;
            }
        }
        all = all && found;
    }
    return all;
}
