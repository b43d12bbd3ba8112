// The controller's correction of the installed profiles' tags at the end of the out-of-box wait, run
// in this process over a generated factory set installed on a simulated machine, with the program's
// own services and the real Tessaly.
#include "Common/Application/Paths.h"
#include "Common/Application/Widgets/TrayNotifier.h"
#include "Common/Archive/ProfileArchiver.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Settings/Configuration.h"
#include "Common/Settings/LogConfiguration.h"
#include "Common/Settings/SchedulerStartup.h"
#include "Common/Spectrine/Resource.h"
#include "Gui/MainWindow.h"
#include "ProfileData/ProfileCorrection.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;
using namespace TintwiseTest;
using TestSupport::FactorySet;
using TestSupport::TrayMachine;

namespace {

const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
const QString PanelId = QStringLiteral("KVL4A1C");
const QString NativeHdr = QStringLiteral("KVL_4A1C_Native_HDR.icm");

double Luminance(const QString& path)
{
    KVStatus status = KVSuccess;
    const Common::Spectrine::UniString enginePath(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
    double* white = KVProfileGetWhiteXYZ(enginePath.Get(), &status);
    const double luminance = status == KVSuccess && white != nullptr ? white[1] : -1;
    KVFree(white);
    return luminance;
}

Common::Profile::ColorantMatrix Colorants(const QString& path)
{
    Common::Profile::ColorantMatrix matrix{};
    EXPECT_TRUE(Common::Profile::ProfileModifier().GetRgbXyzTagValues(path, matrix)) << path;
    return matrix;
}

double Distance(const Common::Profile::ColorantMatrix& a, const Common::Profile::ColorantMatrix& b)
{
    double distance = 0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            distance = std::max(distance, std::abs(a[row][column] - b[row][column]));
        }
    }
    return distance;
}

struct CorrectionCase {
    const char* name;
    // Descriptions holding the panel identity, as the controller expects them.
    bool describedForPanel = true;
    // The set holds the uncalibrated Native profile, corrected towards the Default profile's colorants.
    bool withNative = false;
    QStringList mhc2 = {};
    // The native HDR profile's luminance; none installed when 0.
    double nativeHdrLuminance = 0;
    // The generic profile cannot be copied into the temporary directory.
    bool genericCopyFails = false;
    // The profiles installed, by key: those corrected, each once.
    QStringList installed = {};
    // The installed native HDR profile afterwards: its luminance.
    double nativeHdrLuminanceAfter = 0;
};

void PrintTo(const CorrectionCase& item, std::ostream* stream)
{
    *stream << item.name;
}

// The controller in this process, started over the machine's installed set as the program starts.
class ControllerOnMachine {
public:
    explicit ControllerOnMachine(const CorrectionCase& item)
        : machine(Set(item)), user("USER", machine.UserName().toUtf8().constData())
    {
        TrayApplication();
        MainWindow::InitializeErrorMessages();
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(QCoreApplication::applicationDirPath());
        if (item.nativeHdrLuminance > 0) {
            InstallNativeHdr(item);
        }
        panelId = Common::HardwareInfo::InternalPanelObtainer().GetInternalPanelId();
        logConfiguration = Common::Settings::CreateLogConfiguration(panelId);
        bios.reset(Common::HardwareInfo::BiosToolsFactory().Create());
        display.reset(Common::HardwareInfo::DisplayHelperFactory().Create(panelId));
        helper.reset(Common::Profile::ProfileHelperFactory().Create());
        configuration.reset(Common::Settings::ConfigurationFactory().Create());
        downloader = Common::Network::TwoPhaseArchiveDownloaderFactory().Create();
        archiver.reset(Common::Archive::ProfileArchiverFactory().Create());
        QFile key(QStringLiteral(":/digitalsignature/public_key"));
        key.open(QIODevice::ReadOnly);
        decrypter = Common::Security::DecrypterFactory().CreateDecrypter(key.readAll(), false);
        startup.reset(Common::Settings::StartupHelperFactory().Create());
        window = std::make_unique<MainWindow>(configuration.get(), logConfiguration.get(), bios.get(), display.get(),
                                              helper.get(), downloader.get(), archiver.get(), &notifiers,
                                              decrypter.get(), startup.get(), nullptr, version);
        window->OnEventLoopStarted();
    }

