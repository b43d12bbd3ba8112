#include "Vesperon/Vesperon.h"

#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/StateFile.h"

#include <QFileInfo>
#include <QString>

#include <cstring>

namespace {

constexpr int InvalidParameter = 87;
// Longest feed location read; a longer text is refused rather than scanned without end.
constexpr std::size_t MaxFeedLength = 2048;

// The machine of this process, without making the default one just for this.
bool HasMachine()
{
    return !qEnvironmentVariableIsEmpty(WinSim::MachineVariable) ||
           QFileInfo::exists(WinSim::DefaultMachineDirectory());
}

void JournalQuietly(const QString& event, const QString& details)
{
    try {
        if (HasMachine()) {
            WinSim::Journal(event, details);
        }
    } catch (...) {
        // A damaged machine records nothing; the caller only sees the status.
    }
}

bool IsEmptyText(const char* text)
{
    return text != nullptr && text[0] == '\0';
}

// The feed text when it is a non-empty, NUL-terminated UTF-8 text of bounded length.
bool ReadFeed(const char* feed, QString& text)
{
    if (feed == nullptr) {
        return false;
    }
    const void* end = std::memchr(feed, '\0', MaxFeedLength + 1);
    if (end == nullptr) {
        return false;
    }
    const auto length = static_cast<const char*>(end) - feed;
    const QByteArray bytes(feed, length);
    const QString decoded = QString::fromUtf8(bytes);
    if (length == 0 || decoded.toUtf8() != bytes) {
        return false;
    }
    text = decoded;
    return true;
}

int Validate(const VesperonParameters* parameters, QString& feed)
{
    if (parameters == nullptr || parameters->size != sizeof(VesperonParameters)) {
        return InvalidParameter;
    }
    if (!ReadFeed(parameters->feedUrl, feed)) {
        return InvalidParameter;
    }
    for (const int32_t value : parameters->reserved) {
        if (value != 0) {
            return InvalidParameter;
        }
    }
    if (parameters->reservedFlags != 0 || !IsEmptyText(parameters->firstText) ||
        !IsEmptyText(parameters->secondText)) {
        return InvalidParameter;
    }
    return 0;
}

int InjectedStatus()
{
    try {
        if (HasMachine()) {
            if (const auto code = WinSim::InjectedFailure(QStringLiteral("VesperonInitialize"))) {
                return int(*code);
            }
        }
    } catch (...) {
        // A machine that cannot be read injects nothing.
    }
    return 0;
}

}  // namespace

extern "C" int VesperonInitialize(const VesperonParameters* parameters)
{
    QString feed;
    int status = Validate(parameters, feed);
    if (status == 0) {
        status = InjectedStatus();
    }
    JournalQuietly(QStringLiteral("vesperon-initialize"),
                   (feed.isEmpty() ? QStringLiteral("-") : feed) + QLatin1Char(' ') + QString::number(status));
    return status;
}

extern "C" int VesperonCheckForUpdates(int mode)
{
    JournalQuietly(QStringLiteral("vesperon-check"), QString::number(mode));
    return 0;
}
