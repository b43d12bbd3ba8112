#include "Common/Settings/Configuration.h"

#include "Common/Application/Constants.h"
#include "WindowsStandIn/RegistrySettings.h"

#include <QCoreApplication>

namespace Korvel::DisplayCalibration::Common::Settings {
namespace {

const QString& LastAppliedKey(HardwareInfo::DdsMode gpuKind)
{
    return gpuKind == HardwareInfo::DdsModeDiscrete ? LastAppliedProfileDiscreteGpuKey : LastAppliedProfileIntegratedGpuKey;
}

}  // namespace

Configuration::Configuration()
    : Loggable("Configuration"),
      settings(WinSim::OpenRegistrySettings(QStringLiteral("HKEY_CURRENT_USER\\Software\\") +
                                            QCoreApplication::organizationName() + "\\" +
                                            QCoreApplication::applicationName()))
{
    const QStringList keys = settings->childKeys();
    if (!keys.contains(AlignProfilesOnDdsModeChangeKey, Qt::CaseInsensitive)) {
        SetAlignProfilesOnDDSModeChange(true);
    }
    if (!keys.contains(LastAppliedProfileDiscreteGpuKey, Qt::CaseInsensitive)) {
        SetLastAppliedProfileIndex(HardwareInfo::DdsModeDiscrete, -1);
    }
    if (!keys.contains(LastAppliedProfileIntegratedGpuKey, Qt::CaseInsensitive)) {
        SetLastAppliedProfileIndex(HardwareInfo::DdsModeIntegrated, -1);
    }
}

QStringList Configuration::RequiredProfiles()
{
    const QStringList parts = Read(RequiredProfilesValue).toString().split(',', Qt::SkipEmptyParts);
    QStringList result;
    for (const QString& part : parts) {
        result.append(part.simplified());
    }
    return result;
}

int Configuration::LastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind)
{
    const QVariant value = Read(LastAppliedKey(gpuKind));
    return value.isValid() ? value.toInt() : -2;
}

void Configuration::SetLastAppliedProfileIndex(HardwareInfo::DdsMode gpuKind, int index)
{
    Write(LastAppliedKey(gpuKind), index);
    if (LastAppliedProfileIndex(gpuKind) != index) {
        throw WriteLastAppliedProfileException("Failed to write last applied profile index to the Registry.");
    }
}

bool Configuration::AlignProfilesOnDDSModeChange()
{
    const QVariant value = Read(AlignProfilesOnDdsModeChangeKey);
    return value.isValid() ? value.toBool() : true;
}

void Configuration::SetAlignProfilesOnDDSModeChange(bool enabled)
{
    Write(AlignProfilesOnDdsModeChangeKey, enabled);
    if (AlignProfilesOnDDSModeChange() != enabled) {
        throw WriteLastAppliedProfileException(
            "Failed to write align profiles on DDS mode change value to the Registry.");
    }
}

QVariant Configuration::Read(const QString& key)
{
    // Picks up what other processes wrote meanwhile.
    settings->sync();
    // Registry value names ignore case.
    for (const QString& stored : settings->childKeys()) {
        if (stored.compare(key, Qt::CaseInsensitive) == 0) {
            return settings->value(stored);
        }
    }
    return QVariant();
}

void Configuration::Write(const QString& key, const QVariant& value)
{
    settings->setValue(key, value);
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        // The read-back must see what the registry holds, not the refused value.
        WinSim::RevertToStore(*settings, key);
    }
}

IConfiguration* ConfigurationFactory::Create()
{
    return new Configuration();
}

}  // namespace Korvel::DisplayCalibration::Common::Settings
