#include "WindowsStandIn/Messages.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"
#include "WindowsStandIn/SimulatedUser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <unistd.h>
#include <algorithm>
#include <memory>

namespace WinSim {
namespace {

constexpr int ConnectTimeout = 2000;
constexpr int ReplyTimeout = 5000;
// A request of the simulated user: "user <JSON object>\n", answered by one JSON object line.
constexpr char UserRequestPrefix[] = "user ";

QString ListenersFolder(const QString& machine)
{
    return machine + "/listeners";
}

// When the process started (clock ticks after boot, from /proc): with the pid it names one process,
// even after the pid has been given to another.
QByteArray ProcessStartTime(qint64 pid)
{
    QFile stat("/proc/" + QString::number(pid) + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    const QByteArray text = stat.readAll();
    // Fields after the command name in parentheses; the start time is the 22nd field of the line.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 1).simplified().split(' ');
    return fields.size() > 19 ? fields[19] : QByteArray();
}

// A listener's announcement: its server name, then the start time of its process.
QList<QByteArray> ReadAnnouncement(const QString& machine, qint64 pid)
{
    return Detail::ReadWholeFile(ListenersFolder(machine) + "/" + QString::number(pid)).split('\n');
}

// One message on the wire: "message wParam lParam record-in-hex-or-dash\n".
QByteArray Encode(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record)
{
    return QByteArray::number(message) + ' ' + QByteArray::number(quint64(wParam)) + ' ' +
           QByteArray::number(qint64(lParam)) + ' ' + (record.isEmpty() ? QByteArray("-") : record.toHex()) + '\n';
}

// Hands a message line to the application's native event filters on this (the GUI) thread.
void Deliver(const QByteArray& line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 4) {
        return;
    }
    DeliverNativeMessage(fields[0].toUInt(), WPARAM(fields[1].toULongLong()), LPARAM(fields[2].toLongLong()),
                         fields[3] == "-" ? QByteArray() : QByteArray::fromHex(fields[3]));
}

User::RequestHandler& UserRequestHandler()
{
    static User::RequestHandler handler;
    return handler;
}

class Listener : public QObject {
public:
    explicit Listener(QObject* parent) : QObject(parent) {}

    ~Listener() override
    {
        if (!announcement.isEmpty()) {
            QFile::remove(announcement);
        }
    }

    bool Start()
    {
        const QString machine = MachineDirectory();
        if (!QFileInfo::exists(DescriptionFile(machine))) {
            return false;
        }
        const QString name = "korvel-winsim-" + QString::number(::getpid());
        QLocalServer::removeServer(name);  // left by an ended process that had this id
        if (!server.listen(name)) {
            return false;
        }
        connect(&server, &QLocalServer::newConnection, this, &Listener::Accept);
        if (!Detail::MakeMachineFolder(ListenersFolder(machine))) {
            return false;
        }
        const QString file = ListenersFolder(machine) + "/" + QString::number(::getpid());
        if (!Detail::WriteFileAtomically(file, server.fullServerName().toUtf8() + '\n' + ProcessStartTime(::getpid()))) {
            return false;
        }
        announcement = file;
        return true;
    }

private:
    // A request is served from the event loop, not from within the socket's signal: serving it may
    // run a nested event loop (a modal dialog) in which the socket ends.
    void Accept()
    {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine() || socket->property("handled").toBool()) {
                    return;
                }
                socket->setProperty("handled", true);
                const QByteArray line = socket->readLine();
                const QPointer<QLocalSocket> guarded(socket);
                QTimer::singleShot(0, this, [guarded, line] {
                    if (line.startsWith(UserRequestPrefix)) {
                        HandleUserRequest(guarded, line.mid(int(sizeof UserRequestPrefix) - 1));
                        return;
                    }
                    Detail::RunThenRespond([line] { Deliver(line); },
                                           [guarded] {
                                               if (!guarded.isNull()) {
                                                   Answer(guarded, "1\n");
                                               }
                                           });
                });
            });
        }
    }

    static void Answer(QLocalSocket* socket, const QByteArray& line)
    {
        socket->write(line);
        socket->flush();
        if (socket->bytesToWrite() > 0) {
            socket->waitForBytesWritten(ConnectTimeout);
        }
        socket->disconnectFromServer();
    }

    static void HandleUserRequest(const QPointer<QLocalSocket>& guarded, const QByteArray& json)
    {
        auto replied = std::make_shared<bool>(false);
        const User::Reply reply = [guarded, replied](const QJsonObject& answer) {
            if (*replied) {
                return;
            }
            *replied = true;
            if (!guarded.isNull()) {
                Answer(guarded, QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
            }
        };
        const QJsonDocument request = QJsonDocument::fromJson(json);
        if (!request.isObject()) {
            reply({{"error", "the request is not a JSON object"}});
        } else if (!UserRequestHandler()) {
            reply({{"error", "this program has no user interface"}, {"gui", false}});
        } else {
            UserRequestHandler()(request.object(), reply);
        }
    }

    QLocalServer server;
    QString announcement;
};

