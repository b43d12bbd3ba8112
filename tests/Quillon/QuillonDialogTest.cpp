// QuillonDialog in this process, with Quillon's services on a temporary machine; its message boxes
// are answered by the simulated user from the machine's answer queue.
#include "Common/Application/Paths.h"
#include "Quillon/Gui/ProgressDialog.h"
#include "Quillon/Gui/QuillonDialog.h"
#include "WindowsStandIn/CertificateStore.h"
#include "WindowsStandIn/Machine.h"
#include "tests/Quillon/QuillonFixtures.h"
#include "tests/fixtures/ProfileServer.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace Common = Korvel::DisplayCalibration::Common;
using QuillonTest::JournalEvents;
using QuillonTest::QueueAnswer;

namespace {

const QString Serial = QStringLiteral("8S0123456789AAAABBBB123");

QString Box(const QString& icon, const QString& text, const QString& answer = QStringLiteral("OK"))
{
    return "message-box icon=" + icon + " title=\"Quillon\" text=\"" + text + "\" answer=\"" + answer + "\"";
}

class QuillonDialogTest : public testing::Test {
protected:
    void SetUp() override
    {
        dialog = std::make_unique<QuillonDialog>(
            services.configuration, services.panelId, services.biosTools, services.archiveDownloader,
            services.archiveUploader, services.profileHelper, services.displayHelperFactory, services.decrypter,
            services.profileArchiver, services.validator, "Quillon");
        dialog->show();
    }

    QLineEdit* Edit() const { return dialog->findChild<QLineEdit*>("lineEditPanelID"); }
    QPushButton* Submit() const { return dialog->findChild<QPushButton*>("pushButtonUpdateProfiles"); }
    ProgressDialog* Progress() const { return dialog->findChild<ProgressDialog*>(); }
    static QString WorkingFolder() { return Common::ApplicationDataDirectory() + "/ReplacementProfiles"; }

