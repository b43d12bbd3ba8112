#include "Common/Network/TwoPhaseArchiveDownloaderFactory.h"

#include "Common/Application/Constants.h"
#include "Common/Network/TwoPhaseArchiveDownloader.h"

namespace Korvel::DisplayCalibration::Common::Network {

std::unique_ptr<IArchiveDownloader> TwoPhaseArchiveDownloaderFactory::Create()
{
    auto downloader = std::make_unique<TwoPhaseArchiveDownloader>();
    downloader->AddRawHeader(QStringLiteral("ClientId"), ProfileServerClientId);
    return downloader;
}

}  // namespace Korvel::DisplayCalibration::Common::Network
