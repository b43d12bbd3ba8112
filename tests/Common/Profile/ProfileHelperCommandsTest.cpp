// ProfileHelper's administrator operations: the Tessaly command line each one runs (read back from
// the machine's journal) and what the elevated run changes.
#include "tests/Common/Profile/ProfileHelperFixture.h"

#include "Common/Application/Constants.h"
#include "Common/Profile/PreparedFrom.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Korvel::DisplayCalibration::Common::Windows::CommandLine;
using Korvel::DisplayCalibration::Common::Windows::CommandLineException;
namespace Registry = WinSim::Registry;

namespace {

const QString PanelKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo");
const QString QuotedPanelKey = "\"" + PanelKey + "\"";

std::optional<QString> Stored(const QString& name)
{
    Registry::Value value;
    return Registry::GetValue(PanelKey, name, value) == ERROR_SUCCESS ? std::optional(value.data.toString())
                                                                      : std::nullopt;
}

// The command lines of the elevated runs, in order.
QStringList ElevatedRuns()
{
    QStringList runs;
    for (const QString& line : WinSim::ReadJournal()) {
        const qsizetype at = line.indexOf(QLatin1String(" run-elevated "));
        if (at >= 0) {
            runs << line.mid(at + 14);
        }
    }
    return runs;
}

class ProfileHelperCommands : public ProfileHelperMachine {
public:
    QTemporaryDir files;
    std::unique_ptr<ProfileHelper> helper;
    QString tool;

    void SetUp() override
    {
        ProfileHelperMachine::SetUp();
        ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/share/color/icc/colord/sRGB.icc"), Path("KV sRGB.icm")));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc"), Path("KV_HDR10_P3.icm")));
        helper = std::make_unique<ProfileHelper>();
        tool = CommandLine::QuotePath(QCoreApplication::applicationDirPath() + "/Tessaly.exe");
    }

    QString Path(const QString& name) const { return files.path() + "/" + name; }
    QString Quoted(const QString& name) const { return CommandLine::QuotePath(Path(name)); }
    // The installed profiles besides Windows' own sRGB profile, which every machine has.
    QStringList Installed() const
    {
        QStringList names = QDir(WinSim::ColorDirectory()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
        names.removeOne(Korvel::DisplayCalibration::Common::WindowsSrgbProfileFileName);
        return names;
    }
};

TEST_F(ProfileHelperCommands, InstallWithPanelValuesWritesThemMachineWide)
{
    helper->InstallProfilesWithPanelInfo({Path("KV sRGB.icm")}, "MQ==", "c1JHQg==", "Mi4y", "50%/a,b", "KV_{ProfileName}");
    const QString id = helper->GetDeviceId();
    EXPECT_EQ(ElevatedRuns(), QStringList{tool + " --install-profile " + Quoted("KV sRGB.icm") +
                                          "  --set-registry-path " + QuotedPanelKey +
                                          " --add-registry-key \"HdrSupported\" --registry-value \"MQ==\""
                                          " --add-registry-key \"DefaultProfileColorSpace\" --registry-value \"c1JHQg==\""
                                          " --add-registry-key \"DefaultProfileGamma\" --registry-value \"Mi4y\""
                                          " --add-registry-key \"RequiredProfiles\" --registry-value \"50%/a,b\""
                                          " --add-registry-key \"ProfileFormat\" --registry-value \"KV_{ProfileName}\""
                                          " --add-registry-key \"DisplayDeviceId\" --registry-value \"" + id + "\""});
    EXPECT_EQ(Installed(), QStringList{"KV sRGB.icm"});
    EXPECT_EQ(Stored("HdrSupported"), "MQ==");
    EXPECT_EQ(Stored("RequiredProfiles"), "50%/a,b");
    EXPECT_EQ(Stored("ProfileFormat"), "KV_{ProfileName}");
    EXPECT_EQ(Stored("DisplayDeviceId"), id);

    // Installing without panel values removes the whole panel key.
    helper->InstallProfilesRemovingPanelInfo({Path("KV sRGB.icm")});
    EXPECT_EQ(ElevatedRuns().value(1), tool + " --install-profile " + Quoted("KV sRGB.icm") +
                                           "  --set-registry-path \"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel "
                                           "Inc\\KorvelTintwise\" --remove-registry-key \"PanelInfo\"");
    QStringList values;
    Registry::ListValues(PanelKey, values);
    EXPECT_EQ(values, QStringList());
    EXPECT_EQ(Installed(), QStringList{"KV sRGB.icm"});
}

