#include "fuzz/FuzzMachine.h"

#include "Common/HardwareInfo/BiosTools.h"
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "Common/Settings/LogConfiguration.h"
#include "WindowsStandIn/Machine.h"
#include "fuzz/FuzzSupport.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;
namespace Settings = Korvel::DisplayCalibration::Common::Settings;

namespace Fuzz {
namespace {

// Each query of the real tools reads the machine: ask once.
class FixedBiosTools : public HardwareInfo::IBiosTools {
public:
    explicit FixedBiosTools(HardwareInfo::IBiosTools& tools)
        : serialNumber(tools.GetComputerSerialNumber()), modelName(tools.GetComputerModelName()),
          productVersion(tools.GetComputerProductVersion())
    {
    }
    QString GetComputerSerialNumber() override { return serialNumber; }
    QString GetComputerModelName() override { return modelName; }
    QString GetComputerProductVersion() override { return productVersion; }

private:
    QString serialNumber;
    QString modelName;
    QString productVersion;
};

struct Machine {
    Machine()
    {
        const QString directory = QString::fromStdString(ScratchDirectory()) + "/machine";
        WinSim::CreateMachine(directory);
        qputenv(WinSim::MachineVariable, directory.toUtf8());
        const std::unique_ptr<HardwareInfo::IBiosTools> tools(HardwareInfo::BiosToolsFactory().Create());
        biosTools = std::make_unique<FixedBiosTools>(*tools);
        displayHelper.reset(
            HardwareInfo::DisplayHelperFactory().Create(HardwareInfo::InternalPanelObtainer().GetInternalPanelId()));
    }

    std::unique_ptr<HardwareInfo::IBiosTools> biosTools;
    std::unique_ptr<HardwareInfo::IDisplayHelper> displayHelper;
};

Machine& TheMachine()
{
    static Machine machine;
    return machine;
}

}  // namespace

HardwareInfo::IBiosTools& MachineBiosTools()
{
    return *TheMachine().biosTools;
}

HardwareInfo::IDisplayHelper& MachineDisplayHelper()
{
    return *TheMachine().displayHelper;
}

CurrentDirectory::CurrentDirectory(const QString& directory) : previous(QDir::currentPath())
{
    QDir::setCurrent(directory);
}

CurrentDirectory::~CurrentDirectory()
{
    QDir::setCurrent(previous);
}

QString ProgramDirectory()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section('/', 0, -2);
}

Settings::ILogConfiguration& ShippedConfiguration()
{
    static Settings::LogConfiguration configuration = [] {
        // A relative configuration file name is opened from the current folder.
        const CurrentDirectory programFolder(ProgramDirectory());
        return Settings::LogConfiguration(&MachineBiosTools(), &MachineDisplayHelper(), ProgramDirectory());
    }();
    return configuration;
}

}  // namespace Fuzz
