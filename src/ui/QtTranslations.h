#pragma once

namespace torvanelo {

// Qt's own texts (the standard buttons Yes, No, Cancel, the folder browser's
// and the text-entry box's) in the program's language: Qt's French
// translation is installed for French and removed for English. Without
// Qt's translation files (qt6-translations-l10n) Qt's texts stay English.
// True when Qt's texts now follow the language.
bool useQtTranslations(int language);

} // namespace torvanelo
