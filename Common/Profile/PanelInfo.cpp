#include "Common/Profile/PanelInfo.h"

#include "Common/Application/Constants.h"

#include <algorithm>

namespace Korvel::DisplayCalibration::Common::Profile {
namespace {

void ExchangeSort(QStringList& list)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        for (qsizetype j = i + 1; j < list.size(); ++j) {
            if (QString::compare(list[j], list[i], Qt::CaseSensitive) < 0) {
                list.swapItemsAt(i, j);
            }
        }
    }
}

// Moves every occurrence of `key` to the end, keeping the order of the others.
void MoveToEnd(QStringList& list, const QString& key)
{
    const qsizetype count = list.count(key);
    if (count > 0) {
        list.removeAll(key);
        for (qsizetype i = 0; i < count; ++i) {
            list.append(key);
        }
    }
}

bool AllContained(const QStringList& entries, const QStringList& reference)
{
    return std::all_of(entries.cbegin(), entries.cend(),
                       [&reference](const QString& entry) { return reference.contains(entry, Qt::CaseSensitive); });
}

}  // namespace

PanelInfo::PanelInfo()
    : RequiredProfiles(KnownProfileNames), SupportedColorSpaces(Common::SupportedColorSpaces),
      SupportedGammas(Common::SupportedGammas), KnownProfiles(KnownProfileNames)
{
    SortRequiredProfiles();
}

void PanelInfo::SetRequiredProfiles(const QStringList& profiles)
{
    RequiredProfiles = profiles;
    SortRequiredProfiles();
}

void PanelInfo::SetRequiredProfilesHdr10(const QStringList& profiles)
{
    RequiredProfilesHdr10 = profiles;
    SortRequiredProfilesHdr10();
}

bool PanelInfo::IsColorSpaceSupported() const
{
    return SupportedColorSpaces.contains(DefaultProfileColorSpace, Qt::CaseSensitive);
}

bool PanelInfo::IsGammaSupported() const
{
    return SupportedGammas.contains(DefaultProfileGamma, Qt::CaseSensitive);
}

bool PanelInfo::AreRequiredProfilesKnown() const
{
    return AllContained(RequiredProfiles, KnownProfiles);
}

bool PanelInfo::AreHdr10ProfilesKnown() const
{
    return AllContained(RequiredProfilesHdr10, KnownProfiles);
}

bool PanelInfo::IsValid() const
{
    return IsColorSpaceSupported() && IsGammaSupported() && AreRequiredProfilesKnown();
}

void PanelInfo::SortRequiredProfiles()
{
    ExchangeSort(RequiredProfiles);
    MoveToEnd(RequiredProfiles, DefaultProfileName);
    MoveToEnd(RequiredProfiles, NativeProfileName);
}

void PanelInfo::SortRequiredProfilesHdr10()
{
    ExchangeSort(RequiredProfilesHdr10);
}

QString GammaToText(double gamma)
{
    if (gamma > 0) {
        return QString::number(gamma, 'g', 6);
    }
    if (gamma == -1) {
        return QStringLiteral("sRGB");
    }
    if (gamma == -3) {
        return QStringLiteral("DICOM");
    }
    return QStringLiteral("REC709");
}

}  // namespace Korvel::DisplayCalibration::Common::Profile
