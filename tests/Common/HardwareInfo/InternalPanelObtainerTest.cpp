#include "Common/Application/Paths.h"
#include "Common/HardwareInfo/HardwareInfoExceptions.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "WindowsStandIn/StateFile.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace Common = Korvel::DisplayCalibration::Common;
namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace DisplayFixtures;
using TestSupport::TemporaryMachine;

namespace {

QString ObtainOnce()
{
    HardwareInfo::InternalPanelObtainer obtainer;
    return obtainer.GetInternalPanelId();
}

QString VotLog()
{
    QFile file(Common::VotLogFilePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

TEST(InternalPanelObtainerTest, FindsTheInternalPanelAmongMonitors)
{
    struct Case {
        const char* name;
        std::initializer_list<DisplaySetup> displays;
        QString expected;
    };
    const QByteArray panel = PanelEdid();
    const QByteArray external = ExternalEdid();
    const QByteArray second = ExternalEdid("GSM", 0x5B7F);
    const Case cases[] = {
        {"internal panel alone", {{panel}}, "SHP14C4"},
        {"no monitor", {}, ""},
        {"external monitor only", {{external, 10}}, ""},
        {"internal panel not first, on the second adapter",
         {{external, 10, true, "\\\\.\\DISPLAY1", 0}, {second, 5, true, "\\\\.\\DISPLAY2", 0},
          {panel, 0x80000000LL, true, "\\\\.\\DISPLAY3", 1}},
         "SHP14C4"},
        {"internal panel inactive", {{external, 10}, {panel, 0x80000000LL, false, "\\\\.\\DISPLAY2"}}, ""},
        {"two internal kinds: the first in adapter then monitor order",
         {{external, 11, true, "\\\\.\\DISPLAY1"}, {panel, 0x80000000LL, true, "\\\\.\\DISPLAY2"}}, "DELA0B1"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const TemporaryMachine machine;
        SetDisplays(test.displays);
        EXPECT_EQ(ObtainOnce(), test.expected);
    }
}

TEST(InternalPanelObtainerTest, OnlyInternalOutputTechnologiesCount)
{
    const struct {
        qint64 technology;
        bool internal;
    } cases[] = {{0x80000000LL, true}, {11, true}, {13, true}, {6, false}, {10, false}, {5, false}, {-1, false}, {0, false}};
    for (const auto& test : cases) {
        const TemporaryMachine machine;
        SetDisplays({{PanelEdid(), test.technology}});
        EXPECT_EQ(ObtainOnce(), test.internal ? QStringLiteral("SHP14C4") : QString()) << test.technology;
    }
}

TEST(InternalPanelObtainerTest, NullTechnologyIsNotInternal)
{
    const TemporaryMachine machine;
    SetDisplays({{PanelEdid()}});
    WinSim::SetDescriptionValue("displays.0.outputTechnology", QJsonValue::Null);
    EXPECT_EQ(ObtainOnce(), QString());
    const QString log = VotLog();
    EXPECT_TRUE(log.contains("WARNING: Other VOT.")) << log;
    EXPECT_TRUE(log.contains("INFO: Internal panel found.\n")) << log;
    EXPECT_TRUE(log.contains("INFO: Internal panel ID VOT: -1")) << log;
}

// The start-up loop of the tray program: a new obtainer per try, an exception counts as empty.
TEST(InternalPanelObtainerTest, PanelAppearingOnTheThirdTryIsFoundInTheSameProcess)
{
    const TemporaryMachine machine;
    SetDisplays({{PanelEdid(), 0x80000000LL, false}});
    QString id;
    int tries = 0;
    for (; tries < 30 && id.isEmpty(); ++tries) {
        if (tries == 2) {
            WinSim::SetDescriptionValue("displays.0.active", true);
        }
        try {
            id = ObtainOnce();
        } catch (const HardwareInfo::InternalPanelObtainerException& error) {
            ADD_FAILURE() << "try " << tries << ": " << error.what();
        }
    }
    EXPECT_EQ(id, QStringLiteral("SHP14C4"));
    EXPECT_EQ(tries, 3);
}

TEST(InternalPanelObtainerTest, VotLogIsAppendedAndMadeWorldReadableAndWritable)
{
    const TemporaryMachine machine;
    SetDisplays({{PanelEdid()}});
    QFile file(Common::VotLogFilePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("earlier line\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));

    EXPECT_EQ(ObtainOnce(), QStringLiteral("SHP14C4"));
    const QString log = VotLog();
    EXPECT_TRUE(log.startsWith("earlier line\n")) << log;
    const QStringList lines = log.split('\n', Qt::SkipEmptyParts);
    // "yyyy.MM.dd hh:mm:ss.zzz <thread> <text>"
    const QRegularExpression line(QStringLiteral("^\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} \\d+ .+$"));
    for (const QString& text : lines.mid(1)) {
        EXPECT_TRUE(line.match(text).hasMatch()) << text;
    }
    EXPECT_TRUE(log.contains("INFO: Internal panel found. [ID = SHP14C4]")) << log;
    EXPECT_TRUE(log.contains(" " + Common::VotLogFilePath() + "\n")) << log;
    const QFileInfo info(Common::VotLogFilePath());
    EXPECT_TRUE(info.permission(QFile::ReadOther) && info.permission(QFile::WriteOther));
}

TEST(InternalPanelObtainerTest, EveryConstructionFailureIsAnObtainerException)
{
    struct Case {
        const char* fault;
        QString message;
        QString logLine;
        QString printed;
    };
    const Case cases[] = {
        {"GetNamedSecurityInfoW", "Failed to set permissions for VOT log file", "ERROR: setPermission failed.",
         "GetNamedSecurityInfo Error 5"},
        {"SetEntriesInAclW", "Failed to set permissions for VOT log file", "ERROR: setPermission failed.",
         "SetEntriesInAcl Error 5"},
        {"SetNamedSecurityInfoW", "Failed to set permissions for VOT log file", "ERROR: setPermission failed.",
         "SetNamedSecurityInfo Error 5"},
        {"CoInitializeEx", "Unclassified exception has been caught", "ERROR: Unclassified exception has been caught.", ""},
        {"CoInitializeSecurity", "Unclassified exception has been caught", "ERROR: Failure to initialize security.", ""},
        {"CoCreateInstance", "Unclassified exception has been caught", "ERROR: Failure to create WBEM locator instance.", ""},
        {"IWbemLocator::ConnectServer", "Unclassified exception has been caught", "ERROR: WBEM locator connection to server failure.", ""},
        {"CoSetProxyBlanket", "Unclassified exception has been caught", "ERROR: Failure to set proxy blanket.", ""},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.fault);
        const TemporaryMachine machine;
        // Win32 codes for the security functions, HRESULTs for COM.
        WinSim::SetInjectedFailure(test.fault, test.printed.isEmpty() ? 0x80004005 : 5);
        testing::internal::CaptureStdout();
        try {
            ObtainOnce();
            ADD_FAILURE() << "no exception";
        } catch (const HardwareInfo::InternalPanelObtainerException& error) {
            EXPECT_TRUE(QString(error.what()).startsWith(test.message)) << error.what();
        }
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(QString::fromStdString(printed).trimmed(), test.printed);
        EXPECT_TRUE(VotLog().contains(test.logLine)) << VotLog();
    }
}

TEST(InternalPanelObtainerTest, UnopenableLogIsAnObtainerException)
{
    const TemporaryMachine machine;
    ASSERT_TRUE(QDir().mkpath(Common::VotLogFilePath()));  // a folder where the log file should be
    try {
        ObtainOnce();
        ADD_FAILURE();
    } catch (const HardwareInfo::InternalPanelObtainerException& error) {
        EXPECT_EQ(error.Code(), 1);
        EXPECT_TRUE(QString(error.what()).startsWith("Failure to open VOT log file")) << error.what();
    }
}

TEST(InternalPanelObtainerTest, FailingQueryThrowsAndFailingEnumerationIsNotInternal)
{
    const TemporaryMachine machine;
    SetDisplays({{PanelEdid()}});
    HardwareInfo::InternalPanelObtainer obtainer;
    WinSim::SetInjectedFailure("IWbemServices::ExecQuery", 0x80041001);
    try {
        obtainer.GetInternalPanelId();
        ADD_FAILURE();
    } catch (const HardwareInfo::InternalPanelObtainerException& error) {
        EXPECT_EQ(error.Code(), std::int32_t(0x80041001));
        EXPECT_TRUE(QString(error.what()).startsWith("Query execution failed")) << error.what();
    }
    WinSim::SetInjectedFailure("IWbemServices::ExecQuery", 0);
    WinSim::SetInjectedFailure("IEnumWbemClassObject::Next", 0x80041001);
    EXPECT_EQ(obtainer.GetInternalPanelId(), QString());
    EXPECT_TRUE(VotLog().contains("ERROR: Failure, bailing out...")) << VotLog();
}

TEST(InternalPanelObtainerTest, CutPanelId)
{
    const struct {
        const char* deviceId;
        const char* id;
    } cases[] = {
        {"MONITOR\\SHP14C4\\{4d36e96e-e325-11ce-bfc1-08002be10318}\\0001", "SHP14C4"},
        {"DISPLAY\\SHP14C4\\5&1f2e3d4c&0&UID4352_0", "SHP14C4"},
        {"MONITOR\\SHP14C4", "SHP14C4"},
        {"MONITOR\\", ""},
        {"SHORT", ""},
    };
    for (const auto& test : cases) {
        EXPECT_EQ(HardwareInfo::CutPanelId(test.deviceId), QString(test.id)) << test.deviceId;
    }
}

}  // namespace
