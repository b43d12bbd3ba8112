#include "Tessaly/Options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace Tessaly {
namespace {

const char* const Description =
    "Executes color calibration related operations which requires Administrative privileges.Requires "
    "Administrative privileges.Supported color calibration operations:   - Enable Color Calibration,   - Disable "
    "Color Calibration,   - Install Color Profile,   - Uninstall Color Profile,   - Add Registry Key,   - Update "
    "Registry Value and   - Remove Registry Key.";

// The options in the order of the help text.
const struct {
    const char* name;
    const char* description;
    const char* valueName;
    const char* defaultValue = nullptr;
} Definitions[] = {
    {"color-calibration", QT_TRANSLATE_NOOP("main", "ColorCalibration option."), "colorcalibration", "disabled"},
    {"install-profile", QT_TRANSLATE_NOOP("main", "InstallProfile option."), "installprofile"},
    {"install-profile-hdr10", QT_TRANSLATE_NOOP("main", "InstallProfile Hdr10 option."), "installprofilehdr10"},
    {"replace-profile", QT_TRANSLATE_NOOP("main", "ReplaceProfile option."), "replaceprofile"},
    {"prepared-from", QT_TRANSLATE_NOOP("main", "PreparedFrom option."), "preparedfrom"},
    {"uninstall-profile", QT_TRANSLATE_NOOP("main", "UninstallProfile option."), "uninstallprofile"},
    {"set-registry-path", QT_TRANSLATE_NOOP("main", "SetRegistryPathOption option."), "setregistrypathoption"},
    {"add-registry-key", QT_TRANSLATE_NOOP("main", "AddRegistryKey option."), "addregistrykey"},
    {"update-registry-key", QT_TRANSLATE_NOOP("main", "AddRegistryKey option."), "updateregistrykey"},
    {"remove-registry-key", QT_TRANSLATE_NOOP("main", "RemoveRegistryKey option."), "removeregistrykey"},
    {"registry-value", QT_TRANSLATE_NOOP("main", "RegistryValue option."), "registryvalue"},
};

void Configure(QCommandLineParser& parser)
{
    parser.setApplicationDescription(QString::fromLatin1(Description));
    for (const auto& definition : Definitions) {
        QCommandLineOption option(QString::fromLatin1(definition.name),
                                  QCoreApplication::translate("main", definition.description),
                                  QString::fromLatin1(definition.valueName));
        if (definition.defaultValue != nullptr) {
            option.setDefaultValue(QString::fromLatin1(definition.defaultValue));
        }
        parser.addOption(option);
    }
}

std::optional<QString> Last(const QCommandLineParser& parser, const char* name)
{
    const QString option = QString::fromLatin1(name);
    return parser.isSet(option) ? std::optional<QString>(parser.values(option).constLast()) : std::nullopt;
}

}  // namespace

std::optional<Options> ParseCommandLine(const QStringList& arguments, QString& error)
{
    QCommandLineParser parser;
    Configure(parser);
    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    const auto values = [&parser](const char* name) { return parser.values(QString::fromLatin1(name)); };
    Options options;
    options.colorCalibration = Last(parser, "color-calibration");
    options.installProfiles = values("install-profile");
    options.installHdr10Profiles = values("install-profile-hdr10");
    options.replaceProfiles = values("replace-profile");
    options.preparedFrom = values("prepared-from");
    options.uninstallProfiles = values("uninstall-profile");
    options.registryPath = Last(parser, "set-registry-path");
    options.addRegistryKeys = values("add-registry-key");
    options.updateRegistryKeys = values("update-registry-key");
    options.removeRegistryKeys = values("remove-registry-key");
    options.registryValues = values("registry-value");
    return options;
}

QString HelpText()
{
    QCommandLineParser parser;
    Configure(parser);
    return parser.helpText();
}

}  // namespace Tessaly
