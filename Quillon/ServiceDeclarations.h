// The shared library's services that Quillon's classes are given, declared for their headers.
#pragma once

namespace Korvel::DisplayCalibration::Common {
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
class IProfileHelper;
}
namespace Security {
class IDecrypter;
}
}  // namespace Korvel::DisplayCalibration::Common

class IConfiguration;
class IUserInputValidator;