    TestSupport::TemporaryMachine machine;
    QuillonTest::Services services;
    std::unique_ptr<QuillonDialog> dialog;
};

// 1050 x 700 on the 1920 x 1080 screen, twice that on the 3840 x 2160 one.
TEST_F(QuillonDialogTest, SizesItselfFromTheScreenUnderIt)
{
    EXPECT_EQ(dialog->size(), QSize(1050, 700));
    EXPECT_EQ(dialog->minimumSize(), QSize(1050, 700));
    EXPECT_EQ(Edit()->minimumHeight(), 45);
    dialog->move(2000, 100);
    QEvent languageChange(QEvent::LanguageChange);
    QApplication::sendEvent(dialog.get(), &languageChange);
    EXPECT_EQ(dialog->size(), QSize(2100, 1400));
    EXPECT_EQ(Edit()->minimumHeight(), 90);

    EXPECT_EQ(dialog->windowTitle(), "Quillon");
    EXPECT_EQ(dialog->findChild<QLabel*>("labelPanelID")->text(), "Enter Panel SN: ");
    EXPECT_EQ(Edit()->toolTip(), "Enter 23-characters long serial number of the panel, e.g. 8S1234567890AAAABBBB123");
    EXPECT_TRUE(Submit()->isDefault());
    EXPECT_EQ(Edit()->contextMenuPolicy(), Qt::NoContextMenu);
    QTest::keyClicks(Edit(), Serial + "45678");
    EXPECT_EQ(Edit()->text(), Serial) << "at most 23 characters";
}

TEST_F(QuillonDialogTest, InvalidSerialIsRefusedBeforeAnythingStarts)
{
    const QString refused = "Entered Panel SN is NOT valid!<br>Entered value should be 23 characters long and it should "
                            "start with \u201c8S\u201d.<br>For example: \\n8S0123456789AAAABBBB123.<br>Please, try again.";
    const QStringList serials = {"", "8S0123", "8S0123456789AAAABBBB12", "8X0123456789AAAABBBB123",
                                 "8S0123456789AAAA BBB123", "8S0123456789AAAA-BBB123"};
    for (const QString& serial : serials) {
        Edit()->setText(serial);
        QueueAnswer("OK");
        QTest::mouseClick(Submit(), Qt::LeftButton);
        EXPECT_EQ(Progress(), nullptr) << serial.toStdString();
        EXPECT_TRUE(Submit()->isEnabled());
        EXPECT_NE(dialog->cursor().shape(), Qt::BusyCursor);
    }
    EXPECT_EQ(JournalEvents({"message-box"}), QStringList(serials.size(), Box("critical", refused)));
    EXPECT_EQ(JournalEvents({"run-elevated"}), QStringList());
}

// The guard fires first (130000 ms scaled to 1040); the late installation still uploads and reports,
// and "Submit" comes back only then.
TEST_F(QuillonDialogTest, LateOperationReportsAfterTheGuard)
{
    QuillonTest::Archives archives;
    const QString archive = archives.Write(
        "A.zip", archives.Make({"--profiles", QuillonTest::SixKinds, "--hdr"}));
    TestSupport::ProfileServer server({"--archive", Serial + "=" + archive, "--delay", "archive=3"});
    ASSERT_TRUE(server.Started());
    server.ConfigureMachine();
    WinSim::ApplyTrustedRootCertificates();
    WinSim::SetDescriptionValue("time.waitScale", 0.008);
    ASSERT_EQ(TestSupport::RunWinsim({"colour", "per-user", "on"}).exitCode, 0);

    QTest::keyClicks(Edit(), Serial.toLower());
    bool disabledAtGuard = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (JournalEvents({"message-box"}).size() == 1 && Progress() != nullptr && !Progress()->isVisible()) {
            disabledAtGuard = !Submit()->isEnabled();
        }
    });
    QueueAnswer("OK");
    QueueAnswer("OK");
    QTest::mouseClick(Submit(), Qt::LeftButton);
    ASSERT_NE(Progress(), nullptr);
    EXPECT_TRUE(Progress()->isVisible());
    EXPECT_FALSE(Submit()->isEnabled());
    probe.start(50);
    EXPECT_TRUE(TestSupport::RunEventsUntil([this] { return Submit()->isEnabled(); }, 0, 30000));

    EXPECT_EQ(JournalEvents({"message-box"}),
              (QStringList{Box("critical", "Update of profiles is taking longer than expected. Please, close the "
                                           "application and try again later."),
                           Box("information", "Profile archive updated successfully!")}));
    EXPECT_TRUE(disabledAtGuard);
    EXPECT_FALSE(Progress()->isVisible());
    EXPECT_FALSE(QFileInfo::exists(WorkingFolder()));
    QStringList phases;
    for (const QJsonObject& request : server.Requests()) {
        phases << request["phase"].toString();
    }
    EXPECT_EQ(phases, (QStringList{"lookup", "archive", "upload"}));
    EXPECT_EQ(server.Requests()[0]["path"].toString(), "/v3/ColorCalibration/GetFileBySn?sn=" + Serial);
}

// Every end of an attempt shows one box, brings "Submit" back and removes the working folder.
TEST_F(QuillonDialogTest, EndsOfAnAttempt)
{
    const struct {
        const char* slot;
        QString reason;
        QString shown;
    } cases[] = {
        {"OnArchiveUploadFailed", "", "Archive upload failed!<br>Reason: Unknown server error.."},
        {"OnArchiveUploadFailed", "Status is false!", "Archive upload failed!<br>Reason: Status is false!."},
        {"OnProfilesInstallationFailed", "Nothing to install", "Profile installation failed!<br>Reason: Nothing to install"},
    };
    QStringList expected;
    for (const auto& c : cases) {
        TestSupport::WriteFile(WorkingFolder() + "/ProfileArchive.zip", "left over");
        Submit()->setEnabled(false);
        QueueAnswer("OK");
        ASSERT_TRUE(QMetaObject::invokeMethod(dialog.get(), c.slot, Q_ARG(QString, c.reason)));
        EXPECT_TRUE(Submit()->isEnabled()) << c.slot;
        EXPECT_FALSE(QFileInfo::exists(WorkingFolder())) << c.slot;
        expected << Box("critical", c.shown);
    }
    EXPECT_EQ(JournalEvents({"message-box"}), expected);

    // Escape closes the dialog, which ends its modal loop with 0.
    QTimer::singleShot(0, dialog.get(), [this] { QTest::keyClick(dialog.get(), Qt::Key_Escape); });
    EXPECT_EQ(dialog->exec(), 0);
}

}  // namespace
