#include "Common/Application/CheckedConnection.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

using Korvel::DisplayCalibration::Common::Application::ConnectChecked;

namespace {

TEST(CheckedConnectionTest, ConnectsMatchingSignaturesAndRefusesOthersByName)
{
    QObject sender;
    QTimer receiver;
    receiver.setInterval(5000);
    ConnectChecked(&sender, SIGNAL(objectNameChanged(QString)), &receiver, SLOT(stop()));
    receiver.start();
    sender.setObjectName(QStringLiteral("renamed"));
    EXPECT_FALSE(receiver.isActive());

    const struct {
        const char* signal;
        const char* method;
        const QObject* receiver;
    } refused[] = {
        {SIGNAL(objectNameChanged(int)), SLOT(stop()), &receiver},
        {SIGNAL(objectNameChanged(QString)), SLOT(stopp()), &receiver},
        {SIGNAL(objectNameChanged(QString)), SLOT(start(QString)), &receiver},
        {SIGNAL(objectNameChanged(QString)), SLOT(stop()), nullptr},
    };
    for (const auto& c : refused) {
        try {
            ConnectChecked(&sender, c.signal, c.receiver, c.method);
            ADD_FAILURE() << c.signal << " " << c.method;
        } catch (const std::logic_error& error) {
            EXPECT_NE(std::string(error.what()).find("QObject::objectNameChanged"), std::string::npos) << error.what();
        }
    }
}

}  // namespace
