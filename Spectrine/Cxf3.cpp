#include "Spectrine/Cxf3.h"

#include "Spectrine/Internal.h"

#include <QLocale>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

namespace {

using namespace Spectrine::Detail;

struct ColorSet {
    std::string name;
    std::int32_t space = KVColorSpaceXYZ;
    std::vector<std::array<double, 3>> colors;
};

// What a measurement text holds.
struct Document {
    std::vector<ColorSet> sets;
    std::optional<KVNameValueMap> attributes;
    std::optional<KVProfileDisplayParams> params;

    const ColorSet* Find(const std::string& name) const
    {
        const auto found = std::find_if(sets.begin(), sets.end(), [&](const ColorSet& set) { return set.name == name; });
        return found != sets.end() ? &*found : nullptr;
    }
};

}  // namespace

struct KVCxf3Stream {
    Document document;
    std::string text;
};

struct KVCxf3ProcessFileParams {
};

namespace {

constexpr std::uint8_t TagType[4] = {'u', 't', 'f', '8'};
constexpr std::size_t TagHeaderSize = 8;
const char* const MeasurementSet = "Measurement";
const char* const TargetSet = "Target";

// Element and coordinate names of each colour space.
struct SpaceName {
    std::int32_t space;
    const char* element;
    const char* coordinates[3];
};
constexpr SpaceName SpaceNames[] = {
    {KVColorSpaceXYZ, "ColorCIEXYZ", {"X", "Y", "Z"}},
    {KVColorSpaceRGB, "ColorRGB", {"R", "G", "B"}},
    {KVColorSpaceYxy, "ColorCIExyY", {"Y", "x", "y"}},
};

const SpaceName* NameOfSpace(std::int32_t space)
{
    for (const SpaceName& name : SpaceNames) {
        if (name.space == space) {
            return &name;
        }
    }
    return nullptr;
}

QString Number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Writing.

void WriteValue(QXmlStreamWriter& xml, const char* element, const QString& value)
{
    xml.writeEmptyElement(QLatin1String(element));
    xml.writeAttribute(QStringLiteral("Value"), value);
}

void WriteParams(QXmlStreamWriter& xml, const KVProfileDisplayParams& p)
{
    xml.writeStartElement(QStringLiteral("DisplayParameters"));
    if (p.gammaType != KVGammaTypeNone) {
        xml.writeEmptyElement(QStringLiteral("ToneCurve"));
        xml.writeAttribute(QStringLiteral("GammaType"), QString::number(p.gammaType));
        if (p.gammaType == KVGammaTypeStandard) {
            xml.writeAttribute(QStringLiteral("Gamma"), Number(p.gamma));
        } else if (p.gammaType == KVGammaTypeCustom) {
            const char* names[] = {"Gamma", "A", "B", "C", "D"};
            for (std::size_t i = 0; i < p.customGamma.size(); ++i) {
                xml.writeAttribute(QLatin1String(names[i]), Number(p.customGamma[i]));
            }
        }
    }
    if (p.whitePointType != KVWhitePointTypeNone) {
        xml.writeEmptyElement(QStringLiteral("WhitePoint"));
        xml.writeAttribute(QStringLiteral("Type"), QString::number(p.whitePointType));
        if (p.whitePointType == KVWhitePointTypeCIEIlluminant) {
            xml.writeAttribute(QStringLiteral("Illuminant"), QString::number(p.illuminant));
        }
    }
    WriteValue(xml, "TargetLuminosity", Number(p.targetLuminosity));
    WriteValue(xml, "ContrastRatio", Number(p.contrastRatio));
    WriteValue(xml, "BlackLuminance", Number(p.blackLuminance));
    WriteValue(xml, "Ambient", Number(p.ambient));
    WriteValue(xml, "HasInternalLUTs", p.hasInternalLuts ? QStringLiteral("true") : QStringLiteral("false"));
    WriteValue(xml, "InitialPatchSets", QString::number(p.initialPatchSets));
    WriteValue(xml, "IterativeGridPoints", QString::number(p.iterativeGridPoints));
    WriteValue(xml, "ProfileVersion", QString::number(p.profileVersion));
    if (p.profileType != KVProfileTypeNone) {
        WriteValue(xml, "ProfileType", QString::number(p.profileType));
    }
    xml.writeEndElement();
}

std::string Write(const Document& document)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("CxF"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("3.0"));
    xml.writeStartElement(QStringLiteral("Resources"));
    for (const ColorSet& set : document.sets) {
        const SpaceName* name = NameOfSpace(set.space);
        xml.writeStartElement(QStringLiteral("ObjectCollection"));
        xml.writeAttribute(QStringLiteral("Name"), QString::fromStdString(set.name));
        for (std::size_t i = 0; i < set.colors.size(); ++i) {
            xml.writeStartElement(QStringLiteral("Object"));
            xml.writeAttribute(QStringLiteral("Id"), QString::number(i + 1));
            xml.writeEmptyElement(QLatin1String(name->element));
            for (std::size_t c = 0; c < 3; ++c) {
                xml.writeAttribute(QLatin1String(name->coordinates[c]), Number(set.colors[i][c]));
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    if (document.attributes || document.params) {
        xml.writeStartElement(QStringLiteral("CustomResources"));
        if (document.attributes) {
            xml.writeStartElement(QStringLiteral("CustomAttributes"));
            for (const auto& [key, value] : document.attributes->entries) {
                xml.writeEmptyElement(QStringLiteral("Attribute"));
                xml.writeAttribute(QStringLiteral("Name"), QString::fromStdString(key));
                xml.writeAttribute(QStringLiteral("Value"), QString::fromStdString(value));
            }
            xml.writeEndElement();
        }
        if (document.params) {
            WriteParams(xml, *document.params);
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return text.toStdString();
}

// Reading: a failure raises Invalid with what went wrong.

struct Invalid {
    std::string what;
};

[[noreturn]] void Fail(const QXmlStreamReader& xml, const QString& what)
{
    throw Invalid{QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(what).toStdString()};
}

QString Attribute(const QXmlStreamReader& xml, const char* name)
{
    const QXmlStreamAttributes attributes = xml.attributes();
    if (!attributes.hasAttribute(QLatin1String(name))) {
        Fail(xml, QStringLiteral("%1 without %2").arg(xml.name().toString(), QLatin1String(name)));
    }
    return attributes.value(QLatin1String(name)).toString();
}

double DoubleAttribute(const QXmlStreamReader& xml, const char* name)
{
    bool ok = false;
    const double value = Attribute(xml, name).toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        Fail(xml, QStringLiteral("%1 %2 is no number").arg(xml.name().toString(), QLatin1String(name)));
    }
    return value;
}

std::int32_t IntAttribute(const QXmlStreamReader& xml, const char* name)
{
    bool ok = false;
    const int value = Attribute(xml, name).toInt(&ok);
    if (!ok) {
        Fail(xml, QStringLiteral("%1 %2 is no whole number").arg(xml.name().toString(), QLatin1String(name)));
    }
    return value;
}

void Check(const QXmlStreamReader& xml, bool valid)
{
    if (!valid) {
        Fail(xml, QStringLiteral("%1 out of range").arg(xml.name().toString()));
    }
}

ColorSet ReadSet(QXmlStreamReader& xml)
{
    ColorSet set;
    set.name = Attribute(xml, "Name").toStdString();
    bool first = true;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("Object")) {
            xml.skipCurrentElement();
            continue;
        }
        if (!xml.readNextStartElement()) {
            Fail(xml, QStringLiteral("Object without a colour"));
        }
        const auto name = std::find_if(std::begin(SpaceNames), std::end(SpaceNames),
                                       [&](const SpaceName& n) { return xml.name() == QLatin1String(n.element); });
        if (name == std::end(SpaceNames)) {
            Fail(xml, QStringLiteral("unknown colour %1").arg(xml.name().toString()));
        }
        if (!first && name->space != set.space) {
            Fail(xml, QStringLiteral("colour set %1 mixes colour spaces").arg(QString::fromStdString(set.name)));
        }
        first = false;
        set.space = name->space;
        set.colors.push_back({DoubleAttribute(xml, name->coordinates[0]), DoubleAttribute(xml, name->coordinates[1]),
                              DoubleAttribute(xml, name->coordinates[2])});
        xml.skipCurrentElement();
        while (xml.readNextStartElement()) {
            xml.skipCurrentElement();
        }
    }
    return set;
}

KVNameValueMap ReadAttributes(QXmlStreamReader& xml)
{
    KVNameValueMap map;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("Attribute")) {
            map.entries.emplace_back(Attribute(xml, "Name").toStdString(), Attribute(xml, "Value").toStdString());
        }
        xml.skipCurrentElement();
    }
    return map;
}

