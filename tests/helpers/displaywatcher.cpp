// displaywatcher: a program of the machine that finds the internal panel, makes a display helper
// and prints the display state ("panel=... available=... duplicate=... dds=... hdr=... bits=...
// brightness=...") at start and after each WM_DISPLAYCHANGE. Prints "ready" once its event loop
// runs; ends when its standard input closes.
#include "Common/HardwareInfo/DisplayHelper.h"
#include "Common/HardwareInfo/InternalPanelObtainer.h"
#include "WindowsStandIn/Messages.h"
#include "tests/helpers/Interactive.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <memory>

namespace HardwareInfo = Korvel::DisplayCalibration::Common::HardwareInfo;

namespace {

void PrintState(HardwareInfo::IDisplayHelper& helper)
{
    std::printf("panel=%s available=%d duplicate=%d dds=%d hdr=%d bits=%u brightness=%d\n",
                helper.GetInternalPanelId().toUtf8().constData(), int(helper.IsInternalDisplayAvailable()),
                int(helper.IsDuplicateTopology()), int(helper.GetDdsMode()), int(helper.IsHdrActive()),
                helper.GetBitsPerColor(), helper.GetBrightnessLevel());
    std::fflush(stdout);
}

class DisplayChangeFilter : public QAbstractNativeEventFilter {
public:
    explicit DisplayChangeFilter(HardwareInfo::IDisplayHelper& helper) : helper(helper) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType == WinSim::NativeEventType && static_cast<const MSG*>(message)->message == WM_DISPLAYCHANGE) {
            PrintState(helper);
        }
        return false;
    }

private:
    HardwareInfo::IDisplayHelper& helper;
};

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    std::unique_ptr<HardwareInfo::IDisplayHelper> helper;
    try {
        QString panelId;
        {
            HardwareInfo::InternalPanelObtainer obtainer;
            panelId = obtainer.GetInternalPanelId();
        }
        helper.reset(HardwareInfo::DisplayHelperFactory().Create(panelId));
        PrintState(*helper);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    DisplayChangeFilter filter(*helper);
    application.installNativeEventFilter(&filter);
    const int code = RunUntilInputCloses(application);
    application.removeNativeEventFilter(&filter);
    return code;
}
