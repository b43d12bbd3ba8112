#include "Common/Application/OobeCompletedDetection.h"

#include "Common/Application/Constants.h"
#include "Common/Application/Paths.h"
#include "Common/Security/DecrypterFactory.h"
#include "Common/Security/EncrypterFactory.h"
#include "WindowsStandIn/RegistrySettings.h"
#include "WindowsStandIn/Time.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

#include <limits>

namespace Korvel::DisplayCalibration::Common::Application {
namespace {

using namespace Logging;

constexpr int WaitHours = 3;
constexpr std::int64_t WaitSeconds = WaitHours * 3600;
constexpr int StepSeconds = 5;
constexpr int StepMilliseconds = StepSeconds * 1000;
// Wall-clock seconds between two writes that still count as one regular step.
constexpr std::int64_t RegularStepSeconds = 7;
constexpr std::int64_t NanosecondsPerSecond = 1000000000;

// a - b, kept within 64 bits.
std::int64_t Difference(std::int64_t a, std::int64_t b)
{
    const __int128 difference = __int128(a) - b;
    if (difference > std::numeric_limits<std::int64_t>::max()) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (difference < std::numeric_limits<std::int64_t>::min()) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return std::int64_t(difference);
}

std::int64_t Magnitude(std::int64_t value)
{
    return value < 0 ? Difference(0, value) : value;
}

QString CountText(std::int64_t remaining, std::int64_t steady, std::int64_t wall)
{
    return QString::number(remaining) + "," + QString::number(steady) + "," + QString::number(wall);
}

}  // namespace

OobeCompletedDetection::OobeCompletedDetection()
    : QObject(), Loggable("OobeCompletedDetection"), callback(&OobeCompletedDetection::OnOobeCompletedCallback),
      oobeFilePath(LogDirectory() + "/" + OobeTimeFileName),
      settings(WinSim::OpenRegistrySettings("HKEY_CURRENT_USER\\Software\\" + QCoreApplication::organizationName() +
                                            "\\" + QCoreApplication::applicationName()))
{
    Register();
}

OobeCompletedDetection::~OobeCompletedDetection()
{
    delete timer;
    timer = nullptr;
    if (waitHandle != nullptr) {
        UnregisterWaitUntilOOBECompleted(waitHandle);
    }
}

bool OobeCompletedDetection::IsCompleted() const
{
    return state == Completed;
}

void OobeCompletedDetection::Register()
{
    state = Waiting;
    if (RegisterWaitUntilOOBECompleted(callback, this, &waitHandle)) {
        LogPieces(DebugLevel, "Callback successfully registered. ", WaitHours,
                  "h timer will be started after OOBE completion.");
        return;
    }
    const DWORD code = GetLastError();
    wchar_t* buffer = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPWSTR>(&buffer), 0,
                   nullptr);
    const QString description = buffer != nullptr ? QString::fromWCharArray(buffer) : QString();
    LocalFree(buffer);
    LogError(ErrorLevel, "Failure to register OOBE completed callback.",
             QStringLiteral(" Error code: %1; Description: %2").arg(int(code)).arg(description).toStdWString());
    if (code == ERROR_SUCCESS) {
        LogText(InfoLevel, "Successfully registered OOBE notification handler.");
    } else if (code == ERROR_INVALID_STATE) {
        LogText(WarnLevel, "OOBE already finished. No need for registration of OOBE notification handler.");
        state = Counting;
        StartTimer();
    } else {
        LogPieces(ErrorLevel, "Failure to register OOBE notification handler [err code: ", code, "]");
        state = RegistrationFailed;
    }
}

void OobeCompletedDetection::OnOobeCompletedCallback(PVOID context)
{
    auto* detection = static_cast<OobeCompletedDetection*>(context);
    QMetaObject::invokeMethod(detection, [detection] { detection->StartTimer(); }, Qt::QueuedConnection);
}

// One step first, then the timer: a count that is already over completes in that step, and the
// timer's first tick completes it once more.
void OobeCompletedDetection::StartTimer()
{
    LogText(DebugLevel, "Initializing and starting the timer...");
    SaveRemainingOOBETime();
    delete timer;
    timer = new QTimer();
    timer->setInterval(int(WinSim::ScaledWait(StepMilliseconds)));
    timer->setTimerType(Qt::PreciseTimer);
    connect(timer, &QTimer::timeout, this, &OobeCompletedDetection::SaveRemainingOOBETime);
    timer->start();
}

// The timer may be the sender of the running step: it is deleted by the event loop.
void OobeCompletedDetection::StopTimer()
{
    if (timer != nullptr) {
        timer->stop();
        timer->deleteLater();
        timer = nullptr;
    }
}

void OobeCompletedDetection::UserEndedOobe()
{
    StopTimer();
    settings->setValue(OobeSettingsKey, UserEndedOobeValue);
    // A second start ends without destructors: the value must be in the registry before it exits.
    settings->sync();
    if (settings->status() != QSettings::NoError) {
        WinSim::RevertToStore(*settings, OobeSettingsKey);
        LogText(ErrorLevel, "Registry write failed: User ended OOBE timer by clicking the application");
        return;
    }
    LogText(InfoLevel, "Registry Added: User ended OOBE timer by clicking the application");
}