QPointer<Listener>& CurrentListener()
{
    static QPointer<Listener> listener;
    return listener;
}

void StartAtApplicationStart()
{
    try {
        StartNativeEventListener();
    } catch (const std::exception&) {
        // No machine to announce in: the program runs without native events.
    }
}

bool ProcessEnded(const QString& machine, qint64 pid)
{
    if (pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)) {
        return true;
    }
    const QList<QByteArray> announcement = ReadAnnouncement(machine, pid);
    return announcement.size() > 1 && !announcement[1].isEmpty() && announcement[1] != ProcessStartTime(pid);
}

// Sends one line to a program's listener and returns its reply line (empty without one in time).
QByteArray Exchange(const QString& machine, qint64 pid, const QByteArray& line, int replyTimeout)
{
    QLocalSocket socket;
    socket.connectToServer(QString::fromUtf8(ReadAnnouncement(machine, pid).value(0)));
    if (!socket.waitForConnected(ConnectTimeout)) {
        return QByteArray();
    }
    socket.write(line);
    socket.waitForBytesWritten(ConnectTimeout);
    QDeadlineTimer deadline(replyTimeout);
    while (!socket.canReadLine() && !deadline.hasExpired() &&
           socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
    }
    return socket.canReadLine() ? socket.readLine() : QByteArray();
}

}  // namespace

void StartNativeEventListener()
{
    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr || !CurrentListener().isNull()) {
        return;
    }
    auto* listener = new Listener(application);
    if (listener->Start()) {
        CurrentListener() = listener;
    } else {
        delete listener;
    }
}

int SendNativeMessage(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record)
{
    const QString machine = MachineDirectory();
    const QByteArray line = Encode(message, wParam, lParam, record);
    int delivered = 0;
    for (const qint64 pid : User::ListeningPrograms(machine)) {
        if (pid == ::getpid()) {
            // This process's own listener cannot answer while we wait: deliver directly.
            if (!CurrentListener().isNull()) {
                Deliver(line);
                ++delivered;
            }
            continue;
        }
        if (Exchange(machine, pid, line, ReplyTimeout).trimmed() == "1") {
            ++delivered;
        }
    }
    return delivered;
}

namespace Detail {

void RunThenRespond(const std::function<void()>& action, const std::function<void()>& respond)
{
    auto responded = std::make_shared<bool>(false);
    const auto once = [responded, respond] {
        if (!*responded) {
            *responded = true;
            respond();
        }
    };
    QTimer::singleShot(0, QCoreApplication::instance(), once);
    action();
    once();
}

}  // namespace Detail

namespace User {

void SetRequestHandler(RequestHandler handler)
{
    UserRequestHandler() = std::move(handler);
}

QList<qint64> ListeningPrograms(const QString& machine)
{
    const QString folder = ListenersFolder(machine);
    QList<qint64> programs;
    // A link standing at the folder's name is not the machine's: nothing is listed or removed through it.
    if (QFileInfo(folder).isSymLink()) {
        return programs;
    }
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        bool announcement = false;
        const qint64 pid = name.toLongLong(&announcement);
        // Another name is an announcement being written (the atomic writer's temporary file):
        // removing it would make that program's announcement fail.
        if (!announcement) {
            continue;
        }
        if (ProcessEnded(machine, pid)) {
            QFile::remove(folder + "/" + name);
        } else {
            programs << pid;
        }
    }
    std::sort(programs.begin(), programs.end());
    return programs;
}

std::optional<QJsonObject> Request(qint64 pid, const QJsonObject& request, int timeout, const QString& machine)
{
    if (pid == ::getpid()) {
        return std::nullopt;  // this process's listener cannot answer while we wait
    }
    const QByteArray reply = Exchange(
        machine, pid, UserRequestPrefix + QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n', timeout);
    const QJsonDocument document = QJsonDocument::fromJson(reply);
    if (!document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

}  // namespace User

}  // namespace WinSim

namespace {

void StartNativeEventsAtApplicationStart()
{
    WinSim::StartAtApplicationStart();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartNativeEventsAtApplicationStart)
