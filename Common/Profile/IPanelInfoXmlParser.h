#pragma once

#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Profile {

// Reads the values of a panel-information XML file. Every read reports success; none throws.
class IPanelInfoXmlParser {
public:
    virtual ~IPanelInfoXmlParser() = default;
    virtual bool FileExists() = 0;
    virtual bool ReadVersion(int& version) = 0;
    virtual bool ReadColorSpace(QString& colorSpace) = 0;
    virtual bool ReadGamma(QString& gamma) = 0;
    virtual bool ReadHdr(bool& hdr) = 0;
    virtual bool ReadProfiles(QStringList& profiles) = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