KVProfileDisplayParams ReadParams(QXmlStreamReader& xml)
{
    KVProfileDisplayParams p;
    while (xml.readNextStartElement()) {
        const QStringView name = xml.name();
        if (name == QLatin1String("ToneCurve")) {
            p.gammaType = IntAttribute(xml, "GammaType");
            Check(xml, p.gammaType >= KVGammaTypeStandard && p.gammaType <= KVGammaTypeNative);
            if (p.gammaType == KVGammaTypeStandard) {
                p.gamma = DoubleAttribute(xml, "Gamma");
                Check(xml, ValidGamma(p.gamma));
            } else if (p.gammaType == KVGammaTypeCustom) {
                const char* names[] = {"Gamma", "A", "B", "C", "D"};
                for (std::size_t i = 0; i < p.customGamma.size(); ++i) {
                    p.customGamma[i] = DoubleAttribute(xml, names[i]);
                }
                Check(xml, ValidCustomGamma(p.customGamma));
            }
        } else if (name == QLatin1String("WhitePoint")) {
            p.whitePointType = IntAttribute(xml, "Type");
            std::array<double, 2> xy{};
            if (p.whitePointType == KVWhitePointTypeCIEIlluminant) {
                p.illuminant = IntAttribute(xml, "Illuminant");
                Check(xml, IlluminantChromaticity(p.illuminant, xy));
            } else {
                Check(xml, p.whitePointType == KVWhitePointTypeNative);
            }
        } else if (name == QLatin1String("TargetLuminosity")) {
            p.targetLuminosity = DoubleAttribute(xml, "Value");
            Check(xml, ValidLevel(p.targetLuminosity));
        } else if (name == QLatin1String("ContrastRatio")) {
            p.contrastRatio = DoubleAttribute(xml, "Value");
            Check(xml, ValidLevel(p.contrastRatio));
        } else if (name == QLatin1String("BlackLuminance")) {
            p.blackLuminance = DoubleAttribute(xml, "Value");
            Check(xml, ValidLevel(p.blackLuminance));
        } else if (name == QLatin1String("Ambient")) {
            p.ambient = DoubleAttribute(xml, "Value");
            Check(xml, ValidLevel(p.ambient));
        } else if (name == QLatin1String("HasInternalLUTs")) {
            const QString value = Attribute(xml, "Value");
            Check(xml, value == QLatin1String("true") || value == QLatin1String("false"));
            p.hasInternalLuts = value == QLatin1String("true");
        } else if (name == QLatin1String("InitialPatchSets")) {
            p.initialPatchSets = IntAttribute(xml, "Value");
            Check(xml, p.initialPatchSets >= 0);
        } else if (name == QLatin1String("IterativeGridPoints")) {
            p.iterativeGridPoints = IntAttribute(xml, "Value");
            Check(xml, p.iterativeGridPoints >= 0);
        } else if (name == QLatin1String("ProfileVersion")) {
            p.profileVersion = IntAttribute(xml, "Value");
            Check(xml, ValidProfileVersion(p.profileVersion));
        } else if (name == QLatin1String("ProfileType")) {
            p.profileType = IntAttribute(xml, "Value");
            Check(xml, ValidProfileType(p.profileType));
        }
        xml.skipCurrentElement();
    }
    return p;
}

