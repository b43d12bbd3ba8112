// What the helper programs that tests talk to while they run share: lines on standard output as
// they happen, and an event loop that runs until standard input closes.
#pragma once

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

inline void Say(const QString& text)
{
    std::printf("%s\n", text.toUtf8().constData());
    std::fflush(stdout);
}

// Prints "ready" once the event loop runs; returns exec()'s result after standard input has closed.
inline int RunUntilInputCloses(QCoreApplication& application)
{
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&application] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            application.quit();
        }
    });
    QTimer::singleShot(0, &application, [] { Say(QStringLiteral("ready")); });
    return application.exec();
}
