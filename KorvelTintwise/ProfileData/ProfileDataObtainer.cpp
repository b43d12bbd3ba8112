#include "ProfileData/ProfileDataObtainer.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/Profile/IProfileHelper.h"
#include "Common/Settings/ILogConfiguration.h"
#include "Common/Spectrine/Resource.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ImageTransformer.h"
#include "ProfileData/ProfileTable.h"
#include "WindowsStandIn/ColorSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Logging::InfoLevel;
using Logging::TraceLevel;
using Logging::WarnLevel;
using Spectrine::UniString;

constexpr DWORD ColorDirectoryLength = 260;
constexpr qsizetype EnginePathLength = 255;  // wide characters, terminator included
const QSize ScaledPreviewSize(408, 600);

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

const char* GammaTypeName(std::int32_t type)
{
    static const char* const Names[] = {"Standard", "Custom", "sRGB", "LStar", "DICOM", "BT1886", "HLG", "PQ", "Native"};
    return type >= 0 && type < std::int32_t(std::size(Names)) ? Names[type] : "Unknown";
}

const char* WhitePointTypeName(std::int32_t type)
{
    static const char* const Names[] = {"CIEIlluminant", "Native",   "XYZ",      "Yxy",
                                        "Yupvp",         "DaylightColorTemp", "Measured", "FromMeasurement"};
    return type >= 0 && type < std::int32_t(std::size(Names)) ? Names[type] : "Unknown";
}

bool Equals(const double coordinates[3], double r, double g, double b)
{
    constexpr double Epsilon = std::numeric_limits<double>::epsilon();
    return std::fabs(coordinates[0] - r) <= Epsilon && std::fabs(coordinates[1] - g) <= Epsilon &&
           std::fabs(coordinates[2] - b) <= Epsilon;
}

}  // namespace

ProfileDataObtainer::ProfileDataObtainer(ILogConfiguration* logConfiguration, IBiosTools* biosTools,
                                         TrayMenu* trayMenu, IProfileHelper* profileHelper, const PanelInfo& panelInfo,
                                         const QString& profileFileNameFormat)
    : Loggable("ProfileDataObtainer"),
      m_LogConfiguration(logConfiguration),
      m_BiosTools(biosTools),
      m_TrayMenu(trayMenu),
      m_ProfileHelper(profileHelper),
      m_PanelInfo(panelInfo),
      m_ProfileFileNameFormat(profileFileNameFormat),
      m_ImagesDirectory(ApplicationDataDirectory() + QStringLiteral("/images")),
      m_ProfilesFilter(nullptr)
{
    PopulateProfiles();
    const QString model = m_BiosTools->GetComputerModelName();
    for (const Settings::ProfilesFilter& filter : m_LogConfiguration->ProfilesFilters()) {
        if (filter.ModelName().compare(model, Qt::CaseInsensitive) == 0) {
            m_ProfilesFilter = &filter;
            break;
        }
    }
}

ProfileDataObtainer::~ProfileDataObtainer() = default;

QString ProfileDataObtainer::FileName(const QString& key) const
{
    return QString(m_ProfileFileNameFormat).replace(ProfileNamePlaceholder, key);
}

QString ProfileDataObtainer::ColorDirectory() const
{
    return m_ProfileHelper->ColorDirectory();
}

