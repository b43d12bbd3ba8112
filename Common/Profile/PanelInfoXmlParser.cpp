#include "Common/Profile/PanelInfoXmlParser.h"

#include <QFile>
#include <QXmlStreamReader>

namespace Korvel::DisplayCalibration::Common::Profile {

PanelInfoXmlParser::PanelInfoXmlParser(QFile* file) : file(file) {}

bool PanelInfoXmlParser::FileExists()
{
    return file->exists();
}

bool PanelInfoXmlParser::ReadVersion(int& version)
{
    if (!file->open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QXmlStreamReader reader(file);
    bool found = false;
    while (!reader.atEnd() && !found) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("PanelInfo")) {
            found = reader.attributes().hasAttribute(QLatin1String("version"));
            if (found) {
                const QString value = reader.attributes().value(QLatin1String("version")).trimmed().toString();
                const bool first = value.compare(QLatin1String("1"), Qt::CaseInsensitive) == 0 ||
                                   value.compare(QLatin1String("1.0"), Qt::CaseInsensitive) == 0;
                version = first ? 0 : 1;
            }
            break;
        }
    }
    file->close();
    return found;
}

bool PanelInfoXmlParser::ReadColorSpace(QString& colorSpace)
{
    return ReadElement(QStringLiteral("ColorSpace"), colorSpace);
}

bool PanelInfoXmlParser::ReadGamma(QString& gamma)
{
    return ReadElement(QStringLiteral("Gamma"), gamma);
}

bool PanelInfoXmlParser::ReadHdr(bool& hdr)
{
    QString text;
    if (!ReadElement(QStringLiteral("HDR"), text)) {
        return false;
    }
    if (text == QLatin1String("true")) {
        hdr = true;
        return true;
    }
    if (text == QLatin1String("false")) {
        hdr = false;
        return true;
    }
    return false;
}

bool PanelInfoXmlParser::ReadProfiles(QStringList& profiles)
{
    QString text;
    if (!ReadElement(QStringLiteral("Profiles"), text)) {
        return false;
    }
    profiles = text.split(',');
    return true;
}

bool PanelInfoXmlParser::ReadElement(const QString& name, QString& output)
{
    if (!file->open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QXmlStreamReader reader(file);
    if (!reader.readNextStartElement()) {
        file->close();
        return false;
    }
    QString text;
    while (reader.readNextStartElement()) {
        if (reader.name().trimmed() == name) {
            text = reader.readElementText();
        } else {
            reader.skipCurrentElement();
        }
    }
    const bool read = !reader.hasError() && !text.isEmpty();
    file->close();
    if (read) {
        output = text;
    }
    return read;
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
