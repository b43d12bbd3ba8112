#pragma once

#include "Common/Network/IArchiveDownloaderFactory.h"

namespace Korvel::DisplayCalibration::Common::Network {

// Makes downloaders that identify this client to the profile server ("ClientId" header).
class TwoPhaseArchiveDownloaderFactory : public IArchiveDownloaderFactory {
public:
    std::unique_ptr<IArchiveDownloader> Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Network
