#include "Common/Settings/LogConfiguration.h"

#include "Common/Application/Constants.h"
#include "Common/Exception/CoreException.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>

namespace Korvel::DisplayCalibration::Common::Settings {
namespace {

const QString MetaconfigFileName = QStringLiteral("metaconfig.xml");

[[noreturn]] void Throw(std::int32_t code, const QString& message)
{
    throw Core::Exception(code, message.toStdString());
}

[[noreturn]] void ThrowMissingParameter(const QString& parameter)
{
    Throw(ConfigurationContentError,
          QCoreApplication::translate("QObject", MissingParameterMessage.toUtf8().constData()).arg(parameter));
}

// A value that could lead a file name into another folder counts as no value.
bool IsUsablePlaceholderValue(const QString& value)
{
    return !value.isEmpty() && !value.contains(QLatin1Char('/')) && !value.contains(QLatin1Char('\\'));
}

}  // namespace

LogConfiguration::LogConfiguration(HardwareInfo::IBiosTools* biosTools, HardwareInfo::IDisplayHelper* displayHelper,
                                   const QString& programDirectory)
    : Loggable("Configuration"), biosTools(biosTools), displayHelper(displayHelper)
{
    ReadIdentity();
    ReadConfiguration(programDirectory.isEmpty() ? QCoreApplication::applicationDirPath() : programDirectory);
    TraceConfiguration();
    fileNameFormat = ApplyPlaceholders(rawFileNameFormat);
}

QString LogConfiguration::Refresh(bool reread)
{
    if (reread) {
        displayHelper->IdentifyInternalPanel();
        ReadIdentity();
        fileNameFormat = ApplyPlaceholders(rawFileNameFormat);
    }
    return fileNameFormat;
}

QStringList LogConfiguration::SupportedProfileFiles(const QStringList& names)
{
    const QString model = biosTools->GetComputerModelName();
    for (const ProfilesFilter& filter : profilesFilters) {
        if (filter.ModelName().compare(model, Qt::CaseInsensitive) == 0) {
            const QStringList supported = filter.FilterProfiles(names);
            return supported.isEmpty() ? names : supported;
        }
    }
    return names;
}

void LogConfiguration::ReadIdentity()
{
    displayManufacturerId = displayHelper->GetManufacturerId();
    displayProductCode = displayHelper->GetProductCode();
    panelId = displayManufacturerId + displayProductCode;
    displaySerialNumber = displayHelper->GetSerialNumber();
    computerSerialNumber = biosTools->GetComputerSerialNumber();
    computerModelName = biosTools->GetComputerModelName();
}

void LogConfiguration::ReadConfiguration(const QString& programDirectory)
{
    QFile file(FindConfigFileName(programDirectory + "/" + MetaconfigFileName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Throw(ConfigurationFileError, QObject::tr("Failed to open configuration file for PanelId %1.").arg(panelId));
    }
    reader.setDevice(&file);
    if (!reader.readNextStartElement()) {
        reader.setDevice(nullptr);
        Throw(ConfigurationContentError, QObject::tr("Empty configuration."));
    }
    if (reader.name() != QLatin1String("qen") || reader.attributes().value(QLatin1String("version")) != QLatin1String("1.0")) {
        reader.setDevice(nullptr);
        Throw(ConfigurationContentError, QObject::tr("Invalid configuration."));
    }
    try {
        while (reader.readNextStartElement()) {
            if (reader.name() == QLatin1String("profiles")) {
                ReadProfilesSection();
            } else if (reader.name() == QLatin1String("logging")) {
                ReadLoggingSection();
            } else {
                reader.skipCurrentElement();
            }
        }
        ThrowIfMalformed();
    } catch (...) {
        reader.setDevice(nullptr);
        throw;
    }
    reader.setDevice(nullptr);
}

QString LogConfiguration::FindConfigFileName(const QString& metaconfigPath)
{
    QFile file(metaconfigPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        Throw(ConfigurationFileError, QObject::tr("Failed to open metaconfig file."));
    }
    QXmlStreamReader metaconfig(&file);
    if (!metaconfig.readNextStartElement()) {
        Throw(ConfigurationContentError, QObject::tr("Empty metaconfig"));
    }
    // A syntax error ends the reading: what was found before it counts.
    bool matched = false;
    QString fileName;
    while (metaconfig.readNextStartElement()) {
        const QStringView id = metaconfig.attributes().value(QLatin1String("PanelID"));
        if (metaconfig.name().trimmed() == QLatin1String("config") && !panelId.isEmpty() &&
            id.compare(panelId, Qt::CaseInsensitive) == 0) {
            if (matched) {
                Throw(ConfigurationContentError,
                      QObject::tr("There are multiple configuration files for %1 display type.").arg(panelId));
            }
            matched = true;
            fileName = metaconfig.readElementText();
        } else {
            metaconfig.skipCurrentElement();
        }
    }
    return fileName.isEmpty() ? DefaultConfigurationFile : fileName;
}

void LogConfiguration::ReadProfilesSection()
{
    while (reader.readNextStartElement()) {
        if (reader.name() == QLatin1String("filenameformat")) {
            const QString format = reader.readElementText().trimmed();
            if (!format.isEmpty()) {
                fileNameFormat = format;
                rawFileNameFormat = format;
            }
        } else if (reader.name() == QLatin1String("profilesfilter")) {
            ReadProfilesFilter();
        } else {
            reader.skipCurrentElement();
        }
    }
    ThrowIfMalformed();
    if (fileNameFormat.isEmpty()) {
        ThrowMissingParameter(QStringLiteral("profiles/filenameformat"));
    }
}

void LogConfiguration::ReadProfilesFilter()
{
    const QString modelName = reader.attributes().value(QLatin1String("modelname")).trimmed().toString();
    if (modelName.isEmpty()) {
        ThrowMissingParameter(QStringLiteral("profilesfilter/modelname"));
    }
    QStringList supported;
    while (reader.readNextStartElement()) {
        if (reader.name() != QLatin1String("supportedprofiles")) {
            reader.skipCurrentElement();
            continue;
        }
        supported = reader.readElementText().trimmed().split(QLatin1Char(','));
        if (!supported.contains(NativeProfileName)) {
            LogText(Logging::WarnLevel, "[WARNING] Native profile is not listed in profiles filter.");
            supported.append(NativeProfileName);
        }
    }
    profilesFilters.emplace_back(modelName, supported);
}

void LogConfiguration::ReadLoggingSection()
{
    while (reader.readNextStartElement()) {
        const QStringView name = reader.name();
        if (name == QLatin1String("logfile")) {
            const QString text = reader.readElementText().trimmed();
            if (!text.isEmpty()) {
                logFile = text;
            }
        } else if (name == QLatin1String("level")) {
            bool ok = false;
            const int value = reader.readElementText().trimmed().toInt(&ok, 10);
            if (ok) {
                level = value;
            }
        } else if (name == QLatin1String("filemessageformat")) {
            const QString text = reader.readElementText().trimmed();
            if (!text.isEmpty()) {
                fileMessageFormat = text;
            }
        } else if (name == QLatin1String("console")) {
            console = reader.readElementText().trimmed() == QLatin1String("true");
        } else if (name == QLatin1String("consolemessageformat")) {
            const QString text = reader.readElementText().trimmed();
            if (!text.isEmpty()) {
                consoleMessageFormat = text;
            }
        } else {
            reader.skipCurrentElement();
        }
    }
    ThrowIfMalformed();
    if (logFile.isEmpty()) {
        ThrowMissingParameter(QStringLiteral("logging/logfile"));
    }
}

void LogConfiguration::ThrowIfMalformed()
{
    if (reader.hasError()) {
        Throw(ConfigurationContentError, QObject::tr("Invalid configuration."));
    }
}

void LogConfiguration::TraceConfiguration()
{
    if (!IsEnabledFor(Logging::DebugLevel)) {
        return;
    }
    LogText(Logging::DebugLevel, "--- Configuration >>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
    LogTextRef(Logging::DebugLevel, ">>> Current working directory:    " + QDir::currentPath().toStdString());
    LogText(Logging::DebugLevel, "---");
    LogText(Logging::DebugLevel, ">>> : ");
    LogText(Logging::DebugLevel, "--- <<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<");
}

QString LogConfiguration::ApplyPlaceholders(QString format)
{
    ReplacePlaceholder(format, DisplayHwIdPlaceholder, panelId);
    ReplacePlaceholder(format, DisplayManufacturerIdPlaceholder, displayManufacturerId);
    ReplacePlaceholder(format, DisplayProductCodePlaceholder, displayProductCode);
    ReplacePlaceholder(format, DisplaySnPlaceholder, displaySerialNumber);
    ReplacePlaceholder(format, ComputerSnPlaceholder, computerSerialNumber);
    ReplacePlaceholder(format, ModelNamePlaceholder, computerModelName);
    return format;
}

void LogConfiguration::ReplacePlaceholder(QString& format, const QString& placeholder, const QString& value)
{
    if (!format.contains(placeholder)) {
        return;
    }
    if (!IsUsablePlaceholderValue(value)) {
        const QString message = QObject::tr("Failed to replace placeholder %1 in %2 configuration parameter. "
                                            "Placeholder value is null or empty.")
                                    .arg(placeholder, format);
        if (placeholder != ModelNamePlaceholder) {
            Throw(ConfigurationContentError, message);
        }
        LogTextRef(Logging::WarnLevel, message.toStdString());
        format.replace(placeholder, QString());
        return;
    }
    format.replace(placeholder, value);
}

namespace {

// A log configuration together with the helpers it reads the computer's identity through.
struct OwningLogConfiguration {
    std::unique_ptr<HardwareInfo::IDisplayHelper> displayHelper;
    std::unique_ptr<HardwareInfo::IBiosTools> biosTools;
    LogConfiguration configuration;
};

}  // namespace

std::shared_ptr<ILogConfiguration> CreateLogConfiguration(const QString& internalPanelId)
{
    std::unique_ptr<HardwareInfo::IDisplayHelper> displayHelper(
        HardwareInfo::DisplayHelperFactory().Create(internalPanelId));
    std::unique_ptr<HardwareInfo::IBiosTools> biosTools(HardwareInfo::BiosToolsFactory().Create());
    HardwareInfo::IBiosTools* bios = biosTools.get();
    HardwareInfo::IDisplayHelper* display = displayHelper.get();
    const std::shared_ptr<OwningLogConfiguration> owner(
        new OwningLogConfiguration{std::move(displayHelper), std::move(biosTools), LogConfiguration(bios, display)});
    return std::shared_ptr<ILogConfiguration>(owner, &owner->configuration);
}

}  // namespace Korvel::DisplayCalibration::Common::Settings
