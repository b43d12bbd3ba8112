#include "WindowsStandIn/Messages.h"

#include "WindowsStandIn/FileStore.h"
#include "WindowsStandIn/Machine.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace WinSim {
namespace {

constexpr int ConnectTimeout = 2000;
constexpr int ReplyTimeout = 5000;

QString ListenersFolder(const QString& machine)
{
    return machine + "/listeners";
}

// One message on the wire: "message wParam lParam record-in-hex-or-dash\n".
QByteArray Encode(UINT message, WPARAM wParam, LPARAM lParam, const QByteArray& record)
{
    return QByteArray::number(message) + ' ' + QByteArray::number(quint64(wParam)) + ' ' +
           QByteArray::number(qint64(lParam)) + ' ' + (record.isEmpty() ? QByteArray("-") : record.toHex()) + '\n';
}

// Hands a message to the application's native event filters on this (the GUI) thread.
void Deliver(const QByteArray& line)
{
    const QList<QByteArray> fields = line.trimmed().split(' ');
    if (fields.size() != 4) {
        return;
    }
    MSG msg{};
    msg.message = fields[0].toUInt();
    msg.wParam = WPARAM(fields[1].toULongLong());
    msg.lParam = LPARAM(fields[2].toLongLong());
    msg.time = DWORD(QDateTime::currentMSecsSinceEpoch());
    // The record is copied into aligned storage that lives while the filters run.
    const QByteArray record = fields[3] == "-" ? QByteArray() : QByteArray::fromHex(fields[3]);
    std::vector<std::uint64_t> storage((std::size_t(record.size()) + 7) / 8 + 1, 0);
    if (!record.isEmpty()) {
        std::memcpy(storage.data(), record.constData(), std::size_t(record.size()));
        msg.lParam = reinterpret_cast<LPARAM>(storage.data());
    }
    QCoreApplication* application = QCoreApplication::instance();
    QAbstractEventDispatcher* dispatcher =
        application != nullptr ? QAbstractEventDispatcher::instance(application->thread()) : nullptr;
    if (dispatcher != nullptr) {
        qintptr result = 0;
        dispatcher->filterNativeEvent(NativeEventType, &msg, &result);
    }
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
        QDir().mkpath(ListenersFolder(machine));
        const QString file = ListenersFolder(machine) + "/" + QString::number(::getpid());
        if (!Detail::WriteFileAtomically(file, server.fullServerName().toUtf8())) {
            return false;
        }
        announcement = file;
        return true;
    }

private:
    void Accept()
    {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, socket, [socket] {
                if (!socket->canReadLine()) {
                    return;
                }
                Deliver(socket->readLine());
                socket->write("1\n");
                socket->flush();
                socket->disconnectFromServer();
            });
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

bool ProcessEnded(qint64 pid)
{
    return pid <= 0 || (::kill(pid_t(pid), 0) != 0 && errno == ESRCH);
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
    const QString folder = ListenersFolder(MachineDirectory());
    const QByteArray line = Encode(message, wParam, lParam, record);
    int delivered = 0;
    for (const QString& name : QDir(folder).entryList(QDir::Files)) {
        const QString file = folder + "/" + name;
        const qint64 pid = name.toLongLong();
        if (ProcessEnded(pid)) {
            QFile::remove(file);
            continue;
        }
        if (pid == ::getpid()) {
            // This process's own listener cannot answer while we wait: deliver directly.
            if (!CurrentListener().isNull()) {
                Deliver(line);
                ++delivered;
            }
            continue;
        }
        QLocalSocket socket;
        socket.connectToServer(QString::fromUtf8(Detail::ReadWholeFile(file)));
        if (!socket.waitForConnected(ConnectTimeout)) {
            continue;
        }
        socket.write(line);
        socket.waitForBytesWritten(ConnectTimeout);
        while (!socket.canReadLine() && socket.waitForReadyRead(ReplyTimeout)) {
        }
        if (socket.canReadLine() && socket.readLine().trimmed() == "1") {
            ++delivered;
        }
    }
    return delivered;
}

}  // namespace WinSim

namespace {

void StartNativeEventsAtApplicationStart()
{
    WinSim::StartAtApplicationStart();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartNativeEventsAtApplicationStart)
