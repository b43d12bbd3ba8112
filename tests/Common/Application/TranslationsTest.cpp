// Translation loading, run by tests/helpers/translationprobe under a chosen system locale, with Debian's
// Qt translations and files made by lrelease.
#include "tests/fixtures/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using TestSupport::BinaryPath;
using TestSupport::Run;

namespace {

using Message = std::tuple<QString, QString, QString>;  // context, source, translation

// Translations of Qt itself, as Debian ships them.
QString QtTranslation(const QString& name)
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/" + name;
}

// A ".qm" file made by lrelease.
void Release(const QString& path, const QString& language, const std::vector<Message>& messages)
{
    QByteArray ts = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n<TS version=\"2.1\" language=\"" +
                    language.toUtf8() + "\">\n";
    for (const auto& [context, source, translation] : messages) {
        ts += "<context><name>" + context.toUtf8() + "</name><message><source>" + source.toUtf8() +
              "</source><translation>" + translation.toUtf8() + "</translation></message></context>\n";
    }
    ts += "</TS>\n";
    TestSupport::WriteFile(path + ".ts", ts);
    const auto made = Run(QLibraryInfo::path(QLibraryInfo::BinariesPath) + "/lrelease", {path + ".ts", "-qm", path});
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;
    QFile::remove(path + ".ts");
}

// What the helper prints under the system locale `locale`: the locale name, then its other lines.
QStringList Translate(const QString& program, const QString& locale, const QStringList& arguments)
{
    QProcessEnvironment environment;
    environment.insert("LC_ALL", locale);
    environment.insert("LANG", locale);
    environment.insert("LANGUAGE", "");
    const auto result = Run(program, arguments, environment);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result.out.split('\n', Qt::SkipEmptyParts);
}

TEST(TranslationsTest, LocaleNameFollowsTheSystemLocale)
{
    const struct {
        const char* locale;
        const char* name;
    } cases[] = {
        {"de_DE.UTF-8", "de"}, {"pt_BR.UTF-8", "pt"}, {"fr", "fr"},         {"en_US", "en"},
        {"nb_NO.UTF-8", "nb"}, {"nn_NO.UTF-8", "nb"}, {"no", "nb"},         {"zh_HK.UTF-8", "zh_TW"},
        {"zh_MO", "zh_TW"},    {"zh_SG", "zh_CN"},    {"zh_CN", "zh_CN"},   {"zh_TW.UTF-8", "zh_TW"},
        {"nso_ZA", "nso"},     {"nnh_CM", "nnh"},     {"ja_JP.eucJP", "ja"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Translate(BinaryPath("translationprobe"), c.locale, {}), QStringList{c.name}) << c.locale;
    }
}

TEST(TranslationsTest, InstallsEachMatchingFileOfTheFolderThatLoads)
{
    const QTemporaryDir directory;
    const QString folder = directory.filePath("translations");
    QDir().mkpath(folder + "/folder_fr.qm");
    Release(folder + "/app_fr.qm", "fr_FR", {{"Probe", "Hello", "Bonjour"}});
    Release(folder + "/app_de.qm", "de_DE", {{"Probe", "Hello", "Hallo"}});
    Release(folder + "/app_nb.qm", "nb_NO", {{"Probe", "Hello", "Hei"}});
    Release(folder + "/broken.qm", "fr_FR", {{"Probe", "Broken", "Cass\u00e9"}});
    ASSERT_TRUE(QFile::copy(QtTranslation("qtbase_fr.qm"), folder + "/qt_fr.QM"));
    TestSupport::WriteFile(folder + "/broken_fr.qm", "not a translation file");

    const struct {
        const char* locale;
        QStringList folders;
        QStringList translated;  // Hello, Broken, Cancel
    } cases[] = {
        {"fr_FR", {folder}, {"Bonjour", "Broken", "Annuler"}},
        {"fr_CA.UTF-8", {folder}, {"Bonjour", "Broken", "Annuler"}},
        {"de_DE", {folder}, {"Hallo", "Broken", "Cancel"}},
        {"nn_NO", {folder}, {"Hei", "Broken", "Cancel"}},
        {"en_US", {folder}, {"Hello", "Broken", "Cancel"}},
        {"fr_FR", {directory.filePath("missing")}, {"Hello", "Broken", "Cancel"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + (" " + c.folders.join(' ')).toStdString());
        QStringList arguments;
        for (const QString& path : c.folders) {
            arguments << "--install" << path;
        }
        arguments << "--tr" << "Probe" << "Hello" << "--tr" << "Probe" << "Broken" << "--tr" << "QPlatformTheme"
                  << "Cancel";
        EXPECT_EQ(Translate(BinaryPath("translationprobe"), c.locale, arguments).mid(1), c.translated);
    }
}

// The program folder's two translation folders are loaded, the later one taking precedence, before
// the error texts are filled.
TEST(TranslationsTest, LoadTranslationsReadsBothFoldersThenFillsTheErrorTexts)
{
    const QTemporaryDir directory;
    const QString helper = directory.filePath("KorvelTintwise");
    const QString translations = directory.filePath("translations");
    ASSERT_TRUE(QDir().mkpath(translations + "/KorvelTintwise"));
    ASSERT_TRUE(QFile::copy(BinaryPath("translationprobe"), helper));
    ASSERT_TRUE(QFile::copy(QtTranslation("qtbase_zh_TW.qm"), translations + "/qtbase_zh_TW.qm"));
    Release(translations + "/KorvelTintwise/KorvelTintwise_zh_TW.qm", "zh_TW",
            {{"QPlatformTheme", "Cancel", "\u53d6\u6d88 (KT)"}, {"Probe", "Hello", "\u4f60\u597d"}});

    EXPECT_EQ(Translate(helper, "zh_HK.UTF-8", {"--load", "--tr", "QPlatformTheme", "Save", "--tr", "Probe", "Hello"}),
              (QStringList{"zh_TW", "error texts: \u53d6\u6d88 (KT)", "\u5132\u5b58", "\u4f60\u597d"}));
    EXPECT_EQ(Translate(helper, "ja_JP", {"--load", "--tr", "QPlatformTheme", "Save"}),
              (QStringList{"ja", "error texts: Cancel", "Save"}));
}

}  // namespace
