// "PanelInfo.xml" of an archive, read as the restorer reads it, against the shipped configuration.
#include "Common/Profile/PanelInfo.h"
#include "Common/Profile/PanelInfoXmlParser.h"
#include "Common/Profile/ProfileConfigLoader.h"
#include "fuzz/FuzzMachine.h"
#include "fuzz/FuzzSupport.h"

#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace Profile = Korvel::DisplayCalibration::Common::Profile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto& configuration = Fuzz::ShippedConfiguration();
    const std::string path = Fuzz::ScratchDirectory() + "/PanelInfo.xml";
    Fuzz::WriteFile(path, data, size);

    QFile file(QString::fromStdString(path));
    int version = 0;
    Profile::PanelInfoXmlParser(&file).ReadVersion(version);
    Profile::PanelInfo panelInfo;
    if (Profile::ProfileConfigLoader(QString::fromStdString(path), &configuration).Load(panelInfo) &&
        !panelInfo.IsValid()) {
        std::abort();  // a record is taken only when valid
    }
    return 0;
}
