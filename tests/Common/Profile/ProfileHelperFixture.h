// A temporary machine and the tray program's application object, as the profile helper needs them
// (its tool path is the folder of the running program: the build's bin folder holds Tessaly).
#pragma once

#include "tests/fixtures/TestSupport.h"

#include "WindowsStandIn/Machine.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

class ProfileHelperMachine : public testing::Test {
public:
    TestSupport::TemporaryMachine machine;
    std::unique_ptr<QCoreApplication> application;

    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "KorvelTintwise";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
        WinSim::SetDescriptionValue(QStringLiteral("time.waitScale"), 0);
    }
};