void ProfileDataObtainer::PopulateProfiles()
{
    const ProfileTable::ConstantLists& constants = ProfileTable::Constants(m_PanelInfo.GetDefaultProfileColorSpace());
    QStringList fullPaths;
    QList<Chromaticity> whitePoints;
    QStringList gammaTexts;
    QStringList luminanceTexts;
    for (const QString& key : constants.keys) {
        const QString fileName = FileName(key);
        wchar_t directory[ColorDirectoryLength] = {};
        DWORD size = sizeof(directory);
        if (!GetColorDirectoryW(nullptr, directory, &size)) {
            throw std::runtime_error("Failure to fetch color directory");
        }
        const QString path = QString::fromWCharArray(directory) + QLatin1Char('/') + fileName;
        const UniString pathString(KVUniStringCreate(path.toStdWString().c_str()));
        const QString fullPath = QString::fromUtf8(KVUniStringToUtf8(pathString.Get()));
        Chromaticity whitePoint(0, 0);
        QString gammaText = QStringLiteral("N/A");
        QString luminanceText = QStringLiteral("N/A");
        if (!QFileInfo::exists(fullPath)) {
            LogPieces(TraceLevel, "Skipping nonexistent profile ", Utf8(fileName), "...");
        } else {
            LogPieces(TraceLevel, "Populating data for profile ", Utf8(fileName), "...");
            if (fileName.contains(QLatin1String("HDR10"), Qt::CaseInsensitive)) {
                LogPieces(TraceLevel, "Inserting fixed set of data for profile ", Utf8(fileName), "...");
                whitePoint = {0.3127, 0.329};
                gammaText = QStringLiteral("PQ (SMPTE ST 2084)");
                luminanceText = QObject::tr("100% HDR Brightness");
            } else {
                whitePoint = FetchWhitePoint(pathString.Get());
                gammaText = GammaToString(FetchGamma(pathString.Get()));
                const double luminance = FetchLuminance(pathString.Get());
                luminanceText = luminance == 0.0 ? QStringLiteral("N/A") : QString::number(luminance, 'f', 2);
                if (fileName.contains(QLatin1String("Default"))) {
                    FetchGamma(pathString.Get());
                    FetchRgbPrimaries(pathString.Get());
                }
            }
        }
        fullPaths << fullPath;
        whitePoints << whitePoint;
        gammaTexts << gammaText;
        luminanceTexts << luminanceText;
    }

    QVector<ProfileData> table;
    table.reserve(ProfileTable::Size);
    for (int i = 0; i < ProfileTable::Size; ++i) {
        // "P3" is its own file but shows what "DisplayP3" shows.
        const int source = i == ProfileTable::P3Index ? ProfileTable::DisplayP3Index : i;
        table.append(ProfileData(fullPaths[i], constants.keys[i], constants.displayNames[i], QString(),
                                 constants.kinds[source], whitePoints[source], gammaTexts[source],
                                 luminanceTexts[source], 0, constants.descriptions[source]));
    }
    ProfileTable::Replace(std::move(table));
}

bool ProfileDataObtainer::BuildProfileDataList()
{
    const QStringList names = m_PanelInfo.GetRequiredProfiles() + m_PanelInfo.GetRequiredProfilesHdr10();
    for (const QString& name : names) {
        const QVector<ProfileData>& table = ProfileTable::Entries();
        const auto entry = std::find_if(table.begin(), table.end(),
                                        [&](const ProfileData& data) { return data.GetName() == name; });
        if (entry == table.end()) {
            return false;
        }
        // The table entry read this path's report when it was made.
        if (m_ProfilesFilter == nullptr || m_ProfilesFilter->SupportedProfiles().contains(name)) {
            m_ProfileDataList.append(std::make_shared<ProfileData>(entry->ListedAs(FileName(name), 100)));
        }
    }
    WarnMissingFilteredProfiles();
    return true;
}

void ProfileDataObtainer::WarnMissingFilteredProfiles()
{
    if (m_ProfilesFilter == nullptr) {
        return;
    }
    for (const QString& name : m_ProfilesFilter->SupportedProfiles()) {
        const bool listed = std::any_of(m_ProfileDataList.begin(), m_ProfileDataList.end(),
                                        [&](const auto& data) { return data->GetName().contains(name); });
        if (!listed) {
            m_TrayMenu->ShowWarningNotification(
                QStringLiteral("[WARNING] %1 profile is listed in profiles filter, but it is missing from color "
                               "directory.")
                    .arg(name));
        }
    }
}

QList<int> ProfileDataObtainer::ReadBrightnessLevels()
{
    QList<int> levels;
    const QStringList names = m_PanelInfo.GetRequiredProfiles() + m_PanelInfo.GetRequiredProfilesHdr10();
    const QVector<ProfileData>& table = ProfileTable::Entries();
    for (const QString& name : names) {
        if (std::none_of(table.begin(), table.end(), [&](const ProfileData& data) { return data.GetName() == name; })) {
            throw std::invalid_argument("Invalid profile name specified: " + Utf8(name));
        }
        const QString path = ColorDirectory() + QLatin1Char('/') + FileName(name);
        levels << (QFileInfo::exists(path) ? m_ProfileHelper->ReadProfileBrightness(path) : 100);
    }
    return levels;
}

