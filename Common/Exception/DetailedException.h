#pragma once

#include <QString>

// A message for the user and a details text, thrown by the window programs' start-up code
// to their entry points. It has no base class.
class DetailedException {
public:
    DetailedException(QString message, QString details) : message(std::move(message)), details(std::move(details)) {}
    virtual ~DetailedException() = default;

    const QString& Message() const { return message; }
    const QString& Details() const { return details; }

private:
    QString message;
    QString details;
};
