#include "Quillon/Configuration.h"

#include "Common/Application/Constants.h"
#include "Common/HardwareInfo/DisplayHelper.h"

#include <QCoreApplication>
#include <QFile>

namespace Common = Korvel::DisplayCalibration::Common;

Configuration::Configuration(std::shared_ptr<Common::HardwareInfo::IDisplayHelper> displayHelper)
    : Configuration(std::move(displayHelper), QCoreApplication::applicationDirPath() + "/metaconfig.xml")
{
}

Configuration::Configuration(std::shared_ptr<Common::HardwareInfo::IDisplayHelper> helper, const QString& metaconfigPath)
    : displayHelper(std::move(helper))
{
    manufacturerId = displayHelper->GetManufacturerId();
    productCode = displayHelper->GetProductCode();
    panelId = manufacturerId + productCode;
    Load(metaconfigPath);
    fileNameFormat.replace(Common::DisplayProductCodePlaceholder, productCode, Qt::CaseSensitive);
}

const QString& Configuration::GetFileNameFormat() const
{
    return fileNameFormat;
}

QString Configuration::FindConfigFileName(QFile& metaconfig)
{
    metaconfig.open(QIODevice::ReadOnly | QIODevice::Text);
    QXmlStreamReader metaReader(&metaconfig);
    QString result;
    if (metaReader.readNextStartElement()) {
        while (metaReader.readNextStartElement()) {
            if (metaReader.name().trimmed() == QLatin1String("config") &&
                metaReader.attributes().value(QLatin1String("PanelID")).compare(panelId, Qt::CaseInsensitive) == 0) {
                result = metaReader.readElementText();
            } else {
                metaReader.skipCurrentElement();
            }
        }
    }
    metaconfig.close();
    return result.isEmpty() ? Common::DefaultConfigurationFile : result;
}

void Configuration::Load(const QString& metaconfigPath)
{
    QFile metaconfig(metaconfigPath);
    QFile file(FindConfigFileName(metaconfig));
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    reader.setDevice(&file);
    if (reader.readNextStartElement()) {
        while (reader.readNextStartElement()) {
            if (reader.name() != QLatin1String("profiles")) {
                reader.skipCurrentElement();
                continue;
            }
            while (reader.readNextStartElement()) {
                if (reader.name() == QLatin1String("filenameformat")) {
                    const QString format = reader.readElementText().trimmed();
                    if (!format.isEmpty()) {
                        fileNameFormat = format;
                    }
                } else {
                    reader.skipCurrentElement();
                }
            }
        }
    }
    reader.setDevice(nullptr);
}