// Reads the elements below the current one, handing the ones `read` knows to it.
template <typename Read>
void ReadChildren(QXmlStreamReader& xml, Read read)
{
    while (xml.readNextStartElement()) {
        if (!read()) {
            xml.skipCurrentElement();
        }
    }
}

Document Read(const std::string& text)
{
    Document document;
    QXmlStreamReader xml(QByteArray::fromRawData(text.data(), qsizetype(text.size())));
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("CxF")) {
        Fail(xml, xml.hasError() ? xml.errorString() : QStringLiteral("no CxF element"));
    }
    ReadChildren(xml, [&] {
        if (xml.name() == QLatin1String("Resources")) {
            ReadChildren(xml, [&] {
                if (xml.name() != QLatin1String("ObjectCollection")) {
                    return false;
                }
                ColorSet set = ReadSet(xml);
                if (document.Find(set.name) != nullptr) {
                    Fail(xml, QStringLiteral("two colour sets %1").arg(QString::fromStdString(set.name)));
                }
                document.sets.push_back(std::move(set));
                return true;
            });
            return true;
        }
        if (xml.name() == QLatin1String("CustomResources")) {
            ReadChildren(xml, [&] {
                if (xml.name() == QLatin1String("CustomAttributes")) {
                    document.attributes = ReadAttributes(xml);
                    return true;
                }
                if (xml.name() == QLatin1String("DisplayParameters")) {
                    document.params = ReadParams(xml);
                    return true;
                }
                return false;
            });
            return true;
        }
        return false;
    });
    if (xml.hasError()) {
        Fail(xml, xml.errorString());
    }
    return document;
}

