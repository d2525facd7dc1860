#include "QtTranslations.h"

#include "Texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace torvanelo {

bool useQtTranslations(int language) {
    static std::unique_ptr<QTranslator> french;
    if (!isFrench(language)) {
        if (french)
            QCoreApplication::removeTranslator(french.get());
        return true;
    }
    if (!french) {
        auto loaded = std::make_unique<QTranslator>();
        if (!loaded->load(QStringLiteral("qtbase_fr"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return false;
        french = std::move(loaded);
    }
    // Installing the same translator again only puts it first.
    return QCoreApplication::installTranslator(french.get());
}

} // namespace torvanelo
