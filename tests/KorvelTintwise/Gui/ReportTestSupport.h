// Pieces of the quality-report tests: a generated factory set on a machine of the test's own, a
// home folder with Documents, and answers to modal dialogs shown from inside the code under test.
#pragma once

#include "Gui/SdrProfileQualityReportDlg.h"
#include "ProfileData/ProfileQualityReportParser.h"
#include "tests/KorvelTintwise/GuiTestSupport.h"
#include "tests/KorvelTintwise/TintwiseFixtures.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace ReportTestSupport {

// Acts on the next modal dialog of type `Dialog` as soon as it is the active modal widget (from
// within its own event loop), once.
template <typename Dialog>
class WhenModal {
public:
    explicit WhenModal(std::function<void(Dialog*)> act) : act(std::move(act))
    {
        timer.callOnTimeout([this] {
            if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
                timer.stop();
                seen = true;
                this->act(dialog);
            }
        });
        timer.start(5);
    }
    bool Seen() const { return seen; }

private:
    std::function<void(Dialog*)> act;
    QTimer timer;
    bool seen = false;
};

// A machine of the test's own, HOME with an empty Documents folder, and a factory set whose
// files are named "<key>.icm" with "<key>_Quality.txt" reports beside them.
class ReportFixture : public testing::Test {
protected:
    void SetUp() override
    {
        GuiTestSupport::Application();
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("Documents")));
        TintwiseTest::MakeProfileSet(set.path(), {"--format", "{ProfileName}.icm", "--profiles", "sRGB,Native",
                                                  "--luminance", "245.3", "--serial", "PF4KVQ7T"});
    }

    QString ReportPath(const QString& key) const { return set.filePath(key + "_Quality.txt"); }

    // The report of `key` through the real reader.
    SdrQualityReportData Report(const QString& key = QStringLiteral("sRGB")) const
    {
        ProfileQualityReportParser parser;
        QString error;
        EXPECT_TRUE(parser.Load(ReportPath(key), error)) << error;
        return SdrQualityReportData::FromReport(parser, ReportPath(key));
    }

    QString Documents() const { return QDir(home.filePath(QStringLiteral("Documents"))).absolutePath(); }

    TestSupport::TemporaryMachine machine;
    QTemporaryDir home;
    TestSupport::ScopedEnvironment homeVariable{"HOME", QFile::encodeName(home.path()).constData()};
    TestSupport::ScopedEnvironment configVariable{"XDG_CONFIG_HOME", nullptr};
    TestSupport::ScopedEnvironment documentsVariable{"XDG_DOCUMENTS_DIR", nullptr};
    QTemporaryDir set;
};

}  // namespace ReportTestSupport
