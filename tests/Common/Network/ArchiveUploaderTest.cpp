// ArchiveUploader against the local profile server: what one upload sends, and the one outcome of
// each server answer and of each check made before sending.
#include "Common/Network/ArchiveUploader.h"
#include "WindowsStandIn/CertificateStore.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace Network = Korvel::DisplayCalibration::Common::Network;
using TestSupport::ProfileServer;

namespace {

const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");

struct Outcomes {
    QList<QByteArray> finished;
    QStringList failed;
    int Count() const { return int(finished.size() + failed.size()); }
};

class ArchiveUploaderTest : public testing::Test {
protected:
    void SetUp() override
    {
        // An archive made by the zip command.
        const TestSupport::ProcessResult zipped =
            TestSupport::Run("zip", {"-q", "-j", files.filePath("made.zip"), "/usr/share/color/icc/colord/sRGB.icc"});
        ASSERT_EQ(zipped.exitCode, 0) << zipped.err;
        archive = TestSupport::ReadFile(files.filePath("made.zip"));
    }

    // Starts a server with `switches` for this machine.
    void StartServer(const QStringList& switches = {})
    {
        server = std::make_unique<ProfileServer>(switches);
        ASSERT_TRUE(server->Started());
        server->ConfigureMachine();
        WinSim::ApplyTrustedRootCertificates();
    }

    // Uploads `path` and runs the event loop until its outcome (and a little longer for a second one).
    void Upload(const QString& path)
    {
        Network::ArchiveUploader uploader;
        QObject::connect(&uploader, &Network::IArchiveUploader::ArchiveUploadFinished,
                         [this](const QByteArray& body) { outcomes.finished.append(body); });
        QObject::connect(&uploader, &Network::IArchiveUploader::ArchiveUploadFailed,
                         [this](const QString& reason) { outcomes.failed.append(reason); });
        uploader.UploadArchive(QUrl("https://" + server->Host() + "/v3/ColorCalibration/UpdateTheColorFile"), path);
        TestSupport::RunEventsUntil([this] { return outcomes.Count() > 0; }, 300);
    }

    QList<QJsonObject> Uploads() const
    {
        QList<QJsonObject> uploads;
        for (const QJsonObject& request : server->Requests()) {
            if (request.value("phase").toString() == "upload") {
                uploads << request;
            }
        }
        return uploads;
    }

    int argc = 1;
    char name[16] = "uploadtest";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    TestSupport::TemporaryMachine machine;
    QTemporaryDir files;
    QByteArray archive;
    std::unique_ptr<ProfileServer> server;
    Outcomes outcomes;
};

TEST_F(ArchiveUploaderTest, SendsTheArchiveUnderTheComputersIdentity)
{
    StartServer();
    const QString path = files.filePath("ProfileArchive.zip");
    TestSupport::WriteFile(path, archive);
    Upload(path);
    ASSERT_EQ(outcomes.failed, QStringList());
    ASSERT_EQ(outcomes.finished.size(), 1);
    EXPECT_EQ(QJsonDocument::fromJson(outcomes.finished[0])["Status"], QJsonValue(true));

    const QList<QJsonObject> uploads = Uploads();
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads[0]["parts"].toArray(), (QJsonArray{"updateFile", "sn", "timestamp", "updateToken"}));
    EXPECT_EQ(uploads[0]["filename"].toString(), "ProfileArchive.zip");
    EXPECT_EQ(uploads[0]["sn"].toString(), Identity);
    EXPECT_EQ(ProfileServer::HeaderCount(uploads[0], "ClientID"), 1);
    // The server checked the token and keeps the archive for the identity: the download road returns it.
    const QString copy = files.filePath("copy.zip");
    const TestSupport::ProcessResult downloaded =
        TestSupport::Run(TestSupport::BinaryPath("downloadarchive"), {Identity, copy});
    ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err;
    EXPECT_EQ(TestSupport::ReadFile(copy), archive);
}

