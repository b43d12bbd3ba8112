#include "ProfileData/ProfileCorrection.h"

#include "Common/Spectrine/Resource.h"
#include "ProfileData/ProfileData.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace ProfileCorrection {

namespace Spectrine = Korvel::DisplayCalibration::Common::Spectrine;

namespace {

// Engine codes of the standard colour spaces.
constexpr int StandardAdobeRgb = 0;
constexpr int StandardSrgb = 1;
constexpr int StandardP3 = 3;

}  // namespace

ColorantTarget ColorantTargetFor(int profileType, int colorSpaceKind)
{
    if (colorSpaceKind == ColorSpaceNone) {
        return {ColorantTarget::DefaultProfile, -1};
    }
    if (profileType != KVProfileTypeMatrixTrcMhc2) {
        return {ColorantTarget::NotMhc2, -1};
    }
    switch (colorSpaceKind) {
    case ColorSpaceSrgb:
        return {ColorantTarget::Standard, StandardSrgb};
    case ColorSpaceAdobeRgb:
        return {ColorantTarget::Standard, StandardAdobeRgb};
    case ColorSpaceDciP3:
    case ColorSpaceDisplayP3:
        return {ColorantTarget::Standard, StandardP3};
    default:
        return {ColorantTarget::Unchanged, -1};
    }
}

bool ReadColorantTarget(ProfileModifier& modifier, const ColorantTarget& target, const QString& defaultProfilePath,
                        ColorantMatrix& matrix)
{
    ColorantMatrix read{};
    bool ok = false;
    switch (target.source) {
    case ColorantTarget::DefaultProfile:
        ok = !defaultProfilePath.isEmpty() && modifier.GetRgbXyzTagValues(defaultProfilePath, read);
        break;
    case ColorantTarget::Standard:
        ok = modifier.getChromaticity(target.standard, read);
        break;
    default:
        break;
    }
    if (ok) {
        matrix = read;
    }
    return ok;
}

bool PutGenericNativeHdrProfile(const QString& directory, const QString& target, QString& error)
{
    const QString copy = directory + QLatin1Char('/') + GenericNativeHdrFileName;
    QFile::remove(copy);
    QFile source(GenericNativeHdrResource);
    if (!source.copy(copy)) {
        error = QStringLiteral("cannot copy %1 to %2: %3").arg(GenericNativeHdrResource, copy, source.errorString());
        QFile::remove(copy);
        return false;
    }
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    std::error_code failure;
    std::filesystem::rename(QFile::encodeName(copy).toStdString(), QFile::encodeName(target).toStdString(), failure);
    if (failure) {
        error = QStringLiteral("cannot rename %1 to %2: %3")
                    .arg(copy, target, QString::fromStdString(failure.message()));
        QFile::remove(copy);
        return false;
    }
    return true;
}

std::optional<QString> ReadProfileDescription(const QString& path)
{
    const Spectrine::UniString enginePath(KVUniStringCreate(path.toStdWString().c_str()));
    KVStatus status = KVSuccess;
    const Spectrine::Profile profile(KVProfileFromPathCreate(enginePath.Get(), &status));
    if (status != KVSuccess || !profile) {
        return std::nullopt;
    }
    // A failed read gives no string, hence no text.
    const Spectrine::UniString description(KVProfileGetDescription(profile.Get(), &status));
    const char* text = KVUniStringToUtf8(description.Get());
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

DescriptionWrite WriteProfileDescription(const QString& path, const QString& description)
{
    if (path.toStdWString().size() > std::size_t(MaxEngineTextLength) ||
        description.toStdWString().size() > std::size_t(MaxEngineTextLength)) {
        return DescriptionWrite::TooLong;
    }
    const Spectrine::UniString enginePath(KVUniStringCreate(path.toStdWString().c_str()));
    KVStatus status = KVSuccess;
    const Spectrine::EditableProfile profile(KVEditableICCProfileFromPathCreate(enginePath.Get(), &status));
    if (status != KVSuccess || !profile) {
        return DescriptionWrite::NotOpened;
    }
    const Spectrine::UniString text(KVUniStringCreate(description.toStdWString().c_str()));
    KVEditableICCProfileSetDescription(profile.Get(), text.Get(), &status);
    if (status != KVSuccess) {
        return DescriptionWrite::NotWritten;
    }
    KVEditableICCProfileSaveToPath(profile.Get(), enginePath.Get(), &status);
    return status == KVSuccess ? DescriptionWrite::Written : DescriptionWrite::NotWritten;
}

}  // namespace ProfileCorrection