    ~ControllerOnMachine() { QDir::setCurrent(previousDirectory); }

    static FactorySet Set(const CorrectionCase& item)
    {
        FactorySet set;
        set.profiles = QStringList{"sRGB", "AdobeRGB", "DCIP3", "Default"};
        if (item.withNative) {
            set.profiles << "Native";
        }
        if (item.describedForPanel) {
            set.makerArguments << "--panel-id" << PanelId;
        }
        if (!item.mhc2.isEmpty()) {
            set.makerArguments << "--mhc2" << item.mhc2.join(',');
        }
        return set;
    }

    void InstallNativeHdr(const CorrectionCase& item)
    {
        QStringList arguments{BinaryPathOf("make_panel_archive.py"), "--folder", nativeHdrFolder.path(), "--format",
                              Format, "--profiles", "Native_HDR", "--brightness", "60", "--luminance",
                              QString::number(item.nativeHdrLuminance)};
        if (item.describedForPanel) {
            arguments << "--panel-id" << PanelId;
        }
        const auto made = TestSupport::Run(QStringLiteral("python3"), arguments);
        ASSERT_EQ(made.exitCode, 0) << made.err;
        // An installation replaces the panel's installed profiles: the set goes in again with it.
        QStringList paths{QDir(nativeHdrFolder.path()).filePath(NativeHdr)};
        for (const QString& file : QDir(machine.SetFolder()).entryList({"*.icm"}, QDir::Files)) {
            paths << QDir(machine.SetFolder()).filePath(file);
        }
        TrayMachine::Install(paths);
    }

    static QString BinaryPathOf(const char* name) { return TestSupport::BinaryPath(QString::fromLatin1(name)); }

    // Corrects the installed set as the end of the out-of-box wait does.
    void Correct()
    {
        ProfileDataObtainer obtainer(logConfiguration.get(), bios.get(), window->GetTrayMenu(), helper.get(),
                                     window->GetPanelInfo(), Format);
        ASSERT_TRUE(obtainer.BuildProfileDataList());
        machine.MarkJournal();
        window->CorrectTagsForAllProfiles(&obtainer);
    }

    QString Installed(const QString& name) const { return helper->ColorDirectory() + "/" + name; }

    TrayMachine machine;
    // The program's per-user folders (its out-of-box count among them) are those of the machine's user.
    TestSupport::ScopedEnvironment user;
    QTemporaryDir nativeHdrFolder;
    QString previousDirectory;
    QString panelId;
    std::shared_ptr<Common::Settings::ILogConfiguration> logConfiguration;
    std::unique_ptr<Common::HardwareInfo::IBiosTools> bios;
    std::unique_ptr<Common::HardwareInfo::IDisplayHelper> display;
    std::unique_ptr<Common::Profile::IProfileHelper> helper;
    std::unique_ptr<Common::Settings::IConfiguration> configuration;
    std::unique_ptr<Common::Network::IArchiveDownloader> downloader;
    std::unique_ptr<Common::Archive::IProfileArchiver> archiver;
    std::unique_ptr<Common::Security::IDecrypter> decrypter;
    std::unique_ptr<Common::Settings::IStartupHelper> startup;
    RecordingNotifierFactory notifiers;
    QVersionNumber version{2, 56, 0};
    std::unique_ptr<MainWindow> window;
};

const QStringList Described{"sRGB", "AdobeRGB", "DCIP3", "Default"};

