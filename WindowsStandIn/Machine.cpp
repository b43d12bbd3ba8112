#include "WindowsStandIn/Machine.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Registry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>

#include <unistd.h>

static void InitPresetResources()
{
    Q_INIT_RESOURCE(presets);
}

namespace WinSim {
namespace {

const QString DescriptionName = QStringLiteral("machine.json");
const QString DriveC = QStringLiteral("drive_c");

QJsonObject LoadPreset(const QString& preset)
{
    InitPresetResources();
    QFile file(QStringLiteral(":/winsim/presets/%1.json").arg(preset));
    if (!file.open(QIODevice::ReadOnly)) {
        throw MachineError(QStringLiteral("unknown preset \"%1\" (known: %2)")
                               .arg(preset, PresetNames().join(QStringLiteral(", ")))
                               .toStdString());
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        throw MachineError(("preset " + preset + " is not valid JSON: " + error.errorString()).toStdString());
    }
    return document.object();
}

void MakeDirectory(const QString& path)
{
    if (!QDir().mkpath(path)) {
        throw MachineError(("cannot create directory " + path).toStdString());
    }
}

// Fills `directory` with a new machine made from `preset`.
void PopulateMachine(const QString& directory, const QJsonObject& preset)
{
    const QJsonObject description = preset.value(QStringLiteral("description")).toObject();
    MakeDirectory(directory);
    Detail::WriteJsonFile(directory + "/" + DescriptionName, description);

    MakeDirectory(directory + "/registry");
    const QJsonObject hives = preset.value(QStringLiteral("registry")).toObject();
    for (const Registry::Hive hive : {Registry::Hive::LocalMachine, Registry::Hive::CurrentUser}) {
        Detail::WriteJsonFile(Registry::HiveFile(hive, directory), hives.value(Registry::HiveName(hive)).toObject());
    }

    const QString user = description.value(QStringLiteral("user")).toObject().value(QStringLiteral("name")).toString();
    MakeDirectory(directory + "/" + DriveC + "/Users/" + user);
    for (const QJsonValue folder : preset.value(QStringLiteral("driveC")).toArray()) {
        MakeDirectory(directory + "/" + DriveC + "/" + folder.toString());
    }
    // Files Windows ships: path on drive C -> file of the presets.
    const QJsonObject files = preset.value(QStringLiteral("driveCFiles")).toObject();
    for (auto file = files.begin(); file != files.end(); ++file) {
        const QString target = directory + "/" + DriveC + "/" + file.key();
        MakeDirectory(QFileInfo(target).absolutePath());
        QFile source(":/winsim/presets/" + file.value().toString());
        if (!source.open(QIODevice::ReadOnly) || !Detail::WriteFileAtomically(target, source.readAll())) {
            throw MachineError(("cannot write " + target).toStdString());
        }
    }
    if (!Detail::WriteFileAtomically(JournalFile(directory), QByteArray())) {
        throw MachineError(("cannot write " + JournalFile(directory)).toStdString());
    }
}

// Sets `value` at `path[index...]` below `node`, creating objects where the path is missing.
QJsonValue WithValueAt(const QJsonValue& node, const QStringList& path, qsizetype index, const QJsonValue& value)
{
    if (index == path.size()) {
        return value;
    }
    const QString& part = path[index];
    if (node.isArray()) {
        QJsonArray array = node.toArray();
        bool ok = false;
        const qsizetype position = part.toLongLong(&ok);
        if (!ok || position < 0 || position > array.size()) {
            throw MachineError(("no element " + part + " in " + path.mid(0, index).join('.')).toStdString());
        }
        if (position == array.size()) {
            array.append(WithValueAt(QJsonValue(), path, index + 1, value));
        } else {
            array[position] = WithValueAt(array[position], path, index + 1, value);
        }
        return array;
    }
    if (!node.isObject() && !node.isUndefined() && !node.isNull()) {
        throw MachineError((path.mid(0, index).join('.') + " is not an object").toStdString());
    }
    QJsonObject object = node.toObject();
    object.insert(part, WithValueAt(object.value(part), path, index + 1, value));
    return object;
}

}  // namespace

QStringList PresetNames()
{
    InitPresetResources();
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/winsim/presets")).entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        names << QFileInfo(file).completeBaseName();
    }
    return names;
}

QString DefaultMachineDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/korvel-winsim/default";
}

