// Values through every builder of an elevated Tessaly command into a program that records the argv
// it gets: each value arrives exactly, or the operation refuses it and nothing runs.
#include "tests/Common/Profile/ProfileHelperFixture.h"

#include "Common/Profile/ProfileHelper.h"
#include "Common/Profile/RegistryLoader.h"
#include "Common/Profile/TessalyCommand.h"
#include "Common/Windows/CommandLine.h"
#include "WindowsStandIn/Machine.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace Korvel::DisplayCalibration::Common::Profile;
using Korvel::DisplayCalibration::Common::Exception::OsErrorException;

namespace {

struct Value {
    const char* name;
    QString text;
    bool arrives;
};

const Value Values[] = {
    {"blanks", QStringLiteral(" two  blanks "), true},
    {"cmd operators", QStringLiteral("% ^ & | < > ( ) ! &&x|| \"&calc&\""), false},
    {"cmd operators unquoted", QStringLiteral("a&b|c<d>e^f(g)h!i %j"), true},
    {"variable", QStringLiteral("%PATH%"), true},
    {"an option", QStringLiteral("--remove-registry-key"), true},
    {"trailing backslash", QStringLiteral("C:\\Profiles\\"), true},
    {"trailing backslashes", QStringLiteral("end\\\\\\"), true},
    {"doubled backslashes", QStringLiteral("\\\\server\\share\\\\x"), true},
    {"backslash before quote", QStringLiteral("a\\\" --remove-registry-key PanelInfo"), false},
    {"embedded quotes", QStringLiteral("say \"hi\""), false},
    {"non-ASCII", QStringLiteral("Größe ✓ 日本 \U0001F600"), true},
    {"300 characters", QString(300, QChar('x')), true},
    {"9000 characters", QString(9000, QChar('y')), false},
    {"empty", QString(), false},
    {"CR", QStringLiteral("a\rb"), false},
    {"LF", QStringLiteral("a\nb"), false},
    {"NUL", QString::fromUtf16(u"a\0b", 3), false},
};

// One builder: runs an operation with `v` in every place a caller supplies, and gives the argv
// the tool must get.
struct Builder {
    const char* name;
    std::function<void(ProfileHelper&, RegistryLoader&, const QString& v)> call;
    std::function<QStringList(const ProfileHelper&, const QString& v)> argv;
};

QStringList Pair(const QString& name, const QString& value)
{
    return {"--add-registry-key", name, "--registry-value", value};
}

const QString PanelKey = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise\\PanelInfo");

const Builder Builders[] = {
    {"InstallProfile", [](auto& h, auto&, const QString& v) { h.InstallProfile(v); },
     [](auto&, const QString& v) { return QStringList{"--install-profile", v}; }},
    {"InstallProfiles", [](auto& h, auto&, const QString& v) { h.InstallProfiles({v, v}); },
     [](auto&, const QString& v) { return QStringList{"--install-profile", v, "--install-profile", v}; }},
    {"InstallProfilesWithPanelInfo",
     [](auto& h, auto&, const QString& v) { h.InstallProfilesWithPanelInfo({v}, v, v, v, v, v); },
     [](auto& h, const QString& v) {
         return QStringList{"--install-profile", v, "--set-registry-path", PanelKey} + Pair("HdrSupported", v) +
                Pair("DefaultProfileColorSpace", v) + Pair("DefaultProfileGamma", v) +
                Pair("RequiredProfiles", v) + Pair("ProfileFormat", v) + Pair("DisplayDeviceId", h.GetDeviceId());
     }},
    {"InstallProfilesRemovingPanelInfo", [](auto& h, auto&, const QString& v) { h.InstallProfilesRemovingPanelInfo({v}); },
     [](auto&, const QString& v) {
         return QStringList{"--install-profile", v, "--set-registry-path",
                            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Korvel Inc\\KorvelTintwise", "--remove-registry-key",
                            "PanelInfo"};
     }},
    {"InstallHdr10ProfilesWithPanelInfo",
     [](auto& h, auto&, const QString& v) { h.InstallHdr10ProfilesWithPanelInfo({v}, v, v); },
     [](auto&, const QString& v) {
         return QStringList{"--install-profile-hdr10", v, "--set-registry-path", PanelKey} +
                Pair("Hdr10Supported", v) + Pair("RequiredProfilesHdr10", v);
     }},
    {"InstallCorrectedProfiles",
     [](auto& h, auto&, const QString& v) { h.InstallCorrectedProfiles({v}, {{v, QByteArray(32, 'Z')}}); },
     [](auto&, const QString& v) {
         return QStringList{"--replace-profile", v, "--prepared-from", v + "=" + QByteArray(32, 'Z').toHex()};
     }},
    {"UninstallProfile", [](auto& h, auto&, const QString& v) { h.UninstallProfile(v); },
     [](auto&, const QString& v) { return QStringList{"--uninstall-profile", v}; }},
    {"UninstallProfiles", [](auto& h, auto&, const QString& v) { h.UninstallProfiles({v}); },
     [](auto&, const QString& v) { return QStringList{"--uninstall-profile", v}; }},
    {"UninstallProfilesWithRequiredProfiles",
     [](auto& h, auto&, const QString& v) { h.UninstallProfilesWithRequiredProfiles({v}, v); },
     [](auto&, const QString& v) {
         return QStringList{"--uninstall-profile", v, "--set-registry-path", PanelKey} + Pair("RequiredProfiles", v);
     }},
    {"RegistryLoaderSetParameter", [](auto&, auto& l, const QString& v) { l.SetParameter(v, v); },
     [](auto&, const QString& v) { return QStringList{"--set-registry-path", PanelKey} + Pair(v, v); }},
    {"RegistryLoaderSetAllParameters",
     [](auto&, auto& l, const QString& v) {
         QStringList profiles{"sRGB"};
         l.SetAllParameters(true, "sRGB", "2.2", profiles, "{ProfileName}.icm", v, {v});
     },
     [](auto&, const QString& v) {
         return QStringList{"--set-registry-path", PanelKey} + Pair("HdrSupported", RegistryLoader::EncryptToBase64("1")) +
                Pair("DefaultProfileColorSpace", RegistryLoader::EncryptToBase64("sRGB")) +
                Pair("DefaultProfileGamma", RegistryLoader::EncryptToBase64("2.2")) +
                Pair("RequiredProfiles", RegistryLoader::EncryptToBase64("sRGB")) +
                Pair("ProfileFormat", RegistryLoader::EncryptToBase64("{ProfileName}.icm")) +
                Pair("DisplayDeviceId", v) + QStringList{"--uninstall-profile", v};
     }},
};

void PrintTo(const Builder& builder, std::ostream* stream)
{
    *stream << builder.name;
}

// The argv of each recorded run and the number of programs the interpreter started.
struct Runs {
    QList<QStringList> argv;
    int started = 0;
};

Runs Recorded()
{
    Runs runs;
    for (const QString& line : WinSim::ReadJournal()) {
        const QString event = line.section(' ', 2, 2);
        if (event == QLatin1String("argv")) {
            QStringList arguments;
            for (const QJsonValue argument : QJsonDocument::fromJson(line.section(' ', 3).toUtf8()).array()) {
                arguments << argument.toString();
            }
            runs.argv << arguments;
        } else if (event == QLatin1String("run") || event == QLatin1String("run-elevated")) {
            ++runs.started;
        }
    }
    return runs;
}

// A machine whose "Tessaly.exe", wherever it lies, records its argv.
class RecordingMachine : public ProfileHelperMachine {
public:
    void SetUp() override
    {
        ProfileHelperMachine::SetUp();
        WinSim::SetDescriptionValue(QStringLiteral("programs"),
                                    QJsonObject{{"Tessaly.exe", TestSupport::BinaryPath("recordargv")}});
    }
};

class ElevatedValues : public RecordingMachine, public testing::WithParamInterface<Builder> {};

TEST_P(ElevatedValues, ArriveExactlyOrAreRefused)
{
    const Builder& builder = GetParam();
    ProfileHelper helper;
    RegistryLoader loader;
    for (const Value& value : Values) {
        SCOPED_TRACE(value.name);
        const Runs before = Recorded();
        if (value.arrives) {
            builder.call(helper, loader, value.text);
            const Runs after = Recorded();
            ASSERT_EQ(after.argv.size(), before.argv.size() + 1);
            EXPECT_EQ(after.argv.last(), builder.argv(helper, value.text));
            EXPECT_EQ(after.started, before.started + 1);
        } else {
            EXPECT_THROW(builder.call(helper, loader, value.text), OsErrorException);
            const Runs after = Recorded();
            EXPECT_EQ(after.argv.size(), before.argv.size());
            EXPECT_EQ(after.started, before.started);
        }
    }
}

// The program's own folder starts every command: it runs the tool found there, or is refused.
TEST_F(RecordingMachine, ToolFolderRunsTheToolOrIsRefused)
{
    for (const Value& value : Values) {
        SCOPED_TRACE(value.name);
        const bool arrives = value.arrives || value.text.isEmpty();  // an empty folder still names a path
        const Runs before = Recorded();
        QString output;
        if (arrives) {
            const TessalyCommand command = TessalyCommand(TessalyCommand::ToolPathIn(value.text)).ColorCalibration(true);
            Korvel::DisplayCalibration::Common::Windows::CommandLine::Run(command.Text(), true, output);
            const Runs after = Recorded();
            ASSERT_EQ(after.argv.size(), before.argv.size() + 1);
            EXPECT_EQ(after.argv.last(), QStringList({"--color-calibration", "enabled"}));
            EXPECT_EQ(after.started, before.started + 1);
        } else {
            EXPECT_THROW(TessalyCommand::ToolPathIn(value.text), OsErrorException);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Builders, ElevatedValues, testing::ValuesIn(Builders),
                         [](const testing::TestParamInfo<Builder>& info) { return std::string(info.param.name); });

}  // namespace
