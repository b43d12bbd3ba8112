// The profile restorer end to end: a simulated machine, the local profile server serving sets made by
// the archive maker, the real Tessaly and the tray menu offscreen.
#include "Common/Application/CheckedConnection.h"
#include "Common/Application/Constants.h"
#include "Common/Archive/ProfileArchiver.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Common/Logging/Loggable.h"
#include "Common/Network/IArchiveDownloader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Profile/ProfileHelperExceptions.h"
#include "Common/Profile/ProfileModifier.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/EncrypterFactory.h"
#include "Common/Security/SymmetricDecrypter.h"
#include "Common/Settings/LogConfiguration.h"
#include "Common/Spectrine/Resource.h"
#include "Gui/TrayMenu.h"
#include "ProfileData/ProfileDataObtainer.h"
#include "ProfileData/ProfileRestorer.h"
#include "ProfileData/ProfileRestorerExceptions.h"
#include "WindowsStandIn/CertificateStore.h"
#include "WindowsStandIn/Machine.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"
#include "tests/fixtures/PeerArchives.h"
#include "tests/fixtures/ProfileServer.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

using namespace TintwiseTest;
using namespace Korvel::DisplayCalibration::Common;
using Profile::ColorantMatrix;
using Profile::PanelInfo;
using TestSupport::ReadFile;
using TestSupport::Shell;

const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
const QString SdrProfiles =
    QStringLiteral("sRGB,AdobeRGB,REC709,DCIP3,DisplayP3,DICOM_Office,DICOM_Dim,Default,Native");
// The configured support page, as every other box links to it.
const QString Generic = "Failed to restore the ICC profiles customized for your display. Please restart the computer "
                        "and try it again. If problem remains, please contact support at " +
                        Korvel::DisplayCalibration::Common::SupportPageLink() + ".";
// What a failure's report adds when the SDR default of before is in force again.
const QString StillInUse = QStringLiteral("<br><br>The previously active ICC profile remains in use.");
const QString InvalidSignature = QStringLiteral("Profile archive does not have valid digital signature");

// Stands for the tray program's controller: its slots, connected by signature strings.
class Controller : public QObject {
    Q_OBJECT

public:
    QStringList errors;
    QList<PanelInfo> successes;
    QList<PanelInfo> hdrSuccesses;
    QList<QVector<std::shared_ptr<ProfileData>>> lists;
    QList<int> activations;
    QStringList notifications;  // "<level>:<text>"
    int marks = 0;
    int questions = 0;
    bool answer = true;
    // Called on an SDR success, as the controller starts the HDR10 set then.
    std::function<void()> onSuccess;

    void Connect(QObject* restorer)
    {
        const auto connect = [&](const char* signal, const char* slot) {
            Application::ConnectChecked(restorer, signal, this, slot);
        };
        connect(SIGNAL(ReportProfileRestorationError(const QString&, bool)),
                SLOT(OnReportProfileRestorationError(const QString&, bool)));
        connect(SIGNAL(ReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>>,
                                                       Korvel::DisplayCalibration::Common::Profile::PanelInfo)),
                SLOT(OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>>,
                                                       Korvel::DisplayCalibration::Common::Profile::PanelInfo)));
        connect(SIGNAL(ReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>>,
                                                          Korvel::DisplayCalibration::Common::Profile::PanelInfo)),
                SLOT(OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>>,
                                                          Korvel::DisplayCalibration::Common::Profile::PanelInfo)));
        connect(SIGNAL(ActivateProfile(int)), SLOT(OnActivateProfile(int)));
        connect(SIGNAL(ShowTrayNotification(TrayNotificatioLevel, QString&)),
                SLOT(OnShowTrayNotification(TrayNotificatioLevel, QString&)));
        connect(SIGNAL(AskUserToEnableUserProfileList(bool&)), SLOT(OnAskUserToEnableUserProfileList(bool&)));
        connect(SIGNAL(MarkProfileIfActive()), SLOT(OnMarkProfileIfActive()));
    }

    int Reports() const { return int(errors.size() + successes.size() + hdrSuccesses.size()); }

public slots:
    void OnReportProfileRestorationError(const QString& message, bool shouldPerformAppExit)
    {
        EXPECT_FALSE(shouldPerformAppExit);
        errors << message;
    }
    void OnReportProfileRestorationSuccess(QVector<std::shared_ptr<ProfileData>> profilesData,
                                           Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
    {
        successes << panelInfo;
        lists << profilesData;
        if (onSuccess) {
            onSuccess();
        }
    }
    void OnReportProfileRestorationSuccessHdr(QVector<std::shared_ptr<ProfileData>> profilesData,
                                              Korvel::DisplayCalibration::Common::Profile::PanelInfo panelInfo)
    {
        hdrSuccesses << panelInfo;
        lists << profilesData;
    }
    void OnActivateProfile(int index) { activations << index; }
    void OnShowTrayNotification(TrayNotificatioLevel level, QString& message)
    {
        notifications << QString::number(level) + ":" + message;
    }
    void OnAskUserToEnableUserProfileList(bool& wasEnabled)
    {
        ++questions;
        wasEnabled = answer;
    }
    void OnMarkProfileIfActive() { ++marks; }
};

QString TextOf(const TestSupport::LogCapture& log, int level)
{
    QStringList lines;
    for (const auto& line : log.Lines()) {
        if (line.level == level) {
            lines << QString::fromStdString(line.message);
        }
    }
    return lines.join('\n');
}

int Count(const TestSupport::LogCapture& log, int level)
{
    const auto lines = log.Lines();
    return int(std::count_if(lines.begin(), lines.end(), [&](const auto& line) { return line.level == level; }));
}

// File name -> contents of a folder's files.
std::map<QString, QByteArray> Snapshot(const QString& folder)
{
    std::map<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        files[name] = ReadFile(folder + "/" + name);
    }
    return files;
}

ColorantMatrix Colorants(const QString& path)
{
    ColorantMatrix matrix{};
    EXPECT_TRUE(Profile::ProfileModifier().GetRgbXyzTagValues(path, matrix)) << path;
    return matrix;
}

