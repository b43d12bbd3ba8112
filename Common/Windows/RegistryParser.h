#pragma once

#include "Common/Windows/IRegistryParser.h"

#include <QSettings>

#include <memory>

namespace Korvel::DisplayCalibration::Common::Windows {

// Groups are subkeys of "HKEY_LOCAL_MACHINE\SOFTWARE\Korvel Inc\<application name>\", matched ignoring case.
class RegistryParser : public IRegistryParser {
public:
    RegistryParser();

    bool ReadString(const QString& group, const QString& key, QString& out) override;
    bool ReadInt(const QString& group, const QString& key, int& out) override;
    int CheckValues(const QString& group, const QStringList& keys) override;
    bool GroupHasKeys(const QString& group) override;
    bool HasValue(const QString& group, const QString& key) override;

    // One plain (not encrypted) value of the "PanelInfo" group.
    static bool ReadPanelInfoValue(const QString& key, QString& out);

private:
    std::unique_ptr<QSettings> OpenGroup(const QString& group) const;
    static QString DecryptValue(const QString& value);

    QString basePath;
};

}  // namespace Korvel::DisplayCalibration::Common::Windows
