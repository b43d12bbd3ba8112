// Tessaly's profile and calibration commands on a temporary machine, with Debian's ICC profiles as
// the files to install.
#include "tests/fixtures/TestSupport.h"

#include "Common/Exception/OsErrorException.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/Services.h"
#include "WindowsStandIn/StateFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <tuple>

using namespace TestSupport;

namespace {

const QString Sdr = QStringLiteral("/usr/share/color/icc/colord/sRGB.icc");
const QString Other = QStringLiteral("/usr/share/color/icc/colord/Rec709.icc");
const QString Service = QStringLiteral("DisplayEnhancementService");

QString Digest(const QString& path)
{
    return QString::fromLatin1(QCryptographicHash::hash(ReadFile(path), QCryptographicHash::Sha256).toHex());
}

void CopyFile(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).path());
    QFile::remove(to);
    ASSERT_TRUE(QFile::copy(from, to)) << from << " -> " << to;
}

void UseWindows10()
{
    ASSERT_EQ(WinSim::Registry::SetValue(
                  QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                  QStringLiteral("CurrentBuildNumber"), WinSim::Registry::Value{REG_SZ, QStringLiteral("19045")},
                  WinSim::Registry::Access::Unchecked),
              ERROR_SUCCESS);
}

// The installed profiles besides Windows' own sRGB profile, which every machine has.
QStringList Installed()
{
    QStringList names;
    for (const QJsonValue name : WinSim::ColorSystemState().value(QStringLiteral("installed")).toArray()) {
        names << name.toString();
    }
    names.removeOne(QStringLiteral("sRGB Color Space Profile.icm"));
    return names;
}

// Journal events of the colour system and the services, in order ("service-stop DisplayEnhancementService").
QStringList Events()
{
    QStringList events;
    for (const QString& line : WinSim::ReadJournal()) {
        const QString event = line.section(' ', 2);
        if (event.startsWith(QLatin1String("colour-")) || event.startsWith(QLatin1String("service-stop")) ||
            event.startsWith(QLatin1String("service-start"))) {
            events << event;
        }
    }
    return events;
}

void Preinstall(const QString& source, const QString& name)
{
    CopyFile(source, WinSim::ColorDirectory() + "/" + name);
}

class TessalyMachine : public testing::Test {
protected:
    TemporaryMachine machine;
    QTemporaryDir files;
    QString colour = WinSim::ColorDirectory();

    void SetUp() override
    {
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
        CopyFile(Sdr, Path("KV_sRGB.icm"));
        CopyFile(Other, Path("KV AdobeRGB.icm"));
        CopyFile(Other, Path("KV_HDR10_P3.icm"));
        QFile broken(Path("broken/KV_sRGB.icm"));
        QDir().mkpath(Path("broken"));
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a colour profile");
    }

    QString Path(const QString& name) const { return files.path() + "/" + name; }

    ProcessResult Tessaly(QStringList arguments, bool elevated = true)
    {
        for (QString& argument : arguments) {
            argument.replace(QLatin1String("{dir}"), files.path());
        }
        QProcessEnvironment environment;
        if (elevated) {
            environment.insert(QString::fromLatin1(WinSim::ElevationVariable), QStringLiteral("1"));
        }
        return TestSupport::Run(BinaryPath(QStringLiteral("Tessaly")), arguments, environment);
    }

};

struct ProfileCase {
    const char* name;
    bool windows10;
    std::function<void()> setup;
    QStringList arguments;
    int exitCode;
    QStringList outputLines;  // each must appear ("{dir}" replaced)
    QStringList installed;    // the colour directory afterwards, sorted
    QStringList events;       // the journal's colour and service events, in order
    QString service = QStringLiteral("running");
    const char* installedFrom = nullptr;  // the installed "KV_sRGB.icm" is a copy of this file
};

