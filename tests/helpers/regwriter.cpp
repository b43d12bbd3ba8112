// regwriter MODE KEYPATH PREFIX COUNT: writes the values PREFIX0..PREFIX<COUNT-1> = "v<i>" one
// at a time, through QSettings (MODE "settings") or the store's functions (MODE "store").
// Exits 0, or with the Windows error code of the first refused write.
#include "WindowsStandIn/Registry.h"
#include "WindowsStandIn/RegistrySettings.h"

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: regwriter settings|store KEYPATH PREFIX COUNT\n");
        return 87;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString keyPath = QString::fromLocal8Bit(argv[2]);
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    const int count = QString::fromLocal8Bit(argv[4]).toInt();
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        const QString data = "v" + QString::number(i);
        if (mode == "settings") {
            auto settings = WinSim::OpenRegistrySettings(keyPath);
            settings->setValue(name, data);
            settings->sync();
            if (settings->status() != QSettings::NoError) {
                std::fprintf(stderr, "write of %s refused\n", qPrintable(name));
                return int(ERROR_ACCESS_DENIED);
            }
        } else {
            const DWORD status = WinSim::Registry::SetValue(keyPath, name, {REG_SZ, data});
            if (status != ERROR_SUCCESS) {
                std::fprintf(stderr, "write of %s refused: %u\n", qPrintable(name), status);
                return int(status);
            }
        }
    }
    return 0;
}
