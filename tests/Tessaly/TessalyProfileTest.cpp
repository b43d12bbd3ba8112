// Tessaly's profile and calibration commands on a temporary machine, with Debian's ICC profiles as
// the files to install.
#include "tests/fixtures/TestSupport.h"

#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/Services.h"
#include "WindowsStandIn/StateFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace TestSupport;

namespace {

const QString Sdr = QStringLiteral("/usr/share/color/icc/colord/sRGB.icc");
const QString Other = QStringLiteral("/usr/share/color/icc/colord/Rec709.icc");
const QString Service = QStringLiteral("DisplayEnhancementService");

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    const ProcessResult result = Tessaly(c.arguments);

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
        EXPECT_EQ(Content(WinSim::ColorDirectory() + "/KV_sRGB.icm"), Content(QString::fromUtf8(c.installedFrom)));
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
                    {"KV_sRGB.icm"}, {"colour-uninstall KV_sRGB.icm", "colour-install KV_sRGB.icm"}, "running",
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
                    {Stop, "colour-uninstall KV_sRGB.icm", "colour-install KV_sRGB.icm", Start}, "running",
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
                    {"colour-install KV_sRGB.icm"}},
        ProfileCase{"Hdr10InstallReplacesHdr10Profiles", false,
                    [] {
                        for (const char* name : {"KV_HDR10_sRGB.icm", "VendorHDR10Plus.icm", "KV_Native.icm"}) {
                            Preinstall(Other, name);
                        }
                    },
                    {"--install-profile-hdr10", "{dir}/KV_HDR10_P3.icm"}, 0, {"Successfully installed profile"},
                    {"KV_HDR10_P3.icm", "KV_Native.icm", "VendorHDR10Plus.icm"}, {"colour-install KV_HDR10_P3.icm"}},
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
        ProfileCase{"HelperFailureIsReported", false,
                    [] { WinSim::SetInjectedFailure("EnumDisplayDevicesW", ERROR_GEN_FAILURE); },
                    {"--install-profile", "{dir}/KV_sRGB.icm"}, int(ERROR_GEN_FAILURE),
                    {"Failed to install profile: {dir}/KV_sRGB.icm.\nReason: Failed to get Display Device ID for "
                     "device name: \\\\.\\DISPLAY1.\nA device attached to the system is not functioning."},
                    {}, {}},
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
