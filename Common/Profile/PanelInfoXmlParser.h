// Reader of "PanelInfo.xml" / "PanelInfoHdr.xml": text elements directly below the root. A read fails
// (leaving its output unchanged) for a missing file, malformed XML, or an absent or empty element.
#pragma once

#include "Common/Profile/IPanelInfoXmlParser.h"

class QFile;

namespace Korvel::DisplayCalibration::Common::Profile {

class PanelInfoXmlParser : public IPanelInfoXmlParser {
public:
    // The file is not owned and must outlive the reader; each read opens and closes it.
    explicit PanelInfoXmlParser(QFile* file);

    bool FileExists() override;
    // 0 for a root "version" of "1" or "1.0" (any case), 1 otherwise; false without the attribute.
    bool ReadVersion(int& version) override;
    bool ReadColorSpace(QString& colorSpace) override;
    bool ReadGamma(QString& gamma) override;
    // Only "true" and "false" are accepted; otherwise `hdr` is left unchanged.
    bool ReadHdr(bool& hdr) override;
    // The text split at every comma, empty and untrimmed parts kept.
    bool ReadProfiles(QStringList& profiles) override;

private:
    // The text of the last child of the root named `name`; `output` is set only on success.
    bool ReadElement(const QString& name, QString& output);

    QFile* file;
};

}  // namespace Korvel::DisplayCalibration::Common::Profile
