#pragma once

#include "Common/Network/IArchiveDownloader.h"

#include <memory>

namespace Korvel::DisplayCalibration::Common::Network {

class IArchiveDownloaderFactory {
public:
    virtual ~IArchiveDownloaderFactory() = default;
    virtual std::unique_ptr<IArchiveDownloader> Create() = 0;
};

}  // namespace Korvel::DisplayCalibration::Common::Network
