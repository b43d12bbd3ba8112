// trayprogram: a small GUI program of the machine for driving through `winsim user`. A tray icon
// (no parent) whose menu holds the checkable "Alpha" and "Beta", a submenu "More" with "Gamma",
// "Ask..." (a question box), "Notice..." (a message box made as a plain dialog), "Dialog..." (a
// number field with a validator, a check box, OK and Cancel), a disabled "Unavailable", "Remove Beta"
// (takes "Beta" out of the menu) and "Quit".
// A display change shows a warning box from within the native event filter.
// Prints "ready" once its event loop runs and a line for everything the user does; ends on Quit or
// when its standard input closes.
#include "WindowsStandIn/Messages.h"

#include <QAbstractNativeEventFilter>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMetaEnum>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSocketNotifier>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <unistd.h>

namespace {

void Say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

void Ask()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Question"), QStringLiteral("Go on?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setInformativeText(QStringLiteral("Nothing changes yet."));
    const auto answer = QMessageBox::StandardButton(box.exec());
    Say("asked " + QString::fromLatin1(QMetaEnum::fromType<QMessageBox::StandardButtons>().valueToKey(answer)));
}

void Notice()
{
    QDialog box;
    box.setWindowTitle(QStringLiteral("Notice"));
    auto* picture = new QLabel(&box);
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    picture->setPixmap(box.style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(size, size));
    auto* text = new QLabel(QStringLiteral("Saved."), &box);
    auto* ok = new QPushButton(QStringLiteral("OK"), &box);
    ok->setObjectName(QStringLiteral("pushButton"));
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    auto* layout = new QHBoxLayout(&box);
    layout->addWidget(picture);
    layout->addWidget(text);
    layout->addWidget(ok);
    Say(box.exec() == QDialog::Accepted ? "notice accepted" : "notice rejected");
}

void Entry()
{
    QDialog dialog;
    dialog.setObjectName(QStringLiteral("entryDialog"));
    dialog.setWindowTitle(QStringLiteral("Entry"));
    auto* number = new QLineEdit(&dialog);
    number->setObjectName(QStringLiteral("numberEdit"));
    number->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,6}")), number));
    auto* remember = new QCheckBox(QStringLiteral("Remember"), &dialog);
    remember->setObjectName(QStringLiteral("rememberBox"));
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setEnabled(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(number, &QLineEdit::textEdited, [ok](const QString& text) {
        Say("edited " + text);
        ok->setEnabled(!text.isEmpty());
    });
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(number);
    layout->addWidget(remember);
    layout->addWidget(ok);
    layout->addWidget(cancel);
    if (dialog.exec() == QDialog::Accepted) {
        Say("dialog accepted " + number->text() + (remember->isChecked() ? " remembered" : ""));
    } else {
        Say(QStringLiteral("dialog rejected"));
    }
}

class DisplayChangeFilter : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override
    {
        if (eventType == WinSim::NativeEventType && static_cast<const MSG*>(message)->message == WM_DISPLAYCHANGE) {
            QMessageBox::warning(nullptr, QStringLiteral("Displays"), QStringLiteral("Displays changed."));
            Say(QStringLiteral("display change seen"));
        }
        return false;
    }
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tray Program"));
    QApplication::setQuitOnLastWindowClosed(false);

    QMenu menu;
    QActionGroup profiles(&menu);
    QAction* beta = nullptr;
    for (const QString& name : {QStringLiteral("Alpha"), QStringLiteral("Beta")}) {
        beta = profiles.addAction(menu.addAction(name));
        beta->setCheckable(true);
    }
    QMenu* more = menu.addMenu(QStringLiteral("More"));
    profiles.addAction(more->addAction(QStringLiteral("Gamma")))->setCheckable(true);
    QObject::connect(&profiles, &QActionGroup::triggered, [](QAction* action) { Say("checked " + action->text()); });
    menu.addSeparator();
    QObject::connect(menu.addAction(QStringLiteral("Ask...")), &QAction::triggered, Ask);
    QObject::connect(menu.addAction(QStringLiteral("Notice...")), &QAction::triggered, Notice);
    QObject::connect(menu.addAction(QStringLiteral("Dialog...")), &QAction::triggered, Entry);
    menu.addAction(QStringLiteral("Unavailable"))->setEnabled(false);
    QObject::connect(menu.addAction(QStringLiteral("Remove Beta")), &QAction::triggered, [&menu, beta] {
        menu.removeAction(beta);
        Say(QStringLiteral("removed Beta"));
    });
    QObject::connect(menu.addAction(QStringLiteral("&Quit")), &QAction::triggered, &application, &QApplication::quit);

    QPixmap picture(16, 16);
    picture.fill(Qt::darkCyan);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.setToolTip(QStringLiteral("Tray program"));
    tray.setContextMenu(&menu);
    QObject::connect(&tray, &QSystemTrayIcon::activated,
                     [](QSystemTrayIcon::ActivationReason reason) { Say("activated " + QString::number(reason)); });
    tray.show();

    DisplayChangeFilter filter;
    application.installNativeEventFilter(&filter);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&application] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            application.quit();
        }
    });
    QTimer::singleShot(0, [] { Say(QStringLiteral("ready")); });
    return application.exec();
}