// The measured colours, targets and parameters a profile is read from.
struct Measurements {
    const ColorSet* measured = nullptr;
    const ColorSet* targets = nullptr;
    KVProfileDisplayParams params;
};

std::int32_t FindTarget(const ColorSet& targets, const std::array<double, 3>& rgb)
{
    if (targets.space != KVColorSpaceRGB) {
        return -1;
    }
    const auto found = std::find(targets.colors.begin(), targets.colors.end(), rgb);
    return found != targets.colors.end() ? std::int32_t(found - targets.colors.begin()) : -1;
}

// Y, x, y of a measured colour; none for device RGB.
std::optional<std::array<double, 3>> MeasuredYxy(const ColorSet& measured, std::size_t index)
{
    if (measured.space == KVColorSpaceXYZ) {
        return XyzToYxy(measured.colors[index]);
    }
    if (measured.space == KVColorSpaceYxy) {
        return measured.colors[index];
    }
    return std::nullopt;
}

Measurements Interpret(const Document& document)
{
    Measurements m;
    m.measured = document.Find(MeasurementSet);
    m.targets = document.Find(TargetSet);
    if (m.measured == nullptr || m.targets == nullptr) {
        throw Invalid{std::string("no colour set \"") + (m.measured == nullptr ? MeasurementSet : TargetSet) + "\""};
    }
    if (m.measured->colors.size() != m.targets->colors.size()) {
        throw Invalid{"the colour sets \"Measurement\" and \"Target\" differ in size"};
    }
    if (!document.params) {
        throw Invalid{"no display parameters"};
    }
    m.params = *document.params;
    if (document.attributes) {
        m.params.customAttributes = document.attributes;
    }
    if (m.params.whitePointType == KVWhitePointTypeNative) {
        const std::int32_t white = FindTarget(*m.targets, {255, 255, 255});
        if (white >= 0) {
            m.params.measuredWhite = MeasuredYxy(*m.measured, std::size_t(white));
        }
    }
    return m;
}

// New charts and parameters for the caller; false when memory runs out (nothing is handed out).
bool HandOut(const Measurements& m, KVColorRef** measurements, KVColorRef** targets, std::int32_t* count,
             KVProfileDisplayParamsRef* displayParams)
{
    const std::size_t n = m.measured->colors.size();
    std::unique_ptr<KVProfileDisplayParams> params(new (std::nothrow) KVProfileDisplayParams(m.params));
    KVColorRef* charts[2] = {NewChart(n), NewChart(n)};
    bool ok = params != nullptr && charts[0] != nullptr && charts[1] != nullptr;
    const ColorSet* sets[2] = {m.measured, m.targets};
    for (std::size_t c = 0; ok && c < 2; ++c) {
        for (std::size_t i = 0; ok && i < n; ++i) {
            charts[c][i] = NewColor(sets[c]->space, sets[c]->colors[i]);
            ok = charts[c][i] != nullptr;
        }
    }
    if (!ok) {
        KVReleaseChart(charts[0], std::int32_t(n));
        KVReleaseChart(charts[1], std::int32_t(n));
        return false;
    }
    *measurements = charts[0];
    *targets = charts[1];
    *count = std::int32_t(n);
    *displayParams = params.release();
    return true;
}

// The common part of both unmarshalling calls: reads the text, hands out charts and parameters.
// The outputs are null and 0 on failure; `error` tells what went wrong.
template <typename More>
void Unmarshal(const char* function, KVCxf3StreamRef stream, KVUniStringRef text, bool otherArgumentsValid,
               KVColorRef** measurements, KVColorRef** targets, std::int32_t* count,
               KVProfileDisplayParamsRef* displayParams, std::string& error, KVStatus* status, More more)
{
    if (measurements != nullptr) {
        *measurements = nullptr;
    }
    if (targets != nullptr) {
        *targets = nullptr;
    }
    if (count != nullptr) {
        *count = 0;
    }
    if (displayParams != nullptr) {
        *displayParams = nullptr;
    }
    if (Injected(function, status)) {
        error = std::string(function) + " failed";
        return;
    }
    if (!otherArgumentsValid || stream == nullptr || text == nullptr || measurements == nullptr || targets == nullptr || count == nullptr ||
        displayParams == nullptr) {
        error = "invalid argument";
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    try {
        const Document document = Read(text->utf8);
        const Measurements m = Interpret(document);
        if (!HandOut(m, measurements, targets, count, displayParams)) {
            error = "out of memory";
            SetStatus(status, KVErrorOutOfMemory);
            return;
        }
        more(m);
        SetStatus(status, KVSuccess);
    } catch (const Invalid& invalid) {
        error = invalid.what;
        SetStatus(status, KVErrorInvalidData);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        SetStatus(status, KVErrorOutOfMemory);
    }
}

template <typename Value>
void Put(Value* output, Value value)
{
    if (output != nullptr) {
        *output = value;
    }
}

}  // namespace

