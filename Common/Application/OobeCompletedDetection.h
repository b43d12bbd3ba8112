// Holds back what waits for Windows' first-run setup (OOBE): once OOBE is finished, three hours are
// counted down in 5-second steps and OobeCompleted is emitted. The remaining time is kept in the
// encrypted "OobeTime.log" of the user's log directory, so that the count goes on across restarts
// of the program and of the machine; clock changes and reboots are corrected for. A second start of
// the program ends the wait at once (UserEndedOobe).
#pragma once

#include "Common/Logging/Loggable.h"
#include "WindowsStandIn/Oobe.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QTimer;

namespace Korvel::DisplayCalibration::Common::Application {

class OobeCompletedDetection : public QObject, public Logging::Loggable {
    Q_OBJECT

public:
    // Registers for the end of OOBE; when OOBE is already finished, one step of the countdown runs
    // at once and the 5-second timer starts.
    OobeCompletedDetection();
    ~OobeCompletedDetection() override;

    bool IsCompleted() const;
    // Records in the per-user settings that the user ended the wait, and stops the countdown.
    void UserEndedOobe();

public slots:
    void WaitAfterOobeCompleted();
    // One step of the countdown.
    void SaveRemainingOOBETime();

signals:
    void OobeCompleted();

private:
    enum State : std::int32_t { Counting = 0, Waiting = 1, Completed = 2, RegistrationFailed = 3 };

    // Called by the platform on a thread of its own: hands the start of the countdown to the
    // object's thread.
    static void OnOobeCompletedCallback(PVOID context);

    void Register();
    void StartTimer();
    void StopTimer();
    void Complete();
    bool ReadOobeFile(QStringList& fields);
    bool WriteOobeFile(const QString& text);
    // Writes the full wait with the current clock readings and returns the text written.
    QString RestartCount();

    PVOID waitHandle = nullptr;
    OOBE_COMPLETED_CALLBACK callback;
    QString oobeFilePath;
    QTimer* timer = nullptr;
    std::int32_t state = Waiting;
    std::unique_ptr<QSettings> settings;
};

}  // namespace Korvel::DisplayCalibration::Common::Application
