#include "Common/Exception/CoreException.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Settings/LogConfiguration.h"
#include "WindowsStandIn/Machine.h"
#include "tests/Common/HardwareInfo/DisplayFixtures.h"
#include "tests/fixtures/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using Korvel::DisplayCalibration::Core::Exception;
using namespace Korvel::DisplayCalibration::Common::HardwareInfo;
using namespace Korvel::DisplayCalibration::Common::Settings;

namespace {

constexpr std::int32_t FileError = 0x03010100;
constexpr std::int32_t ContentError = 0x03010101;
const QString PanelId = QStringLiteral("KVL4A1C");

QByteArray Metaconfig(const QByteArray& entries)
{
    return "<?xml version=\"1.0\"?>\n<metaconfig>\n" + entries + "\n</metaconfig>\n";
}

QByteArray Config(const QByteArray& sections, const QByteArray& root = "qen version=\"1.0\"")
{
    return "<?xml version=\"1.0\"?>\n<" + root + ">\n" + sections + "\n</" + root.split(' ').first() + ">\n";
}

const QByteArray Logging = "<logging><logfile>Main.log</logfile></logging>";
const QByteArray Profiles = "<profiles><filenameformat>{DisplayHwId}_{ProfileName}.icm</filenameformat></profiles>";

// A program folder (with "metaconfig.xml") that is also the current directory, on a fresh machine.
class LogConfigurationTest : public testing::Test {
protected:
    void SetUp() override
    {
        previousDirectory = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(program.path()));
        Write("metaconfig.xml", Metaconfig(""));
        Write("config/config.xml", Config(Logging + Profiles));
    }
    void TearDown() override { QDir::setCurrent(previousDirectory); }

