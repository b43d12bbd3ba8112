#include "Common/Application/DisplayChangedEventFilter.h"

#include "WindowsStandIn/Messages.h"

#include <QTimer>

namespace Korvel::DisplayCalibration::Common::Application {
namespace {

constexpr int SettleMilliseconds = 2000;

}  // namespace

DisplayChangedEventFilter::DisplayChangedEventFilter()
    : QObject(), QAbstractNativeEventFilter(), Loggable("DisplayChangedEventFilter"), timer(new QTimer(this))
{
    timer->setSingleShot(true);
    // A coarse timer may fire up to 5 % early.
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &DisplayChangedEventFilter::displaySettingsChanged);
}

DisplayChangedEventFilter::~DisplayChangedEventFilter() = default;

bool DisplayChangedEventFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != WinSim::NativeEventType || message == nullptr) {
        return false;
    }
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_DISPLAYCHANGE) {
        return false;
    }
    LogPieces(Logging::DebugLevel, "Received display change message (ID: ", msg->message, ")");
    timer->start(SettleMilliseconds);
    emit alignProfiles();
    return false;
}

}  // namespace Korvel::DisplayCalibration::Common::Application