const CorrectionCase Cases[] = {
    // DCIP3 (DCI white) differs from its standard's colorants, but only an MHC2 profile is corrected.
    {.name = "NothingToCorrectInstallsNothing"},
    {.name = "DescriptionsWithoutThePanelIdAreInstalledOnce", .describedForPanel = false, .installed = Described},
    {.name = "MhcProfileTakesItsStandardsColorants", .mhc2 = {"DCIP3"}, .installed = {"DCIP3"}},
    {.name = "NativeTakesTheDefaultProfilesColorants", .withNative = true, .installed = {"Native"}},
    {.name = "NativeHdrAt550IsKept", .describedForPanel = false, .nativeHdrLuminance = 550.0,
     .installed = Described + QStringList{"Native_HDR"}, .nativeHdrLuminanceAfter = 550.0},
    {.name = "DimNativeHdrAloneInstallsNothing", .nativeHdrLuminance = 549.9, .nativeHdrLuminanceAfter = 549.9},
    {.name = "DimNativeHdrGoesInWithTheOtherCorrections", .describedForPanel = false, .nativeHdrLuminance = 549.9,
     .installed = Described + QStringList{"Native_HDR"}, .nativeHdrLuminanceAfter = 1000.0},
    {.name = "FailingGenericCopyKeepsTheNativeHdrProfile", .describedForPanel = false, .nativeHdrLuminance = 549.9,
     .genericCopyFails = true, .installed = Described + QStringList{"Native_HDR"}, .nativeHdrLuminanceAfter = 549.9},
};

class TagCorrectionTest : public testing::TestWithParam<CorrectionCase> {};

TEST_P(TagCorrectionTest, InstallsWhatWasCorrectedOnce)
{
    const CorrectionCase& item = GetParam();
    const TestSupport::LogCapture startupLog("MainWindow");
    ControllerOnMachine controller(item);
    QStringList started;
    for (const auto& line : startupLog.Lines()) {
        started << QString::fromStdString(line.message);
    }
    ASSERT_TRUE(controller.window->IsStartupComplete()) << started.join('\n');
    const QString dcip3 = controller.Installed("KVL_4A1C_DCIP3.icm");
    const auto dcip3Before = Colorants(dcip3);
    const auto defaultMatrix = Colorants(controller.Installed("KVL_4A1C_Default.icm"));
    if (item.genericCopyFails) {
        const QString temporary = Common::CreateTemporaryDirectory();
        ASSERT_TRUE(QDir().mkpath(temporary + "/" + ProfileCorrection::GenericNativeHdrFileName));
    }
    const TestSupport::LogCapture log("MainWindow");
    controller.Correct();

    const QStringList runs = controller.machine.Events(QStringLiteral("run-elevated"));
    ASSERT_EQ(runs.size(), item.installed.isEmpty() ? 0 : 1) << runs.join('\n');
    QStringList logged;
    for (const auto& line : log.Lines()) {
        logged << QString::fromStdString(line.message);
    }
    EXPECT_EQ(logged.contains("MainWindowCorrectTagsForAllProfiles() failed or not required"), item.installed.isEmpty())
        << logged.join('\n');
    EXPECT_FALSE(QFileInfo::exists(Common::ApplicationDataDirectory() + "/Temp"));

    QStringList keys = ControllerOnMachine::Set(item).profiles;
    if (item.nativeHdrLuminance > 0) {
        keys << "Native_HDR";
    }
    for (const QString& key : keys) {
        const QString file = QString(Format).replace("{ProfileName}", key);
        // Every profile holds the panel's descriptor afterwards; a corrected one is named once in the
        // installation, the others not at all.
        EXPECT_EQ(ProfileDescription(controller.Installed(file)), PanelId + "_" + key) << file;
        if (!runs.isEmpty()) {
            EXPECT_EQ(runs.first().count("/" + file + "\""), item.installed.contains(key) ? 1 : 0)
                << file << ": " << runs.first();
        }
    }
    const double dcip3Moved = Distance(Colorants(dcip3), dcip3Before);
    if (item.mhc2.contains("DCIP3")) {
        EXPECT_GT(dcip3Moved, 0.005);
        Common::Profile::ColorantMatrix p3{};
        ASSERT_TRUE(Common::Profile::ProfileModifier().getChromaticity(3, p3));
        EXPECT_LT(Distance(Colorants(dcip3), p3), 0.005);
    } else {
        EXPECT_EQ(dcip3Moved, 0.0);
    }
    if (item.withNative) {
        EXPECT_LT(Distance(Colorants(controller.Installed("KVL_4A1C_Native.icm")), defaultMatrix), 0.005);
    }
    if (item.nativeHdrLuminance > 0) {
        EXPECT_NEAR(Luminance(controller.Installed(NativeHdr)), item.nativeHdrLuminanceAfter, 0.05);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TagCorrectionTest, testing::ValuesIn(Cases),
                         [](const testing::TestParamInfo<CorrectionCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
