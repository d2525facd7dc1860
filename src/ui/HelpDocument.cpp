#include "HelpDocument.h"

#include "FileSystem.h"
#include "FolderPrefix.h"
#include "OpenDocument.h"
#include "Texts.h"
#include "UserPrompts.h"

namespace torvanelo {

QString HelpDocumentPath(const QString& folder, int language) {
    return FolderPrefix(folder) + Tr(language, u"TorvaneloHelpFR.htm", u"TorvaneloHelpEN.htm");
}

void ShowHelp(const QStringList& folders, int language, const FileSystem& files,
              UserPrompts& prompts, QWidget* parent) {
    for (const QString& folder : folders) {
        const QString path = HelpDocumentPath(folder, language);
        const auto found = files.info(path);
        if (!found || found->type != EntryType::File)
            continue;
        if (!OpenDocument(path))
            prompts.message(parent, UserPrompts::Icon::Warning, UserPrompts::Buttons::Ok,
                            ProductName, documentNotOpenedText(language, path));
        return;
    }
    prompts.message(parent, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok, ProductName,
                    Tr(language, u"La documentation n'est pas encore disponible...",
                       u"Documentation not yet available..."));
}

QString documentNotOpenedText(int language, const QString& path) {
    return Tr(language, u"Aucun programme n'a pu ouvrir la documentation",
              u"No program could open the documentation")
           + QStringLiteral("\r\n") + path;
}

} // namespace torvanelo
