#pragma once

#include "Common/Logging/Loggable.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>

namespace Korvel::DisplayCalibration::Common::HardwareInfo {

class IDisplayHelper;

// Compares the panel's brightness with the level expected for the active profile on every
// timer tick and signals the first difference.
class BrightnessMonitor : public QObject, public Logging::Loggable {
    Q_OBJECT
public:
    BrightnessMonitor(std::shared_ptr<IDisplayHelper> displayHelper, QList<int> expectedLevels, qsizetype index,
                      QObject* parent = nullptr);

    void Start(int intervalMs);
    void Stop();
    bool IsRunning() const { return m_Timer.isActive(); }

signals:
    void BrightnessMismatch();

public slots:
    void CheckBrightness();

private:
    QList<int> m_ExpectedLevels;
    qsizetype m_Index = 0;
    QTimer m_Timer;
    bool m_Stop = false;
    std::shared_ptr<IDisplayHelper> m_DisplayHelper;
};

}  // namespace Korvel::DisplayCalibration::Common::HardwareInfo