double Distance(const ColorantMatrix& a, const ColorantMatrix& b)
{
    double distance = 0;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            distance = std::max(distance, std::abs(a[row][column] - b[row][column]));
        }
    }
    return distance;
}

// The modifier leaves colorants that differ by up to 0.005.
constexpr double ColorantTolerance = 0.005;

Spectrine::UniString EnginePath(const QString& path)
{
    return Spectrine::UniString(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
}

QString Description(const QString& path)
{
    KVStatus status = KVSuccess;
    const Spectrine::Profile profile(KVProfileFromPathCreate(EnginePath(path).Get(), &status));
    const Spectrine::UniString text(profile ? KVProfileGetDescription(profile.Get(), &status) : nullptr);
    return text ? QString::fromUtf8(KVUniStringToUtf8(text.Get())) : QString();
}

// The profile helper, with installations that can be made to fail in a way of the test's choosing.
class TestProfileHelper : public Profile::ProfileHelper {
public:
    std::function<void()> installFailure;

    void InstallProfilesWithPanelInfo(const QStringList& paths, const QString& hdrSupported,
                                      const QString& defaultProfileColorSpace, const QString& defaultProfileGamma,
                                      const QString& requiredProfiles, const QString& profileFormat,
                                      const Profile::PreparedFrom& preparedFrom) override
    {
        if (installFailure) {
            installFailure();
        }
        ProfileHelper::InstallProfilesWithPanelInfo(paths, hdrSupported, defaultProfileColorSpace, defaultProfileGamma,
                                                    requiredProfiles, profileFormat, preparedFrom);
    }
    void InstallHdr10ProfilesWithPanelInfo(const QStringList& paths, const QString& hdr10Supported,
                                           const QString& requiredProfilesHdr10) override
    {
        if (installFailure) {
            installFailure();
        }
        ProfileHelper::InstallHdr10ProfilesWithPanelInfo(paths, hdr10Supported, requiredProfilesHdr10);
    }
};

// A simulated machine with the tray program's real services and a restorer over them.
class RestorerMachine : public testing::Test {
protected:
    void SetUp() override
    {
        TintwiseTest::Application();
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        // A model the shipped configuration has no profiles filter for: every profile of a set is offered.
        WinSim::SetDescriptionValue(QStringLiteral("bios.model"), QStringLiteral("21KV0099US"));
        // The configuration file is named relative to the program folder, as the programs run there.
        previousDirectory = QDir::currentPath();
        QDir::setCurrent(QCoreApplication::applicationDirPath());
        panelId = HardwareInfo::InternalPanelObtainer().GetInternalPanelId();
        ASSERT_FALSE(panelId.isEmpty());
        bios.reset(HardwareInfo::BiosToolsFactory().Create());
        display.reset(HardwareInfo::DisplayHelperFactory().Create(panelId));
        helper = std::make_unique<TestProfileHelper>();
        configuration = std::make_unique<Settings::LogConfiguration>(bios.get(), display.get());
        ASSERT_EQ(configuration->Refresh(false), Format);
        downloader = Network::TwoPhaseArchiveDownloaderFactory().Create();
        QFile key(QStringLiteral(":/digitalsignature/public_key"));
        ASSERT_TRUE(key.open(QIODevice::ReadOnly));
        decrypter = Security::DecrypterFactory().CreateDecrypter(key.readAll(), false);
        trayMenu = std::make_unique<TrayMenu>(&notifiers, nullptr);
        restorer = std::make_unique<ProfileRestorer>(configuration.get(), trayMenu.get(), bios.get(), display.get(),
                                                     helper.get(), downloader.get(), &archiver, decrypter.get(),
                                                     Format);
        controller.Connect(restorer.get());
        colorDirectory = helper->ColorDirectory();
        // Windows' own sRGB profile, which every machine's colour directory holds.
        ASSERT_TRUE(QFileInfo::exists(colorDirectory + "/sRGB Color Space Profile.icm"));
    }

    void TearDown() override { QDir::setCurrent(previousDirectory); }

    // The maker's set under `name`: "<name>.zip" (signed unless `edit` is given: then `edit` runs in
    // the folder of the unsigned "<name>.zip" and the result is signed) and the folder "<name>".
    QString MakeArchive(const QString& name, const QStringList& options, const QString& edit = QString())
    {
        const QString archive = files.filePath(name + ".zip");
        MakeProfileSet(files.filePath(name), QStringList{"--output", archive, "--format", Format} + options +
                                                 (edit.isEmpty() ? QStringList() : QStringList{"--unsigned"}));
        if (!edit.isEmpty()) {
            Shell(files.path(), edit);
            Shell(files.path(), TestSupport::BinaryPath("signarchive") + " " + name + ".zip");
        }
        return archive;
    }

    // Serves `archives` (identity -> file) and points the machine at the server.
    void Serve(const std::map<QString, QString>& archives, const QStringList& switches = {})
    {
        QStringList arguments = switches;
        for (const auto& [identity, file] : archives) {
            arguments << "--archive" << identity + "=" + file;
        }
        server = std::make_unique<TestSupport::ProfileServer>(arguments);
        ASSERT_TRUE(server->Started());
        server->ConfigureMachine();
        WinSim::ApplyTrustedRootCertificates();
    }

    // Runs the event loop until `done` holds, then a little longer so that a second report shows.
    void WaitUntil(const std::function<bool()>& done)
    {
        ASSERT_TRUE(TestSupport::RunEventsUntil(done, 300, 120000)) << "no outcome";
    }

    QJsonObject ColourState()
    {
        const TestSupport::ProcessResult result = TestSupport::RunWinsim({"colour"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return QJsonDocument::fromJson(result.out.toUtf8()).object();
    }

    // The profiles in the colour directory.
    QStringList InstalledNames()
    {
        QStringList names;
        for (const QJsonValue value : ColourState().value("installed").toArray()) {
            const QString name = value.isObject() ? value.toObject().value("name").toString() : value.toString();
            if (name.endsWith(".icm")) {
                names << name;
            }
        }
        names.sort();
        return names;
    }

    // A panel value of the machine hive, decrypted.
    QString PanelValue(const QString& name)
    {
        const TestSupport::ProcessResult result = TestSupport::RunWinsim(
            {"reg", "get", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo", name});
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
        Security::SymmetricDecrypter decrypter;
        return QString::fromUtf8(decrypter.Decrypt(QByteArray::fromBase64(result.out.trimmed().toLatin1())));
    }

    QString File(const QString& key) const { return QString(Format).replace("{ProfileName}", key); }
    QString Report(const QString& key) const { return File(key).replace(".icm", "_Quality.txt"); }
    QString Installed(const QString& key) const { return colorDirectory + "/" + File(key); }
    bool WorkingDirectoryLeft() const { return QFileInfo::exists(restorer->WorkingDirectory()); }
    // The previews' folder beside the working directory.
    QString ImagesDirectory() const { return QFileInfo(restorer->WorkingDirectory()).dir().filePath("images"); }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir files;
    QString previousDirectory;
    QString panelId;
    std::unique_ptr<HardwareInfo::IBiosTools> bios;
    std::unique_ptr<HardwareInfo::IDisplayHelper> display;
    std::unique_ptr<TestProfileHelper> helper;
    std::unique_ptr<Settings::LogConfiguration> configuration;
    std::unique_ptr<Network::IArchiveDownloader> downloader;
    Archive::ProfileArchiver archiver;
    std::unique_ptr<Security::IDecrypter> decrypter;
    RecordingNotifierFactory notifiers;
    std::unique_ptr<TrayMenu> trayMenu;
    std::unique_ptr<ProfileRestorer> restorer;
    Controller controller;
    std::unique_ptr<TestSupport::ProfileServer> server;
    QString colorDirectory;
};

TEST_F(RestorerMachine, RestoresTheSdrSetThenTheHdr10Set)
{
    const QString sdr = MakeArchive("sdr", {"--profiles", SdrProfiles, "--color-space", "DCIP3", "--hdr", "--mhc2",
                                            "DCIP3", "--measured-gamma", "REC709=2.2", "--luminance", "Native=549.9",
                                            "--brightness", "Default=80"});
    const QString hdr10 = MakeArchive("hdr10", {"--hdr10", "--profiles", "Korvel_HDR10"});
    Serve({{Identity, sdr}, {Identity + "_HDR", hdr10}});
    // A report the user already has stays as it is.
    TestSupport::WriteFile(colorDirectory + "/" + Report("AdobeRGB"), "kept");
    const QString url = server->LookupUrl(Identity);
    controller.onSuccess = [&] { restorer->RestoreHdrProfiles(url + "_HDR"); };
    TestSupport::LogCapture log("ProfileRestorer");

    restorer->RestoreProfiles(url);
    WaitUntil([&] { return controller.errors.size() + controller.hdrSuccesses.size() > 0; });

    EXPECT_EQ(controller.errors, QStringList()) << TextOf(log, Logging::WarnLevel);
    ASSERT_EQ(controller.successes.size(), 1);
    ASSERT_EQ(controller.hdrSuccesses.size(), 1);
    EXPECT_EQ(controller.notifications,
              (QStringList{"1:Customized ICC profiles for your display are restored successfully.",
                           "1:Customized HDR ICC profiles for your display are restored successfully."}));
    EXPECT_FALSE(WorkingDirectoryLeft());
    EXPECT_FALSE(QFileInfo::exists(WinSim::MapWindowsPath("C:/ProgramData/Korvel Inc/Korvel Tintwise/Temp")));

    // Panel information as read from the archive, and the values handed to the machine.
    const PanelInfo& panel = controller.successes.first();
    EXPECT_TRUE(panel.IsHdrSupported());
    EXPECT_EQ(panel.GetProfileFormat(), "KVL_4A1C_");
    EXPECT_EQ(controller.hdrSuccesses.first().GetRequiredProfilesHdr10(), QStringList{"Korvel_HDR10"});
    EXPECT_EQ(PanelValue("HdrSupported"), "1");
    EXPECT_EQ(PanelValue("DefaultProfileColorSpace"), "DCIP3");
    EXPECT_EQ(PanelValue("DefaultProfileGamma"), "2.2");
    EXPECT_EQ(PanelValue("RequiredProfiles"), panel.GetRequiredProfiles().join(","));
    EXPECT_EQ(PanelValue("ProfileFormat"), "KVL_4A1C_");
    EXPECT_EQ(PanelValue("Hdr10Supported"), "1");
    EXPECT_EQ(PanelValue("RequiredProfilesHdr10"), "Korvel_HDR10");

    QStringList expected{"sRGB Color Space Profile.icm"};
    for (const QString& key : SdrProfiles.split(',') + QStringList{"Native_HDR", "Korvel_HDR10"}) {
        expected << File(key);
    }
    expected.sort();
    EXPECT_EQ(InstalledNames(), expected);

    // The controller is asked to activate Default after each set; the restorer itself activated
    // sRGB first, then Native_HDR and the HDR10 profile as advanced-colour profiles.
    const auto& list = controller.lists.first();
    const auto defaultEntry = std::find_if(list.begin(), list.end(), [](const auto& p) { return p->GetName() == "Default"; });
    ASSERT_NE(defaultEntry, list.end());
    EXPECT_EQ(controller.activations, (QList<int>{int(defaultEntry - list.begin()), int(defaultEntry - list.begin())}));
    EXPECT_EQ(controller.marks, 2);
    EXPECT_EQ(controller.questions, 1);
    const QJsonObject colour = ColourState();
    const QJsonObject defaults = colour["defaults"]["currentUser"].toObject();
    ASSERT_EQ(defaults.size(), 1);
    EXPECT_EQ(defaults.begin()->toObject()["RGB_WORKING_SPACE"].toString(), "sRGB Color Space Profile.icm");
    const QJsonObject adapters = colour["displayAssociations"]["currentUser"].toObject();
    ASSERT_EQ(adapters.size(), 1);
    const QJsonObject advancedColour = adapters.begin()->toObject();
    EXPECT_EQ(advancedColour["advancedColorProfiles"].toArray(),
              (QJsonArray{File("Native_HDR"), File("Korvel_HDR10")}));
    EXPECT_EQ(advancedColour["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"].toString(), File("Korvel_HDR10"));

    // What the profiles hold after the corrections.
    const auto obtainer =
        std::make_unique<ProfileDataObtainer>(configuration.get(), bios.get(), trayMenu.get(), helper.get(), panel, Format);
    const QString folder = files.filePath("sdr");
    EXPECT_EQ(ProfileDataObtainer::GammaToString(obtainer->FetchGamma(EnginePath(Installed("REC709")).Get())),
              "BT1886");
    ColorantMatrix p3{};
    ASSERT_TRUE(Profile::ProfileModifier().getChromaticity(3, p3));
    EXPECT_GT(Distance(Colorants(folder + "/" + File("DCIP3")), p3), ColorantTolerance);
    EXPECT_LE(Distance(Colorants(Installed("DCIP3")), p3), ColorantTolerance) << "MHC2 profile";
    EXPECT_GT(Distance(Colorants(folder + "/" + File("Native")), Colorants(Installed("Default"))), ColorantTolerance);
    EXPECT_LE(Distance(Colorants(Installed("Native")), Colorants(Installed("Default"))), ColorantTolerance)
        << "native profile";
    EXPECT_EQ(Distance(Colorants(Installed("sRGB")), Colorants(folder + "/" + File("sRGB"))), 0.0) << "matrix profile";
    EXPECT_EQ(obtainer->FetchLuminance(EnginePath(Installed("Native_HDR")).Get()), 1000.0) << "the generic profile";
    for (const QString& key : SdrProfiles.split(',') + QStringList{"Native_HDR", "Korvel_HDR10"}) {
        const qsizetype second = File(key).indexOf('_', File(key).indexOf('_') + 1);
        const QString descriptor = panelId + "_" + File(key).mid(second + 1).chopped(4);
        EXPECT_TRUE(Description(Installed(key)).contains(descriptor)) << Description(Installed(key));
    }
    EXPECT_EQ(helper->ReadProfileBrightness(Installed("Default")), 80);
    for (const auto& data : controller.lists.first()) {
        EXPECT_FALSE(data->GetPreviewImage().isNull()) << data->GetName().toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(ImagesDirectory() + "/TransformedPreview_DCIP3.jpeg"));

    // Quality reports: copied beside their profiles, none for DICOM, none over an existing one.
    EXPECT_EQ(ReadFile(colorDirectory + "/" + Report("sRGB")),
              ReadFile(folder + "/" + Report("sRGB")));
    EXPECT_EQ(ReadFile(colorDirectory + "/" + Report("AdobeRGB")), "kept");
    EXPECT_FALSE(QFileInfo::exists(colorDirectory + "/" + Report("DICOM_Office")));
    EXPECT_FALSE(QFileInfo::exists(colorDirectory + "/" + Report("DICOM_Dim")));
}


TEST_F(RestorerMachine, KeepsProfilesItCannotImprove)
{
    // REC709 is rebuilt only from measurements with a white and a luminance: here without measurements,
    // then with measurements but without luminance. Native_HDR at exactly 550 cd/m² stays. The same
    // restorer serves both requests, each answered once.
    const QString noMeasurements = MakeArchive("first", {"--profiles", "sRGB,REC709,Default,Native", "--hdr",
                                                         "--no-measurements", "--luminance", "Native=550",
                                                         "--panel-id", panelId});
    const QString noLuminance = MakeArchive("second", {"--profiles", "sRGB,REC709,Default,Native",
                                                       "--measured-gamma", "REC709=2.2", "--no-luminance",
                                                       "--panel-id", panelId});
    Serve({{Identity, noMeasurements}, {Identity + "2", noLuminance}});
    TestSupport::LogCapture log("ProfileRestorer");

    restorer->RestoreProfiles(server->LookupUrl(Identity));
    WaitUntil([&] { return controller.Reports() > 0; });
    ASSERT_EQ(controller.successes.size(), 1) << TextOf(log, Logging::WarnLevel);
    EXPECT_EQ(ReadFile(Installed("REC709")), ReadFile(files.filePath("first/" + File("REC709"))));
    EXPECT_TRUE(TextOf(log, Logging::WarnLevel).contains("No measurements in ")) << TextOf(log, Logging::WarnLevel);
    EXPECT_TRUE(TextOf(log, Logging::InfoLevel).contains("Native HDR profile is not modified"));
    const auto obtainer = std::make_unique<ProfileDataObtainer>(configuration.get(), bios.get(), trayMenu.get(),
                                                                helper.get(), controller.successes.first(), Format);
    EXPECT_EQ(obtainer->FetchLuminance(EnginePath(Installed("Native_HDR")).Get()), 550.0);

    // With the displays cloned the set is installed, and not activated.
    const QList<int> activations = controller.activations;
    WinSim::SetDescriptionValue(QStringLiteral("topology"), QStringLiteral("clone"));
    restorer->RestoreProfiles(server->LookupUrl(Identity + "2"));
    WaitUntil([&] { return controller.Reports() > 1; });
    EXPECT_EQ(controller.errors, QStringList()) << TextOf(log, Logging::WarnLevel);
    EXPECT_EQ(controller.successes.size(), 2);
    EXPECT_EQ(controller.activations, activations);
    EXPECT_TRUE(controller.notifications.last().startsWith("0:Displays are in clone mode.")) << controller.notifications.last();
    EXPECT_EQ(ReadFile(Installed("REC709")), ReadFile(files.filePath("second/" + File("REC709"))));
    EXPECT_TRUE(TextOf(log, Logging::WarnLevel).contains("No white point or luminance in "));
    EXPECT_FALSE(WorkingDirectoryLeft());
}

// The SDR road installs the panel's installed HDR10 profile again, from a copy. Another program
// replaces that profile after the copy was made (just before each installation, as many times as
// the case says): the copy never replaces the other program's file. The road copies it again once;
// a file that changes again fails the restoration as a failed installation.
struct ReplacedHdr10Case {
    const char* name;
    int replacements;
    bool restored;
};

void PrintTo(const ReplacedHdr10Case& item, std::ostream* stream)
{
    *stream << item.name;
}

class KeptHdr10Replaced : public RestorerMachine, public testing::WithParamInterface<ReplacedHdr10Case> {};

TEST_P(KeptHdr10Replaced, NeverOverwritesTheOtherProgramsFile)
{
    const ReplacedHdr10Case& item = GetParam();
    Serve({{Identity, MakeArchive("set", {"--profiles", "sRGB,AdobeRGB,Default,Native"})}});
    MakeProfileSet(colorDirectory, {"--format", Format, "--profiles", "Korvel_HDR10", "--hdr10", "--luminance", "120"});
    QFile::remove(colorDirectory + "/PanelInfoHdr.xml");
    // What the other program installs, once and then again.
    QStringList peers;
    for (const char* luminance : {"400", "500"}) {
        const QString folder = files.filePath(QStringLiteral("peer%1").arg(luminance));
        MakeProfileSet(folder, {"--format", Format, "--profiles", "Korvel_HDR10", "--hdr10", "--luminance", luminance});
        peers << folder + "/" + File("Korvel_HDR10");
    }
    int replaced = 0;
    helper->installFailure = [&] {
        if (replaced < item.replacements) {
            ASSERT_TRUE(QFile::remove(Installed("Korvel_HDR10")));
            ASSERT_TRUE(QFile::copy(peers[replaced++], Installed("Korvel_HDR10")));
        }
    };
    TestSupport::LogCapture log("ProfileRestorer");

    restorer->RestoreProfiles(server->LookupUrl(Identity));
    WaitUntil([&] { return controller.Reports() > 0; });

    EXPECT_EQ(controller.successes.size(), item.restored ? 1 : 0) << TextOf(log, Logging::WarnLevel);
    EXPECT_EQ(controller.errors.size(), item.restored ? 0 : 1);
    EXPECT_TRUE(TextOf(log, Logging::WarnLevel).contains("changed since they were copied; they are copied again"));
    EXPECT_EQ(ReadFile(Installed("Korvel_HDR10")), ReadFile(peers[item.replacements - 1]));
    EXPECT_EQ(QFileInfo::exists(Installed("sRGB")), item.restored);
    EXPECT_FALSE(WorkingDirectoryLeft());
}

INSTANTIATE_TEST_SUITE_P(Cases, KeptHdr10Replaced,
                         testing::Values(ReplacedHdr10Case{"OnceIsCopiedAgain", 1, true},
                                         ReplacedHdr10Case{"AgainFailsTheInstallation", 2, false}),
                         [](const testing::TestParamInfo<ReplacedHdr10Case>& info) {
                             return std::string(info.param.name);
                         });

// While the hold the controller hands it stands (an answer is pending), a downloaded archive waits:
// no step of its road runs (no switch to sRGB, nothing installed, nothing reported) until the hold
// is lifted and the archive is handed on.
class HeldArchive : public RestorerMachine, public testing::WithParamInterface<bool> {};

TEST_P(HeldArchive, RunsNoStepUntilHandedOnAfterTheHold)
{
    const bool hdr10 = GetParam();
    Serve({{Identity, hdr10 ? MakeArchive("set", {"--hdr10", "--profiles", "Korvel_HDR10"})
                            : MakeArchive("set", {"--profiles", "sRGB,AdobeRGB,Default,Native"})}});
    bool answerPending = true;
    restorer->HoldArchivesWhile([&] { return answerPending; });
    const auto before = Snapshot(colorDirectory);
    const qsizetype journalled = WinSim::ReadJournal().size();

    const QString url = server->LookupUrl(Identity);
    hdr10 ? restorer->RestoreHdrProfiles(url) : restorer->RestoreProfiles(url);
    WaitUntil([&] { return restorer->HasHeldArchive(); });
    // Handed on while the answer is still pending, it waits on.
    restorer->HandleHeldArchive();
    EXPECT_TRUE(restorer->HasHeldArchive());
    EXPECT_EQ(controller.Reports(), 0);
    EXPECT_EQ(WinSim::ReadJournal().mid(journalled), QStringList());
    EXPECT_TRUE(Snapshot(colorDirectory) == before) << "the colour directory changed";
    EXPECT_FALSE(WorkingDirectoryLeft());

    answerPending = false;
    restorer->HandleHeldArchive();
    EXPECT_FALSE(restorer->HasHeldArchive());
    EXPECT_EQ(controller.errors, QStringList());
    EXPECT_EQ((hdr10 ? controller.hdrSuccesses : controller.successes).size(), 1);
    EXPECT_TRUE(QFileInfo::exists(Installed(hdr10 ? "Korvel_HDR10" : "AdobeRGB")));
}

INSTANTIATE_TEST_SUITE_P(Roads, HeldArchive, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Hdr10" : "Sdr"; });

struct FailureCase {
    const char* name;
    bool hdr10;              // the HDR10 road
    QStringList winsim;      // winsim arguments run before the restoration
    QStringList switches;    // of the profile server
    QString edit;            // shell command on the unsigned "set.zip"
    QString emitted;         // empty: the controller is not told
    QString logged;          // the one warning
    bool beforeInstallation;
    // Every profile installed before is still there.
    bool keepsInstalled = true;
    std::function<void()> installFailure = {};
};

void PrintTo(const FailureCase& failure, std::ostream* stream)
{
    *stream << failure.name;
}

class RestorationFailure : public RestorerMachine, public testing::WithParamInterface<FailureCase> {};

TEST_P(RestorationFailure, ReportsOnceAndLeavesNoWorkingFolder)
{
    const FailureCase& failure = GetParam();
    const QString archive =
        failure.hdr10 ? MakeArchive("set", {"--hdr10", "--profiles", "Korvel_HDR10"}, failure.edit)
                      : MakeArchive("set", {"--profiles", "sRGB,AdobeRGB,Default,Native", "--hdr"}, failure.edit);
    Serve({{Identity, archive}}, failure.switches);
    helper->installFailure = failure.installFailure;
    if (!failure.winsim.isEmpty()) {
        const TestSupport::ProcessResult result = TestSupport::RunWinsim(failure.winsim);
        ASSERT_EQ(result.exitCode, 0) << result.err;
    }
    // What the machine holds of an older set.
    MakeProfileSet(colorDirectory, {"--format", Format, "--profiles", failure.hdr10 ? "Korvel_HDR10" : "sRGB,Native",
                                    "--brightness", "70", "--luminance", "120"});
    QFile::remove(colorDirectory + "/PanelInfo.xml");
    const auto before = Snapshot(colorDirectory);
    TestSupport::LogCapture log("ProfileRestorer");

    const QString url = server->LookupUrl(Identity);
    failure.hdr10 ? restorer->RestoreHdrProfiles(url) : restorer->RestoreProfiles(url);
    WaitUntil([&] { return controller.Reports() > 0 || !TextOf(log, Logging::WarnLevel).isEmpty(); });

    EXPECT_EQ(controller.errors, failure.emitted.isEmpty() ? QStringList() : QStringList{failure.emitted});
    EXPECT_TRUE(controller.successes.isEmpty() && controller.hdrSuccesses.isEmpty());
    EXPECT_EQ(controller.activations, QList<int>()) << "nothing is activated after a failure";
    const QString warnings = TextOf(log, Logging::WarnLevel);
    EXPECT_EQ(Count(log, Logging::WarnLevel), 1) << warnings;
    EXPECT_TRUE(warnings.startsWith(failure.logged)) << warnings;
    EXPECT_FALSE(WorkingDirectoryLeft());
    const auto after = Snapshot(colorDirectory);
    if (failure.beforeInstallation) {
        EXPECT_TRUE(after == before) << "the colour directory changed";
        EXPECT_FALSE(QFileInfo::exists(ImagesDirectory())) << "previews made for a set that was not installed";
    }
    if (failure.keepsInstalled) {
        for (const auto& [name, contents] : before) {
            EXPECT_TRUE(after.count(name)) << name << " was lost";
        }
    }
}

const QString InvalidPanelInfo = QStringLiteral(
    "printf '<PanelInfo version=\"1.0\"><ColorSpace>CIELAB</ColorSpace><Gamma>2.2</Gamma><HDR>false</HDR>"
    "<Profiles>sRGB,Default</Profiles></PanelInfo>' > PanelInfo.xml && zip -q set.zip PanelInfo.xml");
const QString InvalidPanelInfoHdr = QStringLiteral(
    "printf '<PanelInfo version=\"1.0\"><HDR>maybe</HDR><Profiles>Korvel_HDR10</Profiles></PanelInfo>' > "
    "PanelInfoHdr.xml && zip -q set.zip PanelInfoHdr.xml");
const QString UnknownHdr10Profile = QStringLiteral(
    "printf '<PanelInfo version=\"1.0\"><HDR>true</HDR><Profiles>Korvel_HDR10,Other_HDR10</Profiles></PanelInfo>' > "
    "PanelInfoHdr.xml && zip -q set.zip PanelInfoHdr.xml");
const QString Refused = QStringLiteral("Administrator privileges not granted by user.");
const QString RestorationFailed = QStringLiteral("Failed to restore the ICC profiles customized for your display.");
// A failed download has changed nothing.
const QString NothingChanged = Generic + StillInUse;

INSTANTIATE_TEST_SUITE_P(
    ProfileRestorer, RestorationFailure,
    testing::Values(
        FailureCase{"PromptRefused", false, {"set", "elevation.prompt", "refuse"}, {}, {}, Refused,
                    Refused + " Reason: " + Refused, false},
        FailureCase{"InstallationFails", false, {"fail", "InstallColorProfileA", "5"}, {}, {}, Generic,
                    Generic + "<br>Failed to install the profiles. Reason: ", true},
        FailureCase{"LookupNotFound", false, {}, {"--reply", "lookup=404"}, {}, NothingChanged,
                    RestorationFailed + " Reason: Failed to obtain profile archive URL.", true},
        FailureCase{"ArchiveServerError", false, {}, {"--reply", "archive=500"}, {}, NothingChanged,
                    RestorationFailed + " Reason: " + RestorationFailed, true},
        FailureCase{"InvalidPanelInfo", false, {}, {}, InvalidPanelInfo, Generic,
                    Generic + " Reason: Downloaded archive is invalid.", true},
        FailureCase{"RequiredProfileMissing", false, {}, {}, "zip -q -d set.zip KVL_4A1C_AdobeRGB.icm", Generic,
                    Generic + "<br>Profiles are missing from the downloaded archive.<br>Downloaded archive is missing "
                              "the following profiles: AdobeRGB Reason: ",
                    true},
        FailureCase{"InstallationThrowsAnotherFailure", false, {}, {}, {}, Generic, Generic + "<br>busy", true, true,
                    [] { throw Profile::UninstallProfileException("busy"); }},
        FailureCase{"Hdr10PromptRefused", true, {"set", "elevation.prompt", "refuse"}, {}, {}, Generic,
                    Generic + "<br>" + Refused + " Reason: " + Refused, false},
        FailureCase{"Hdr10InvalidPanelInfo", true, {}, {}, InvalidPanelInfoHdr, Generic,
                    Generic + "<br>Downloaded archive is invalid. Reason: ", true},
        FailureCase{"Hdr10ProfileMissing", true, {}, {}, "zip -q -d set.zip KVL_4A1C_Korvel_HDR10.icm", Generic,
                    Generic + "<br>Downloaded HDR10 archive is missing the following profiles: "
                              "KVL_4A1C_Korvel_HDR10.icm Reason: ",
                    true},
        FailureCase{"Hdr10InstallationThrowsAnotherFailure", true, {}, {}, {}, Generic,
                    RestorationFailed + "  Reason: disk full", true, true,
                    [] { throw std::runtime_error("disk full"); }},
        FailureCase{"Hdr10UnknownProfile", true, {}, {}, UnknownHdr10Profile, Generic,
                    RestorationFailed + "  Reason: Invalid profile name specified: Other_HDR10", true},
        FailureCase{"Hdr10ArchiveServerError", true, {}, {"--reply", "archive=500"}, {}, QString(),
                    "Failed to restore HDR10 profiles customized for your display. Reason: " + RestorationFailed,
                    true}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST(ProfileRestorerDescriptor, IsThePanelIdentityAndTheFileNameAfterItsSecondUnderscore)
{
    const struct {
        const char* file;
        const char* descriptor;
    } cases[] = {
        {"KVL_4A1C_sRGB.icm", "KVL4A1C_sRGB"},
        {"KVL_4A1C_Native_HDR.icm", "KVL4A1C_Native_HDR"},
        {"KVL_sRGB.icm", "KVL4A1C_"},
        {"sRGB.icm", "KVL4A1C_"},
        {"KVL_4A1C_sRGB.ICM", "KVL4A1C_sRGB.ICM"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProfileRestorer::ExpectedDescriptor("KVL4A1C", c.file), c.descriptor) << c.file;
    }
}

// Signed archives changed after signing, or signed otherwise: made with the openssl command and the
// test private key.
class TamperedArchives : public RestorerMachine {
protected:
    // Runs openssl with `arguments`, "IN" standing for a file holding `input`; returns what it wrote to "OUT".
    QByteArray Openssl(QStringList arguments, const QByteArray& input = QByteArray())
    {
        const QString in = files.filePath("openssl.in");
        const QString out = files.filePath("openssl.out");
        TestSupport::WriteFile(in, input);
        QFile::remove(out);
        arguments.replaceInStrings(QRegularExpression("^IN$"), in);
        arguments.replaceInStrings(QRegularExpression("^OUT$"), out);
        const TestSupport::ProcessResult result = TestSupport::Run("openssl", arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ') << ": " << result.err;
        return ReadFile(out);
    }
    // PKCS#1 type-1 signature block of `message` as it is (no DigestInfo).
    QByteArray Sign(const QByteArray& message, const QString& key)
    {
        return Openssl({"pkeyutl", "-sign", "-inkey", key, "-pkeyopt", "rsa_padding_mode:pkcs1", "-in", "IN", "-out",
                        "OUT"},
                       message);
    }
    // The private-key operation on a block of our making.
    QByteArray RawSign(const QByteArray& block)
    {
        EXPECT_EQ(block.size(), 256);
        return Openssl({"pkeyutl", "-decrypt", "-inkey", key, "-pkeyopt", "rsa_padding_mode:none", "-in", "IN",
                        "-out", "OUT"},
                       block);
    }
    static QByteArray Flipped(QByteArray bytes, qsizetype index)
    {
        bytes[index] = char(bytes[index] ^ 0x10);
        return bytes;
    }
    // big-endian a + b in `size` bytes; empty when it does not fit.
    static QByteArray Sum(const QByteArray& a, const QByteArray& b, qsizetype size)
    {
        QByteArray sum(size, '\0');
        int carry = 0;
        for (qsizetype i = 1; i <= size; ++i) {
            const int digit = (i <= a.size() ? quint8(a[a.size() - i]) : 0) + (i <= b.size() ? quint8(b[b.size() - i]) : 0) + carry;
            sum[size - i] = char(digit & 0xff);
            carry = digit >> 8;
        }
        return carry == 0 ? sum : QByteArray();
    }

    // Name -> the bytes of a download.
    std::vector<std::pair<std::string, QByteArray>> Cases()
    {
        key = TestSupport::TestPrivateKeyPath();
        genuine = ReadFile(MakeArchive("set", {"--profiles", "sRGB,Default,Native"}));
        const QByteArray payload = genuine.chopped(512);
        const QByteArray block1 = genuine.sliced(genuine.size() - 512, 256);
        const QByteArray block2 = genuine.last(256);
        const QByteArray digest = Openssl({"dgst", "-sha256", "-binary", "-out", "OUT", "IN"}, payload);
        EXPECT_EQ(Sign(digest, key), block1) << "the archive carries the signature the programs check";
        EXPECT_EQ(Sign(QByteArray(), key), block2);

        const QString other = files.filePath("other.pem");
        Openssl({"genpkey", "-quiet", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", other});
        const QByteArray ff(253, char(0xff));
        const auto block = [](const QByteArray& head, const QByteArray& tail, char fill) {
            return head + QByteArray(256 - head.size() - tail.size(), fill) + tail;
        };
        const QByteArray zero(1, '\0');
        const QByteArray typeTwo = block(QByteArray::fromHex("0002"), zero + digest, char(0x5a));
        QByteArray notFf = block(QByteArray::fromHex("0001"), zero + digest, char(0xff));
        notFf[100] = char(0xfe);
        const QByteArray digestThenZeros =
            QByteArray::fromHex("0001") + QByteArray(8, char(0xff)) + zero + digest + QByteArray(213, '\0');
        const QByteArray zerosThenDigest =
            QByteArray::fromHex("0001") + QByteArray(8, char(0xff)) + QByteArray(214, '\0') + digest;
        const QByteArray oneByte = QByteArray::fromHex("0001") + ff.first(252) + zero + zero;

        std::vector<std::pair<std::string, QByteArray>> cases = {
            {"payload bit", Flipped(genuine, payload.size() / 2)},
            {"block 1 bit", Flipped(genuine, payload.size() + 100)},
            {"block 2 bit", Flipped(genuine, genuine.size() - 1)},
            {"truncated", genuine.chopped(1)},
            {"byte appended", genuine + '\0'},
            {"blocks swapped", payload + block2 + block1},
            {"digest in both blocks", payload + block1 + block1},
            {"another key", payload + Sign(digest, other) + Sign(QByteArray(), other)},
            {"DigestInfo signature",
             payload + Openssl({"dgst", "-sha256", "-sign", key, "-out", "OUT", "IN"}, payload) + block2},
            {"type 2 padding", payload + RawSign(typeTwo) + block2},
            {"padding byte not FF", payload + RawSign(notFf) + block2},
            {"bytes after the digest", payload + RawSign(digestThenZeros) + block2},
            {"digest after zeros", payload + RawSign(zerosThenDigest) + block2},
            {"block 2 holds a byte", payload + block1 + RawSign(oneByte)},
            {"only a signature", genuine.last(512)},
            {"short", genuine.first(100)},
            {"empty", QByteArray()},
        };

        // A block plus the modulus is the same number modulo it, but no block: the second block
        // when the sum fits in 256 bytes, else the first one of a payload with a few bytes more.
        const QString modulusText =
            Openssl({"rsa", "-in", key, "-noout", "-modulus", "-out", "OUT"}).trimmed().mid(QByteArray("Modulus=").size());
        const QByteArray modulus = QByteArray::fromHex(modulusText.toLatin1());
        QByteArray plusModulus = Sum(block2, modulus, 256);
        if (!plusModulus.isEmpty()) {
            cases.push_back({"block 2 plus the modulus", payload + block1 + plusModulus});
        } else {
            QFile pem(key);
            EXPECT_TRUE(pem.open(QIODevice::ReadOnly));
            const auto signer = Security::EncrypterFactory().CreateEncrypter(pem.readAll(), true);
            for (int i = 0; i < 100000 && plusModulus.isEmpty(); ++i) {
                const QByteArray longer = payload + QByteArray::number(i);
                const QByteArray first =
                    signer->EncryptWithPrivateKey(QCryptographicHash::hash(longer, QCryptographicHash::Sha256)).first(256);
                plusModulus = Sum(first, modulus, 256);
                if (!plusModulus.isEmpty()) {
                    cases.push_back({"block 1 plus the modulus", longer + plusModulus + block2});
                }
            }
        }
        EXPECT_FALSE(plusModulus.isEmpty());
        return cases;
    }

    QString key;
    QByteArray genuine;
};

TEST_F(TamperedArchives, AreRejectedWithoutInstallingAnything)
{
    const auto cases = Cases();
    EXPECT_NO_THROW(ProfileRestorer::VerifySignature(*decrypter, genuine));
    const auto before = Snapshot(colorDirectory);
    int reports = 0;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        try {
            ProfileRestorer::VerifySignature(*decrypter, bytes);
            ADD_FAILURE() << "accepted";
        } catch (const InvalidDigitalSignatureException& error) {
            EXPECT_EQ(QString::fromUtf8(error.what()), InvalidSignature);
        }
        // Both roads report it once, with the reason in the log.
        for (const bool hdr10 : {false, true}) {
            const TestSupport::LogCapture log("ProfileRestorer");
            hdr10 ? restorer->OnHdrArchiveDownloadFinished(bytes) : restorer->OnArchiveDownloadFinished(bytes);
            EXPECT_EQ(controller.errors.size(), ++reports);
            // The machine had no SDR default before the first road; Windows' sRGB profile, made so
            // by it, is the one in use from then on.
            EXPECT_EQ(controller.errors.last(), reports == 1 ? Generic : Generic + StillInUse);
            EXPECT_TRUE(TextOf(log, Logging::WarnLevel).contains(InvalidSignature)) << TextOf(log, Logging::WarnLevel);
            EXPECT_FALSE(WorkingDirectoryLeft());
        }
    }
    EXPECT_TRUE(controller.successes.isEmpty() && controller.hdrSuccesses.isEmpty());
    EXPECT_TRUE(controller.activations.isEmpty());
    EXPECT_TRUE(Snapshot(colorDirectory) == before);
    // Of the SDR road's steps only the first, the sRGB activation, happened.
    QStringList events;
    for (const QString& line : WinSim::ReadJournal()) {
        events << line.section(' ', 2, 2);
    }
    events.removeDuplicates();
    events.removeAll(QStringLiteral("set"));
    EXPECT_EQ(events, QStringList{"colour-default"});
    const QJsonObject colour = ColourState();
    const QJsonObject defaults = colour["defaults"]["currentUser"].toObject();
    ASSERT_EQ(defaults.size(), 1);
    EXPECT_EQ(defaults.begin()->toObject()["RGB_WORKING_SPACE"].toString(), "sRGB Color Space Profile.icm");
}

TEST_F(TamperedArchives, AreTellableByHand)
{
    const auto cases = Cases();
    const QString good = files.filePath("good.zip");
    const QString swapped = files.filePath("swapped.zip");
    TestSupport::WriteFile(good, genuine);
    TestSupport::WriteFile(swapped,
                           std::find_if(cases.begin(), cases.end(), [](const auto& c) { return c.first == "blocks swapped"; })
                               ->second);
    const QString tool = TestSupport::BinaryPath("verify-archive");
    const TestSupport::ProcessResult valid = TestSupport::Run(tool, {good});
    EXPECT_EQ(valid.exitCode, 0) << valid.err;
    EXPECT_EQ(valid.out, good + ": valid\n");
    const TestSupport::ProcessResult mixed = TestSupport::Run(tool, {good, swapped, files.filePath("missing.zip")});
    EXPECT_EQ(mixed.exitCode, 1);
    const QStringList lines = mixed.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << mixed.out;
    EXPECT_EQ(lines[0], good + ": valid");
    EXPECT_TRUE(lines[1].startsWith(swapped + ": " + InvalidSignature)) << lines[1];
    EXPECT_TRUE(lines[2].startsWith(files.filePath("missing.zip") + ": ")) << lines[2];
    EXPECT_EQ(TestSupport::Run(tool, {}).exitCode, 2);
}

}  // namespace

#include "ProfileRestorerTest.moc"