void ProfileDataObtainer::RefreshBrightnessLevels()
{
    const QStringList names = m_PanelInfo.GetRequiredProfiles() + m_PanelInfo.GetRequiredProfilesHdr10();
    const QList<int> levels = ReadBrightnessLevels();
    // By key: the list holds only the profiles the filter allows.
    for (const auto& data : m_ProfileDataList) {
        const qsizetype index = names.indexOf(data->GetName());
        if (index >= 0) {
            data->SetBrightnessLevel(levels[index]);
        }
    }
}

void ProfileDataObtainer::RefreshPreviewImages()
{
    RunImageTransformers(true);
    LoadPreviewImages();
}

ProfileDataList ProfileDataObtainer::GetProfileDataList() const
{
    return m_ProfileDataList;
}

void ProfileDataObtainer::RunImageTransformers(bool force)
{
    const QString previewSource = m_ImagesDirectory + QLatin1Char('/') + PreviewImageFileName;
    if (force) {
        RemoveFolder(m_ImagesDirectory);
    }
    MakeFolder(ApplicationDataDirectory(), m_ImagesDirectory);
    if (!QFileInfo::exists(previewSource)) {
        CopyReplacing(PreviewImageResource, previewSource);
    }
    QList<ImageTransformer*> transformers;
    for (const auto& data : m_ProfileDataList) {
        auto* transformer = new ImageTransformer(data->GetName(), data->GetFileName(), m_ImagesDirectory,
                                                 ColorDirectory(), previewSource, force);
        transformer->start(QThread::InheritPriority);
        transformers << transformer;
    }
    for (ImageTransformer* transformer : transformers) {
        transformer->wait();
        delete transformer;
    }
}

void ProfileDataObtainer::LoadPreviewImages()
{
    const bool dciP3Listed = std::any_of(m_ProfileDataList.begin(), m_ProfileDataList.end(),
                                         [](const auto& data) { return data->GetName().contains(QLatin1String("DCIP3")); });
    const QString fallback = dciP3Listed ? QStringLiteral("DCIP3") : QStringLiteral("sRGB");
    for (const auto& data : m_ProfileDataList) {
        const QString key =
            data->GetName().contains(QLatin1String("hdr"), Qt::CaseInsensitive) ? fallback : data->GetName();
        // Decoded when the preferences window first shows it.
        QFile file(m_ImagesDirectory + QLatin1Char('/') + TransformedPreviewFileName.arg(key));
        data->SetEncodedPreviewImage(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), ScaledPreviewSize);
    }
}

bool ProfileDataObtainer::ReadCxfData(KVUniStringRef path, const char* allocationFailureText,
                                      const std::function<void(const CxfData&)>& query)
{
    KVStatus status = KVSuccess;
    const UniString buffer(KVProfileGetCxfDataBuffer(path, &status));
    if (status != KVSuccess || !buffer) {
        LogPieces(WarnLevel, allocationFailureText);
        return false;
    }
    KVCxf3StreamRef stream = KVCxf3OpenStream(&status);
    if (status != KVSuccess || stream == nullptr) {
        LogPieces(WarnLevel, "Failure to open CxF open stream.");
        return false;
    }
    bool ok = false;
    KVCxf3ProcessFileParamsRef processParams = KVCxf3ProcessFileParamsCreate(&status);
    if (status != KVSuccess || processParams == nullptr) {
        LogPieces(WarnLevel, "Failure to process CxF parameters.");
    } else {
        CxfData data;
        KVDataUnmarshalFromCxf3(stream, buffer.Get(), processParams, &data.measurements, &data.targets, &data.count,
                                &data.params, &data.errorText, &status);
        if (status != KVSuccess) {
            const char* error = KVUniStringToUtf8(data.errorText);
            LogPieces(WarnLevel, "Failure to unmarshal from CxF:");
            LogPieces(WarnLevel, "  Error:  ", error != nullptr ? error : "");
            LogPieces(WarnLevel, "  Status: ", status);
        } else {
            query(data);
            ok = true;
        }
        KVReleaseChart(data.measurements, data.count);
        KVReleaseChart(data.targets, data.count);
        KVProfileDisplayParamsRelease(data.params);
        KVUniStringRelease(data.errorText);
        KVCxf3ProcessFileParamsRelease(processParams);
    }
    status = KVSuccess;
    KVCxf3CloseStream(stream, &status);
    if (status != KVSuccess) {
        LogPieces(WarnLevel, "Failure to close profile stream handle.");
    }
    return ok;
}