void OobeCompletedDetection::WaitAfterOobeCompleted()
{
    LogPieces(DebugLevel, "Waited for ", WaitHours, "h after OOBE completed.");
    StopTimer();
    state = Completed;
    emit OobeCompleted();
}

void OobeCompletedDetection::Complete()
{
    LogText(InfoLevel, "OOBE was completed");
    state = Completed;
    StopTimer();
    emit OobeCompleted();
}

void OobeCompletedDetection::SaveRemainingOOBETime()
{
    const QFileInfo file(oobeFilePath);
    if (!file.exists() || file.size() == 0) {
        LogPieces(InfoLevel, "Starting the OOBE timer for ", WaitHours, " hours");
        if (!WriteOobeFile(CountText(WaitSeconds, WinSim::MonotonicNanoseconds(), WinSim::WallClockSeconds()))) {
            StopTimer();
            LogText(ErrorLevel, "Writting to OOBE file failed!");
        }
        return;
    }
    QStringList fields;
    if (!ReadOobeFile(fields)) {
        StopTimer();
        LogText(ErrorLevel, "Reading from OOBE file failed!");
        return;
    }
    const std::int64_t remaining = fields[0].toInt();
    const std::int64_t previousSteady = fields[1].toLongLong();
    const std::int64_t previousWall = fields[2].toLongLong();

    // Another process (a second start) may have written it.
    settings->sync();
    const QString registryValue = settings->value(OobeSettingsKey).toString();
    qDebug() << "remaining time:" << remaining;
    qDebug() << "registryValue:" << registryValue;
    if (remaining <= 0 || registryValue == UserEndedOobeValue) {
        Complete();
        return;
    }

    const std::int64_t steady = WinSim::MonotonicNanoseconds();
    const std::int64_t wall = WinSim::WallClockSeconds();
    const std::int64_t monotonicSeconds = Difference(steady, previousSteady) / NanosecondsPerSecond;
    const std::int64_t wallSeconds = Magnitude(Difference(wall, previousWall));
    std::int64_t next = remaining - StepSeconds;
    if (wallSeconds > RegularStepSeconds) {
        if (monotonicSeconds < 0) {
            LogText(InfoLevel, "System restart was detected");
            next = Difference(remaining, wallSeconds);
        } else {
            LogText(InfoLevel, monotonicSeconds >= RegularStepSeconds ? "Application restart was detected"
                                                                       : "A time or time zone change was detected");
            next = Difference(remaining, monotonicSeconds);
        }
        LogPieces(InfoLevel, "Previous OOBE wait time: ", remaining, " secs Current OOBE wait time: ", next, " secs");
    }
    if (!WriteOobeFile(CountText(next, steady, wall))) {
        StopTimer();
        LogText(ErrorLevel, "Writting to OOBE file failed!");
    }
}

QString OobeCompletedDetection::RestartCount()
{
    LogPieces(InfoLevel, "Re-starting the OOBE timer for ", WaitHours, " hours");
    const QString text = CountText(WaitSeconds, WinSim::MonotonicNanoseconds(), WinSim::WallClockSeconds());
    if (!WriteOobeFile(text)) {
        StopTimer();
        LogText(ErrorLevel, "Writting to OOBE file failed!");
    }
    return text;
}

bool OobeCompletedDetection::ReadOobeFile(QStringList& fields)
{
    QFile file(oobeFilePath);
    if (!file.open(QIODevice::ReadOnly)) {
        LogText(ErrorLevel, "App start time could not be logged! File creation failed!");
        return false;
    }
    const QByteArray cipher = QByteArray::fromBase64(file.readAll());
    file.close();
    try {
        fields = QString::fromUtf8(Security::DecrypterFactory().CreateSymmetricDecrypter()->Decrypt(cipher))
                     .split(',', Qt::KeepEmptyParts);
    } catch (const std::exception&) {
        LogText(ErrorLevel, "Decryption of OOBE file failed");
        fields = RestartCount().split(',');
        return true;
    }
    // Fewer than the three values: as unreadable as a file that does not decrypt.
    if (fields.size() < 3) {
        LogText(ErrorLevel, "OOBE file holds fewer than three values");
        fields = RestartCount().split(',');
    }
    return true;
}

bool OobeCompletedDetection::WriteOobeFile(const QString& text)
{
    ReplaceSymbolicLinks(ApplicationDataDirectory(), oobeFilePath);
    QFile file(oobeFilePath);
    if (!file.open(QIODevice::WriteOnly)) {
        LogText(ErrorLevel, "App start time could not be logged! File creation failed!");
        return false;
    }
    file.resize(0);
    QByteArray cipher;
    try {
        cipher = Security::EncrypterFactory().CreateSymmetricEncrypter()->Encrypt(text.toUtf8());
    } catch (const std::exception&) {
        return false;
    }
    QTextStream stream(&file);
    stream << QString::fromLatin1(cipher.toBase64());
    stream.flush();
    const bool written = stream.status() == QTextStream::Ok;
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

}  // namespace Korvel::DisplayCalibration::Common::Application
