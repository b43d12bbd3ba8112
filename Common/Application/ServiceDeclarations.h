// The shared library's service interfaces, declared for headers that hold only pointers to them.
#pragma once

namespace Korvel::DisplayCalibration::Common {
namespace Application {
class ITrayNotifierFactory;
}
namespace Archive {
class IProfileArchiver;
}
namespace HardwareInfo {
class IBiosTools;
class IDisplayHelper;
class IDisplayHelperFactory;
}  // namespace HardwareInfo
namespace Network {
class IArchiveDownloader;
class IArchiveUploader;
}  // namespace Network
namespace Profile {
class IProfileConfigLoader;
class IProfileHelper;
}  // namespace Profile
namespace Security {
class IDecrypter;
}
namespace Settings {
class IConfiguration;
class ILogConfiguration;
class IStartupHelper;
}  // namespace Settings
}  // namespace Korvel::DisplayCalibration::Common
