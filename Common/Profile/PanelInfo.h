// How the internal panel's factory profiles are used: default profile, HDR support,
// required profile sets and the profile file-name format.
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

namespace Korvel::DisplayCalibration::Common::Profile {

class PanelInfo {
public:
    // Empty defaults, no HDR, every known profile required (sorted).
    PanelInfo();

    QString GetDefaultProfileColorSpace() const { return DefaultProfileColorSpace; }
    QString GetDefaultProfileGamma() const { return DefaultProfileGamma; }
    bool IsHdrSupported() const { return HdrSupported; }
    bool IsHdr10Supported() const { return Hdr10Supported; }
    QStringList GetRequiredProfiles() const { return RequiredProfiles; }
    QStringList GetRequiredProfilesHdr10() const { return RequiredProfilesHdr10; }
    QString GetProfileFormat() const { return ProfileFormat; }

    void SetDefaultProfileColorSpace(const QString& colorSpace) { DefaultProfileColorSpace = colorSpace; }
    void SetDefaultProfileGamma(const QString& gamma) { DefaultProfileGamma = gamma; }
    void SetHdrSupported(bool supported) { HdrSupported = supported; }
    void SetHdr10Supported(bool supported) { Hdr10Supported = supported; }
    void SetProfileFormat(const QString& format) { ProfileFormat = format; }
    // Both setters keep their list sorted (see the Sort functions).
    void SetRequiredProfiles(const QStringList& profiles);
    void SetRequiredProfilesHdr10(const QStringList& profiles);

    // Exact, case-sensitive comparisons with the reference lists.
    bool IsColorSpaceSupported() const;
    bool IsGammaSupported() const;
    bool AreRequiredProfilesKnown() const;
    bool AreHdr10ProfilesKnown() const;
    // Colour space, gamma and SDR profiles; the HDR10 list is not checked.
    bool IsValid() const;

private:
    // Ascending by UTF-16 code units, then every "Default" and after it every "Native" moved to the end.
    void SortRequiredProfiles();
    // Ascending by UTF-16 code units.
    void SortRequiredProfilesHdr10();

    QString DefaultProfileColorSpace;
    QString DefaultProfileGamma;
    bool HdrSupported = false;
    bool Hdr10Supported = false;
    QStringList RequiredProfiles;
    QStringList RequiredProfilesHdr10;
    QString ProfileFormat;
    QStringList SupportedColorSpaces;
    QStringList SupportedGammas;
    QStringList KnownProfiles;
};

// The text of a gamma in profile keys: "2.2" for 2.2 (6 significant digits), "sRGB" for -1,
// "DICOM" for -3, "REC709" for anything else that is not positive (NaN included).
QString GammaToText(double gamma);

}  // namespace Korvel::DisplayCalibration::Common::Profile

Q_DECLARE_METATYPE(Korvel::DisplayCalibration::Common::Profile::PanelInfo)
