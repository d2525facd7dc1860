#pragma once

#include <QString>
#include <QStringView>

namespace torvanelo {

// Language codes of the "Langue" key: 1 is French, every other value English.
inline constexpr int LanguageEnglish = 0;
inline constexpr int LanguageFrench = 1;

inline bool isFrench(int language) {
    return language == LanguageFrench;
}

// Every text the program shows exists in both languages and is chosen when
// it is produced: Tr(language, u"Attente", u"Wait").
inline QString Tr(int language, QStringView french, QStringView english) {
    return (isFrench(language) ? french : english).toString();
}

// Product word and version, used in titles and tips.
inline const QString ProductName = QStringLiteral("Torvanelo");
inline const QString ProductVersion = QStringLiteral("1.0b");
// "Torvanelo 1.0b": window titles and the tray tip.
inline QString productTitle() {
    return ProductName + u' ' + ProductVersion;
}

} // namespace torvanelo
