#include "Common/Windows/RegistryHelper.h"

#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Win32.h"

#include <QSettings>

namespace Korvel::DisplayCalibration::Common::Windows {
namespace {

std::uint32_t Written(QSettings& settings)
{
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return ERROR_SUCCESS;
    case QSettings::AccessError:
        return ERROR_ACCESS_DENIED;
    case QSettings::FormatError:
        return ERROR_INVALID_DATA;
    }
    return ERROR_GEN_FAILURE;
}

}  // namespace

std::uint32_t RegistryHelper::SetValue(const QString& path, const QString& key, const QString& value)
{
    if (key.isEmpty() || value.isEmpty()) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto settings = WinSim::OpenRegistrySettings(path);
    if (!settings) {
        return ERROR_INVALID_PARAMETER;
    }
    settings->setValue(key, value);
    return Written(*settings);
}

std::uint32_t RegistryHelper::RemoveValue(const QString& path, const QString& key)
{
    if (key.isEmpty()) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto settings = WinSim::OpenRegistrySettings(path);
    if (!settings) {
        return ERROR_INVALID_PARAMETER;
    }
    settings->remove(key);
    return Written(*settings);
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