double ProfileDataObtainer::FetchGamma(KVUniStringRef path)
{
    LogPieces(TraceLevel, "Fetching gamma from color profile...");
    double gamma = 0.0;
    ReadCxfData(path, "Failure to allocate CxF data buffer. Setting following gamma value: 0.",
                [&](const CxfData& data) {
                    KVStatus status = KVSuccess;
                    const std::int32_t type = KVProfileDisplayParamsGetGammaType(data.params, &status);
                    if (status != KVSuccess) {
                        LogPieces(WarnLevel, "Failure to obtain gamma type from profile. Error code: ", status);
                        return;
                    }
                    LogPieces(InfoLevel, "Obtained gamma type: ", GammaTypeName(type));
                    if (type == KVGammaTypeStandard || type == KVGammaTypeCustom) {
                        const double value =
                            type == KVGammaTypeStandard
                                ? KVProfileDisplayParamsGetGamma(data.params, &status)
                                : [&] {
                                      double first = 0;
                                      KVProfileDisplayParamsGetCustomGamma(data.params, &first, nullptr, nullptr,
                                                                           nullptr, nullptr, &status);
                                      return first;
                                  }();
                        if (status != KVSuccess) {
                            const char* error = KVUniStringToUtf8(data.errorText);
                            LogPieces(WarnLevel, "Failure to obtain gamma from profile. Error code: ", status,
                                      ", errorMsg: ", error != nullptr ? error : "");
                            return;
                        }
                        gamma = value;
                    } else if (type == KVGammaTypeSrgb) {
                        gamma = -1.0;
                    } else if (type == KVGammaTypeBt1886) {
                        gamma = -2.0;
                    } else {
                        gamma = 1.0;
                    }
                    LogPieces(InfoLevel, "Obtained gamma: ", gamma);
                });
    return gamma;
}

double ProfileDataObtainer::FetchLuminance(KVUniStringRef path)
{
    LogPieces(TraceLevel, "Fetching luminance from color profile...");
    KVStatus status = KVSuccess;
    double* white = KVProfileGetWhiteXYZ(path, &status);
    if (status != KVSuccess || white == nullptr) {
        KVFree(white);
        LogPieces(WarnLevel, "Failure to get hit target luminosity. Error code: ", status);
        return 0.0;
    }
    const double luminance = white[1];
    KVFree(white);
    LogPieces(InfoLevel, "Obtained luminance: ", luminance);
    return luminance;
}

ProfileDataObtainer::Chromaticity ProfileDataObtainer::FetchWhitePoint(KVUniStringRef path)
{
    LogPieces(TraceLevel, "Fetching white point from color profile...");
    Chromaticity whitePoint(0, 0);
    ReadCxfData(path, "Failure to allocate CxF data buffer. Setting following white point value: (0, 0).",
                [&](const CxfData& data) {
                    KVStatus status = KVSuccess;
                    const std::int32_t type = KVProfileDisplayParamsGetWhitePointType(data.params, &status);
                    if (status != KVSuccess) {
                        LogPieces(WarnLevel, "Failed to obtain white point type. Error code: ", status);
                        return;
                    }
                    LogPieces(InfoLevel, "White point type: ", WhitePointTypeName(type));
                    double Y = 0, x = 0, y = 0;
                    KVProfileDisplayParamsGetWhiteYxy(data.params, &Y, &x, &y, &status);
                    if (status != KVSuccess) {
                        LogPieces(WarnLevel, "Failure to obtain white point Yxy. Error code: ", status);
                        return;
                    }
                    LogPieces(InfoLevel, "White Point Y: ", Y, "  x: ", x, "  y: ", y);
                    whitePoint = {x, y};
                });
    return whitePoint;
}

int ProfileDataObtainer::FetchProfileType(QString path)
{
    LogPieces(TraceLevel, "FetchProfileType start...");
    const std::wstring wide = path.toStdWString();
    if (qsizetype(wide.size()) >= EnginePathLength) {
        LogPieces(WarnLevel, "Profile path is too long: ", Utf8(path));
        return -1;
    }
    const UniString pathString(KVUniStringCreate(wide.c_str()));
    int type = -1;
    ReadCxfData(pathString.Get(), "Failure to allocate CxF data buffer.", [&](const CxfData& data) {
        KVStatus status = KVSuccess;
        const std::int32_t value = KVProfileDisplayParamsGetProfileType(data.params, &status);
        if (status != KVSuccess) {
            LogPieces(WarnLevel, "Failed to obtain profile type. Error code: ", status);
            return;
        }
        type = value >= KVProfileTypeNone && value <= KVProfileTypeMatrixTrcMhc2 ? value : -1;
    });
    return type;
}

