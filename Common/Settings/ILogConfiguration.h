// Log and program configuration read from "metaconfig.xml" and the configuration file it names.
#pragma once

#include "Common/Settings/ProfilesFilter.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace Korvel::DisplayCalibration::Common::Settings {

class ILogConfiguration {
public:
    // With reread, identifies the internal panel again and resolves the profile file-name format
    // anew; returns the resolved format.
    virtual QString Refresh(bool reread) = 0;
    virtual const std::vector<ProfilesFilter>& ProfilesFilters() const = 0;
    // `names` narrowed by the filter of this computer's model; unchanged when no filter matches
    // or nothing would remain.
    virtual QStringList SupportedProfileFiles(const QStringList& names) = 0;
    virtual QString LogFile() const = 0;
    virtual int Level() const = 0;
    virtual bool Console() const = 0;
    virtual QString FileMessageFormat() const = 0;
    virtual QString ConsoleMessageFormat() const = 0;
    virtual ~ILogConfiguration() = default;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
