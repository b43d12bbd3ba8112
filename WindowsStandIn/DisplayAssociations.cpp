// The display-association functions of mscms.dll, bound by ordinal: profiles associated with a
// display by adapter LUID and source, with a default per colour mode. The standard mode's default
// is the one setting WcsSetDefaultColorProfile also sets for the display's monitor (RGB working
// space), as on Windows; the advanced-colour default is kept per display key.
#include "WindowsStandIn/ColorSystem.h"

#include "WindowsStandIn/ColorState.h"
#include "WindowsStandIn/Modules.h"
#include "WindowsStandIn/SimulatedDisplays.h"

#include <cstdlib>
#include <cwchar>

namespace {

using namespace WinSim::Detail::Colour;

bool KnownAdapter(const LUID& luid)
{
    for (const QJsonValue value : WinSim::DescriptionValue(QStringLiteral("adapters")).toArray()) {
        const QJsonObject id = value.toObject().value(QStringLiteral("luid")).toObject();
        if (DWORD(id.value(QStringLiteral("low")).toInteger()) == luid.LowPart &&
            LONG(id.value(QStringLiteral("high")).toInteger()) == luid.HighPart) {
            return true;
        }
    }
    return false;
}

QString DisplayKey(const LUID& luid, UINT32 sourceId)
{
    return QString::number(luid.HighPart) + ":" + QString::number(luid.LowPart) + ":" + QString::number(sourceId);
}

// Where the default of `subType` for the display at (adapter, source) is kept.
QStringList DefaultPath(WCS_PROFILE_MANAGEMENT_SCOPE scope, const LUID& luid, UINT32 sourceId,
                        COLORPROFILESUBTYPE subType)
{
    if (subType == CPST_STANDARD_DISPLAY_COLOR_MODE) {
        const WinSim::Displays::Machine machine = WinSim::Displays::Load();
        for (const WinSim::Displays::Display& display : machine.displays) {
            const int number = display.deviceName.mid(display.deviceName.indexOf(QLatin1String("DISPLAY")) + 7).toInt();
            if (display.adapter >= 0 && display.adapter < machine.adapters.size() && number == int(sourceId) + 1 &&
                machine.adapters[display.adapter].luidLow == luid.LowPart &&
                machine.adapters[display.adapter].luidHigh == luid.HighPart) {
                return {QStringLiteral("defaults"), ScopeName(scope), display.MonitorDeviceId(),
                        SubTypeName(CPST_RGB_WORKING_SPACE)};
            }
        }
    }
    return {QStringLiteral("displayAssociations"), ScopeName(scope), DisplayKey(luid, sourceId),
            QStringLiteral("defaults"), SubTypeName(subType)};
}

// Where the associations of one colour mode of the display at (adapter, source) are kept.
struct Associations {
    QStringList display;      // the display's entry
    QString list;             // its list of profiles of the mode
    QStringList profiles;     // display + list
    QStringList defaultPath;  // the mode's default
};

Associations AssociationsOf(WCS_PROFILE_MANAGEMENT_SCOPE scope, const LUID& luid, UINT32 sourceId,
                            COLORPROFILESUBTYPE subType)
{
    Associations associations;
    associations.display = {QStringLiteral("displayAssociations"), ScopeName(scope), DisplayKey(luid, sourceId)};
    associations.list = subType == CPST_EXTENDED_DISPLAY_COLOR_MODE ? QStringLiteral("advancedColorProfiles")
                                                                    : QStringLiteral("profiles");
    associations.profiles = associations.display + QStringList{associations.list};
    associations.defaultPath = DefaultPath(scope, luid, sourceId, subType);
    return associations;
}

COLORPROFILESUBTYPE ColourMode(BOOL advancedColor)
{
    return advancedColor ? CPST_EXTENDED_DISPLAY_COLOR_MODE : CPST_STANDARD_DISPLAY_COLOR_MODE;
}

// The checks every display-association call makes before it touches the state: an injected
// failure for this adapter, an adapter the machine has, and elevation for machine-wide changes.
HRESULT CheckDisplayAssociationCall(const char* function, LUID adapter, WCS_PROFILE_MANAGEMENT_SCOPE scope,
                                    bool changesState)
{
    if (const HRESULT injected = InjectedHresult(function, QString::number(adapter.LowPart))) {
        return injected;
    }
    if (!KnownAdapter(adapter)) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    if (changesState && scope == WCS_PROFILE_MANAGEMENT_SCOPE_SYSTEM_WIDE && !WinSim::IsElevated()) {
        return FailHresult(ERROR_ACCESS_DENIED);
    }
    return S_OK;
}

HRESULT AddDisplayAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, LUID adapter, UINT32 sourceId,
                              BOOL setAsDefault, BOOL advancedColor)
{
    if (profileName == nullptr) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileAddDisplayAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    if (!IsInstalled(name)) {
        return FailHresult(ERROR_FILE_NOT_FOUND);
    }
    const Associations associations = AssociationsOf(scope, adapter, sourceId, ColourMode(advancedColor));
    if (!Update([&](QJsonObject& state) {
            SetAt(state, associations.profiles, WithName(At(state, associations.profiles).toArray(), name));
            if (setAsDefault) {
                SetAt(state, associations.defaultPath, name);
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    WinSim::Journal(QStringLiteral("colour-display-associate"),
                    associations.display.last() + " " + associations.list + " " + name);
    return S_OK;
}

HRESULT RemoveDisplayAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, LUID adapter,
                                 UINT32 sourceId, BOOL advancedColor)
{
    if (profileName == nullptr) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileRemoveDisplayAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    const Associations associations = AssociationsOf(scope, adapter, sourceId, ColourMode(advancedColor));
    bool found = false;
    if (!Update([&](QJsonObject& state) {
            const QJsonArray before = At(state, associations.profiles).toArray();
            const QJsonArray after = WithoutName(before, name);
            found = after.size() != before.size();
            SetAt(state, associations.profiles, after);
            if (At(state, associations.defaultPath).toString().compare(name, Qt::CaseInsensitive) == 0) {
                SetAt(state, associations.defaultPath, QJsonValue(QJsonValue::Undefined));
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    if (!found) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    WinSim::Journal(QStringLiteral("colour-display-disassociate"),
                    associations.display.last() + " " + associations.list + " " + name);
    return S_OK;
}

HRESULT SetDisplayDefaultAssociation(WCS_PROFILE_MANAGEMENT_SCOPE scope, PCWSTR profileName, COLORPROFILETYPE type,
                                     COLORPROFILESUBTYPE subType, LUID adapter, UINT32 sourceId)
{
    if (profileName == nullptr || type != CPT_ICC ||
        (subType != CPST_STANDARD_DISPLAY_COLOR_MODE && subType != CPST_EXTENDED_DISPLAY_COLOR_MODE)) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileSetDisplayDefaultAssociation", adapter, scope, true); refused != S_OK) {
        return refused;
    }
    const QString name = ProfileFileName(FromWide(profileName));
    const Associations associations = AssociationsOf(scope, adapter, sourceId, subType);
    bool associated = false;
    if (!Update([&](QJsonObject& state) {
            const QJsonArray profiles = At(state, associations.profiles).toArray();
            associated = WithName(profiles, name).size() == profiles.size();
            if (associated) {
                SetAt(state, associations.defaultPath, name);
            }
        })) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    if (!associated) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    WinSim::Journal(QStringLiteral("colour-display-default"),
                    associations.display.last() + " " + SubTypeName(subType) + " " + name);
    return S_OK;
}

HRESULT GetDisplayDefault(WCS_PROFILE_MANAGEMENT_SCOPE scope, LUID adapter, UINT32 sourceId, COLORPROFILETYPE type,
                          COLORPROFILESUBTYPE subType, PWSTR* profileName)
{
    if (profileName == nullptr || type != CPT_ICC || SubTypeName(subType).isEmpty()) {
        return FailHresult(ERROR_INVALID_PARAMETER);
    }
    *profileName = nullptr;
    if (const HRESULT refused = CheckDisplayAssociationCall("ColorProfileGetDisplayDefault", adapter, scope, false);
        refused != S_OK) {
        return refused;
    }
    const std::optional<QJsonObject> state = State();
    if (!state) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    const QJsonValue name = At(*state, DefaultPath(scope, adapter, sourceId, subType));
    if (!name.isString()) {
        return FailHresult(ERROR_NOT_FOUND);
    }
    const std::wstring text = name.toString().toStdWString();
    auto* memory = static_cast<wchar_t*>(std::malloc((text.size() + 1) * sizeof(wchar_t)));
    if (memory == nullptr) {
        return FailHresult(ERROR_NOT_ENOUGH_MEMORY);
    }
    std::wmemcpy(memory, text.c_str(), text.size() + 1);
    *profileName = memory;
    return S_OK;
}

const bool registered = WinSim::RegisterModule(
    "mscms.dll", {},
    {{ColorProfileAddDisplayAssociationOrdinal, WinSim::Export(&AddDisplayAssociation)},
     {ColorProfileRemoveDisplayAssociationOrdinal, WinSim::Export(&RemoveDisplayAssociation)},
     {ColorProfileSetDisplayDefaultAssociationOrdinal, WinSim::Export(&SetDisplayDefaultAssociation)},
     {ColorProfileGetDisplayDefaultOrdinal, WinSim::Export(&GetDisplayDefault)}},
    nullptr);

}  // namespace