QString MachineDirectory()
{
    const QString chosen = qEnvironmentVariable(MachineVariable);
    if (!chosen.isEmpty()) {
        return QDir(chosen).absolutePath();
    }
    static const QString defaultMachine = [] {
        const QString directory = DefaultMachineDirectory();
        if (!QFileInfo::exists(directory + "/" + DescriptionName)) {
            // Build it aside and move it in whole, so a concurrent first start sees a complete machine.
            const QString staging = directory + ".new." + QString::number(::getpid());
            QDir(staging).removeRecursively();
            PopulateMachine(staging, LoadPreset(QStringLiteral("default")));
            if (!QDir().rename(staging, directory)) {
                QDir(staging).removeRecursively();
                if (!QFileInfo::exists(directory + "/" + DescriptionName)) {
                    throw MachineError(("cannot create the default machine in " + directory).toStdString());
                }
            }
        }
        return directory;
    }();
    return defaultMachine;
}

void CreateMachine(const QString& directory, const QString& preset)
{
    const QJsonObject presetObject = LoadPreset(preset);
    const QDir dir(directory);
    if (dir.exists() && !dir.isEmpty()) {
        throw MachineError(("directory " + directory + " exists and is not empty").toStdString());
    }
    PopulateMachine(QDir(directory).absolutePath(), presetObject);
}

QString DescriptionFile(const QString& machine)
{
    return machine + "/" + DescriptionName;
}

QJsonObject LoadDescription(const QString& machine)
{
    const std::optional<QJsonObject> description = Detail::ReadJsonFile(DescriptionFile(machine));
    if (!description) {
        throw MachineError(("no simulated machine in " + machine).toStdString());
    }
    return *description;
}

QJsonValue DescriptionValue(const QString& dottedKey, const QString& machine)
{
    QJsonValue node = LoadDescription(machine);
    for (const QString& part : dottedKey.split('.')) {
        if (node.isArray()) {
            bool ok = false;
            const qsizetype index = part.toLongLong(&ok);
            const QJsonArray array = node.toArray();
            node = ok && index >= 0 && index < array.size() ? array[index] : QJsonValue(QJsonValue::Undefined);
        } else {
            node = node.toObject().value(part);
        }
        if (node.isUndefined()) {
            break;
        }
    }
    return node;
}

void SetDescriptionValue(const QString& dottedKey, const QJsonValue& value, const QString& machine)
{
    if (dottedKey.isEmpty() || dottedKey.split('.').contains(QString())) {
        throw MachineError(("invalid key \"" + dottedKey + "\"").toStdString());
    }
    LoadDescription(machine);  // no machine, or a damaged description: nothing is written
    Detail::UpdateJsonFile(DescriptionFile(machine), [&](QJsonObject& description) {
        description = WithValueAt(description, dottedKey.split('.'), 0, value).toObject();
        return true;
    });
    // A one-element array serialises any JSON value; strip its brackets.
    const QString text = QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    Journal(QStringLiteral("set"), dottedKey + "=" + text.mid(1).chopped(1), machine);
}

QString MapWindowsPath(const QString& windowsPath, const QString& machine)
{
    QString path = windowsPath;
    path.replace('\\', '/');
    if (path.size() >= 2 && path[1] == ':' && path[0].toUpper() == 'C') {
        // ".." stops at the root of the drive, as on Windows.
        QStringList parts;
        for (const QString& part : path.mid(2).split('/', Qt::SkipEmptyParts)) {
            if (part == QLatin1String("..")) {
                if (!parts.isEmpty()) {
                    parts.removeLast();
                }
            } else if (part != QLatin1String(".")) {
                parts << part;
            }
        }
        return QDir::cleanPath(machine + "/" + DriveC + "/" + parts.join('/'));
    }
    return path;
}

bool IsElevated()
{
    return qEnvironmentVariable(ElevationVariable) == QLatin1String("1");
}

QString JournalFile(const QString& machine)
{
    return machine + "/journal.log";
}

void Journal(const QString& event, const QString& details, const QString& machine)
{
    QString line = QDateTime::currentDateTime().toString(Qt::ISODateWithMs) + " " + QString::number(::getpid()) +
                   " " + event;
    if (!details.isEmpty()) {
        line += " " + details;
    }
    line.replace('\n', ' ');
    Detail::AppendLine(JournalFile(machine), line.toUtf8());
}

QStringList ReadJournal(const QString& machine)
{
    QStringList lines = QString::fromUtf8(Detail::ReadWholeFile(JournalFile(machine))).split('\n');
    lines.removeAll(QString());
    return lines;
}

}  // namespace WinSim
