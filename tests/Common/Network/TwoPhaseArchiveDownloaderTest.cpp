#include "Common/Application/Constants.h"
#include "Common/Network/TwoPhaseArchiveDownloader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "WindowsStandIn/CertificateStore.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QSslConfiguration>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Network::IArchiveDownloader;
using TestSupport::ProfileServer;

const QString ClientId = QStringLiteral("Wm4qTz8vRk2NcJ7pLx0bQe5HsY1uGd9aKf3iVo6rBt0=");
const QString UrlFailure = QStringLiteral("Failed to obtain profile archive URL.");
const QString InvalidUrl = QStringLiteral(
    "Failed to restore the ICC profiles customized for your display. Obtained profile archive URL is not valid.");
const QString Support = QStringLiteral(
    "Failed to restore the ICC profiles customized for your display. Please contact support at "
    "<a href=\"https://support.korvel.example\">https://support.korvel.example</a>");
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const QByteArray ArchiveBytes = QByteArray("PK\x03\x04 not really a zip", 24) + QByteArray(600, '\x5a');

// The outcome signals of one downloader, in order.
struct Outcomes {
    QList<QByteArray> finished;
    QStringList failed;
    int Count() const { return int(finished.size() + failed.size()); }
};

class TwoPhaseArchiveDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile file(archiveDirectory.path() + "/archive.zip");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(ArchiveBytes);
        archivePath = file.fileName();
    }

    // Starts a server that knows `Identity`, points the machine at it and trusts its CA.
    std::unique_ptr<ProfileServer> StartServer(const QStringList& switches)
    {
        auto server = std::make_unique<ProfileServer>(QStringList{"--archive", Identity + "=" + archivePath} + switches);
        if (server->Started()) {
            server->ConfigureMachine();
            WinSim::ApplyTrustedRootCertificates();
        }
        return server;
    }

    static QUrl LookupUrl(const QString& identity)
    {
        return QUrl("https://" + ProfileServerHost() +
                    ProfileDownloadPath.arg(QString::fromLatin1(QUrl::toPercentEncoding(identity))));
    }

    std::unique_ptr<IArchiveDownloader> MakeDownloader()
    {
        auto downloader = Network::TwoPhaseArchiveDownloaderFactory().Create();
        QObject::connect(downloader.get(), &IArchiveDownloader::ArchiveDownloadFinished,
                         [this](const QByteArray& bytes) { outcomes.finished.append(bytes); });
        QObject::connect(downloader.get(), &IArchiveDownloader::ArchiveDownloadFailed,
                         [this](const QString& reason) { outcomes.failed.append(reason); });
        return downloader;
    }

    // Runs the event loop until the first outcome, then a little longer to catch a second one.
    void WaitForOutcome()
    {
        QDeadlineTimer deadline(20000);
        while (outcomes.Count() == 0 && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        QDeadlineTimer grace(300);
        while (!grace.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        }
    }

    int argc = 1;
    char name[16] = "networktest";
    char* argv[2] = {name, nullptr};
    QCoreApplication application{argc, argv};
    TestSupport::TemporaryMachine machine;
    QTemporaryDir archiveDirectory;
    QString archivePath;
    Outcomes outcomes;
};

TEST_F(TwoPhaseArchiveDownloaderTest, FetchesTheArchiveWithQuotedAndPlainAddresses)
{
    for (const QString form : {"quoted", "plain"}) {
        SCOPED_TRACE(form.toStdString());
        outcomes = {};
        auto server = StartServer({"--address-form", form});
        ASSERT_TRUE(server->Started());
        auto downloader = MakeDownloader();
        downloader->DownloadArchive(LookupUrl(Identity));
        WaitForOutcome();
        EXPECT_EQ(outcomes.failed, QStringList());
        ASSERT_EQ(outcomes.finished.size(), 1);
        EXPECT_EQ(outcomes.finished.first(), ArchiveBytes);

        const QList<QJsonObject> requests = server->Requests();
        ASSERT_EQ(requests.size(), 2);
        for (const QJsonObject& request : requests) {
            EXPECT_EQ(ProfileServer::HeaderCount(request, QStringLiteral("ClientId")), 1);
        }
        EXPECT_EQ(requests[0].value("phase").toString(), "lookup");
        EXPECT_EQ(requests[1].value("phase").toString(), "archive");
    }
}

struct FailureCase {
    const char* name;
    QStringList switches;
    QString reason;
    QString loggedPrefix;  // empty: nothing may be logged
};

void PrintTo(const FailureCase& failure, std::ostream* stream)
{
    *stream << failure.name;
}

class TwoPhaseArchiveDownloaderFailureTest : public TwoPhaseArchiveDownloaderTest,
                                             public ::testing::WithParamInterface<FailureCase> {};

TEST_P(TwoPhaseArchiveDownloaderFailureTest, ReportsOneFailureWithItsReason)
{
    const FailureCase& failure = GetParam();
    auto server = StartServer(failure.switches);
    ASSERT_TRUE(server->Started());
    TestSupport::LogCapture log("TwoPhaseArchiveDownloader");
    auto downloader = MakeDownloader();
    downloader->DownloadArchive(LookupUrl(Identity));
    WaitForOutcome();

    EXPECT_TRUE(outcomes.finished.isEmpty());
    EXPECT_EQ(outcomes.failed, QStringList{failure.reason});
    const auto lines = log.Lines();
    if (failure.loggedPrefix.isEmpty()) {
        EXPECT_TRUE(lines.empty()) << lines.front().message;
    } else {
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].level, 40000);
        EXPECT_EQ(QString::fromStdString(lines[0].message).left(failure.loggedPrefix.size()), failure.loggedPrefix);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TwoPhaseArchiveDownloaderFailureTest,
    ::testing::Values(
        FailureCase{"EmptyAddress", {"--reply", "lookup=200,empty"}, InvalidUrl, {}},
        FailureCase{"LoneQuote", {"--address-form", "plain", "--address", "\""}, InvalidUrl, {}},
        FailureCase{"QuoteAtOneEnd", {"--address-form", "plain", "--address", "\"https://{host}/x"}, InvalidUrl, {}},
        FailureCase{"PlainHttpAddress", {"--address", "http://{host}/v3/ColorCalibration/Archives/{key}"},
                    InvalidUrl, {}},
        FailureCase{"RelativeAddress", {"--address", "/v3/ColorCalibration/Archives/{key}"}, InvalidUrl, {}},
        FailureCase{"JsonInsteadOfAddress", {"--reply", "lookup=200,json"}, InvalidUrl, {}},
        FailureCase{"LookupRefused", {"--reply", "lookup=500,json"}, UrlFailure, "On archive URL received reply: "},
        FailureCase{"EmptyArchive", {"--reply", "archive=200,empty"}, Support + ".", {}},
        FailureCase{"EmptyArchiveWithError", {"--reply", "archive=500,empty"}, Support + ".", {}},
        FailureCase{"ArchiveErrorWithBody", {"--reply", "archive=503,json"}, Support, "On archive received reply: "},
        FailureCase{"UntrustedCertificate", {"--untrusted"}, Support, "On SSL errors reply: "}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

TEST_F(TwoPhaseArchiveDownloaderTest, UnknownLongIdentityFailsInPhaseOneWithoutLoggingItInPlain)
{
    auto server = StartServer({});
    ASSERT_TRUE(server->Started());
    TestSupport::LogCapture log("TwoPhaseArchiveDownloader");
    auto downloader = MakeDownloader();
    const QString identity = "1S" + QString(700, 'Q');
    downloader->DownloadArchive(LookupUrl(identity));
    WaitForOutcome();

    EXPECT_EQ(outcomes.failed, QStringList{UrlFailure});
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 1u);
    const QString message = QString::fromStdString(lines[0].message);
    EXPECT_TRUE(message.startsWith("On archive URL received reply: ")) << message;
    EXPECT_FALSE(message.contains("QQQQ")) << message;
}

TEST_F(TwoPhaseArchiveDownloaderTest, NewDownloadFromAFailureHandlerEndsWithItsOwnOutcome)
{
    auto refusing = StartServer({"--reply", "lookup=404,json"});
    auto serving = StartServer({});
    ASSERT_TRUE(refusing->Started() && serving->Started());
    auto downloader = MakeDownloader();
    QUrl servingUrl("https://" + serving->Host() + ProfileDownloadPath.arg(Identity));
    bool retried = false;
    QObject::connect(downloader.get(), &IArchiveDownloader::ArchiveDownloadFailed, [&] {
        if (!retried) {
            retried = true;
            downloader->DownloadArchive(servingUrl);
        }
    });
    downloader->DownloadArchive(QUrl("https://" + refusing->Host() + ProfileDownloadPath.arg(Identity)));
    QDeadlineTimer deadline(20000);
    while (outcomes.finished.isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_EQ(outcomes.failed, QStringList{UrlFailure});
    ASSERT_EQ(outcomes.finished.size(), 1);
    EXPECT_EQ(outcomes.finished.first(), ArchiveBytes);
}

TEST_F(TwoPhaseArchiveDownloaderTest, AnAbandonedDownloadReportsNothing)
{
    auto stalled = StartServer({"--stall", "lookup"});
    auto serving = StartServer({});
    ASSERT_TRUE(stalled->Started() && serving->Started());
    auto downloader = MakeDownloader();
    downloader->DownloadArchive(QUrl("https://" + stalled->Host() + ProfileDownloadPath.arg(Identity)));
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    downloader->DownloadArchive(QUrl("https://" + serving->Host() + ProfileDownloadPath.arg(Identity)));
    WaitForOutcome();
    EXPECT_EQ(outcomes.failed, QStringList());
    EXPECT_EQ(outcomes.finished.size(), 1);
}

TEST(TwoPhaseArchiveDownloaderRequestTest, CarriesTheHeadersInNameOrderOverTls12OrLater)
{
    Network::TwoPhaseArchiveDownloader downloader;
    downloader.AddRawHeader("b-second", "old");
    downloader.AddRawHeader("A-first", "ä");
    downloader.AddRawHeader("b-second", "new");
    const QNetworkRequest request = downloader.CreateRequest(QUrl("https://127.0.0.1:1/x"));
    EXPECT_EQ(request.rawHeaderList(), (QList<QByteArray>{"A-first", "b-second"}));
    EXPECT_EQ(request.rawHeader("A-first"), QStringLiteral("ä").toUtf8());
    EXPECT_EQ(request.rawHeader("b-second"), "new");
    EXPECT_EQ(request.sslConfiguration().protocol(), QSsl::TlsV1_2OrLater);

    auto made = Network::TwoPhaseArchiveDownloaderFactory().Create();
    const QNetworkRequest fromFactory =
        static_cast<Network::TwoPhaseArchiveDownloader&>(*made).CreateRequest(QUrl("https://127.0.0.1:1/x"));
    EXPECT_EQ(fromFactory.rawHeaderList(), QList<QByteArray>{"ClientId"});
    EXPECT_EQ(fromFactory.rawHeader("ClientId"), ClientId.toUtf8());
}

}  // namespace