QList<ProfileDataObtainer::Chromaticity> ProfileDataObtainer::FetchRgbPrimaries(KVUniStringRef path)
{
    LogPieces(TraceLevel, "Fetching RGB primaries from color profile...");
    const QList<Chromaticity> none = {{0, 0}, {0, 0}, {0, 0}};
    QList<Chromaticity> primaries = none;
    ReadCxfData(path, "Failure to allocate CxF data buffer.", [&](const CxfData& data) {
        const double patches[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        bool found[3] = {false, false, false};
        for (std::int32_t i = 0; i < data.count && !(found[0] && found[1] && found[2]); ++i) {
            KVStatus status = KVSuccess;
            double target[3] = {};
            const std::int32_t n = KVColorGetCoordinates(data.targets[i], target, &status);
            if (status != KVSuccess || n != 3) {
                LogPieces(WarnLevel, "Failed to get target color i: ", i, ". Status: ", status,
                          " Number of coordinates: ", n);
                break;
            }
            int patch = -1;
            for (int p = 0; p < 3; ++p) {
                if (Equals(target, patches[p][0], patches[p][1], patches[p][2])) {
                    patch = p;
                }
            }
            if (patch < 0) {
                continue;
            }
            KVColorRef yxy = KVConvertColor(data.measurements[i], KVColorSpaceYxy, &status);
            if (status != KVSuccess || yxy == nullptr) {
                KVColorRelease(yxy);
                LogPieces(WarnLevel, "Failed to convert measurement color. Status: ", status);
                break;
            }
            double coordinates[3] = {};
            const std::int32_t m = KVColorGetCoordinates(yxy, coordinates, &status);
            KVColorRelease(yxy);
            if (status != KVSuccess || m != 3) {
                LogPieces(WarnLevel, "Failed to get measurement color. Status: ", status, " Number of coordinates: ", m);
                break;
            }
            primaries[patch] = {coordinates[1], coordinates[2]};
            found[patch] = true;
        }
        if (!(found[0] && found[1] && found[2])) {
            LogPieces(WarnLevel, "Failed to find RGB primaries!");
            primaries = none;
            return;
        }
        LogPieces(InfoLevel, "Red    x: ", primaries[0].first, "  y: ", primaries[0].second);
        LogPieces(InfoLevel, "Green  x: ", primaries[1].first, "  y: ", primaries[1].second);
        LogPieces(InfoLevel, "Blue   x: ", primaries[2].first, "  y: ", primaries[2].second);
    });
    return primaries;
}

QString ProfileDataObtainer::GammaToString(double gamma)
{
    if (gamma == 1.0) {
        return QStringLiteral("Native");
    }
    if (gamma == 0.0) {
        return QStringLiteral("N/A");
    }
    if (gamma == -1.0) {
        return QStringLiteral("sRGB");
    }
    if (gamma == -2.0) {
        return QStringLiteral("BT1886");
    }
    return QString::number(gamma, 'f', 1);
}

const char* ProfileDataObtainer::ProfileTypeToString(int type)
{
    switch (type) {
    case KVProfileTypeTable:
        return "PROFILE_TYPE_TABLE";
    case KVProfileTypeMatrix:
        return "PROFILE_TYPE_MATRIX";
    case KVProfileTypeMatrixA2B:
        return "PROFILE_TYPE_MATRIX_A2B";
    case KVProfileTypeMatrix1DLut:
        return "PROFILE_TYPE_MATRIX_1D_LUT";
    case KVProfileTypeMatrixTrcMhc2:
        return "PROFILE_TYPE_MATRIX_TRC_MHC2";
    default:
        return "PROFILE_TYPE_UNNKOWN";
    }
}

QString FindProfileDataByName(const ProfileDataList& list, const QString& name)
{
    for (const auto& data : list) {
        if (data->GetName() == name) {
            return data->GetFullPath();
        }
    }
    return QString();
}
