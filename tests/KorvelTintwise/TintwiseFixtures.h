// Fixtures of the tray program's tests: its application object, stand-ins for its services, a
// recording tray notifier and factory-like profile sets.
#pragma once

#include "Common/Application/Widgets/TrayNotifier.h"
#include "Common/Spectrine/Resource.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"
#include "tests/KorvelTintwise/ServiceFakes.h"
#include "tests/fixtures/TestSupport.h"

#include <QApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <vector>

namespace TintwiseTest {

// The application object of the test process (Qt's offscreen platform, GuiTestSupport's screens).
inline QApplication* Application()
{
    return &GuiTestSupport::Application();
}

// The application object named as the tray program names itself (its per-user settings key).
inline QApplication* TrayApplication()
{
    QApplication* application = Application();
    QCoreApplication::setOrganizationName(QStringLiteral("Korvel Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("Korvel Tintwise"));
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

// The description of the profile at `path` as the colour engine reads it; empty when it cannot.
inline QString ProfileDescription(const QString& path)
{
    namespace Engine = Korvel::DisplayCalibration::Common::Spectrine;
    KVStatus status = KVSuccess;
    const Engine::UniString enginePath(KVUniStringCreateFromUtf8(path.toUtf8().constData()));
    const Engine::Profile profile(KVProfileFromPathCreate(enginePath.Get(), &status));
    const Engine::UniString text(profile ? KVProfileGetDescription(profile.Get(), &status) : nullptr);
    return text ? QString::fromUtf8(KVUniStringToUtf8(text.Get())) : QString();
}

// Runs make_panel_archive.py with `arguments`; the set's files land in `folder`.
inline void MakeProfileSet(const QString& folder, const QStringList& arguments)
{
    const TestSupport::ProcessResult result = TestSupport::Run(
        QStringLiteral("python3"),
        QStringList{TestSupport::BinaryPath(QStringLiteral("make_panel_archive.py")), "--folder", folder} + arguments);
    ASSERT_EQ(result.exitCode, 0) << result.err;
}

}  // namespace TintwiseTest