namespace Spectrine::Detail {

bool ReadMeasurementTag(cmsHPROFILE profile, std::string& text)
{
    const cmsTagSignature signature = cmsTagSignature(KVCxfTagSignature);
    if (!cmsIsTag(profile, signature)) {
        return false;
    }
    const cmsUInt32Number size = cmsReadRawTag(profile, signature, nullptr, 0);
    if (size < TagHeaderSize) {
        return false;
    }
    std::vector<std::uint8_t> raw(size);
    if (cmsReadRawTag(profile, signature, raw.data(), size) != size || std::memcmp(raw.data(), TagType, 4) != 0 ||
        raw[4] != 0 || raw[5] != 0 || raw[6] != 0 || raw[7] != 0) {
        return false;
    }
    std::size_t end = raw.size();
    while (end > TagHeaderSize && raw[end - 1] == 0) {
        --end;
    }
    text.assign(reinterpret_cast<const char*>(raw.data()) + TagHeaderSize, end - TagHeaderSize);
    return true;
}

bool WriteMeasurementTag(cmsHPROFILE profile, const std::string& text)
{
    std::vector<std::uint8_t> raw(TagType, TagType + 4);
    raw.resize(TagHeaderSize, 0);
    raw.insert(raw.end(), text.begin(), text.end());
    raw.push_back(0);
    return cmsWriteRawTag(profile, cmsTagSignature(KVCxfTagSignature), raw.data(), cmsUInt32Number(raw.size()));
}

}  // namespace Spectrine::Detail

