// translationprobe [--install DIR]... [--load] [--tr CONTEXT TEXT]...: prints the translation locale name,
// installs the translators of each DIR or loads the program's translations (the error-texts hook
// prints "error texts: " and the translation of "Cancel" in context "QPlatformTheme"), then prints
// the translation of each TEXT, one a line.
#include "Common/Application/Translations.h"
#include "tests/helpers/Interactive.h"

#include <QCoreApplication>

#include <cstdio>

using namespace Korvel::DisplayCalibration::Common::Application;

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    Say(GetTranslationLocaleName());
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--install" && i + 1 < args.size()) {
            InstallTranslatorsFromDirectory(args[++i]);
        } else if (args[i] == "--load") {
            SetErrorMessagesInitializer(
                [] { Say("error texts: " + QCoreApplication::translate("QPlatformTheme", "Cancel")); });
            LoadTranslations();
        } else if (args[i] == "--tr" && i + 2 < args.size()) {
            Say(QCoreApplication::translate(args[i + 1].toUtf8().constData(), args[i + 2].toUtf8().constData()));
            i += 2;
        } else {
            std::fprintf(stderr, "translationprobe: unknown argument %s\n", args[i].toUtf8().constData());
            return 2;
        }
    }
    return 0;
}
