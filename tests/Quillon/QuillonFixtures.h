// Fixtures of Quillon's tests: the process's application on two offscreen screens, panel archives
// made by the archive maker, and Quillon's services made on the current simulated machine.
#pragma once

#include "Quillon/ServiceDeclarations.h"
#include "tests/fixtures/TestSupport.h"

#include <QApplication>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class ProfileManager;

namespace QuillonTest {

// The test process's application, made once, as Quillon makes its own: application name "Korvel
// Tintwise", the dark style. Its screens: "FullHd" 1920 x 1080 at (0, 0), physical / logical DPI 2
// (the primary screen), and "Uhd" 3840 x 2160 at (1920, 0), DPI ratio 1. It is made on a simulated
// machine, so that message boxes take the answers queued in the machine.
QApplication* Application();

// The six profile kinds, and the file-name format of the default machine's panel.
inline const QString SixKinds = QStringLiteral("sRGB,AdobeRGB,REC709,DCIP3,Default,Native");
inline const QString PanelFormat = QStringLiteral("KVL_4A1C_{ProfileName}.icm");

// Archives made by make_panel_archive.py in a folder of their own.
class Archives {
public:
    // The signed archive of the panel format with these further options. Its profiles carry
    // brightness metadata (60, unless the options say otherwise), as the profiles of every factory
    // set do: the tray program takes only profiles with it as the panel's own.
    QByteArray Make(const QStringList& options);
    // A file `name` in the archives' folder (to pass with --add).
    QString Write(const QString& name, const QByteArray& content);
    // A "PanelInfo.xml" as the factory writes it.
    QString PanelInfo(const QString& colorSpace, const QString& gamma, bool hdr, const QString& profiles);
    QString Path(const QString& name) const { return directory.filePath(name); }

private:
    QTemporaryDir directory;
    int made = 0;
};

// Quillon's services, made on the current machine as its entry point makes them.
struct Services {
    Services();
    std::shared_ptr<IConfiguration> configuration;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools> biosTools;
    std::shared_ptr<Korvel::DisplayCalibration::Common::HardwareInfo::IDisplayHelperFactory> displayHelperFactory;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Profile::IProfileHelper> profileHelper;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveDownloader> archiveDownloader;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Archive::IProfileArchiver> profileArchiver;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Security::IDecrypter> decrypter;
    std::shared_ptr<Korvel::DisplayCalibration::Common::Network::IArchiveUploader> archiveUploader;
    std::shared_ptr<IUserInputValidator> validator;
    QString panelId = QStringLiteral("KVL4A1C");
};

std::unique_ptr<ProfileManager> MakeProfileManager(const Services& services);

// The profiles in the machine's colour directory besides Windows' own sRGB profile.
QStringList InstalledProfiles();
// The journal's events of these kinds, without time and process ("colour-default currentUser ...").
QStringList JournalEvents(const QStringList& kinds);
// The machine-wide panel values Quillon writes, decrypted as the tray program reads them.
QMap<QString, QString> PanelValues();
// The answer the next message box takes: a button's text, or "--close".
void QueueAnswer(const QString& answer);

}  // namespace QuillonTest