struct CommandCase {
    const char* name;
    std::function<void(ProfileHelperCommands&, IProfileHelper&)> operation;
    // What follows the tool path; {dir} is the folder of the test's profiles. Empty: no run.
    QString command;
    QStringList installed;
};

void PrintTo(const CommandCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class CommandLines : public ProfileHelperCommands, public testing::WithParamInterface<CommandCase> {};

TEST_P(CommandLines, RunsExactlyThisCommand)
{
    const CommandCase& c = GetParam();
    const QString colour = WinSim::ColorDirectory();
    ASSERT_TRUE(QFile::copy(Path("KV sRGB.icm"), colour + "/old one.icm"));
    ASSERT_TRUE(QFile::copy(Path("KV sRGB.icm"), colour + "/old.icm"));
    c.operation(*this, *helper);
    QString command = c.command;
    command.replace(QLatin1String("{dir}"), QDir::toNativeSeparators(files.path()));
    EXPECT_EQ(ElevatedRuns(), command.isEmpty() ? QStringList() : QStringList{tool + command});
    EXPECT_EQ(Installed(), c.installed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLines,
    testing::Values(
        CommandCase{"EnableCalibration", [](auto&, IProfileHelper& h) { h.EnableColorCalibration(); },
                    " --color-calibration enabled", {"old one.icm", "old.icm"}},
        CommandCase{"DisableCalibrationWhenOffRunsNothing",
                    [](auto&, IProfileHelper& h) { h.DisableColorCalibration(); }, "", {"old one.icm", "old.icm"}},
        CommandCase{"InstallProfile", [](auto& t, IProfileHelper& h) { h.InstallProfile(t.Path("KV sRGB.icm")); },
                    " --install-profile \"{dir}/KV sRGB.icm\"", {"KV sRGB.icm", "old one.icm", "old.icm"}},
        CommandCase{"InstallProfiles",
                    [](auto& t, IProfileHelper& h) {
                        h.InstallProfiles({t.Path("KV sRGB.icm"), t.Path("KV_HDR10_P3.icm")});
                    },
                    " --install-profile \"{dir}/KV sRGB.icm\"  --install-profile \"{dir}/KV_HDR10_P3.icm\"",
                    {"KV sRGB.icm", "KV_HDR10_P3.icm", "old one.icm", "old.icm"}},
        CommandCase{"InstallHdr10WithPanelValues",
                    [](auto& t, IProfileHelper& h) {
                        h.InstallHdr10ProfilesWithPanelInfo({t.Path("KV_HDR10_P3.icm")}, "MQ==", "SERSMTA=");
                    },
                    " --install-profile-hdr10 \"{dir}/KV_HDR10_P3.icm\"  --set-registry-path "
                    "\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo\""
                    " --add-registry-key \"Hdr10Supported\" --registry-value \"MQ==\""
                    " --add-registry-key \"RequiredProfilesHdr10\" --registry-value \"SERSMTA=\"",
                    {"KV_HDR10_P3.icm", "old one.icm", "old.icm"}},
        CommandCase{"UninstallProfileQuotesName", [](auto&, IProfileHelper& h) { h.UninstallProfile("old one.icm"); },
                    " --uninstall-profile \"old one.icm\"", {"old.icm"}},
        CommandCase{"UninstallProfiles",
                    [](auto&, IProfileHelper& h) { h.UninstallProfiles({"old one.icm", "old.icm"}); },
                    " --uninstall-profile \"old one.icm\"  --uninstall-profile \"old.icm\"", {}},
        CommandCase{"UninstallNoProfilesRunsNothing", [](auto&, IProfileHelper& h) { h.UninstallProfiles({}); }, "",
                    {"old one.icm", "old.icm"}},
        CommandCase{"UninstallWithRequiredProfiles",
                    [](auto&, IProfileHelper& h) { h.UninstallProfilesWithRequiredProfiles({"old.icm"}, "cmVx"); },
                    " --uninstall-profile \"old.icm\"  --set-registry-path "
                    "\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo\""
                    " --add-registry-key \"RequiredProfiles\" --registry-value \"cmVx\"",
                    {"old one.icm"}},
        CommandCase{"EmptyValueIsRefusedBeforeAnyRun",
                    [](auto& t, IProfileHelper& h) {
                        EXPECT_THROW(h.InstallProfilesWithPanelInfo({t.Path("KV sRGB.icm")}, "MQ==", "", "Mi4y",
                                                                    "cmVx", "KV"),
                                     InstallProfileException);
                        EXPECT_THROW(h.UninstallProfile(""), UninstallProfileException);
                    },
                    "", {"old one.icm", "old.icm"}}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

// The copies go in while the installed files are those they were made from; once another program has
// replaced one, the whole installation is refused and nothing changes.
TEST_F(ProfileHelperCommands, CorrectedProfilesGoInOnlyOverTheFilesRead)
{
    const QString colour = WinSim::ColorDirectory();
    ASSERT_TRUE(QFile::copy(Path("KV_HDR10_P3.icm"), colour + "/KV sRGB.icm"));
    ASSERT_TRUE(QFile::copy(Path("KV sRGB.icm"), colour + "/old.icm"));
    const PreparedFrom read = ReadPreparedFrom(colour, {"KV sRGB.icm", "old.icm", "gone.icm"});
    const auto hex = [&read](const QString& name) { return QString::fromLatin1(read.value(name).toHex()); };
    helper->InstallCorrectedProfiles({Path("KV sRGB.icm")}, read);
    EXPECT_EQ(ElevatedRuns(), QStringList{tool + " --replace-profile " + Quoted("KV sRGB.icm") +
                                          "  --prepared-from \"KV sRGB.icm=" + hex("KV sRGB.icm") +
                                          "\"  --prepared-from \"gone.icm=\"  --prepared-from \"old.icm=" +
                                          hex("old.icm") + "\""});
    EXPECT_EQ(Installed(), (QStringList{"KV sRGB.icm", "old.icm"}));
    EXPECT_EQ(TestSupport::ReadFile(colour + "/KV sRGB.icm"), TestSupport::ReadFile(Path("KV sRGB.icm")));

    ASSERT_TRUE(QFile::remove(colour + "/old.icm"));
    ASSERT_TRUE(QFile::copy(Path("KV_HDR10_P3.icm"), colour + "/old.icm"));
    const PreparedFrom before = ReadPreparedFrom(colour, {"KV sRGB.icm", "old.icm"});
    try {
        helper->InstallCorrectedProfiles({Path("KV_HDR10_P3.icm")}, read);
        FAIL() << "no exception";
    } catch (const InstallProfileException& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains("Profile old.icm changed since it was read.")) << error.what();
    }
    // Nor do the panel values that come with a set.
    EXPECT_THROW(helper->InstallProfilesWithPanelInfo({Path("KV_HDR10_P3.icm")}, "MQ==", "c1JHQg==", "Mi4y", "sRGB",
                                                      "KV_{ProfileName}", read),
                 InstallProfileException);
    EXPECT_FALSE(Stored("HdrSupported"));
    EXPECT_EQ(ChangedSince(colour, before), QStringList());
    EXPECT_EQ(Installed(), (QStringList{"KV sRGB.icm", "old.icm"}));
}

TEST_F(ProfileHelperCommands, EnablingWhenOnRunsNothing)
{
    helper->EnableColorCalibration();
    EXPECT_TRUE(helper->GetColorCalibrationState());
    helper->EnableColorCalibration();
    EXPECT_EQ(ElevatedRuns().size(), 1);
}

TEST_F(ProfileHelperCommands, FailedRunRaisesTheOperationsException)
{
    try {
        helper->InstallProfilesWithPanelInfo({Path("missing.icm")}, "MQ==", "cw==", "Mg==", "cg==", "KV");
        FAIL() << "no exception";
    } catch (const InstallProfileException& error) {
        EXPECT_EQ(error.Code(), -1);
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains("missing.icm does not exist")) << error.what();
    }
    EXPECT_FALSE(Stored("HdrSupported"));
    EXPECT_THROW(helper->InstallProfile(Path("missing.icm")), InstallProfileException);
    // With nothing to install Tessaly has nothing to do, which fails.
    EXPECT_THROW(helper->InstallProfiles({}), InstallProfileException);
    EXPECT_EQ(ElevatedRuns().size(), 3);
}

TEST_F(ProfileHelperCommands, RefusedPromptReachesCallers)
{
    WinSim::SetDescriptionValue(QStringLiteral("elevation.prompt"), QStringLiteral("refuse"));
    EXPECT_THROW(helper->InstallProfiles({Path("KV sRGB.icm")}), CommandLineException);
    try {
        helper->InstallProfile(Path("KV sRGB.icm"));
        FAIL() << "no exception";
    } catch (const InstallProfileException& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith("Administrator privileges not granted by user."))
            << error.what();
    }
    EXPECT_THROW(helper->UninstallProfiles({"old.icm"}), UninstallProfileException);
    EXPECT_TRUE(Installed().isEmpty()) << Installed().join(", ");
    EXPECT_TRUE(ElevatedRuns().isEmpty());
}

}  // namespace

