// What Quillon's user is told, and what Windows holds, when an update does not go through: the real
// Quillon under an Xvfb of its own, driven through `winsim user`, on a machine calibrated with an
// earlier panel's set; the local profile server serving the new panel's archive.
#include "Common/Profile/ProfileHelper.h"
#include "WindowsStandIn/Machine.h"
#include "tests/fixtures/FailedUpdates.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TrayMachine.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");
const QString Format = QStringLiteral("KVL_4A1C_{ProfileName}.icm");
const QString SixKinds = QStringLiteral("sRGB,AdobeRGB,REC709,DCIP3,Default,Native");
// The earlier panel's defaults.
const QString PreviousDefault = QStringLiteral("KVL_4A1C_Default.icm");
const QString PreviousAdvancedColor = QStringLiteral("KVL_4A1C_Native.icm");

const QString Failed = QStringLiteral("Profile installation failed!<br>Reason: ");
const QString NotRestored = QStringLiteral(
    "Failed to restore the ICC profiles customized for your display. Quillon cannot work properly without the ICC "
    "profile customized for your display.<br>");
const QString StillInUse = QStringLiteral("<br><br>The previously active ICC profile remains in use.");

// Quillon as a program of the current machine on `display`; killed if it still runs at the end.
class Quillon {
public:
    explicit Quillon(const VirtualDisplay& display)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display.Name());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(BinaryPath("winsim"), {"run", "--", BinaryPath("Quillon")});
        EXPECT_TRUE(process.waitForStarted(10000)) << process.errorString();
    }
    ~Quillon() { EndProcess(process, AskToEnd::Terminate, 5000); }

    // Types the serial, submits it, and closes the dialog once the outcome's box has been answered.
    int Submit(const QString& serial)
    {
        for (const QStringList& step : {QStringList{"type", "--timeout", "20000", "lineEditPanelID", serial},
                                        QStringList{"click", "--timeout", "20000", "pushButtonUpdateProfiles"},
                                        QStringList{"click", "--timeout", "90000", "pushButtonCancel"}}) {
            const ProcessResult done = User(step);
            EXPECT_EQ(done.exitCode, 0) << step.join(' ') << ": " << done.err;
        }
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return process.exitCode();
    }

private:
    QProcess process;
};

// The display's default SDR profile in what ColourDefaults shows (one monitor).
QString SdrDefault(const QJsonObject& colour)
{
    const QJsonObject monitors = colour["defaults"]["currentUser"].toObject();
    return monitors.isEmpty() ? QString() : monitors.begin()->toObject()["RGB_WORKING_SPACE"].toString();
}

class QuillonOutcomeTest : public testing::Test {
protected:
    // The message boxes shown since the machine was prepared.
    QStringList Boxes() const { return JournalEvents("message-box", mark); }

    TemporaryMachine machine;
    VirtualDisplay display;
    QTemporaryDir files;
    int mark = 0;
};

struct FailureCase {
    UpdateFailure failure;
    // The text of Quillon's one box; "text...text": it begins and ends so (the middle names a path).
    QString text;
};

void PrintTo(const FailureCase& c, std::ostream* stream)
{
    *stream << Name(c.failure);
}

class QuillonFailedUpdate : public QuillonOutcomeTest, public testing::WithParamInterface<FailureCase> {
protected:
    // The machine as an earlier panel's update left it: its set installed, "Default" the display's
    // default, another profile its advanced-colour default, the per-user list on.
    void SetUp() override
    {
        const ProcessResult made =
            TestSupport::Run("python3", {BinaryPath("make_panel_archive.py"), "--folder", files.filePath("earlier"),
                                         "--format", Format, "--profiles", SixKinds, "--hdr", "--brightness", "50"});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        QStringList paths;
        for (const QString& name : QDir(files.filePath("earlier")).entryList({"*.icm"})) {
            paths << files.filePath("earlier/" + name);
        }
        TrayMachine::Install(paths);
        ASSERT_EQ(RunWinsim({"colour", "per-user", "on"}).exitCode, 0);
        Korvel::DisplayCalibration::Common::Profile::ProfileHelper helper;
        helper.ActivateProfile(PreviousDefault, false);
        helper.ActivateProfile(PreviousAdvancedColor, true);
    }
};