void PrintTo(const ProfileCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class TessalyProfiles : public TessalyMachine, public testing::WithParamInterface<ProfileCase> {};

TEST_P(TessalyProfiles, CommandChangesMachine)
{
    const ProfileCase& c = GetParam();
    if (c.windows10) {
        UseWindows10();
    }
    if (c.setup) {
        c.setup();
    }
    // "{digest:X}": the SHA-256 of X as it is now, an absolute path or a file of the colour directory.
    QStringList arguments = c.arguments;
    static const QRegularExpression digest(QStringLiteral("\\{digest:([^}]*)\\}"));
    for (QString& argument : arguments) {
        const QRegularExpressionMatch match = digest.match(argument);
        if (match.hasMatch()) {
            const QString file = match.captured(1);
            argument.replace(match.captured(0), Digest(QDir::isAbsolutePath(file) ? file : colour + "/" + file));
        }
    }
    const ProcessResult result = Tessaly(arguments);

    EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
    EXPECT_TRUE(result.out.startsWith(c.windows10 ? "Current Product Version:Windows 10"
                                                  : "Current Product Version:Windows 11"))
        << result.out;
    for (QString line : c.outputLines) {
        line.replace(QLatin1String("{dir}"), files.path());
        EXPECT_TRUE(result.out.contains(line)) << "missing \"" << line << "\" in " << result.out;
    }
    EXPECT_EQ(Installed(), c.installed);
    EXPECT_EQ(Events(), c.events);
    EXPECT_EQ(WinSim::ServiceState(Service), c.service == "missing" ? QString() : c.service);
    if (c.installedFrom != nullptr) {
        EXPECT_EQ(ReadFile(WinSim::ColorDirectory() + "/KV_sRGB.icm"), ReadFile(QString::fromUtf8(c.installedFrom)));
    }
}

const QString Stop = QStringLiteral("service-stop DisplayEnhancementService");
const QString Start = QStringLiteral("service-start DisplayEnhancementService");

INSTANTIATE_TEST_SUITE_P(
    Cases, TessalyProfiles,
    testing::Values(
        ProfileCase{"InstallOnWindows11", false, nullptr, {"--install-profile", "{dir}/KV_sRGB.icm"}, 0,
                    {"Successfully installed profile {dir}/KV_sRGB.icm\n"}, {"KV_sRGB.icm"},
                    {"colour-install KV_sRGB.icm"}},
        ProfileCase{"InstallOnWindows10StopsAndStartsService", true, nullptr,
                    {"--install-profile", "{dir}/KV_sRGB.icm", "--install-profile", "{dir}/KV AdobeRGB.icm"}, 0,
                    {"Successfully installed profile {dir}/KV_sRGB.icm\n",
                     "Successfully installed profile {dir}/KV AdobeRGB.icm\n"},
                    {"KV AdobeRGB.icm", "KV_sRGB.icm"},
                    {Stop, "colour-install KV_sRGB.icm", "colour-install KV AdobeRGB.icm", Start}},
        ProfileCase{"InstallTakesBackslashPath", false, nullptr, {"--install-profile", "{dir}\\KV AdobeRGB.icm"}, 0,
                    {"Successfully installed profile"}, {"KV AdobeRGB.icm"}, {"colour-install KV AdobeRGB.icm"}},
        ProfileCase{"InstallOverExistingNameReplacesIt", false,
                    [] { Preinstall(Other, "KV_sRGB.icm"); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 0, {"Successfully installed profile"},
                    {"KV_sRGB.icm"}, {"colour-install KV_sRGB.icm", "colour-uninstall KV_sRGB.icm"}, "running",
                    "/usr/share/color/icc/colord/sRGB.icc"},
        ProfileCase{"MissingFileChangesNothingAndRestartsService", true,
                    [] { Preinstall(Other, "KV_Native.icm"); },
                    {"--install-profile", "{dir}/KV_sRGB.icm", "--install-profile", "{dir}/missing.icm"}, 2,
                    {"Profile {dir}/missing.icm does not exist.\n"}, {"KV_Native.icm"}, {Stop, Start}},
        ProfileCase{"InvalidProfileFailsAndKeepsInstalledOne", true,
                    [] { Preinstall(Other, "KV_sRGB.icm"); },
                    {"--install-profile", "{dir}/broken/KV_sRGB.icm"}, int(ERROR_INVALID_PROFILE & 0xFF),
                    {"Failed to install profile: {dir}/broken/KV_sRGB.icm.\nReason: The specified color profile is "
                     "invalid."},
                    {"KV_sRGB.icm"},
                    {Stop, Start}, "running",
                    "/usr/share/color/icc/colord/Rec709.icc"},
        ProfileCase{"SdrInstallRemovesOnlyOwnSdrProfiles", false,
                    [] {
                        for (const char* name : {"KV_Native.icm", "KV_Native_HDR.icm", "KV_NO_MHC2_sRGB.icm",
                                                 "KV_HDR10_P3.icm", "MyNativeSpace.icm", "hdr_other.icm"}) {
                            Preinstall(Other, name);
                        }
                    },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 0, {"Successfully installed profile"},
                    {"hdr_other.icm", "KV_HDR10_P3.icm", "KV_sRGB.icm", "MyNativeSpace.icm"},
                    {"colour-install KV_sRGB.icm", "colour-uninstall KV_NO_MHC2_sRGB.icm",
                     "colour-uninstall KV_Native.icm", "colour-uninstall KV_Native_HDR.icm"}},
        ProfileCase{"Hdr10InstallReplacesHdr10Profiles", false,
                    [] {
                        for (const char* name : {"KV_HDR10_sRGB.icm", "VendorHDR10Plus.icm", "KV_Native.icm"}) {
                            Preinstall(Other, name);
                        }
                    },
                    {"--install-profile-hdr10", "{dir}/KV_HDR10_P3.icm"}, 0, {"Successfully installed profile"},
                    {"KV_HDR10_P3.icm", "KV_Native.icm", "VendorHDR10Plus.icm"},
                    {"colour-install KV_HDR10_P3.icm", "colour-uninstall KV_HDR10_sRGB.icm"}},
        ProfileCase{"InstallWinsOverUninstall", false, [] { Preinstall(Other, "old.icm"); },
                    {"--uninstall-profile", "old.icm", "--install-profile", "{dir}/KV_sRGB.icm"}, 0, {},
                    {"KV_sRGB.icm", "old.icm"}, {"colour-install KV_sRGB.icm"}},
        ProfileCase{"UninstallRemovesProfile", true, [] { Preinstall(Other, "old one.icm"); },
                    {"--uninstall-profile", "old one.icm", "--uninstall-profile", "never.icm"}, 0,
                    {"Successfully uninstalled profile old one.icm\n", "Successfully uninstalled profile never.icm\n"},
                    {}, {Stop, "colour-uninstall old one.icm", Start}},
        ProfileCase{"UninstallRefusesPath", false, [] { Preinstall(Other, "old.icm"); },
                    {"--uninstall-profile", "../color/old.icm"}, 87,
                    {"Failed to uninstall profile: ../color/old.icm.\nReason: "}, {"old.icm"}, {}},
        ProfileCase{"CalibrationOnIgnoresCase", false, nullptr, {"--color-calibration", "ENABLED"}, 0,
                    {"Successfully enabled Color Calibration.\n"}, {}, {"colour-calibration on"}},
        ProfileCase{"CalibrationOffEndsBeforeRegistryOptions", false, nullptr,
                    {"--color-calibration", "disabled", "--set-registry-path",
                     "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Tessaly\\PanelInfo", "--add-registry-key", "K",
                     "--registry-value", "V"},
                    0, {"Successfully disabled Color Calibration.\n"}, {}, {"colour-calibration off"}},
        ProfileCase{"StoppedServiceIsStartedAfterwards", true,
                    [] { WinSim::SetServiceState(Service, "stopped"); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 0, {}, {"KV_sRGB.icm"},
                    {"colour-install KV_sRGB.icm", Start}},
        ProfileCase{"MissingServiceIsNoError", true,
                    [] { WinSim::SetServiceState(Service, "missing"); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 0, {}, {"KV_sRGB.icm"},
                    {"colour-install KV_sRGB.icm"}, "missing"},
        ProfileCase{"RefusedServiceStopEndsBeforeInstalling", true,
                    [] { WinSim::SetInjectedFailure("ControlService", ERROR_ACCESS_DENIED); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 5,
                    {"Failed to stop \"Display Enhancement Service\". Please stop it manually."}, {}, {}},
        // A service whose state cannot be read may be running: the command ends as for a refused stop.
        ProfileCase{"UnreadableServiceStateEndsBeforeInstalling", true,
                    [] { WinSim::SetInjectedFailure("QueryServiceStatus", ERROR_ACCESS_DENIED); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 5,
                    {"Failed to stop \"Display Enhancement Service\". Please stop it manually."}, {}, {}},
        ProfileCase{"ServiceManagerThatCannotBeOpenedEndsBeforeInstalling", true,
                    [] { WinSim::SetInjectedFailure("OpenSCManagerA", ERROR_ACCESS_DENIED); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 5,
                    {"Failed to stop \"Display Enhancement Service\". Please stop it manually."}, {}, {}},
        ProfileCase{"ServiceThatCannotBeOpenedEndsBeforeInstalling", true,
                    [] { WinSim::SetInjectedFailure("OpenServiceA", ERROR_ACCESS_DENIED); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 5,
                    {"Failed to stop \"Display Enhancement Service\". Please stop it manually."}, {}, {}},
        ProfileCase{"HelperFailureIsReported", false,
                    [] { WinSim::SetInjectedFailure("EnumDisplayDevicesW", ERROR_GEN_FAILURE); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, int(ERROR_GEN_FAILURE),
                    {"Failed to install profile: {dir}/KV_sRGB.icm.\nReason: Failed to get Display Device ID for "
                     "device name: \\\\.\\DISPLAY1.\nA device attached to the system is not functioning."},
                    {}, {}},
        // Each file replaces its namesake alone, which keeps its associations and defaults: the SDR
        // set's other profiles stay.
        ProfileCase{"ReplaceProfileReplacesOnlyItsNamesake", false,
                    [] {
                        Preinstall(Other, "KV_sRGB.icm");
                        Preinstall(Other, "KV_Native.icm");
                    },
                    {"--replace-profile", "{dir}/KV_sRGB.icm", "--prepared-from", "KV_sRGB.icm={digest:KV_sRGB.icm}",
                     "--prepared-from", "KV_Native.icm={digest:KV_Native.icm}"},
                    0, {"Successfully installed profile {dir}/KV_sRGB.icm\n"}, {"KV_Native.icm", "KV_sRGB.icm"},
                    {"colour-install KV_sRGB.icm"}, "running",
                    "/usr/share/color/icc/colord/sRGB.icc"},
        ProfileCase{"ChangedFileRefusesTheReplacement", true, [] { Preinstall(Other, "KV_sRGB.icm"); },
                    {"--replace-profile", "{dir}/KV_sRGB.icm", "--prepared-from",
                     "KV_sRGB.icm={digest:/usr/share/color/icc/colord/sRGB.icc}"},
                    int(ERROR_FILE_INVALID & 0xFF), {"Profile KV_sRGB.icm changed since it was read.\n"},
                    {"KV_sRGB.icm"}, {Stop, Start}, "running", "/usr/share/color/icc/colord/Rec709.icc"},
        // "NAME=": the file was absent when the caller read the set.
        ProfileCase{"AbsentFileStillAbsentInstalls", false, nullptr,
                    {"--install-profile-hdr10", "{dir}/KV_HDR10_P3.icm", "--prepared-from", "KV_HDR10_P3.icm="}, 0,
                    {"Successfully installed profile {dir}/KV_HDR10_P3.icm\n"}, {"KV_HDR10_P3.icm"},
                    {"colour-install KV_HDR10_P3.icm"}},
        ProfileCase{"AbsentFileThatAppearedRefusesTheSet", false,
                    [] {
                        Preinstall(Other, "KV_Native.icm");
                        Preinstall(Other, "KV_NO_MHC2_sRGB.icm");
                    },
                    {"--install-profile", "{dir}/KV_sRGB.icm", "--prepared-from", "KV_Native.icm=", "--prepared-from",
                     "KV_NO_MHC2_sRGB.icm={digest:KV_NO_MHC2_sRGB.icm}"},
                    int(ERROR_FILE_INVALID & 0xFF), {"Profile KV_Native.icm changed since it was read.\n"},
                    {"KV_Native.icm", "KV_NO_MHC2_sRGB.icm"}, {}},
        ProfileCase{"PreparedFromRefusesAPath", false, [] { Preinstall(Other, "KV_sRGB.icm"); },
                    {"--replace-profile", "{dir}/KV_sRGB.icm", "--prepared-from", "../color/KV_sRGB.icm="},
                    int(ERROR_INVALID_PARAMETER), {"Invalid value for --prepared-from: ../color/KV_sRGB.icm=\n"},
                    {"KV_sRGB.icm"}, {}, "running", "/usr/share/color/icc/colord/Rec709.icc"},
        ProfileCase{"PreparedFromRefusesABrokenDigest", false, nullptr,
                    {"--install-profile", "{dir}/KV_sRGB.icm", "--prepared-from", "KV_sRGB.icm=12ab"},
                    int(ERROR_INVALID_PARAMETER), {"Invalid value for --prepared-from: KV_sRGB.icm=12ab\n"}, {}, {}},
        ProfileCase{"FailureWithoutCodeExitsNonzero", false,
                    [] { WinSim::SetInjectedFailure("InstallColorProfileA", 0x500); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, 255, {"Failed to install profile:"}, {}, {}}),
    [](const testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

// Without elevation every administrator-only command is refused and the machine stays as it was.
TEST_F(TessalyMachine, UnelevatedCommandsAreDenied)
{
    UseWindows10();
    Preinstall(Other, "old.icm");
    const QList<QStringList> commands{
        {"--install-profile", "{dir}/KV_sRGB.icm"},
        {"--install-profile-hdr10", "{dir}/KV_HDR10_P3.icm"},
        {"--uninstall-profile", "old.icm"},
        {"--color-calibration", "enabled"},
        {"--set-registry-path", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Tessaly\\PanelInfo", "--add-registry-key",
         "K", "--registry-value", "V"},
    };
    for (const QStringList& command : commands) {
        const ProcessResult result = Tessaly(command, false);
        EXPECT_EQ(result.exitCode, int(ERROR_ACCESS_DENIED)) << command.join(' ') << "\n" << result.out;
        EXPECT_TRUE(result.out.contains("Access is denied.")) << result.out;
    }
    EXPECT_EQ(Installed(), QStringList{"old.icm"});
    EXPECT_FALSE(WinSim::ColorSystemState().value("calibrationManagement").toBool());
    EXPECT_EQ(WinSim::ServiceState(Service), "running");
    EXPECT_EQ(Events(), QStringList());
}

}  // namespace

namespace {

TEST(WinsimService, SetsAndPrintsServiceStates)
{
    TemporaryMachine machine;
    EXPECT_EQ(RunWinsim({"service", "DisplayEnhancementService"}).out, "running\n");
    EXPECT_EQ(RunWinsim({"service", "DisplayEnhancementService", "stopped"}).exitCode, 0);
    EXPECT_EQ(RunWinsim({"service", "displayenhancementservice"}).out, "stopped\n");
    EXPECT_EQ(RunWinsim({"service", "DisplayEnhancementService", "missing"}).exitCode, 0);
    EXPECT_EQ(RunWinsim({"service", "DisplayEnhancementService"}).out, "missing\n");
    EXPECT_NE(RunWinsim({"service", "DisplayEnhancementService", "paused"}).exitCode, 0);
    EXPECT_EQ(WinSim::ServiceState(Service), QString());
}

}  // namespace

// A profile set goes in as one step: whatever fails on the way, the colour directory and what the
// colour system keeps about its profiles end as they were. The old and the new sets are Debian's
// ICC profiles; the state is made through the tray program's own profile helper.
namespace {

using Korvel::DisplayCalibration::Common::Profile::ProfileHelper;
using Korvel::DisplayCalibration::Common::Windows::CommandLineException;

struct SetKind {
    const char* name;
    bool hdr10;
    QStringList files;                  // the set, in the test's folder; the third is the one made to fail
    std::map<QString, QString> result;  // the colour directory after a success: name -> source
    QStringList systemWide;             // the display's system-wide associations after a success
};

void PrintTo(const SetKind& kind, std::ostream* stream)
{
    *stream << kind.name;
}

const QString Colord = QStringLiteral("/usr/share/color/icc/colord/");
const QString Free = QStringLiteral("/usr/share/color/icc/");

// What the machine holds before: parts of an SDR and an HDR10 set, a profile of the same name as a
// new one ("KV_sRGB.icm", in neither set) and one nobody replaces.
const std::map<QString, QString> OldProfiles{
    {"KV_Native.icm", Colord + "BruceRGB.icc"},     {"KV_NO_MHC2_sRGB.icm", Colord + "AdobeRGB1998.icc"},
    {"KV_sRGB.icm", Free + "sRGB.icc"},             {"KV_HDR10_P3.icm", Colord + "BestRGB.icc"},
    {"KV_HDR10_Old.icm", Colord + "DonRGB4.icc"},   {"Other.icm", Colord + "AppleRGB.icc"},
};

// The colour directory's files of `machine` (besides Windows' own sRGB profile, name -> SHA-256)
// and the colour state's text.
std::pair<std::map<QString, QString>, QString> ColoursOf(const QString& machine)
{
    const QString colour = WinSim::ColorDirectory(machine);
    std::map<QString, QString> files;
    for (const QString& name : QDir(colour).entryList(QDir::Files)) {
        if (name != QLatin1String("sRGB Color Space Profile.icm")) {
            files[name] = Digest(colour + "/" + name);
        }
    }
    return {files, QString::fromUtf8(ReadFile(WinSim::Detail::StateFilePath(QStringLiteral("colour.json"), machine)))};
}

class ProfileSetMachine : public TessalyMachine {
protected:
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<ProfileHelper> helper;

    void SetUp() override
    {
        TessalyMachine::SetUp();
        static int argc = 1;
        static char name[] = "KorvelTintwise";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        CopyFile(Free + "compatibleWithAdobeRGB1998.icc", Path("KV_Native.icm"));
        CopyFile(Free + "LStar-RGB.icc", Path("KV_LStar.icm"));
        CopyFile(Colord + "WideGamutRGB.icc", Path("KV_HDR10_Wide.icm"));
        for (const auto& [name, source] : OldProfiles) {
            Preinstall(source, name);
        }
        helper = std::make_unique<ProfileHelper>();
        for (const char* name : {"KV_Native.icm", "KV_sRGB.icm", "KV_NO_MHC2_sRGB.icm", "Other.icm"}) {
            helper->AssociateProfile(name);
        }
        helper->ActivateProfile("KV_sRGB.icm", false);
        helper->ActivateProfile("KV_sRGB.icm", true);
        helper->ActivateProfile("KV_HDR10_P3.icm", true);
    }

    QStringList Paths(const SetKind& kind, const QString& third = QString()) const
    {
        QStringList paths;
        for (const QString& file : kind.files) {
            paths << Path(file);
        }
        if (!third.isEmpty()) {
            paths.last() = third;
        }
        return paths;
    }

    QStringList Arguments(const SetKind& kind, const QString& third = QString()) const
    {
        QStringList arguments;
        for (const QString& path : Paths(kind, third)) {
            arguments << (kind.hdr10 ? "--install-profile-hdr10" : "--install-profile") << path;
        }
        return arguments;
    }

    ProcessResult Install(const SetKind& kind, const QString& third = QString(), bool elevated = true)
    {
        return Tessaly(Arguments(kind, third), elevated);
    }

    std::pair<std::map<QString, QString>, QString> Colours() const { return ColoursOf(machine.Path()); }

    QJsonValue State(const QStringList& path) const
    {
        QJsonValue node = WinSim::ColorSystemState();
        for (const QString& part : path) {
            node = node.toObject().value(part);
        }
        return node;
    }
};

const SetKind SdrSet{"Sdr",
                  false,
                  {"KV_Native.icm", "KV_sRGB.icm", "KV_LStar.icm"},
                  {{"KV_Native.icm", Free + "compatibleWithAdobeRGB1998.icc"},
                   {"KV_sRGB.icm", Colord + "sRGB.icc"},
                   {"KV_LStar.icm", Free + "LStar-RGB.icc"},
                   {"KV_HDR10_P3.icm", Colord + "BestRGB.icc"},
                   {"KV_HDR10_Old.icm", Colord + "DonRGB4.icc"},
                   {"Other.icm", Colord + "AppleRGB.icc"}},
                  {"Other.icm"}};
const SetKind Hdr10Set{"Hdr10",
                    true,
                    {"KV_HDR10_P3.icm", "KV_sRGB.icm", "KV_HDR10_Wide.icm"},
                    {{"KV_HDR10_P3.icm", Colord + "Rec709.icc"},
                     {"KV_sRGB.icm", Colord + "sRGB.icc"},
                     {"KV_HDR10_Wide.icm", Colord + "WideGamutRGB.icc"},
                     {"KV_Native.icm", Colord + "BruceRGB.icc"},
                     {"KV_NO_MHC2_sRGB.icm", Colord + "AdobeRGB1998.icc"},
                     {"Other.icm", Colord + "AppleRGB.icc"}},
                    {"KV_Native.icm", "KV_NO_MHC2_sRGB.icm", "Other.icm"}};

class ProfileSet : public ProfileSetMachine, public testing::WithParamInterface<SetKind> {};

// The old set goes with its associations, the new one comes in, and the replaced "KV_sRGB.icm"
// loses its associations and defaults; the SDR set's profiles are also no longer associated with
// the display.
TEST_P(ProfileSet, ReplacesTheOldSet)
{
    const SetKind& kind = GetParam();
    const ProcessResult result = Install(kind);

    EXPECT_EQ(result.exitCode, 0) << result.out;
    QString reported;
    for (const QString& file : kind.files) {
        reported += "Successfully installed profile " + Path(file) + "\n";
    }
    EXPECT_TRUE(result.out.endsWith(reported)) << result.out;
    std::map<QString, QString> expected;
    for (const auto& [name, source] : kind.result) {
        expected[name] = Digest(source);
    }
    EXPECT_EQ(Colours().first, expected);
    const QString device = helper->GetDeviceId();
    QStringList systemWide;
    for (const QJsonValue name : State({"associations", "systemWide", device}).toArray()) {
        systemWide << name.toString();
    }
    EXPECT_EQ(systemWide, kind.systemWide);
    EXPECT_FALSE(Colours().second.contains("KV_sRGB.icm")) << Colours().second;
    EXPECT_EQ(State({"displayAssociations", "currentUser", "0:58123:0", "defaults", "EXTENDED_DISPLAY_COLOR_MODE"}),
              QJsonValue("KV_HDR10_P3.icm"));
}


struct SetFailure {
    const char* name;
    std::function<void(const SetKind&)> arrange;
    QString third;  // in place of the set's third file
    bool elevated;
    DWORD code;
    int failing;  // the path reported as failing
};

void PrintTo(const std::tuple<SetFailure, SetKind>& c, std::ostream* stream)
{
    *stream << std::get<0>(c).name << "/" << std::get<1>(c).name;
}

class ProfileSetFailure : public ProfileSetMachine,
                          public testing::WithParamInterface<std::tuple<SetFailure, SetKind>> {};

TEST_P(ProfileSetFailure, LeavesColoursAsTheyWere)
{
    const auto& [failure, kind] = GetParam();
    if (failure.arrange) {
        failure.arrange(kind);
    }
    const auto before = Colours();
    const ProcessResult result = Install(kind, failure.third, failure.elevated);

    EXPECT_EQ(result.exitCode, int(failure.code & 0xFF)) << result.out;
    const QStringList paths = Paths(kind, failure.third);
    QString reported;
    for (int at = 0; at < failure.failing; ++at) {
        reported += "Successfully installed profile " + paths[at] + "\n";
    }
    reported += "Failed to install profile: " + paths[failure.failing] + ".\nReason: " +
                QString::fromStdString(
                    Korvel::DisplayCalibration::Common::Exception::OsErrorException(int(failure.code), "").what()) +
                "\n";
    EXPECT_TRUE(result.out.endsWith(reported)) << result.out << "\nexpected to end with\n" << reported;
    const auto after = Colours();
    EXPECT_EQ(after.first, before.first);
    EXPECT_EQ(after.second, before.second);
}

INSTANTIATE_TEST_SUITE_P(
    Sets, ProfileSetFailure,
    testing::Combine(
        testing::Values(
            SetFailure{"ThirdInstallFails",
                       [](const SetKind& kind) {
                           WinSim::SetInjectedFailure("InstallColorProfileA", ERROR_ACCESS_DENIED, kind.files.last());
                       },
                       {}, true, ERROR_ACCESS_DENIED, 2},
            SetFailure{"ThirdProfileRefused", nullptr, Free + "FOGRA39L.ti3", true, ERROR_INVALID_PROFILE, 2},
            // The replaced profile's uninstall cannot read the state once every file is in.
            SetFailure{"DamagedColourState",
                       [](const SetKind&) {
                           WriteFile(WinSim::Detail::StateFilePath(QStringLiteral("colour.json")), "{\"associ");
                       },
                       {}, true, ERROR_FILE_CORRUPT, 1},
            SetFailure{"NotElevated", nullptr, {}, false, ERROR_ACCESS_DENIED, 0}),
        testing::Values(SdrSet, Hdr10Set)),
    [](const testing::TestParamInfo<std::tuple<SetFailure, SetKind>>& info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

// A refused prompt runs nothing: the helper's installations leave the machine as it was.
TEST_P(ProfileSet, RefusedPromptLeavesColoursAsTheyWere)
{
    const SetKind& kind = GetParam();
    WinSim::SetDescriptionValue(QStringLiteral("elevation.prompt"), QStringLiteral("refuse"));
    const auto before = Colours();
    const QStringList paths = Paths(kind);
    if (kind.hdr10) {
        EXPECT_THROW(helper->InstallHdr10ProfilesWithPanelInfo(paths, "MQ==", "S1ZfSERSMTBfUDM="), CommandLineException);
    } else {
        EXPECT_THROW(helper->InstallProfilesWithPanelInfo(paths, "MQ==", "c1JHQg==", "Mi4y", "sRGB", "KV_{ProfileName}"),
                     CommandLineException);
    }
    const auto after = Colours();
    EXPECT_EQ(after.first, before.first);
    EXPECT_EQ(after.second, before.second);
}

// An installation prepared from a file that has changed since is refused before anything changes,
// whichever option installs.
TEST_F(ProfileSetMachine, ChangedFileLeavesColoursAsTheyWere)
{
    const auto before = Colours();
    for (const char* option : {"--install-profile", "--install-profile-hdr10", "--replace-profile"}) {
        QStringList arguments;
        for (const QString& file : SdrSet.files) {
            arguments << option << Path(file);
        }
        // The installed "KV_sRGB.icm" is icc-profiles-free's sRGB profile, not colord's.
        arguments << "--prepared-from" << "KV_Native.icm=" + Digest(colour + "/KV_Native.icm") << "--prepared-from"
                  << "KV_sRGB.icm=" + Digest(Colord + "sRGB.icc");
        const ProcessResult result = Tessaly(arguments);

        EXPECT_EQ(result.exitCode, int(ERROR_FILE_INVALID & 0xFF)) << option << "\n" << result.out;
        EXPECT_TRUE(result.out.endsWith("Profile KV_sRGB.icm changed since it was read.\n")) << result.out;
        const auto after = Colours();
        EXPECT_EQ(after.first, before.first) << option;
        EXPECT_EQ(after.second, before.second) << option;
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, ProfileSet, testing::Values(SdrSet, Hdr10Set),
                         [](const testing::TestParamInfo<SetKind>& info) { return std::string(info.param.name); });

}  // namespace

// A step record that does not read as one is never guessed at: the commands that install or
// uninstall report it and change nothing, inside the colour directory or outside it; the others
// run.
TEST_F(TessalyMachine, DamagedStepRecordStopsOnlyProfileCommands)
{
    Preinstall(Other, "KV_Native.icm");
    const QString record = colour + "/.profile-install/step.json";
    const QByteArray records[] = {
        "{\"phase\": \"ins",
        R"({"phase": "install", "installing": ["../../../../../../machine.json"], "existed": [], "forgetting": [],
            "removing": []})",
        R"({"phase": "finish", "installing": [], "existed": [], "forgetting": [], "removing": ["KV_Native.icm", ""]})",
    };
    const QStringList refused[] = {
        {"--install-profile", "{dir}/KV_sRGB.icm"},
        {"--install-profile-hdr10", "{dir}/KV_HDR10_P3.icm"},
        {"--uninstall-profile", "KV_Native.icm"},
    };
    const QByteArray description = ReadFile(WinSim::DescriptionFile());
    for (const QByteArray& text : records) {
        WriteFile(record, text);
        for (const QStringList& command : refused) {
            const ProcessResult result = Tessaly(command);
            EXPECT_EQ(result.exitCode, int(ERROR_FILE_CORRUPT & 0xFF)) << result.out;
            EXPECT_TRUE(result.out.contains("The record of an interrupted profile installation is damaged: " + record))
                << result.out;
            EXPECT_EQ(Installed(), QStringList{"KV_Native.icm"});
            EXPECT_EQ(ReadFile(record), text);
        }
    }
    EXPECT_EQ(ReadFile(WinSim::DescriptionFile()), description);
    EXPECT_EQ(Events(), QStringList());

    const ProcessResult calibration = Tessaly({"--color-calibration", "enabled"});
    EXPECT_EQ(calibration.exitCode, 0) << calibration.out;
    const ProcessResult registry =
        Tessaly({"--set-registry-path", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Tessaly\\PanelInfo",
                 "--add-registry-key", "K", "--registry-value", "V"});
    EXPECT_EQ(registry.exitCode, 0) << registry.out;
    WinSim::Registry::Value stored;
    EXPECT_EQ(WinSim::Registry::GetValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\Tessaly\\PanelInfo"),
                                         QStringLiteral("K"), stored),
              ERROR_SUCCESS);
    EXPECT_EQ(stored.data, QVariant(QStringLiteral("V")));
    EXPECT_EQ(Events(), QStringList{"colour-calibration on"});
    EXPECT_EQ(ReadFile(record), records[std::size(records) - 1]);
}

// Nothing of an installation step is reached through a symbolic link: a link standing at the step's
// folder, its record, its folder of kept files or a kept file, pointing out of the machine, is
// removed as a link, whatever command runs, and what it points to stays as it was.
TEST_F(TessalyMachine, StepNamesThatAreLinksAreNeverFollowed)
{
    const QString step = colour + "/.profile-install";
    const QByteArray record = R"({"phase": "install", "installing": ["KV_sRGB.icm"], "existed": ["KV_sRGB.icm"],
        "forgetting": [], "removing": []})";
    const struct {
        const char* name;
        QString link;  // made to point to the outside folder or its file
        bool toFile;
    } links[] = {
        {"step folder", step, false},
        {"record", step + "/step.json", true},
        {"kept folder", step + "/kept", false},
        {"kept file", step + "/kept/KV_sRGB.icm", true},
    };
    const QList<QStringList> commands{
        {"--install-profile", "{dir}/KV_sRGB.icm"},
        {"--color-calibration", "enabled"},
        {"--uninstall-profile", "KV_sRGB.icm"},
        {},
    };
    for (const auto& link : links) {
        for (const QStringList& command : commands) {
            SCOPED_TRACE(std::string(link.name) + ", " + command.join(' ').toStdString());
            QTemporaryDir outside;
            WriteFile(outside.filePath("KV_sRGB.icm"), ReadFile(Sdr));
            WriteFile(outside.filePath("kept/KV_sRGB.icm"), ReadFile(Sdr));
            WriteFile(outside.filePath("step.json"), record);
            const auto snapshot = [&] {
                std::map<QString, QString> files;
                QDirIterator entries(outside.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
                while (entries.hasNext()) {
                    const QString path = entries.next();
                    files[path] = Digest(path);
                }
                return files;
            };
            const auto before = snapshot();

            QDir(step).removeRecursively();
            QFile::remove(step);
            Preinstall(Other, "KV_sRGB.icm");
            if (link.link != step) {
                WriteFile(step + "/step.json", record);
                QDir().mkpath(step + "/kept");
                QFile::remove(link.link);
                QDir(link.link).removeRecursively();
            }
            ASSERT_TRUE(QFile::link(link.toFile ? outside.filePath(QFileInfo(link.link).fileName()) : outside.path(),
                                    link.link));

            const ProcessResult result = Tessaly(command);
            EXPECT_NE(result.exitCode, -1) << result.out;
            EXPECT_EQ(snapshot(), before);
            EXPECT_FALSE(QFileInfo(link.link).isSymLink());
        }
    }
}

// A kill at any file operation of a set's installation loses no profile, nor does a kill of the
// recovery that follows it at any of its own. Tessaly runs under strace, which kills it at the k-th
// call of one of the calls that change files, for every k of an uninterrupted run (split into shards
// that run in parallel); the recovery of each such state is killed the same way at each of its calls.
// After each kill every listed profile is a whole file of the old or the new set, every default names
// an installed file, and a profile of the old set is gone only once the new set is whole; the next
// command that waits for the installation's lock ends at once and settles the step: the old set with
// the old colour state, or the new set with the state an uninterrupted run leaves, nothing left over.
namespace {

const QString FileOperations = QStringLiteral(
    "write,ftruncate,unlink,unlinkat,rename,renameat,renameat2,link,linkat,symlink,symlinkat,mkdir,mkdirat,rmdir");
constexpr int KillShards = 4;

// The traced system calls of an strace log, in order.
QStringList TracedCalls(const QString& log)
{
    static const QRegularExpression call(QStringLiteral("^\\d+\\s+(\\w+)\\("));
    QStringList calls;
    for (const QString& line : QString::fromUtf8(ReadFile(log)).split('\n')) {
        const QRegularExpressionMatch match = call.match(line);
        if (match.hasMatch()) {
            calls << match.captured(1);
        }
    }
    return calls;
}

void CopyTree(const QString& from, const QString& to)
{
    QDirIterator entries(from, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    QDir().mkpath(to);
    while (entries.hasNext()) {
        const QFileInfo entry(entries.next());
        const QString target = to + "/" + QDir(from).relativeFilePath(entry.filePath());
        if (entry.isDir()) {
            QDir().mkpath(target);
        } else if (entry.isFile()) {
            ASSERT_TRUE(QFile::copy(entry.filePath(), target)) << entry.filePath();
        }
    }
}

// A digest of everything in `machine` but its journal: two copies with the same one are in the
// same state.
QByteArray StateOf(const QString& machine)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QDirIterator entries(machine, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    QStringList paths;
    while (entries.hasNext()) {
        paths << entries.next();
    }
    paths.sort();
    for (const QString& path : paths) {
        const QFileInfo entry(path);
        if (entry.fileName() == QLatin1String("journal.log")) {
            continue;
        }
        hash.addData(QDir(machine).relativeFilePath(path).toUtf8());
        hash.addData(entry.isSymLink() ? entry.symLinkTarget().toUtf8()
                                       : entry.isFile() ? ReadFile(path) : QByteArray("/"));
    }
    return hash.result();
}

// The profile names under any "defaults" object of the colour state.
QStringList DefaultNames(const QJsonValue& node, bool underDefaults = false)
{
    QStringList names;
    if (node.isString() && underDefaults) {
        names << node.toString();
    }
    const QJsonObject object = node.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        names << DefaultNames(it.value(), underDefaults || it.key() == QLatin1String("defaults"));
    }
    return names;
}

// The ICC header's size field is the file's size and the signature is there.
bool WholeProfile(const QString& path)
{
    const QByteArray content = ReadFile(path);
    return content.size() >= 128 && qFromBigEndian<quint32>(content.constData()) == quint32(content.size()) &&
           content.mid(36, 4) == "acsp";
}

using Files = std::map<QString, QString>;
using ColourState = std::pair<Files, QString>;

void ExpectNoProfileLost(const QString& machine, const Files& before, const Files& after)
{
    const QString colour = WinSim::ColorDirectory(machine);
    const QJsonObject state = WinSim::ColorSystemState(machine);
    QStringList installed;
    for (const QJsonValue name : state.value(QStringLiteral("installed")).toArray()) {
        installed << name.toString();
    }
    installed.removeOne(QStringLiteral("sRGB Color Space Profile.icm"));
    bool newSetWhole = true;
    for (const auto& [name, digest] : after) {
        newSetWhole = newSetWhole && installed.contains(name) && Digest(colour + "/" + name) == digest;
    }
    for (const QString& name : installed) {
        const QString digest = Digest(colour + "/" + name);
        const bool known = (before.count(name) != 0 && before.at(name) == digest) ||
                           (after.count(name) != 0 && after.at(name) == digest);
        EXPECT_TRUE(known) << name << " is listed but is neither of the old nor of the new set";
        EXPECT_TRUE(WholeProfile(colour + "/" + name)) << name;
    }
    for (const auto& [name, digest] : before) {
        EXPECT_TRUE(installed.contains(name) || (after.count(name) == 0 && newSetWhole)) << name << " lost";
    }
    for (const QString& name : DefaultNames(state)) {
        EXPECT_TRUE(installed.contains(name) || name == QLatin1String("sRGB Color Space Profile.icm"))
            << "a default names " << name << ", which is not installed";
    }
}

class InterruptedInstall : public ProfileSetMachine,
                           public testing::WithParamInterface<std::tuple<SetKind, int>> {
protected:
    // Tessaly on `copy`, elevated, under strace (its calls logged to `log`), killed at the `when`-th
    // call of `call` when one is given. LeakSanitizer cannot run under ptrace (a sanitizer build
    // would end every traced run with its fatal error): the traced Tessaly runs without leak
    // detection; the untraced runs still check for leaks.
    static ProcessResult Traced(const QString& copy, const QStringList& arguments, const QString& log,
                                const QString& call = QString(), int when = 0)
    {
        QStringList strace{"-f", "-o", log, "-e", "trace=" + FileOperations};
        if (!call.isEmpty()) {
            strace << "-e" << QStringLiteral("inject=%1:signal=SIGKILL:when=%2").arg(call).arg(when);
        }
        QProcessEnvironment environment = On(copy);
        const QString sanitizer = qEnvironmentVariable("ASAN_OPTIONS");
        environment.insert(QStringLiteral("ASAN_OPTIONS"),
                           (sanitizer.isEmpty() ? QString() : sanitizer + ":") + "detect_leaks=0");
        const ProcessResult result = TestSupport::Run(QStandardPaths::findExecutable(QStringLiteral("strace")),
                                                      strace + QStringList{BinaryPath(QStringLiteral("Tessaly"))} +
                                                          arguments,
                                                      environment);
        EXPECT_FALSE(result.err.contains("does not work under ptrace"))
            << "a sanitizer that cannot run under strace ended the traced Tessaly: " << result.err;
        return result;
    }

    static QProcessEnvironment On(const QString& copy)
    {
        QProcessEnvironment environment;
        environment.insert(QString::fromLatin1(WinSim::MachineVariable), copy);
        environment.insert(QString::fromLatin1(WinSim::ElevationVariable), QStringLiteral("1"));
        return environment;
    }

    // Tessaly killed at the `k`-th of `calls` (a kill, not a timeout, ended it).
    static void Kill(const QString& copy, const QStringList& arguments, const QStringList& calls, qsizetype k)
    {
        const int when = int(calls.mid(0, k + 1).count(calls[k]));
        const ProcessResult killed = Traced(copy, arguments, QStringLiteral("/dev/null"), calls[k], when);
        EXPECT_FALSE(killed.timedOut) << "Tessaly did not end: " << killed.out;
        EXPECT_EQ(killed.exitCode, -1) << "Tessaly was not killed: " << killed.out;
    }

    // The next command that waits for the installation's lock ends at once and settles the step.
    void ExpectSettledByNextCommand(const QString& copy, const ColourState& before, const ColourState& after) const
    {
        QElapsedTimer took;
        took.start();
        const ProcessResult next =
            TestSupport::Run(BinaryPath(QStringLiteral("Tessaly")), {"--uninstall-profile", "Absent.icm"}, On(copy));
        EXPECT_EQ(next.exitCode, 0) << next.out;
        EXPECT_LT(took.elapsed(), 30000) << "the next command waited for the installation's lock";
        ExpectNoProfileLost(copy, before.first, after.first);
        const ColourState settled = ColoursOf(copy);
        if (settled.first == after.first) {
            EXPECT_EQ(settled.second, after.second) << "the new set is in, but the colour state differs";
        } else {
            EXPECT_EQ(settled.first, before.first) << "neither the old nor the new set";
            EXPECT_EQ(settled.second, before.second) << "undone, but the colour state changed";
        }
        const QStringList left = QDir(WinSim::ColorDirectory(copy))
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        EXPECT_EQ(left.filter(QRegularExpression(QStringLiteral("^\\."))), QStringList()) << "left over";
    }
};

TEST_P(InterruptedInstall, LosesNoProfile)
{
    const auto& [kind, shard] = GetParam();
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        << "strace is missing (scripts/common.sh installs it)";
    // Defaults on profiles that each set's installation removes.
    helper->ActivateProfile("KV_NO_MHC2_sRGB.icm", false);
    helper->ActivateProfile("KV_HDR10_Old.icm", true);
    const ColourState before = Colours();

    QTemporaryDir work;
    const QString reference = work.filePath("reference");
    CopyTree(machine.Path(), reference);
    const ProcessResult completed = Traced(reference, Arguments(kind), work.filePath("reference.log"));
    ASSERT_EQ(completed.exitCode, 0) << completed.out;
    const ColourState after = ColoursOf(reference);
    const QStringList calls = TracedCalls(work.filePath("reference.log"));
    ASSERT_GT(calls.size(), shard);

    // States after a kill that were already recovered under every kill of their own.
    QSet<QByteArray> explored;
    for (qsizetype k = shard; k < calls.size(); k += KillShards) {
        SCOPED_TRACE(QStringLiteral("install killed at call %1 (%2)").arg(k + 1).arg(calls[k]).toStdString());
        const QString killed = work.filePath(QString::number(k));
        CopyTree(machine.Path(), killed);
        Kill(killed, Arguments(kind), calls, k);
        ExpectNoProfileLost(killed, before.first, after.first);

        // The recovery's own calls, from a whole run on a copy.
        const QString recovered = killed + "-recovered";
        CopyTree(killed, recovered);
        const ProcessResult recovery = Traced(recovered, {}, work.filePath("recovery.log"));
        EXPECT_EQ(recovery.exitCode, int(ERROR_BAD_ARGUMENTS)) << recovery.out;
        ExpectSettledByNextCommand(recovered, before, after);
        const QStringList recoveryCalls = TracedCalls(work.filePath("recovery.log"));
        QDir(recovered).removeRecursively();
        const QByteArray state = StateOf(killed);
        if (explored.contains(state)) {
            QDir(killed).removeRecursively();
            continue;
        }
        explored.insert(state);

        for (qsizetype j = 0; j < recoveryCalls.size(); ++j) {
            SCOPED_TRACE(QStringLiteral("recovery killed at call %1 (%2)").arg(j + 1).arg(recoveryCalls[j]).toStdString());
            const QString copy = killed + "-" + QString::number(j);
            CopyTree(killed, copy);
            Kill(copy, {}, recoveryCalls, j);
            ExpectNoProfileLost(copy, before.first, after.first);
            ExpectSettledByNextCommand(copy, before, after);
            QDir(copy).removeRecursively();
        }
        QDir(killed).removeRecursively();
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, InterruptedInstall, testing::Combine(testing::Values(SdrSet, Hdr10Set),
                                                                     testing::Range(0, KillShards)),
                         [](const testing::TestParamInfo<std::tuple<SetKind, int>>& info) {
                             return std::string(std::get<0>(info.param).name) + "Shard" +
                                    std::to_string(std::get<1>(info.param));
                         });

}  // namespace
