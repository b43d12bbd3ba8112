// The yardstick of the tray start-up benchmark: a minimal Qt tray program with what the tray
// program shows (a hidden main window, a 22 x 22 icon, 12 checkable entries and Quit), without
// any of its work. Its tray icon's first paint is marked as the simulated user marks it.
#include "WindowsStandInUser/PaintMark/TrayPaintMark.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    WinSim::InstallTrayPaintMark();
    QApplication::setQuitOnLastWindowClosed(false);
    QMainWindow window;
    window.setGeometry(-110, -110, 10, 10);
    window.show();
    window.setVisible(false);

    QPixmap picture(22, 22);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setBrush(QColor(243, 243, 243));
    painter.drawEllipse(2, 2, 18, 18);
    painter.end();

    QMenu menu;
    QActionGroup group(&menu);
    group.setExclusive(true);
    for (int i = 1; i <= 12; ++i) {
        QAction* action = menu.addAction(QStringLiteral("Profile %1").arg(i));
        action->setCheckable(true);
        group.addAction(action);
    }
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Quit")), &QAction::triggered, &application, &QApplication::quit);
    QSystemTrayIcon icon{QIcon(picture)};
    icon.setContextMenu(&menu);
    icon.setToolTip(QStringLiteral("traypeer"));
    icon.show();
    return QApplication::exec();
}
