#include "WindowsStandInUser/PaintMark/TrayPaintMark.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFile>

#include <ctime>

namespace WinSim {
namespace {

class TrayPaintMark : public QObject {
public:
    TrayPaintMark(const QString& file, QObject* parent) : QObject(parent), file(file) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && qstrcmp(watched->metaObject()->className(), "QSystemTrayIconSys") == 0) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            QFile mark(file);
            if (mark.open(QIODevice::WriteOnly | QIODevice::Append)) {
                mark.write("painted " + QByteArray::number(qint64(now.tv_sec) * 1000000000 + now.tv_nsec) + "\n");
            }
            QCoreApplication::instance()->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

private:
    QString file;
};

}  // namespace

void InstallTrayPaintMark()
{
    const QString file = qEnvironmentVariable(TrayPaintMarkVariable);
    QCoreApplication* application = QCoreApplication::instance();
    if (file.isEmpty() || application == nullptr) {
        return;
    }
    application->installEventFilter(new TrayPaintMark(file, application));
}

}  // namespace WinSim
