// "metaconfig.xml" and the configuration file it names, as the programs read them at start-up.
// The input's parts between zero bytes: the metaconfig, then the configuration file
// "config/config.xml" (the shipped one when the input has no second part).
#include "Common/Exception/CoreException.h"
#include "Common/Settings/LogConfiguration.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/FuzzSupport.h"

#include <QFile>

#include <cstdint>
#include <filesystem>

namespace Settings = Korvel::DisplayCalibration::Common::Settings;

namespace {

const std::string& ProgramFolder()
{
    static const std::string folder = [] {
        std::string made = Fuzz::ScratchDirectory() + "/program";
        std::filesystem::create_directories(made + "/config");
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QByteArray shippedConfig = [] {
        QFile file(Fuzz::ProgramDirectory() + "/config/config.xml");
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    auto& bios = Fuzz::MachineBiosTools();
    auto& display = Fuzz::MachineDisplayHelper();
    const Fuzz::CurrentDirectory programFolder(QString::fromStdString(ProgramFolder()));

    const auto parts = Fuzz::SplitAtZeros(data, size);
    Fuzz::WriteFile(ProgramFolder() + "/metaconfig.xml", parts[0]);
    Fuzz::WriteFile(ProgramFolder() + "/config/config.xml",
                    parts.size() > 1 ? parts[1] : std::string_view(shippedConfig.constData(), shippedConfig.size()));
    try {
        Settings::LogConfiguration configuration(&bios, &display, QString::fromStdString(ProgramFolder()));
        configuration.Refresh(false);
        configuration.SupportedProfileFiles({QStringLiteral("sRGB"), QStringLiteral("Native")});
    } catch (const Korvel::DisplayCalibration::Core::Exception&) {
    }
    return 0;
}
