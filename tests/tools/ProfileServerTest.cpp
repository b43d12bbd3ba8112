#include "Common/Security/DecrypterFactory.h"
#include "WindowsStandIn/CertificateStore.h"
#include "tests/fixtures/ProfileServer.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcessEnvironment>
#include <QSslConfiguration>
#include <QTemporaryDir>

#include <lcms2.h>

#include <gtest/gtest.h>

namespace {

using TestSupport::BinaryPath;
using TestSupport::ProfileServer;

const QString ClientId = QStringLiteral("Wm4qTz8vRk2NcJ7pLx0bQe5HsY1uGd9aKf3iVo6rBt0=");

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList ZipEntries(const QString& archive)
{
    const auto listed = TestSupport::Run("unzip", {"-Z1", archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    return listed.out.split('\n', Qt::SkipEmptyParts);
}

QByteArray ZipEntry(const QString& archive, const QString& name)
{
    QProcess unzip;
    unzip.start("unzip", {"-p", archive, name});
    TestSupport::WaitForFinished(unzip);
    return unzip.readAllStandardOutput();
}

// Whether the signature at the end of `archive` is the SHA-256 digest of the rest, under the programs' key.
bool SignatureVerifies(const QByteArray& archive)
{
    QFile key(":/digitalsignature/public_key");
    if (archive.size() <= 512 || !key.open(QIODevice::ReadOnly)) {
        return false;
    }
    try {
        const auto decrypter = Korvel::DisplayCalibration::Common::Security::DecrypterFactory().CreateDecrypter(
            key.readAll(), false);
        return decrypter->DecryptWithPublicKey(archive.right(512)) ==
               QCryptographicHash::hash(archive.chopped(512), QCryptographicHash::Sha256);
    } catch (const std::exception&) {
        return false;  // not a signature made with the private key
    }
}

class PanelArchiveTest : public ::testing::Test {
protected:
    QString Make(const QString& name, const QStringList& arguments)
    {
        const QString path = directory.filePath(name);
        const auto made = TestSupport::Run(BinaryPath("make_panel_archive.py"), QStringList{"--output", path} + arguments);
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    }

    QTemporaryDir directory;
};

TEST_F(PanelArchiveTest, PacksProfilesReportsAndPanelInfoAndSignsThem)
{
    const QString archive = Make("sdr.zip", {"--profiles", "sRGB,AdobeRGB,DCIP3,Native", "--color-space", "AdobeRGB",
                                             "--gamma", "2.2", "--hdr"});
    EXPECT_TRUE(SignatureVerifies(ReadFile(archive)));
    QStringList expected;
    for (const QString key : {"sRGB", "AdobeRGB", "DCIP3", "Native"}) {
        expected << "KVL5R2_" + key + ".icm" << "KVL5R2_" + key + "_Quality.txt";
    }
    expected << "PanelInfo.xml";
    EXPECT_EQ(ZipEntries(archive), expected);
    const QString panelInfo = QString::fromUtf8(ZipEntry(archive, "PanelInfo.xml"));
    for (const QString element : {"<ColorSpace>AdobeRGB</ColorSpace>", "<Gamma>2.2</Gamma>", "<HDR>true</HDR>",
                                  "<Profiles>sRGB,AdobeRGB,DCIP3,Native</Profiles>"}) {
        EXPECT_TRUE(panelInfo.contains(element)) << panelInfo;
    }

    // LittleCMS reads each profile back as an RGB display profile with the primaries asked for.
    const QByteArray adobe = ZipEntry(archive, "KVL5R2_AdobeRGB.icm");
    cmsHPROFILE profile = cmsOpenProfileFromMem(adobe.constData(), cmsUInt32Number(adobe.size()));
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(cmsGetDeviceClass(profile), cmsSigDisplayClass);
    EXPECT_EQ(cmsGetColorSpace(profile), cmsSigRgbData);
    char description[64] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", description, sizeof description);
    EXPECT_STREQ(description, "KVL5R2_AdobeRGB");
    const auto* green = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, cmsSigGreenColorantTag));
    ASSERT_NE(green, nullptr);
    cmsCIExyY greenxyY;
    cmsCIEXYZ d50Green = *green;
    cmsXYZ2xyY(&greenxyY, &d50Green);
    EXPECT_GT(greenxyY.y, 0.6);  // adapted to D50, Adobe RGB's green stays far above sRGB's
    cmsCloseProfile(profile);

    const QString report = QString::fromUtf8(ZipEntry(archive, "KVL5R2_sRGB_Quality.txt"));
    EXPECT_TRUE(report.startsWith("ProfileName KVL5R2_sRGB\r\n")) << report;
    EXPECT_TRUE(report.contains("\r\n0 255 0 ")) << report;
}

TEST_F(PanelArchiveTest, Hdr10ArchiveHoldsPanelInfoHdrAndNoReports)
{
    const QString archive = Make("hdr.zip", {"--hdr10", "--profiles", "Korvel_HDR10"});
    EXPECT_EQ(ZipEntries(archive), (QStringList{"KVL5R2_Korvel_HDR10.icm", "PanelInfoHdr.xml"}));
    EXPECT_TRUE(QString::fromUtf8(ZipEntry(archive, "PanelInfoHdr.xml")).contains("<HDR>true</HDR>"));
    EXPECT_TRUE(SignatureVerifies(ReadFile(archive)));

    const QString unsignedArchive = Make("plain.zip", {"--unsigned", "--profiles", "sRGB"});
    EXPECT_EQ(TestSupport::Run("unzip", {"-tq", unsignedArchive}).exitCode, 0);
    EXPECT_FALSE(SignatureVerifies(ReadFile(unsignedArchive)));
}

// A program of a simulated machine downloads from the server the machine names, trusting the machine's roots.
class MachineDownloadTest : public ::testing::Test {
protected:
    TestSupport::ProcessResult Download(const QString& identity)
    {
        return TestSupport::Run(BinaryPath("downloadarchive"), {identity, output});
    }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir directory;
    QString output = directory.filePath("downloaded.zip");
};

TEST_F(MachineDownloadTest, FetchesASignedArchiveOnlyFromATrustedServer)
{
    const QString archive = directory.filePath("panel.zip");
    ASSERT_EQ(TestSupport::Run(BinaryPath("make_panel_archive.py"), {"--output", archive}).exitCode, 0);
    ProfileServer server({"--archive", "1S21KV0012USPF4KVQ7T=" + archive});
    ASSERT_TRUE(server.Started());

    WinSim::SetDescriptionValue("network.profileServer", server.Host());
    const auto untrusted = Download("1S21KV0012USPF4KVQ7T");
    EXPECT_EQ(untrusted.exitCode, 1);
    EXPECT_TRUE(untrusted.err.contains("Failed to restore the ICC profiles customized for your display. Please "
                                         "contact support"))
        << untrusted.err;

    server.ConfigureMachine();
    const auto trusted = Download("1S21KV0012USPF4KVQ7T");
    ASSERT_EQ(trusted.exitCode, 0) << trusted.err;
    EXPECT_EQ(ReadFile(output), ReadFile(archive));
    EXPECT_TRUE(SignatureVerifies(ReadFile(output)));
}

TEST_F(MachineDownloadTest, WinsimAddsTrustedRootsOnce)
{
    ProfileServer server;
    ASSERT_TRUE(server.Started());
    QFile notPem(directory.filePath("not.pem"));
    ASSERT_TRUE(notPem.open(QIODevice::WriteOnly));
    notPem.write("no certificate here\n");
    notPem.close();

    struct Case {
        QString file;
        int exitCode;
        QString out;
    };
    for (const Case& step : {Case{server.CaFile(), 0, "1 certificate(s) added\n"},
                             Case{server.CaFile(), 0, "0 certificate(s) added\n"}, Case{notPem.fileName(), 1, ""}}) {
        const auto added = TestSupport::RunWinsim({"trust", "add", step.file});
        EXPECT_EQ(added.exitCode, step.exitCode) << step.file << added.err;
        EXPECT_EQ(added.out, step.out);
        EXPECT_EQ(added.err.isEmpty(), step.exitCode == 0) << added.err;
    }
    const auto listed = TestSupport::RunWinsim({"trust", "list"});
    EXPECT_TRUE(listed.out.startsWith("Korvel Test Profile CA  (SHA-256 ")) << listed.out;
    EXPECT_EQ(listed.err, "");
    EXPECT_EQ(listed.out.count('\n'), 1);
}

// Uploads as a client would, with Qt's own multipart encoder.
int Upload(const ProfileServer& server, const QByteArray& archive, const QString& identity, bool validToken,
           bool withClientId)
{
    const QString timestamp = QString::number(QDateTime::currentMSecsSinceEpoch());
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(archive, QCryptographicHash::Md5).toHex());
    QString token = QString::fromLatin1(
        QCryptographicHash::hash((md5 + "KorvelTintwise" + timestamp + identity).toLower().toUtf8(),
                                 QCryptographicHash::Sha256)
            .toHex());
    if (!validToken) {
        token[0] = token[0] == '0' ? '1' : '0';
    }
    auto* multipart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    const auto addPart = [&](const QByteArray& disposition, const QByteArray& body, const QByteArray& type) {
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
        if (!type.isEmpty()) {
            part.setHeader(QNetworkRequest::ContentTypeHeader, type);
        }
        part.setBody(body);
        multipart->append(part);
    };
    addPart("form-data; name=\"updateFile\"; filename=\"ProfileArchive.zip\"", archive, "application/zip");
    addPart("form-data; name=\"sn\"", identity.toUtf8(), {});
    addPart("form-data; name=\"timestamp\"", timestamp.toLatin1(), {});
    addPart("form-data; name=\"updateToken\"", token.toLatin1(), {});

