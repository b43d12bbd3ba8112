// traywait [SECONDS]: waits until a system tray host serves the display (as Qt sees it) and exits
// with 0, or with 1 when none does within SECONDS (default 10).
#include <QApplication>
#include <QDeadlineTimer>
#include <QSystemTrayIcon>
#include <QThread>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int seconds = arguments.size() > 1 ? arguments[1].toInt() : 10;
    const QDeadlineTimer deadline(qint64(seconds) * 1000);
    while (!QSystemTrayIcon::isSystemTrayAvailable()) {
        if (deadline.hasExpired()) {
            return 1;
        }
        QThread::msleep(20);
    }
    return 0;
}
