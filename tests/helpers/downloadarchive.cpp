// downloadarchive SN OUTPUT: downloads SN's archive from the machine's profile server, as the programs
// do, and writes it to OUTPUT. Exit code 0 on success; otherwise 1 with the reason on standard error.
#include "Common/Application/Constants.h"
#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"

#include <QCoreApplication>
#include <QFile>
#include <QUrl>

#include <cstdio>

using namespace Korvel::DisplayCalibration::Common;

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: downloadarchive SN OUTPUT\n", stderr);
        return 2;
    }
    auto downloader = Network::TwoPhaseArchiveDownloaderFactory().Create();
    QObject::connect(downloader.get(), &Network::IArchiveDownloader::ArchiveDownloadFinished,
                     [&](const QByteArray& archive) {
                         QFile output(QString::fromLocal8Bit(argv[2]));
                         const bool written = output.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                                              output.write(archive) == archive.size();
                         QCoreApplication::exit(written ? 0 : 1);
                     });
    QObject::connect(downloader.get(), &Network::IArchiveDownloader::ArchiveDownloadFailed,
                     [](const QString& reason) {
                         std::fprintf(stderr, "%s\n", qUtf8Printable(reason));
                         QCoreApplication::exit(1);
                     });
    const QString identity = QString::fromLocal8Bit(argv[1]);
    downloader->DownloadArchive(QUrl("https://" + ProfileServerHost() +
                                     ProfileDownloadPath.arg(QString::fromLatin1(QUrl::toPercentEncoding(identity)))));
    const int exitCode = QCoreApplication::exec();
    // The network manager is released with deleteLater: let that run while the application
    // exists, so its network thread ends before the process does.
    downloader.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return exitCode;
}