// The server compares the token with one it makes from the UTF-8 text, ASCII letters lower-cased.
TEST_F(ArchiveUploaderTest, IdentityBeyondAsciiKeepsTheTokenValid)
{
    WinSim::SetDescriptionValue("bios.serialNumber", QStringLiteral("pf4kvq7\u00e4"));
    StartServer();
    const QString path = files.filePath("ProfileArchive.zip");
    TestSupport::WriteFile(path, archive);
    Upload(path);
    EXPECT_EQ(outcomes.failed, QStringList());
    ASSERT_EQ(Uploads().size(), 1);
    EXPECT_EQ(Uploads()[0]["sn"].toString(), QStringLiteral("1S21KV0012USPF4KVQ7\u00c4"));
}

struct UploadCase {
    const char* name;
    QStringList switches;  // of the server
    QString fileName;      // the archive's name; empty: no file
    bool empty = false;    // a file of no bytes
    const char* injected = "";
    bool finished = false;
    QString reason;        // of the failure; "...text": it ends so, "text...": it begins so
    bool sent = true;
};

void PrintTo(const UploadCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class UploadOutcome : public ArchiveUploaderTest, public testing::WithParamInterface<UploadCase> {};

TEST_P(UploadOutcome, IsOneSignal)
{
    const UploadCase& c = GetParam();
    StartServer(c.switches);
    if (*c.injected != '\0') {
        WinSim::SetInjectedFailure(QString::fromLatin1(c.injected), 0x80041010);
    }
    const QString path = files.filePath(c.fileName.isEmpty() ? QStringLiteral("missing.zip") : c.fileName);
    if (!c.fileName.isEmpty()) {
        TestSupport::WriteFile(path, c.empty ? QByteArray() : archive);
    }
    Upload(path);

    ASSERT_EQ(outcomes.Count(), 1) << outcomes.failed.join(" | ");
    if (c.finished) {
        EXPECT_EQ(outcomes.finished.size(), 1) << outcomes.failed.value(0);
    } else {
        ASSERT_EQ(outcomes.failed.size(), 1);
        const QString& reason = outcomes.failed[0];
        EXPECT_TRUE(c.reason.startsWith("...")  ? reason.endsWith(c.reason.mid(3))
                    : c.reason.endsWith("...") ? reason.startsWith(c.reason.chopped(3))
                                               : reason == c.reason)
            << reason;
    }
    EXPECT_EQ(Uploads().size(), c.sent ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UploadOutcome,
    testing::Values(
        UploadCase{"UpperCaseExtension", {}, "PROFILEARCHIVE.ZIP", false, "", true, ""},
        UploadCase{"EmptyFile", {}, "ProfileArchive.zip", true, "", true, ""},
        // HTTP success with a body that does not say "Status": true stored nothing.
        UploadCase{"SuccessWithStatusFalse", {"--reply", "upload=200,json"}, "ProfileArchive.zip", false, "", false,
                   "Status is false!"},
        UploadCase{"SuccessWithEmptyBody", {"--reply", "upload=200,empty"}, "ProfileArchive.zip", false, "", false,
                   "Server response is invalid!"},
        UploadCase{"ServerErrorWithStatusTrue", {"--reply", "upload=500"}, "ProfileArchive.zip", false, "", false,
                   "...server replied: Internal Server Error"},
        UploadCase{"ServerErrorWithEmptyBody", {"--reply", "upload=500,empty"}, "ProfileArchive.zip", false, "", false,
                   "Server response is invalid!"},
        UploadCase{"ServerErrorWithStatusFalse", {"--reply", "upload=500,json"}, "ProfileArchive.zip", false, "", false,
                   "Status is false!"},
        UploadCase{"BiosFailure", {}, "ProfileArchive.zip", false, "IWbemServices::ExecQuery", false,
                   "Query for BIOS data failed...", false},
        UploadCase{"MissingFile", {}, "", false, "", false, "Token generation Failed!", false},
        UploadCase{"OtherExtension", {}, "ProfileArchive.7z", false, "", false, "Profile archive extension is invalid!",
                   false}),
    [](const testing::TestParamInfo<UploadCase>& info) { return std::string(info.param.name); });

}  // namespace