TEST_P(QuillonFailedUpdate, LeavesThePreviousProfilesInUseAndSaysSo)
{
    const FailureCase& c = GetParam();
    ASSERT_FALSE(display.Name().isEmpty());
    const QString archive = files.filePath("new.zip");
    WriteServedArchive(c.failure, archive, {"--format", Format, "--profiles", SixKinds, "--hdr", "--brightness", "70"},
                       "KVL_4A1C_Default.icm");
    ProfileServer server({"--archive", Serial + "=" + archive});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    PrepareMachine(c.failure, "KVL_4A1C_REC709.icm");
    const QJsonObject before = ColourDefaults();
    ASSERT_EQ(SdrDefault(before), PreviousDefault);
    mark = int(WinSim::ReadJournal().size());

    ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);
    Quillon quillon(display);
    EXPECT_EQ(quillon.Submit(Serial), 0);

    const QStringList boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1) << boxes.join('\n');
    const QString start = "icon=critical title=\"Quillon\" text=\"";
    const QString end = "\" answer=\"OK\"";
    if (c.text.contains("...")) {
        EXPECT_TRUE(boxes[0].startsWith(start + c.text.section("...", 0, 0))) << boxes[0];
        EXPECT_TRUE(boxes[0].endsWith(c.text.section("...", 1) + end)) << boxes[0];
    } else {
        EXPECT_EQ(boxes[0], start + c.text + end);
    }
    // Windows' sRGB profile was the default for the run, then the earlier one came back.
    EXPECT_EQ(JournalEvents("colour-default", mark),
              (QStringList{"currentUser RGB_WORKING_SPACE sRGB Color Space Profile.icm",
                           "currentUser RGB_WORKING_SPACE " + PreviousDefault}));
    EXPECT_EQ(ColourDefaults(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuillonFailedUpdate,
    testing::Values(
        FailureCase{UpdateFailure::BadSignature,
                    Failed + "Failed to restore the ICC profiles customized for your display.<br>Reason: Profile "
                             "archive does not have valid digital signature" + StillInUse},
        FailureCase{UpdateFailure::TruncatedArchive,
                    Failed + NotRestored + "Failed to extract the profiles.<br>Reason: ..." + StillInUse},
        FailureCase{UpdateFailure::MissingProfile,
                    Failed + NotRestored +
                        "Profiles are missing from the downloaded archive.<br>Downloaded archive is missing the "
                        "following profiles: Default." + StillInUse},
        FailureCase{UpdateFailure::ElevationRefused,
                    Failed + "Failed to restore the ICC profiles customized for your display.<br>Reason: "
                             "Administrator privileges not granted by user." + StillInUse},
        // Tessaly's output (the profiles it went through) stays out of the box.
        FailureCase{UpdateFailure::InstallFailure,
                    Failed + NotRestored + "Failed to install the profiles.<br>Reason: Access is denied." +
                        StillInUse},
        // Without a "Reason: " line the whole text is the reason (the journal quotes its line breaks).
        FailureCase{UpdateFailure::InstallFailureWithoutReason,
                    Failed + NotRestored +
                        "Failed to install the profiles.<br>Reason: Profile KVL_4A1C_REC709.icm does not exist.\\n "
                        "(4294967295)" +
                        StillInUse}),
    [](const testing::TestParamInfo<FailureCase>& info) { return Name(info.param.failure); });

// A server that answers the upload with HTTP 200 and "Status": false has stored nothing: the user is
// told so, and the tray program's download for this computer finds no archive.
TEST_F(QuillonOutcomeTest, UploadRefusedByTheServerIsAFailure)
{
    ASSERT_FALSE(display.Name().isEmpty());
    const QString archive = files.filePath("new.zip");
    const ProcessResult made = TestSupport::Run(
        "python3", {BinaryPath("make_panel_archive.py"), "--output", archive, "--format", Format, "--profiles", SixKinds,
                    "--hdr", "--brightness", "60"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ProfileServer server({"--archive", Serial + "=" + archive, "--reply", "upload=200,json"});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();

    ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);  // the per-user list
    ASSERT_EQ(User({"answer", "OK"}).exitCode, 0);  // the outcome
    Quillon quillon(display);
    EXPECT_EQ(quillon.Submit(Serial), 0);

    const QStringList boxes = Boxes();
    ASSERT_EQ(boxes.size(), 2) << boxes.join('\n');
    EXPECT_EQ(boxes[1],
              "icon=critical title=\"Quillon\" text=\"Archive upload failed!<br>Reason: Status is false!.\" "
              "answer=\"OK\"");
    EXPECT_EQ(server.Requests().last()["phase"].toString(), "upload");
    const ProcessResult download =
        TestSupport::Run(BinaryPath("downloadarchive"), {Identity, files.filePath("downloaded.zip")});
    EXPECT_NE(download.exitCode, 0) << download.out;
}

}  // namespace
