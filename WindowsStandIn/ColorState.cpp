#include "WindowsStandIn/ColorState.h"

#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QFileInfo>

namespace WinSim::Detail::Colour {
namespace {

const QString StateName = QStringLiteral("colour.json");

void Forget(QJsonValueRef node, const QString& name)
{
    if (node.isArray()) {
        node = WithoutName(node.toArray(), name);
    } else if (node.isObject()) {
        QJsonObject object = node.toObject();
        for (const QString& key : object.keys()) {
            const QJsonValue child = object.value(key);
            if (child.isString() && child.toString().compare(name, Qt::CaseInsensitive) == 0) {
                object.remove(key);
            } else {
                Forget(object[key], name);
            }
        }
        node = object;
    }
}

}  // namespace

QString FromWide(LPCWSTR text)
{
    return text != nullptr ? QString::fromWCharArray(text) : QString();
}

QString FromNarrow(LPCSTR text)
{
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

QString ProfileFileName(const QString& profile)
{
    QString name = profile;
    name.replace('\\', '/');
    return name.section('/', -1);
}

bool IsInstalled(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(ColorDirectory() + "/" + fileName).isFile();
}

QString ScopeName(WCS_PROFILE_MANAGEMENT_SCOPE scope)
{
    return scope == WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE ? QStringLiteral("systemWide")
                                                               : QStringLiteral("currentUser");
}

QString SubTypeName(COLORPROFILESUBTYPE subType)
{
    switch (subType) {
    case CPST_PERCEPTUAL: return QStringLiteral("PERCEPTUAL");
    case CPST_RELATIVE_COLORIMETRIC: return QStringLiteral("RELATIVE_COLORIMETRIC");
    case CPST_SATURATION: return QStringLiteral("SATURATION");
    case CPST_ABSOLUTE_COLORIMETRIC: return QStringLiteral("ABSOLUTE_COLORIMETRIC");
    case CPST_NONE: return QStringLiteral("NONE");
    case CPST_RGB_WORKING_SPACE: return QStringLiteral("RGB_WORKING_SPACE");
    case CPST_CUSTOM_WORKING_SPACE: return QStringLiteral("CUSTOM_WORKING_SPACE");
    case CPST_STANDARD_DISPLAY_COLOR_MODE: return QStringLiteral("STANDARD_DISPLAY_COLOR_MODE");
    case CPST_EXTENDED_DISPLAY_COLOR_MODE: return QStringLiteral("EXTENDED_DISPLAY_COLOR_MODE");
    }
    return QString();
}

bool Fail(DWORD code)
{
    SetLastError(code);
    return false;
}

HRESULT FailHresult(DWORD code)
{
    SetLastError(code);
    return HRESULT_FROM_WIN32(code);
}

bool Injected(const char* function, const QString& qualifier)
{
    if (const auto code = InjectedFailure(QString::fromLatin1(function), qualifier)) {
        SetLastError(*code);
        return true;
    }
    return false;
}

HRESULT InjectedHresult(const char* function, const QString& qualifier)
{
    if (const auto code = InjectedFailure(QString::fromLatin1(function), qualifier)) {
        SetLastError((*code & 0x80000000u) != 0 ? (*code & 0xFFFFu) : *code);
        return (*code & 0x80000000u) != 0 ? HRESULT(*code) : HRESULT_FROM_WIN32(*code);
    }
    return S_OK;
}

std::optional<QJsonObject> State()
{
    return TryReadStateFile(StateName);
}

bool Update(const std::function<void(QJsonObject&)>& change)
{
    return TryUpdateStateFile(StateName, [&](QJsonObject& state) {
        change(state);
        return true;
    });
}

QJsonValue At(const QJsonObject& object, const QStringList& path)
{
    QJsonValue node = object;
    for (const QString& part : path) {
        node = node.toObject().value(part);
    }
    return node;
}

void SetAt(QJsonObject& object, const QStringList& path, const QJsonValue& value)
{
    if (path.size() == 1) {
        if (value.isUndefined()) {
            object.remove(path.first());
        } else {
            object.insert(path.first(), value);
        }
        return;
    }
    QJsonObject child = object.value(path.first()).toObject();
    SetAt(child, path.mid(1), value);
    object.insert(path.first(), child);
}

QJsonArray WithName(QJsonArray list, const QString& name)
{
    for (const QJsonValue value : list) {
        if (value.toString().compare(name, Qt::CaseInsensitive) == 0) {
            return list;
        }
    }
    list.append(name);
    return list;
}

QJsonArray WithoutName(const QJsonArray& list, const QString& name)
{
    QJsonArray kept;
    for (const QJsonValue value : list) {
        if (value.toString().compare(name, Qt::CaseInsensitive) != 0) {
            kept.append(value);
        }
    }
    return kept;
}

void ForgetProfile(QJsonObject& state, const QString& name)
{
    for (const QString& key :
         {QStringLiteral("associations"), QStringLiteral("defaults"), QStringLiteral("displayAssociations")}) {
        if (state.contains(key)) {
            Forget(state[key], name);
        }
    }
}

}  // namespace WinSim::Detail::Colour

namespace WinSim {

QString ColorDirectory(const QString& machine)
{
    return MapWindowsPath(QStringLiteral("C:/Windows/System32/spool/drivers/color"), machine);
}

QJsonObject ColorSystemState(const QString& machine)
{
    QJsonObject state = Detail::ReadStateFile(Detail::Colour::StateName, QJsonObject(), machine);
    if (!state.contains(QStringLiteral("calibrationManagement"))) {
        state.insert(QStringLiteral("calibrationManagement"), false);
    }
    QJsonArray installed;
    const QStringList files = QDir(ColorDirectory(machine)).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& file : files) {
        installed.append(file);
    }
    state.insert(QStringLiteral("colorDirectory"), ColorDirectory(machine));
    state.insert(QStringLiteral("installed"), installed);
    return state;
}

}  // namespace WinSim
