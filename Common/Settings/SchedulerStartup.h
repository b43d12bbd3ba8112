// Start at logon through the Task Scheduler's logon task, handled with the SchTasks command of the
// command runner: the query runs unelevated, creating and deleting run elevated.
#pragma once

#include "Common/Exception/OsErrorException.h"
#include "Common/Settings/IStartupHelper.h"

namespace Korvel::DisplayCalibration::Common::Settings {

KORVEL_DECLARE_OS_ERROR_EXCEPTION(EnableStartupException);
KORVEL_DECLARE_OS_ERROR_EXCEPTION(DisableStartupException);

class SchedulerStartup : public IStartupHelper {
public:
    // Whether the task exists.
    bool IsEnabled() override;
    // Creates (or replaces) the task that starts the running program. Throws EnableStartupException:
    // with the runner's result as its code when the command fails, with no code (-1) for any other
    // failure (a refused elevation prompt included).
    void Enable() override;
    // Deletes the task. Throws DisableStartupException with the runner's result when the command
    // fails; the runner's own exceptions pass unchanged.
    void Disable() override;
};

class StartupHelperFactory : public IStartupHelperFactory {
public:
    IStartupHelper* Create() override;
};

}  // namespace Korvel::DisplayCalibration::Common::Settings
