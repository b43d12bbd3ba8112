#include "Common/Windows/RegistryParser.h"

#include "Common/Application/Constants.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Windows/RegistryExceptions.h"
#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Win32.h"

#include <QCoreApplication>

#include <exception>

namespace Korvel::DisplayCalibration::Common::Windows {

namespace {

QString BasePath()
{
    return MakerMachineKey + QCoreApplication::applicationName() + "\\";
}

// The key at `path`; a hive that cannot be read is a failure to read, never a key without values.
std::unique_ptr<QSettings> OpenKey(const QString& path)
{
    auto settings = WinSim::OpenRegistrySettings(path);
    if (settings != nullptr && settings->status() == QSettings::FormatError) {
        throw ReadRegistryException(std::int32_t(ERROR_BADDB), ("Cannot read " + path).toStdString());
    }
    return settings;
}

}  // namespace

RegistryParser::RegistryParser() : basePath(BasePath()) {}

std::unique_ptr<QSettings> RegistryParser::OpenGroup(const QString& group) const
{
    return OpenKey(basePath + group);
}

bool RegistryParser::GroupHasKeys(const QString& group)
{
    const auto base = OpenKey(basePath);
    if (base == nullptr || !base->childGroups().contains(group, Qt::CaseInsensitive)) {
        return false;
    }
    const auto settings = OpenGroup(group);
    return !settings->allKeys().isEmpty();
}

bool RegistryParser::HasValue(const QString& group, const QString& key)
{
    if (!GroupHasKeys(group)) {
        return false;
    }
    const auto settings = OpenGroup(group);
    return settings->contains(key) && !settings->value(key).toString().isEmpty();
}

int RegistryParser::CheckValues(const QString& group, const QStringList& keys)
{
    if (!GroupHasKeys(group)) {
        return 0;
    }
    const auto settings = OpenGroup(group);
    for (const QString& key : keys) {
        if (!settings->contains(key) || settings->value(key).toString().isEmpty()) {
            return 2;
        }
    }
    return 3;
}

bool RegistryParser::ReadString(const QString& group, const QString& key, QString& out)
{
    if (!GroupHasKeys(group)) {
        return false;
    }
    const auto settings = OpenGroup(group);
    if (!settings->contains(key)) {
        return false;
    }
    try {
        out = DecryptValue(settings->value(key).toString());
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool RegistryParser::ReadInt(const QString& group, const QString& key, int& out)
{
    QString text;
    if (!ReadString(group, key, text)) {
        return false;
    }
    out = text.toInt(nullptr, 10);
    return true;
}

bool RegistryParser::ReadPanelInfoValue(const QString& key, QString& out)
{
    const auto settings = OpenKey(BasePath() + PanelInfoGroup);
    if (settings == nullptr || !settings->contains(key)) {
        return false;
    }
    out = settings->value(key).toString();
    return true;
}

QString RegistryParser::DecryptValue(const QString& value)
{
    const QByteArray cipher = QByteArray::fromBase64(value.toUtf8());
    return QString::fromUtf8(Security::DecrypterFactory().CreateSymmetricDecrypter()->Decrypt(cipher));
}

}  // namespace Korvel::DisplayCalibration::Common::Windows
