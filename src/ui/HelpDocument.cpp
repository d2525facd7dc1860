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

void ShowHelp(const QString& folder, int language, const FileSystem& files, UserPrompts& prompts,
              QWidget* parent) {
    const QString path = HelpDocumentPath(folder, language);
    const auto found = files.info(path);
    if (found && found->type == EntryType::File) {
        OpenDocument(path);
        return;
    }
    prompts.message(parent, UserPrompts::Icon::Information, UserPrompts::Buttons::Ok, ProductName,
                    Tr(language, u"La documentation n'est pas encore disponible...",
                       u"Documentation not yet available..."));
}

} // namespace torvanelo
