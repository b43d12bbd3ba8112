// The running instance's local server; a later start connects to it to say that it was started
// (no data: the connection is the message).
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace Korvel::DisplayCalibration::Common::Application {

class NewApplicationInstanceNotifier : public QObject {
    Q_OBJECT

public:
    NewApplicationInstanceNotifier();
    ~NewApplicationInstanceNotifier() override;

    // SHA-1 of the application name and "_NewApplicationInstanceNotifier", lower-case hexadecimal.
    static QString ServerName();
    // Listens on the server name, first removing a name left by an ended instance (call it only in
    // the instance that owns the single-instance guard). From then on every connection emits
    // NewInstanceStarted before it is accepted.
    bool StartListening();
    // Connects to the running instance's server and drops the connection; no server: nothing happens.
    void NotifyRunningInstance();

signals:
    void NewInstanceStarted();

public slots:
    void acceptNewConnection();

private:
    QLocalServer* server;
};

}  // namespace Korvel::DisplayCalibration::Common::Application