    void Write(const QString& name, const QByteArray& content)
    {
        const QString path = program.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    std::unique_ptr<LogConfiguration> Make()
    {
        display.reset(DisplayHelperFactory().Create(PanelId));
        bios.reset(BiosToolsFactory().Create());
        return std::make_unique<LogConfiguration>(bios.get(), display.get(), program.path());
    }

    // The failure of making a configuration: its code and message; none when it was made.
    std::optional<std::pair<std::int32_t, std::string>> Failure()
    {
        try {
            Make();
            return std::nullopt;
        } catch (const Exception& error) {
            return std::pair{error.Code(), std::string(error.what())};
        }
    }

    static void SetPanelSerial(const QByteArray& serialText)
    {
        DisplayFixtures::EdidFields setup;
        setup.second = {0xFF, serialText};
        DisplayFixtures::DisplaySetup display;
        display.edid = DisplayFixtures::MakeEdid(setup);
        display.withBrightness = true;
        DisplayFixtures::SetDisplays({display});
    }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir program;
    QString previousDirectory;
    std::unique_ptr<IDisplayHelper> display;
    std::unique_ptr<IBiosTools> bios;
};

TEST_F(LogConfigurationTest, MetaconfigPicksConfigurationFile)
{
    Write("panel.xml", Config("<logging><logfile>Panel.log</logfile></logging>" + Profiles));
    Write("sub/other.xml", Config("<logging><logfile>Other.log</logfile></logging>" + Profiles));
    const struct {
        const char* name;
        QByteArray metaconfig;
        QString logFile;  // empty: the failure below
        std::int32_t code = 0;
        std::string message = {};
    } cases[] = {
        {"no entry", Metaconfig(""), "Main.log"},
        {"other panel", Metaconfig("<config PanelID=\"KVL0000\">panel.xml</config>"), "Main.log"},
        {"panel ID in lower case", Metaconfig("<config PanelID=\"kvl4a1c\">panel.xml</config>"), "Panel.log"},
        {"relative to current directory", Metaconfig("<config PanelID=\"KVL4A1C\">sub/other.xml</config>"),
         "Other.log"},
        {"absolute path", Metaconfig("<config PanelID=\"KVL4A1C\">" + program.filePath("panel.xml").toUtf8() + "</config>"),
         "Panel.log"},
        {"empty entry", Metaconfig("<config PanelID=\"KVL4A1C\"></config>"), "Main.log"},
        {"element name in other case", Metaconfig("<Config PanelID=\"KVL4A1C\">panel.xml</Config>"), "Main.log"},
        {"entry without panel ID", Metaconfig("<config>panel.xml</config>"), "Main.log"},
        {"nested entry", Metaconfig("<group><config PanelID=\"KVL4A1C\">panel.xml</config></group>"), "Main.log"},
        {"syntax error after match", "<m><config PanelID=\"KVL4A1C\">panel.xml</config><config", "Panel.log"},
        {"syntax error before match", "<m><x></y><config PanelID=\"KVL4A1C\">panel.xml</config></m>", "Main.log"},
        {"two matches of one file",
         Metaconfig("<config PanelID=\"KVL4A1C\">panel.xml</config><config PanelID=\"kvl4A1C\">panel.xml</config>"), "",
         ContentError, "There are multiple configuration files for KVL4A1C display type."},
        {"empty metaconfig", "", "", ContentError, "Empty metaconfig"},
        {"named file missing", Metaconfig("<config PanelID=\"KVL4A1C\">absent.xml</config>"), "", FileError,
         "Failed to open configuration file for PanelId KVL4A1C."},
        {"text not trimmed", Metaconfig("<config PanelID=\"KVL4A1C\"> panel.xml</config>"), "", FileError,
         "Failed to open configuration file for PanelId KVL4A1C."},
    };
    for (const auto& c : cases) {
        Write("metaconfig.xml", c.metaconfig);
        if (c.logFile.isEmpty()) {
            const auto failure = Failure();
            ASSERT_TRUE(failure.has_value()) << c.name;
            EXPECT_EQ(failure->first, c.code) << c.name;
            EXPECT_EQ(failure->second, c.message) << c.name;
        } else {
            EXPECT_EQ(Make()->LogFile(), c.logFile) << c.name;
        }
    }
    QFile::remove(program.filePath("metaconfig.xml"));
    EXPECT_EQ(Failure(), std::pair(FileError, std::string("Failed to open metaconfig file.")));
}

TEST_F(LogConfigurationTest, LoggingSectionValues)
{
    const struct {
        const char* name;
        QByteArray logging;
        QString logFile;
        int level;
        bool console;
        QString fileFormat = {};  // null: not checked
        QString consoleFormat = {};
    } cases[] = {
        {"all given",
         "<logging><logfile> A.log </logfile><level>10000</level><console>true</console>"
         "<filemessageformat>%p - %m%n</filemessageformat><consolemessageformat>%m%n</consolemessageformat>"
         "<unknown><x/></unknown></logging>",
         "A.log", 10000, true, "%p - %m%n", "%m%n"},
        {"defaults", "<logging><logfile>B.log</logfile><filemessageformat>  </filemessageformat></logging>", "B.log",
         20000, false, "%D{%Y.%m.%d %H:%M:%S,%q} [%t] %p %c{2} &lt;%x&gt;: %m%n [%I]",
         "%r [%t] %p %c{2} &lt;%x&gt; - %m%n"},
        {"level not a number, console in upper case",
         "<logging><logfile>C.log</logfile><level>30000x</level><console>TRUE</console></logging>", "C.log", 20000,
         false},
        {"level with blanks and sign", "<logging><logfile>D.log</logfile><level> -5 </level></logging>", "D.log", -5,
         false},
        {"last value wins", "<logging><logfile>E.log</logfile><logfile>F.log</logfile><logfile/></logging>", "F.log",
         20000, false},
        {"no logging section", "", "", 20000, false},
    };
    for (const auto& c : cases) {
        Write("config/config.xml", Config(c.logging + Profiles));
        const auto configuration = Make();
        EXPECT_EQ(configuration->LogFile(), c.logFile) << c.name;
        EXPECT_EQ(configuration->Level(), c.level) << c.name;
        EXPECT_EQ(configuration->Console(), c.console) << c.name;
        if (!c.fileFormat.isNull()) {
            EXPECT_EQ(configuration->FileMessageFormat(), c.fileFormat) << c.name;
            EXPECT_EQ(configuration->ConsoleMessageFormat(), c.consoleFormat) << c.name;
        }
    }
}

TEST_F(LogConfigurationTest, InvalidConfigurationFiles)
{
    const std::string missing = "Empty or no entry for mandatory configuration parameter '";
    const struct {
        const char* name;
        QByteArray config;
        std::string message;
    } cases[] = {
        {"empty file", "", "Empty configuration."},
        {"root named otherwise", Config(Logging + Profiles, "config version=\"1.0\""), "Invalid configuration."},
        {"version 1", Config(Logging + Profiles, "qen version=\"1\""), "Invalid configuration."},
        {"no version", Config(Logging + Profiles, "qen"), "Invalid configuration."},
        {"logging without log file", Config("<logging><level>10000</level><logfile> </logfile></logging>" + Profiles),
         missing + "logging/logfile'"},
        {"profiles without format", Config(Logging + "<profiles><filenameformat/></profiles>"),
         missing + "profiles/filenameformat'"},
        {"filter without model", Config(Logging + "<profiles><filenameformat>x</filenameformat>"
                                                  "<profilesfilter modelname=\" \"/></profiles>"),
         missing + "profilesfilter/modelname'"},
        {"unclosed root", Config(Logging + Profiles).replace("</qen>", ""), "Invalid configuration."},
        {"element inside a value", Config("<logging><logfile>A<b/>.log</logfile></logging>" + Profiles),
         "Invalid configuration."},
        {"mismatched tag", Config(Logging + Profiles + "<other></another>"), "Invalid configuration."},
    };
    for (const auto& c : cases) {
        Write("config/config.xml", c.config);
        const auto failure = Failure();
        ASSERT_TRUE(failure.has_value()) << c.name;
        EXPECT_EQ(*failure, std::pair(ContentError, c.message)) << c.name;
    }
    Write("config/config.xml", Config(""));
    EXPECT_EQ(Failure(), std::nullopt);
}

TEST_F(LogConfigurationTest, ProfilesFiltersAddNativeWithWarning)
{
    const struct {
        QByteArray filter;
        QString model;
        QStringList supported;
        bool warned;
    } cases[] = {
        {"<profilesfilter modelname=\" M1 \"><supportedprofiles>Default,DICOM_Dim</supportedprofiles></profilesfilter>",
         "M1", {"Default", "DICOM_Dim", "Native"}, true},
        {"<profilesfilter modelname=\"M2\"><supportedprofiles> Default, Native </supportedprofiles></profilesfilter>",
         "M2", {"Default", " Native", "Native"}, true},
        {"<profilesfilter modelname=\"M3\"><supportedprofiles>sRGB,,Native</supportedprofiles></profilesfilter>", "M3",
         {"sRGB", "", "Native"}, false},
        {"<profilesfilter modelname=\"M4\"/>", "M4", {}, false},
        {"<profilesfilter modelname=\"M5\"><supportedprofiles>sRGB</supportedprofiles><other/>"
         "<supportedprofiles>P3,Native</supportedprofiles></profilesfilter>",
         "M5", {"P3", "Native"}, true},
    };
    for (const auto& c : cases) {
        Write("config/config.xml",
              Config(Logging + "<profiles><filenameformat>x</filenameformat>" + c.filter + "</profiles>"));
        const TestSupport::LogCapture capture("Configuration");
        const auto configuration = Make();
        ASSERT_EQ(configuration->ProfilesFilters().size(), 1u) << c.model;
        const ProfilesFilter& filter = configuration->ProfilesFilters()[0];
        EXPECT_EQ(filter.ModelName(), c.model);
        EXPECT_EQ(filter.SupportedProfiles(), c.supported) << c.model;
        int warnings = 0;
        for (const auto& line : capture.Lines()) {
            warnings += line.message == "[WARNING] Native profile is not listed in profiles filter." ? 1 : 0;
        }
        EXPECT_EQ(warnings > 0, c.warned) << c.model;
    }
}

TEST_F(LogConfigurationTest, SupportedProfileFilesUseFilterOfCurrentModel)
{
    Write("config/config.xml",
          Config(Logging + "<profiles><filenameformat>x</filenameformat>"
                           "<profilesfilter modelname=\"21kv0012us\"><supportedprofiles>sRGB,Native</supportedprofiles>"
                           "</profilesfilter><profilesfilter modelname=\"21KV0012US\"><supportedprofiles>DCIP3"
                           "</supportedprofiles></profilesfilter><profilesfilter modelname=\"OTHER\">"
                           "<supportedprofiles>Default</supportedprofiles></profilesfilter></profiles>"));
    const auto configuration = Make();
    const QStringList names = {"Native", "AdobeRGB", "sRGB", "Default"};
    EXPECT_EQ(configuration->SupportedProfileFiles(names), QStringList({"Native", "sRGB"}));
    EXPECT_EQ(configuration->SupportedProfileFiles({"AdobeRGB", "srgb"}), QStringList({"AdobeRGB", "srgb"}));
    EXPECT_TRUE(configuration->SupportedProfileFiles({}).isEmpty());

    WinSim::SetDescriptionValue("bios.model", "Other");
    EXPECT_EQ(configuration->SupportedProfileFiles(names), QStringList({"Native", "Default"}));
    WinSim::SetDescriptionValue("bios.model", "Unlisted 1");
    EXPECT_EQ(configuration->SupportedProfileFiles(names), names);
}

TEST_F(LogConfigurationTest, PlaceholdersTakeMachineValues)
{
    const QByteArray all =
        "{DisplayHwId}|{DisplayManufacturerId}|{DisplayProductCode}|{DisplaySn}|{ComputerSn}|{ModelName}|{ProfileName}";
    const struct {
        const char* name;
        QByteArray format;
        QByteArray panelSerial;  // of the panel's EDID; empty: the default machine's panel
        QString biosSerial;
        QString model;
        QString expected;  // null: the start fails with the placeholder named below
        QString failingPlaceholder;
        bool warns;
    } cases[] = {
        {"all values", all, "", "", "", "KVL4A1C|KVL|4A1C|KVL5R2X01047|PF4KVQ7T|21KV0012US|{ProfileName}", "", false},
        {"repeated and neighbouring", "{DisplaySn}{DisplaySn}_{ComputerSn}", "", "", "",
         "KVL5R2X01047KVL5R2X01047_PF4KVQ7T", "", false},
        {"blanks removed from values", "{DisplaySn}_{ModelName}", "AB 12\n", "", "Book 14 G2", "AB12_BOOK14G2", "",
         false},
        {"empty BIOS serial", "{ComputerSn}_{ProfileName}", "", " ", "", QString(), "{ComputerSn}", false},
        {"empty BIOS serial not used", "{DisplaySn}_{ProfileName}", "", " ", "", "KVL5R2X01047_{ProfileName}", "",
         false},
        {"empty panel serial", "{DisplaySn}.icm", "   \n", "", "", QString(), "{DisplaySn}", false},
        {"panel serial with slash", "{DisplaySn}_{ProfileName}.icm", "../../evil\n", "", "", QString(), "{DisplaySn}",
         false},
        {"panel serial with backslash", "{DisplaySn}_{ProfileName}.icm", "..\\evil\n", "", "", QString(),
         "{DisplaySn}", false},
        {"BIOS serial with slash", "{ComputerSn}.icm", "", "A/B", "", QString(), "{ComputerSn}", false},
        {"empty model", "{ModelName}_{ProfileName}", "", "", " ", "_{ProfileName}", "", true},
        {"model with slash", "x{ModelName}y", "", "", "a/b", "xy", "", true},
        {"placeholder case differs", "{modelname}{displaysn}", "", "", "", "{modelname}{displaysn}", "", false},
    };
    for (const auto& c : cases) {
        TestSupport::TemporaryMachine fresh;
        if (!c.panelSerial.isEmpty()) {
            SetPanelSerial(c.panelSerial);
        }
        if (!c.biosSerial.isEmpty()) {
            WinSim::SetDescriptionValue("bios.serialNumber", c.biosSerial);
        }
        if (!c.model.isEmpty()) {
            WinSim::SetDescriptionValue("bios.model", c.model);
        }
        Write("config/config.xml",
              Config(Logging + "<profiles><filenameformat>" + c.format + "</filenameformat></profiles>"));
        const TestSupport::LogCapture capture("Configuration");
        if (c.expected.isNull()) {
            const auto failure = Failure();
            ASSERT_TRUE(failure.has_value()) << c.name;
            EXPECT_EQ(failure->first, ContentError) << c.name;
            EXPECT_EQ(failure->second, ("Failed to replace placeholder " + c.failingPlaceholder + " in " +
                                        QString::fromUtf8(c.format) +
                                        " configuration parameter. Placeholder value is null or empty.")
                                           .toStdString())
                << c.name;
            continue;
        }
        EXPECT_EQ(Make()->Refresh(false), c.expected) << c.name;
        bool warned = false;
        for (const auto& line : capture.Lines()) {
            warned = warned || (line.level == 30000 && line.message.find("{ModelName}") != std::string::npos);
        }
        EXPECT_EQ(warned, c.warns) << c.name;
    }
}

TEST_F(LogConfigurationTest, RefreshReadsReplacedPanel)
{
    Write("config/config.xml",
          Config(Logging + "<profiles><filenameformat>{DisplaySn}_{ProfileName}</filenameformat></profiles>"));
    const auto configuration = Make();
    EXPECT_EQ(configuration->Refresh(false), "KVL5R2X01047_{ProfileName}");

    SetPanelSerial("NEW 0001\n");
    EXPECT_EQ(configuration->Refresh(false), "KVL5R2X01047_{ProfileName}");
    EXPECT_EQ(configuration->Refresh(true), "NEW0001_{ProfileName}");

    SetPanelSerial("a/b\n");
    EXPECT_THROW(configuration->Refresh(true), Exception);
    EXPECT_EQ(configuration->Refresh(false), "NEW0001_{ProfileName}");
}

TEST_F(LogConfigurationTest, ShippedFilesOnDefaultMachine)
{
    int argc = 1;
    char name[] = "LogConfigurationTest";
    char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    ASSERT_TRUE(QFile::exists(TestSupport::BinaryPath("metaconfig.xml")));
    ASSERT_TRUE(QDir::setCurrent(QCoreApplication::applicationDirPath()));

    const std::shared_ptr<ILogConfiguration> configuration = CreateLogConfiguration(PanelId);
    EXPECT_EQ(configuration->LogFile(), "KorvelTintwise.log");
    EXPECT_EQ(configuration->Level(), 20000);
    EXPECT_FALSE(configuration->Console());
    EXPECT_EQ(configuration->FileMessageFormat(), "%D{%Y.%m.%d %H:%M:%S,%q} [%t] %p %c{2} <%x> - %m%n");
    EXPECT_EQ(configuration->Refresh(false), "KVL_4A1C_{ProfileName}.icm");
    EXPECT_EQ(configuration->SupportedProfileFiles({"sRGB", "Korvel_HDR10", "Native"}), QStringList({"sRGB", "Native"}));
}

}  // namespace