namespace {

// A fresh Windows 10 machine: the profile goes in through an elevated Tessaly run around a stop
// of the display enhancement service, then becomes the SDR and the HDR10 default.
TEST_F(ProfileHelperCommands, InstalledProfileIsActivatedAndShownByWinsim)
{
    ASSERT_EQ(Registry::SetValue(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"),
                                 QStringLiteral("CurrentBuildNumber"), Registry::Value{REG_SZ, QStringLiteral("19045")},
                                 Registry::Access::Unchecked),
              ERROR_SUCCESS);
    helper->InstallProfiles({Path("KV sRGB.icm")});
    helper->ActivateProfile(QStringLiteral("KV sRGB.icm"), false);
    helper->ActivateProfile(QStringLiteral("KV sRGB.icm"), true);

    QStringList events;
    for (const QString& line : WinSim::ReadJournal()) {
        events << line.section(' ', 2, 2);
    }
    events.removeAll(QStringLiteral("set"));
    events.removeAll(QStringLiteral("registry-set"));
    EXPECT_EQ(events, (QStringList{"elevation-prompt", "shell-execute", "run-elevated", "service-stop",
                                   "colour-install", "service-start", "colour-default", "colour-display-associate",
                                   "colour-display-default"}));

    const TestSupport::ProcessResult shown = TestSupport::RunWinsim({"colour"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const QJsonObject state = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(state["installed"].toArray(), (QJsonArray{"KV sRGB.icm", "sRGB Color Space Profile.icm"}));
    EXPECT_EQ(state["defaults"].toObject()["currentUser"].toObject()[helper->GetDeviceId()].toObject()
                  ["RGB_WORKING_SPACE"].toString(),
              "KV sRGB.icm");
    EXPECT_EQ(state["displayAssociations"].toObject()["currentUser"].toObject()["0:58123:0"].toObject()
                  ["defaults"].toObject()["EXTENDED_DISPLAY_COLOR_MODE"].toString(),
              "KV sRGB.icm");
    EXPECT_EQ(helper->ReadActiveProfile(false), "KV sRGB.icm");
    EXPECT_EQ(helper->ReadActiveProfile(true), "KV sRGB.icm");
}

}  // namespace

namespace {

TEST_F(ProfileHelperCommands, ValuesArriveUnchanged)
{
    for (const QString& value : {QStringLiteral("ends with \\"), QStringLiteral("50% of %PATH%"),
                                 QStringLiteral("a & b > c")}) {
        helper->UninstallProfilesWithRequiredProfiles({"never installed.icm"}, value);
        EXPECT_EQ(Stored("RequiredProfiles"), value);
    }
}

}  // namespace
