#include "tests/Quillon/QuillonFixtures.h"

#include "Common/Archive/ProfileArchiver.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/Network/ArchiveUploader.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"
#include "Common/Profile/ProfileHelper.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Windows/RegistryParser.h"
#include "Quillon/Configuration.h"
#include "Quillon/Constants.h"
#include "Quillon/Gui/QuillonStyle.h"
#include "Quillon/ProfileManager.h"
#include "Quillon/UserInputValidator.h"
#include "WindowsStandIn/ColorSystem.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace QuillonTest {

QApplication* Application()
{
    static QApplication* application = [] {
        static int argc = 1;
        static char name[] = "Quillon";
        static char* argv[] = {name, nullptr};
        static QTemporaryDir startup;
        const QByteArray current = qgetenv(WinSim::MachineVariable);
        const bool onMachine = QFileInfo::exists(WinSim::DescriptionFile());
        if (!onMachine) {
            WinSim::CreateMachine(startup.filePath("machine"));
            qputenv(WinSim::MachineVariable, QFile::encodeName(startup.filePath("machine")));
        }
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" QUILLON_SCREENS);
        auto* made = new QApplication(argc, argv);
        QCoreApplication::setApplicationName(ApplicationName);
        QApplication::setStyle(new DarkStyle());
        if (!onMachine) {
            qputenv(WinSim::MachineVariable, current);
        }
        return made;
    }();
    return application;
}

QByteArray Archives::Make(const QStringList& options)
{
    const QString output = directory.filePath(QStringLiteral("archive%1.zip").arg(++made));
    const TestSupport::ProcessResult result =
        TestSupport::Run(QStringLiteral("python3"), QStringList{TestSupport::BinaryPath("make_panel_archive.py"),
                                                                "--output", output, "--format", PanelFormat,
                                                                "--brightness", "60"} +
                                                        options);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return TestSupport::ReadFile(output);
}

QString Archives::Write(const QString& name, const QByteArray& content)
{
    const QString path = directory.filePath(name);
    TestSupport::WriteFile(path, content);
    return path;
}

QString Archives::PanelInfo(const QString& colorSpace, const QString& gamma, bool hdr, const QString& profiles)
{
    QDir().mkpath(directory.filePath("info"));
    return Write("info/PanelInfo.xml", QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                      "<PanelInfo version=\"1.0\">\n  <ColorSpace>%1</ColorSpace>\n"
                                                      "  <Gamma>%2</Gamma>\n  <HDR>%3</HDR>\n"
                                                      "  <Profiles>%4</Profiles>\n</PanelInfo>\n")
                                           .arg(colorSpace, gamma, hdr ? "true" : "false", profiles)
                                           .toUtf8());
}

Services::Services()
{
    namespace Common = Korvel::DisplayCalibration::Common;
    Application();
    // The shipped configuration is read relative to the program's folder, as Quillon sets it.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    biosTools.reset(Common::HardwareInfo::BiosToolsFactory().Create());
    displayHelperFactory = std::make_shared<Common::HardwareInfo::DisplayHelperFactory>();
    profileHelper.reset(Common::Profile::ProfileHelperFactory().Create());
    archiveDownloader = Common::Network::TwoPhaseArchiveDownloaderFactory().Create();
    profileArchiver.reset(Common::Archive::ProfileArchiverFactory().Create());
    QFile key(QStringLiteral(":/digitalsignature/public_key"));
    EXPECT_TRUE(key.open(QIODevice::ReadOnly));
    decrypter = Common::Security::DecrypterFactory().CreateDecrypter(key.readAll(), false);
    archiveUploader.reset(Common::Network::ArchiveUploaderFactory().Create());
    validator = UserInputValidatorFactory().Create();
    configuration = std::make_shared<Configuration>(
        std::shared_ptr<Common::HardwareInfo::IDisplayHelper>(displayHelperFactory->Create(panelId)));
}

std::unique_ptr<ProfileManager> MakeProfileManager(const Services& services)
{
    return std::make_unique<ProfileManager>(services.configuration, services.panelId, services.biosTools,
                                            services.archiveDownloader, services.profileHelper,
                                            services.displayHelperFactory, services.decrypter,
                                            services.profileArchiver, WindowTitle);
}

QStringList InstalledProfiles()
{
    QStringList installed;
    for (const QJsonValue name : WinSim::ColorSystemState().value("installed").toArray()) {
        installed << name.toString();
    }
    installed.removeOne(QStringLiteral("sRGB Color Space Profile.icm"));
    return installed;
}

QStringList JournalEvents(const QStringList& kinds)
{
    QStringList events;
    for (const QString& line : WinSim::ReadJournal()) {
        const QString event = line.section(' ', 2);
        if (kinds.contains(event.section(' ', 0, 0))) {
            events << event;
        }
    }
    return events;
}

QMap<QString, QString> PanelValues()
{
    Application();  // the registry key follows the application name
    Korvel::DisplayCalibration::Common::Windows::RegistryParser parser;
    QMap<QString, QString> values;
    for (const QString name :
         {"HdrSupported", "DefaultProfileColorSpace", "DefaultProfileGamma", "RequiredProfiles", "ProfileFormat"}) {
        QString value;
        if (parser.ReadString(QStringLiteral("PanelInfo"), name, value)) {
            values.insert(name, value);
        }
    }
    return values;
}

void QueueAnswer(const QString& answer)
{
    WinSim::User::QueueAnswer(answer == "--close" ? QJsonObject{{"close", true}} : QJsonObject{{"button", answer}});
}

}  // namespace QuillonTest
