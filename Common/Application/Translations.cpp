#include "Common/Application/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace Korvel::DisplayCalibration::Common::Application {
namespace {

std::function<void()>& ErrorMessagesInitializer()
{
    static std::function<void()> initializer;
    return initializer;
}

}  // namespace

QString GetTranslationLocaleName()
{
    const QString name = QLocale::system().name();
    if (name.contains(QLatin1String("zh"))) {
        if (name.contains(QLatin1String("zh_HK")) || name.contains(QLatin1String("zh_MO"))) {
            return QStringLiteral("zh_TW");
        }
        if (name.contains(QLatin1String("zh_SG"))) {
            return QStringLiteral("zh_CN");
        }
        return name;
    }
    // The whole language is compared: "nso" or "nnh" are no Norwegian.
    const QString language = name.section('_', 0, 0);
    if (language == QLatin1String("nb") || language == QLatin1String("nn") || language == QLatin1String("no")) {
        return QStringLiteral("nb");
    }
    return language;
}

void InstallTranslatorsFromDirectory(const QString& directory)
{
    const QString locale = GetTranslationLocaleName();
    const QDir folder(directory);
    const QStringList filters = {"*_" + locale + ".qm", "*_" + locale + ".QM"};
    for (const QString& entry : folder.entryList(filters, QDir::NoFilter, QDir::NoSort)) {
        auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
        // Exactly this file: no other suffix and no shortened names are tried.
        if (translator->load(folder.filePath(entry), QString(), QString(""), QString("")) &&
            QCoreApplication::installTranslator(translator.get())) {
            translator.release();
        }
    }
}

void LoadTranslations()
{
    const QString programDirectory = QCoreApplication::applicationDirPath();
    InstallTranslatorsFromDirectory(programDirectory + "/translations");
    InstallTranslatorsFromDirectory(programDirectory + "/translations/KorvelTintwise");
    if (ErrorMessagesInitializer()) {
        ErrorMessagesInitializer()();
    }
}

void SetErrorMessagesInitializer(std::function<void()> initializer)
{
    ErrorMessagesInitializer() = std::move(initializer);
}

}  // namespace Korvel::DisplayCalibration::Common::Application
