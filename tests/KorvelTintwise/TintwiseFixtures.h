// Fixtures of the tray program's tests: its application object, stand-ins for its services, a
// recording tray notifier and factory-like profile sets.
#pragma once

#include "Common/Application/Widgets/TrayNotifier.h"
#include "Common/HardwareInfo/BiosTools.h"
#include "Common/Settings/ILogConfiguration.h"
#include "tests/fixtures/TestSupport.h"

#include <QApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace TintwiseTest {

// The application object of the test process (Qt's offscreen platform).
inline QApplication* Application()
{
    static int argc = 1;
    static char name[] = "KorvelTintwise";
    static char* argv[] = {name, nullptr};
    static QApplication* application = new QApplication(argc, argv);
    return application;
}

struct Notification {
    QString kind;
    QString text;
    int msecs;
};

class RecordingNotifier : public Korvel::DisplayCalibration::Common::Application::ITrayNotifier {
public:
    explicit RecordingNotifier(std::vector<Notification>& shown) : shown(shown) {}
    void ShowInformation(const QString& text, int msecs) override { shown.push_back({"information", text, msecs}); }
    void ShowWarning(const QString& text, int msecs) override { shown.push_back({"warning", text, msecs}); }
    void ShowCritical(const QString& text, int msecs) override { shown.push_back({"critical", text, msecs}); }

private:
    std::vector<Notification>& shown;
};

class RecordingNotifierFactory : public Korvel::DisplayCalibration::Common::Application::ITrayNotifierFactory {
public:
    Korvel::DisplayCalibration::Common::Application::ITrayNotifier* Create(QSystemTrayIcon*, const QString& title) override
    {
        titles << title;
        return new RecordingNotifier(shown);
    }
    std::vector<Notification> shown;
    QStringList titles;
};

class FakeBiosTools : public Korvel::DisplayCalibration::Common::HardwareInfo::IBiosTools {
public:
    explicit FakeBiosTools(QString model = QStringLiteral("21KV0012US")) : model(std::move(model)) {}
    QString GetComputerSerialNumber() override { return QStringLiteral("PF4KVQ7T"); }
    QString GetComputerModelName() override
    {
        if (model.isNull()) {
            throw std::runtime_error("no model name");
        }
        return model;
    }
    QString GetComputerProductVersion() override { return QString(); }
    QString model;
};

class FakeLogConfiguration : public Korvel::DisplayCalibration::Common::Settings::ILogConfiguration {
public:
    QString Refresh(bool) override { return QString(); }
    const std::vector<Korvel::DisplayCalibration::Common::Settings::ProfilesFilter>& ProfilesFilters() const override
    {
        return filters;
    }
    QStringList SupportedProfileFiles(const QStringList& names) override { return names; }
    QString LogFile() const override { return QString(); }
    int Level() const override { return 0; }
    bool Console() const override { return false; }
    QString FileMessageFormat() const override { return QString(); }
    QString ConsoleMessageFormat() const override { return QString(); }
    std::vector<Korvel::DisplayCalibration::Common::Settings::ProfilesFilter> filters;
};

// Runs make_panel_archive.py with `arguments`; the set's files land in `folder`.
inline void MakeProfileSet(const QString& folder, const QStringList& arguments)
{
    const TestSupport::ProcessResult result = TestSupport::Run(
        QStringLiteral("python3"),
        QStringList{TestSupport::BinaryPath(QStringLiteral("make_panel_archive.py")), "--folder", folder} + arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

}  // namespace TintwiseTest