    QNetworkRequest request(QUrl("https://" + server.Host() + "/v3/ColorCalibration/UpdateTheColorFile"));
    if (withClientId) {
        request.setRawHeader("ClientID", ClientId.toUtf8());
    }
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.post(request, multipart);
    multipart->setParent(reply);
    TestSupport::RunEventsUntil([reply] { return reply->isFinished(); });
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    delete reply;
    return status;
}

TEST_F(MachineDownloadTest, AnUploadedArchiveIsServedUnderItsIdentity)
{
    int argc = 1;
    char name[] = "upload";
    char* argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    ProfileServer server;
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    WinSim::ApplyTrustedRootCertificates();
    const QByteArray archive = QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0') + QByteArray("\r\n--\0\xff", 6);

    struct Case {
        const char* name;
        bool validToken;
        bool withClientId;
        int status;
    };
    for (const Case& refused : {Case{"bad token", false, true, 403}, Case{"no client id", true, false, 401}}) {
        EXPECT_EQ(Upload(server, archive, "1SREFUSED", refused.validToken, refused.withClientId), refused.status)
            << refused.name;
    }
    EXPECT_EQ(Download("1SREFUSED").exitCode, 1);

    ASSERT_EQ(Upload(server, archive, "1S21KV0012US PF4KVQ7T", true, true), 200);
    const auto downloaded = Download("1S21KV0012US PF4KVQ7T");
    ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err;
    EXPECT_EQ(ReadFile(output), archive);
}

}  // namespace
