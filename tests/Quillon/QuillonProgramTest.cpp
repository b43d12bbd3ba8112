// The real Quillon on temporary machines, driven as its user through `winsim user`: the whole road
// from a typed serial to the upload that the tray program's download then returns, and the start-up
// refusals.
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Quillon/QuillonFixtures.h"
#include "tests/fixtures/ProfileServer.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <functional>

using QuillonTest::JournalEvents;
using TestSupport::RunWinsim;

namespace {

const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
const QString InvalidSerial = QStringLiteral(
    "Entered Panel SN is NOT valid!<br>Entered value should be 23 characters long and it should start with "
    "\u201c8S\u201d.<br>For example: \\n8S0123456789AAAABBBB123.<br>Please, try again.");

// Quillon started as a program of the current machine; killed if it still runs at the end.
class Quillon {
public:
    Quillon()
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(TestSupport::BinaryPath("winsim"), {"run", "--", TestSupport::BinaryPath("Quillon")});
        EXPECT_TRUE(process.waitForStarted(10000)) << process.errorString();
    }
    ~Quillon()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    // Its exit code once it has ended (-1 when it did not end in time or crashed).
    int ExitCode()
    {
        if (!TestSupport::WaitForFinished(process) || process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process.exitCode();
    }
    QString Pid() const { return QString::number(process.processId()); }

    QProcess process;
};

// One step of the simulated user on Quillon; fails the test when it fails.
void User(const QStringList& arguments)
{
    const TestSupport::ProcessResult result = TestSupport::User(arguments);
    EXPECT_EQ(result.exitCode, 0) << arguments.join(' ') << ": " << result.err;
}

QString Box(const QString& icon, const QString& text)
{
    return "message-box icon=" + icon + " title=\"Quillon\" text=\"" + text + "\" answer=\"OK\"";
}

class QuillonProgramTest : public testing::Test {
protected:
    TestSupport::TemporaryMachine machine;
};

TEST_F(QuillonProgramTest, InstallsAPanelsArchiveAndUploadsItForThisComputer)
{
    QuillonTest::Archives archives;
    const QString archive =
        archives.Write("A.zip", archives.Make({"--profiles", QuillonTest::SixKinds, "--hdr"}));
    TestSupport::ProfileServer server({"--archive", Serial + "=" + archive});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();

    // The refusal of a mistyped serial, the question about the per-user list, then the outcome.
    User({"answer", "OK"});
    User({"answer", "OK"});
    User({"answer", "OK"});
    Quillon quillon;
    // A character short: refused. Typed on to it, the right serial would give a wrong one of 23.
    User({"type", "lineEditPanelID", Serial.toLower().chopped(1)});
    User({"click", "pushButtonUpdateProfiles"});
    User({"type", "--replace", "lineEditPanelID", Serial.toLower()});
    User({"click", "pushButtonUpdateProfiles"});
    User({"click", "pushButtonCancel"});
    EXPECT_EQ(quillon.ExitCode(), 0);

    EXPECT_EQ(JournalEvents({"message-box"}),
              (QStringList{Box("critical", InvalidSerial),
                           Box("question", "\\\"Use my settings for this device\\\" option in Color Management is "
                                           "disabled. The ICC profiles cannot be applied if \\\"Use my settings for "
                                           "this device\\\" option is disabled.<br><br>Would you like to enable "
                                           "\\\"Use my settings for this device\\\" option?"),
                           Box("information", "Profile archive updated successfully!")}));
    EXPECT_EQ(JournalEvents({"run-elevated"}).size(), 1);
    EXPECT_FALSE(QFileInfo::exists(WinSim::MapWindowsPath("C:/ProgramData/Korvel Inc/Korvel Tintwise/ReplacementProfiles")));

    // The colour system as `winsim colour` shows it.
    const TestSupport::ProcessResult shown = RunWinsim({"colour"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const QJsonObject colour = QJsonDocument::fromJson(shown.out.toUtf8()).object();
    EXPECT_EQ(colour["installed"].toArray(),
              (QJsonArray{"KVL_4A1C_AdobeRGB.icm", "KVL_4A1C_DCIP3.icm", "KVL_4A1C_Default.icm", "KVL_4A1C_Native.icm",
                          "KVL_4A1C_Native_HDR.icm", "KVL_4A1C_REC709.icm", "KVL_4A1C_sRGB.icm",
                          "sRGB Color Space Profile.icm"}));
    const QString monitor = colour["usePerUserProfiles"].toObject().keys().value(0);
    EXPECT_TRUE(colour["usePerUserProfiles"][monitor].toBool());
    EXPECT_EQ(colour["defaults"]["currentUser"][monitor]["RGB_WORKING_SPACE"].toString(), "KVL_4A1C_Default.icm");
    EXPECT_EQ(colour["displayAssociations"]["currentUser"]["0:58123:0"]["defaults"]["EXTENDED_DISPLAY_COLOR_MODE"]
                  .toString(),
              "KVL_4A1C_Native_HDR.icm");
    EXPECT_FALSE(colour["associations"]["currentUser"][monitor].toArray().contains("sRGB Color Space Profile.icm"));

    // The machine-wide panel values, as the tray program reads them.
    EXPECT_EQ(QuillonTest::PanelValues(),
              (QMap<QString, QString>{{"HdrSupported", "1"},
                                      {"DefaultProfileColorSpace", "sRGB"},
                                      {"DefaultProfileGamma", "2.2"},
                                      {"RequiredProfiles", "\"sRGB, AdobeRGB, REC709, DCIP3, Default, Native\""},
                                      {"ProfileFormat", "KVL_4A1C_"}}));

    // The server saw the serial in upper case, then the upload; it accepted the upload's token.
    const QList<QJsonObject> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3);
    EXPECT_EQ(requests[0]["path"].toString(), "/v3/ColorCalibration/GetFileBySn?sn=" + Serial);
    EXPECT_EQ(requests[2]["phase"].toString(), "upload");
    EXPECT_EQ(requests[2]["parts"].toArray(), (QJsonArray{"updateFile", "sn", "timestamp", "updateToken"}));
    EXPECT_EQ(requests[2]["filename"].toString(), "ProfileArchive.zip");
    EXPECT_EQ(requests[2]["sn"].toString(), Identity);

    // The tray program's download for this computer now returns the archive, byte for byte.
    const QString downloaded = archives.Path("downloaded.zip");
    const TestSupport::ProcessResult download =
        TestSupport::Run(TestSupport::BinaryPath("downloadarchive"), {Identity, downloaded});
    ASSERT_EQ(download.exitCode, 0) << download.err;
    EXPECT_EQ(TestSupport::ReadFile(downloaded), TestSupport::ReadFile(archive));
}

struct StartCase {
    const char* name;
    std::function<void()> prepare;
    QString box;   // the critical box shown; "text...": it begins so; empty: the dialog opens
    int exitCode;
};

void PrintTo(const StartCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class QuillonStart : public QuillonProgramTest, public testing::WithParamInterface<StartCase> {};

TEST_P(QuillonStart, RefusesOrOpensTheDialog)
{
    const StartCase& c = GetParam();
    c.prepare();
    if (!c.box.isEmpty()) {
        User({"answer", "OK"});
    }
    Quillon quillon;
    if (c.box.isEmpty()) {
        User({"click", "pushButtonCancel"});
    }
    EXPECT_EQ(quillon.ExitCode(), c.exitCode);
    const QStringList boxes = JournalEvents({"message-box"});
    if (c.box.isEmpty()) {
        EXPECT_EQ(boxes, QStringList());
        EXPECT_EQ(JournalEvents({"dialog"}).value(0).section(' ', 0, 2), "dialog class=QuillonDialog object=\"QuillonDialog\"");
    } else {
        ASSERT_EQ(boxes.size(), 1);
        const QString start = "message-box icon=critical title=\"Quillon\" text=\"";
        EXPECT_TRUE(boxes[0].startsWith(start + (c.box.endsWith("...") ? c.box.chopped(3) : c.box + "\""))) << boxes[0];
    }
}

const QString TopologyRefused = QStringLiteral(
    "Display is not in \\\"PC screen only\\\" mode. Please switch display to \\\"PC screeen only\\\" and restart "
    "application!");

INSTANTIATE_TEST_SUITE_P(
    Cases, QuillonStart,
    testing::Values(
        StartCase{"HdrOn", [] { WinSim::SetDescriptionValue("displays.0.hdr.enabled", true); },
                  "HDR mode is turned on. Please turn off HDR mode and restart application.", 0},
        StartCase{"Cloned", [] { WinSim::SetDescriptionValue("topology", QStringLiteral("clone")); }, TopologyRefused, 0},
        StartCase{"ExternalOnly", [] { WinSim::SetDescriptionValue("topology", QStringLiteral("external")); },
                  TopologyRefused, 0},
        StartCase{"Extended", [] { WinSim::SetDescriptionValue("topology", QStringLiteral("extend")); }, "", 0},
        // An external connection only: no internal panel.
        StartCase{"NoInternalPanel", [] { WinSim::SetDescriptionValue("displays.0.outputTechnology", 10); },
                  "Korvel Tintwise is currently disabled because internal display is not available.\\n\\nIn case the lid "
                  "is closed...",
                  0},
        StartCase{"PanelQueryFails", [] { WinSim::SetInjectedFailure("IWbemServices::ExecQuery", 0x80041001); },
                  "Query execution failed....", 1}),
    [](const testing::TestParamInfo<StartCase>& info) { return std::string(info.param.name); });

// A second start ends at once with 0 and shows nothing; the first goes on.
TEST_F(QuillonProgramTest, SecondStartEndsSilently)
{
    Quillon first;
    User({"type", "--program", first.Pid(), "lineEditPanelID", "8S"});
    Quillon second;
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_EQ(first.process.state(), QProcess::Running);
    EXPECT_EQ(JournalEvents({"message-box", "dialog"}), QStringList());
    User({"click", "--program", first.Pid(), "pushButtonCancel"});
    EXPECT_EQ(first.ExitCode(), 0);
}

}  // namespace
