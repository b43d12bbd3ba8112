// Translations of the programs' texts: ".qm" files beside the program, picked by the system locale.
#pragma once

#include <QString>

#include <functional>

namespace Korvel::DisplayCalibration::Common::Application {

// The language part of translation file names: the system locale's language ("de" for de_DE),
// "nb" for the Norwegian languages, and "zh_CN" or "zh_TW" for the Chinese territories.
QString GetTranslationLocaleName();

// Installs on the application one translator for each file of `directory` named "*_<locale>.qm" or
// "*_<locale>.QM" that loads. A missing directory installs nothing.
void InstallTranslatorsFromDirectory(const QString& directory);

// Installs the translations of the program folder's "translations" and "translations/KorvelTintwise"
// folders, then runs the error-texts hook.
void LoadTranslations();

// What LoadTranslations runs last: the user interface fills its error texts in the language just
// installed. The tray program sets it; without it nothing runs.
void SetErrorMessagesInitializer(std::function<void()> initializer);

}  // namespace Korvel::DisplayCalibration::Common::Application
