#include "Common/Windows/RegistryHelper.h"

#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Win32.h"

#include <QSettings>

namespace Korvel::DisplayCalibration::Common::Windows {
namespace {

// Writes the object's changes back to the registry; the Windows code of the outcome.
std::uint32_t WriteBack(QSettings& settings)
{
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return ERROR_SUCCESS;
    case QSettings::AccessError:
        return ERROR_ACCESS_DENIED;
    case QSettings::FormatError:
        return ERROR_BADDB;
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
    return WriteBack(*settings);
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
    return WriteBack(*settings);
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