extern "C" {

KVUniStringRef KVProfileGetCxfDataBuffer(KVUniStringRef path, KVStatus* status)
{
    if (Injected("KVProfileGetCxfDataBuffer", status)) {
        return nullptr;
    }
    cmsHPROFILE profile = OpenProfile(path, status);
    if (profile == nullptr) {
        return nullptr;
    }
    std::string text;
    const bool present = cmsIsTag(profile, cmsTagSignature(KVCxfTagSignature));
    const bool read = ReadMeasurementTag(profile, text);
    cmsCloseProfile(profile);
    if (!read) {
        SetStatus(status, present ? KVErrorInvalidData : KVErrorTagNotFound);
        return nullptr;
    }
    KVUniStringRef buffer = NewString(std::move(text));
    SetStatus(status, buffer != nullptr ? KVSuccess : KVErrorOutOfMemory);
    return buffer;
}

KVCxf3StreamRef KVCxf3OpenStream(KVStatus* status)
{
    return NewHandle<KVCxf3Stream>("KVCxf3OpenStream", status);
}

void KVCxf3CloseStream(KVCxf3StreamRef stream, KVStatus* status)
{
    // An injected failure still frees the stream: the caller has no other way to.
    const bool injected = Injected("KVCxf3CloseStream", status);
    if (stream == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    delete stream;
    if (!injected) {
        SetStatus(status, KVSuccess);
    }
}

KVCxf3ProcessFileParamsRef KVCxf3ProcessFileParamsCreate(KVStatus* status)
{
    return NewHandle<KVCxf3ProcessFileParams>("KVCxf3ProcessFileParamsCreate", status);
}

void KVCxf3ProcessFileParamsRelease(KVCxf3ProcessFileParamsRef params)
{
    delete params;
}

void KVDataUnmarshalFromCxf3(KVCxf3StreamRef stream, KVUniStringRef text, KVCxf3ProcessFileParamsRef processParams,
                             KVColorRef** measurements, KVColorRef** targets, std::int32_t* count,
                             KVProfileDisplayParamsRef* displayParams, KVUniStringRef* errorText, KVStatus* status)
{
    std::string error;
    Unmarshal("KVDataUnmarshalFromCxf3", stream, text, processParams != nullptr, measurements, targets, count,
              displayParams, error, status, [](const Measurements&) {});
    if (errorText != nullptr) {
        *errorText = NewString(error);
    }
}

void KVDisplayDataWithFlareUnmarshalFromCxf3(KVCxf3StreamRef stream, KVUniStringRef text, KVColorRef** measurements,
                                             KVColorRef** targets, std::int32_t* count, std::int32_t* whiteIndex,
                                             std::int32_t* blackIndex, std::int32_t* redIndex,
                                             std::int32_t* greenIndex, std::int32_t* blueIndex, double* flare,
                                             KVProfileDisplayParamsRef* displayParams, std::int32_t* greyCount,
                                             KVStatus* status)
{
    std::int32_t* indices[] = {whiteIndex, blackIndex, redIndex, greenIndex, blueIndex};
    for (std::int32_t* index : indices) {
        Put(index, std::int32_t(-1));
    }
    Put(flare, 0.0);
    Put(greyCount, std::int32_t(0));
    std::string error;
    Unmarshal("KVDisplayDataWithFlareUnmarshalFromCxf3", stream, text, true, measurements, targets, count, displayParams,
              error, status, [&](const Measurements& m) {
                  const std::array<double, 3> patches[] = {
                      {255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
                  for (std::size_t i = 0; i < std::size(patches); ++i) {
                      Put(indices[i], FindTarget(*m.targets, patches[i]));
                  }
                  const std::int32_t black = FindTarget(*m.targets, {0, 0, 0});
                  if (black >= 0) {
                      if (const auto yxy = MeasuredYxy(*m.measured, std::size_t(black))) {
                          Put(flare, (*yxy)[0]);
                      }
                  }
                  std::int32_t greys = 0;
                  if (m.targets->space == KVColorSpaceRGB) {
                      for (const auto& rgb : m.targets->colors) {
                          greys += rgb[0] == rgb[1] && rgb[1] == rgb[2] && rgb[0] != 0 && rgb[0] != 255;
                      }
                  }
                  Put(greyCount, greys);
              });
}

void KVCxf3AddColors(KVCxf3StreamRef stream, KVUniStringRef name, const KVColorRef* chart, std::int32_t count,
                     KVProfileDisplayParamsRef, std::int32_t* setIndex, KVStatus* status)
{
    if (Injected("KVCxf3AddColors", status)) {
        return;
    }
    if (stream == nullptr || name == nullptr || name->utf8.empty() || count < 0 || (chart == nullptr && count > 0) ||
        stream->document.Find(name->utf8) != nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    ColorSet set;
    set.name = name->utf8;
    for (std::int32_t i = 0; i < count; ++i) {
        if (chart[i] == nullptr || (i > 0 && chart[i]->space != set.space)) {
            SetStatus(status, KVErrorInvalidArgument);
            return;
        }
        set.space = chart[i]->space;
        set.colors.push_back(chart[i]->coordinates);
    }
    stream->document.sets.push_back(std::move(set));
    Put(setIndex, std::int32_t(stream->document.sets.size() - 1));
    SetStatus(status, KVSuccess);
}

void KVCxf3AddCustomAttributes(KVCxf3StreamRef stream, KVNameValueMapRef attributes, KVStatus* status)
{
    if (Injected("KVCxf3AddCustomAttributes", status)) {
        return;
    }
    if (stream == nullptr || attributes == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    stream->document.attributes = *attributes;
    SetStatus(status, KVSuccess);
}

void KVCxf3AddProfileParams(KVCxf3StreamRef stream, KVProfileDisplayParamsRef params, KVStatus* status)
{
    if (Injected("KVCxf3AddProfileParams", status)) {
        return;
    }
    if (stream == nullptr || params == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    stream->document.params = *params;
    SetStatus(status, KVSuccess);
}

void KVCxf3WriteStream(KVCxf3StreamRef stream, const char** text, std::size_t* length, KVStatus* status)
{
    if (Injected("KVCxf3WriteStream", status)) {
        return;
    }
    if (stream == nullptr || text == nullptr) {
        SetStatus(status, KVErrorInvalidArgument);
        return;
    }
    try {
        stream->text = Write(stream->document);
    } catch (const std::bad_alloc&) {
        SetStatus(status, KVErrorOutOfMemory);
        return;
    }
    *text = stream->text.c_str();
    Put(length, stream->text.size());
    SetStatus(status, KVSuccess);
}

}  // extern "C"
