#pragma once

#include "Quillon/IConfiguration.h"

#include <QString>
#include <QXmlStreamReader>

#include <memory>

class QFile;

namespace Korvel::DisplayCalibration::Common::HardwareInfo {
class IDisplayHelper;
}

// The profile file-name format from the files the tray program reads too: "metaconfig.xml" names
// the configuration file of the internal panel (else "config/config.xml", relative to the current
// directory), whose "profiles" element holds "filenameformat". Reports no errors: what cannot be
// read leaves the format as far as it was read, empty at worst.
class Configuration : public IConfiguration {
public:
    // Reads the files when made; the metaconfig is "metaconfig.xml" in the program's folder.
    explicit Configuration(std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> displayHelper);
    Configuration(std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> displayHelper,
                  const QString& metaconfigPath);

    const QString& GetFileNameFormat() const override;

private:
    // The configuration file the metaconfig assigns to the panel: the last matching "config"
    // element's text, "config/config.xml" when that is empty or none matches.
    QString FindConfigFileName(QFile& metaconfig);
    void Load(const QString& metaconfigPath);

    QXmlStreamReader reader;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelper> displayHelper;
    QString manufacturerId;
    QString productCode;
    QString panelId;
    QString fileNameFormat;
};
