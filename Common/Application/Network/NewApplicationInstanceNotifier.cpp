#include "Common/Application/Network/NewApplicationInstanceNotifier.h"

#include "WindowsStandIn/NamedObjects.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace Korvel::DisplayCalibration::Common::Application {
namespace {

constexpr int ConnectMilliseconds = 1000;

QString OsServerName()
{
    return WinSim::LocalObjectName(NewApplicationInstanceNotifier::ServerName());
}

}  // namespace

NewApplicationInstanceNotifier::NewApplicationInstanceNotifier() : QObject(), server(new QLocalServer(this)) {}

NewApplicationInstanceNotifier::~NewApplicationInstanceNotifier()
{
    delete server;
}

QString NewApplicationInstanceNotifier::ServerName()
{
    const QByteArray text = QCoreApplication::applicationName().toUtf8() + "_NewApplicationInstanceNotifier";
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex());
}

bool NewApplicationInstanceNotifier::StartListening()
{
    const QString name = OsServerName();
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &NewApplicationInstanceNotifier::NewInstanceStarted);
    connect(server, &QLocalServer::newConnection, this, &NewApplicationInstanceNotifier::acceptNewConnection);
    return true;
}

void NewApplicationInstanceNotifier::NotifyRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(OsServerName(), QIODevice::ReadWrite);
    socket.waitForConnected(ConnectMilliseconds);
}

void NewApplicationInstanceNotifier::acceptNewConnection()
{
    server->nextPendingConnection();
}

}  // namespace Korvel::DisplayCalibration::Common::Application
