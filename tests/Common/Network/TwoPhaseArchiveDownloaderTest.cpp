#include "Common/Application/Constants.h"
#include "Common/Network/TwoPhaseArchiveDownloader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Security/DecrypterFactory.h"
#include "WindowsStandIn/CertificateStore.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QSslConfiguration>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <map>
#include <memory>
#include <optional>

namespace {

using namespace Korvel::DisplayCalibration::Common;
using Network::IArchiveDownloader;
using TestSupport::ProfileServer;

const QString ClientId = QStringLiteral("Wm4qTz8vRk2NcJ7pLx0bQe5HsY1uGd9aKf3iVo6rBt0=");
const QString UrlFailure = QStringLiteral("Failed to obtain profile archive URL.");
const QString InvalidUrl = QStringLiteral(
    "Failed to restore the ICC profiles customized for your display. Obtained profile archive URL is not valid.");
// The configured support page, as every other box links to it.
const QString Support =
    "Failed to restore the ICC profiles customized for your display. Please contact support at " + SupportPageLink();
const QString Identity = QStringLiteral("1S21KV0012USPF4KVQ7T");
const qint64 Limit = Network::TwoPhaseArchiveDownloader::MaximumArchiveSize;
// The server's generated archive of `size` bytes for `Identity`, with or without Content-Length.
QStringList Generated(qint64 size, bool announced = true)
{
    QStringList switches{"--generated-archive", Identity + "=" + QString::number(size)};
    if (!announced) {
        switches << "--no-content-length";
    }
    return switches;
}
const QByteArray ArchiveBytes = QByteArray::fromHex("504b0304") + "not really a zip" + QByteArray(600, 0x5a);

// The text of a logged line after `prefix`: Base64 of 512-byte RSA messages, decrypted with the test private key.
QString DecryptLogged(const std::string& message, const QString& prefix)
{
    const QString line = QString::fromStdString(message);
    EXPECT_TRUE(line.startsWith(prefix)) << line;
    const QByteArray cipher = QByteArray::fromBase64(line.mid(prefix.size()).toLatin1(),
                                                     QByteArray::AbortOnBase64DecodingErrors);
    EXPECT_TRUE(!cipher.isEmpty() && cipher.size() % 512 == 0) << line;
    QFile key(TestSupport::TestPrivateKeyPath());
    EXPECT_TRUE(key.open(QIODevice::ReadOnly));
    const auto decrypter = Security::DecrypterFactory().CreateDecrypter(key.readAll(), true);
    QByteArray plain;
    for (qsizetype offset = 0; offset < cipher.size(); offset += 512) {
        plain += decrypter->DecryptWithPrivateKey(cipher.mid(offset, 512));
    }
    return QString::fromUtf8(plain);
}

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

    // A server that knows `Identity` (starting; see UseServer).
    std::unique_ptr<ProfileServer> MakeServer(const QStringList& switches)
    {
        return std::make_unique<ProfileServer>(QStringList{"--archive", Identity + "=" + archivePath} + switches);
    }

    // Points the machine at the server and trusts its CA; false when it did not start.
    static bool UseServer(const ProfileServer& server)
    {
        if (!server.Started()) {
            return false;
        }
        server.ConfigureMachine();
        WinSim::ApplyTrustedRootCertificates();
        return true;
    }

    std::unique_ptr<ProfileServer> StartServer(const QStringList& switches)
    {
        auto server = MakeServer(switches);
        UseServer(*server);
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
    void WaitForOutcome(int milliseconds = int(TestSupport::ProgramPatienceMs))
    {
        TestSupport::RunEventsUntil([this] { return outcomes.Count() > 0; }, 300, milliseconds);
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
    std::map<QString, std::unique_ptr<ProfileServer>> servers;
    for (const QString form : {"quoted", "plain"}) {
        servers[form] = MakeServer({"--address-form", form});
    }
    for (const auto& [form, server] : servers) {
        SCOPED_TRACE(form.toStdString());
        outcomes = {};
        ASSERT_TRUE(UseServer(*server));
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
    QString loggedStart;   // how the decrypted text begins
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
        const QString text = DecryptLogged(lines[0].message, failure.loggedPrefix);
        EXPECT_TRUE(text.startsWith(failure.loggedStart)) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, TwoPhaseArchiveDownloaderFailureTest,
    ::testing::Values(
        FailureCase{"EmptyAddress", {"--reply", "lookup=200,empty"}, InvalidUrl, {}, {}},
        FailureCase{"LoneQuote", {"--address-form", "plain", "--address", "\""}, InvalidUrl, {}, {}},
        FailureCase{"QuoteAtOneEnd", {"--address-form", "plain", "--address", "\"https://{host}/x"}, InvalidUrl, {}, {}},
        FailureCase{"PlainHttpAddress", {"--address", "http://{host}/v3/ColorCalibration/Archives/{key}"},
                    InvalidUrl, {}, {}},
        FailureCase{"RelativeAddress", {"--address", "/v3/ColorCalibration/Archives/{key}"}, InvalidUrl, {}, {}},
        FailureCase{"JsonInsteadOfAddress", {"--reply", "lookup=200,json"}, InvalidUrl, {}, {}},
        FailureCase{"LookupRefused", {"--reply", "lookup=500,json"}, UrlFailure, "On archive URL received reply: ",
                    "Error transferring https://127.0.0.1:"},
        FailureCase{"EmptyArchive", {"--reply", "archive=200,empty"}, Support + ".", {}, {}},
        FailureCase{"EmptyArchiveWithError", {"--reply", "archive=500,empty"}, Support + ".", {}, {}},
        FailureCase{"ArchiveErrorWithBody", {"--reply", "archive=503,json"}, Support, "On archive received reply: ",
                    "Error transferring https://127.0.0.1:"},
        FailureCase{"AddressPastTheLimit", {"--address", "https://{host}/" + QString(70000, 'a')}, UrlFailure,
                    "On archive URL received reply: ", "Reply larger than 65536 bytes"},
        FailureCase{"ArchivePastTheLimit", Generated(Limit + 1), Support, "On archive received reply: ",
                    "Reply larger than 67108864 bytes"},
        FailureCase{"ArchivePastTheLimitWithoutLength", Generated(Limit + 1, false), Support,
                    "On archive received reply: ", "Reply larger than 67108864 bytes"},
        FailureCase{"UntrustedCertificate", {"--untrusted"}, Support, "On SSL errors reply: ",
                    "Failed to restore the ICC profiles customized for your display because of SSL errors. The "}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// An archive of the limit comes whole; a huge one is not read to its end (with Content-Length the
// download stops at the headers, without it once the limit is passed) and never held whole.
TEST_F(TwoPhaseArchiveDownloaderTest, ArchivesAroundTheLimit)
{
    const struct {
        qint64 size;
        bool announced;
        qint64 mostSent;  // 0: the archive arrives
    } cases[] = {
        {Limit, true, 0},
        {Limit, false, 0},
        // Socket buffers on both sides hold a few megabytes that were sent but never read.
        {qint64(2) << 30, true, qint64(32) << 20},
        // Qt's network thread reads on until this thread hears of the bytes past the limit, which a
        // busy computer delays: far from the end all the same.
        {qint64(2) << 30, false, 4 * Limit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + (c.announced ? " bytes, Content-Length" : " bytes, no Content-Length"));
        outcomes = {};
        auto server = StartServer(Generated(c.size, c.announced));
        ASSERT_TRUE(server->Started());
        auto downloader = MakeDownloader();
        downloader->DownloadArchive(LookupUrl(Identity));
        WaitForOutcome(120000);  // 64 MiB through TLS on a busy machine
        if (c.mostSent == 0) {
            EXPECT_EQ(outcomes.failed, QStringList());
            ASSERT_EQ(outcomes.finished.size(), 1);
            EXPECT_EQ(outcomes.finished.first().size(), Limit);
            continue;
        }
        EXPECT_TRUE(outcomes.finished.isEmpty());
        EXPECT_EQ(outcomes.failed, QStringList{Support});
        // The server tells how much went out once the connection is gone.
        std::optional<QJsonObject> sent;
        QDeadlineTimer deadline(30000);
        while (!sent && !deadline.hasExpired()) {
            for (const QJsonObject& request : server->Requests()) {
                if (request.value("phase").toString() == "archive-sent") {
                    sent = request;
                }
            }
            QThread::msleep(50);
        }
        ASSERT_TRUE(sent.has_value());
        EXPECT_LT(sent->value("bytes").toInteger(), c.mostSent);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 1 << 20) << "peak RSS in KiB";
}

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
    EXPECT_FALSE(QString::fromStdString(lines[0].message).contains("QQQQ"));
    const QString text = DecryptLogged(lines[0].message, "On archive URL received reply: ");
    EXPECT_TRUE(text.startsWith("Error transferring " + LookupUrl(identity).toString(QUrl::FullyEncoded))) << text;
    EXPECT_TRUE(text.endsWith("server replied: Not Found")) << text;
}

TEST(TwoPhaseArchiveDownloaderLogTest, EncryptsTextsOfAnyLengthWhole)
{
    for (const QString& text : {QString(), QString(373, 'a'), QString(374, 'b'), QString(300, QChar(0xe4)),
                                QString(1500, 'c') + QChar(0x20ac)}) {
        SCOPED_TRACE(text.size());
        TestSupport::LogCapture log("TwoPhaseArchiveDownloader");
        Network::TwoPhaseArchiveDownloader downloader;
        downloader.LogEncrypted("prefix: ", text);
        const auto lines = log.Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(DecryptLogged(lines[0].message, "prefix: "), text);
    }
}

TEST_F(TwoPhaseArchiveDownloaderTest, NewDownloadFromAFailureHandlerEndsWithItsOwnOutcome)
{
    auto refusing = MakeServer({"--reply", "lookup=404,json"});
    auto serving = MakeServer({});
    ASSERT_TRUE(UseServer(*refusing) && UseServer(*serving));
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
    TestSupport::RunEventsUntil([&] { return !outcomes.finished.isEmpty(); });
    EXPECT_EQ(outcomes.failed, QStringList{UrlFailure});
    ASSERT_EQ(outcomes.finished.size(), 1);
    EXPECT_EQ(outcomes.finished.first(), ArchiveBytes);
}

TEST_F(TwoPhaseArchiveDownloaderTest, AnAbandonedDownloadReportsNothing)
{
    auto stalled = MakeServer({"--stall", "lookup"});
    auto serving = MakeServer({});
    ASSERT_TRUE(UseServer(*stalled) && UseServer(*serving));
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
