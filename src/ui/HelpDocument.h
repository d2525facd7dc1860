#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace torvanelo {

class FileSystem;
class UserPrompts;

// The help document of a language in a folder: TorvaneloHelpFR.htm for
// French, TorvaneloHelpEN.htm for every other language code.
QString HelpDocumentPath(const QString& folder, int language);

// mnuAide: opens the help document of the current language from the first
// of `folders` that holds it (the program folder, then the executable's
// folder), or says that the documentation is not yet available. Never falls
// back to the other language: a French user is not sent to an English page
// without being told. When the desktop has nothing to open the document
// with, the user is told that too, with the document's path.
void ShowHelp(const QStringList& folders, int language, const FileSystem& files,
              UserPrompts& prompts, QWidget* parent);

// Said when no program could open a document: the text, CR LF, the path.
QString documentNotOpenedText(int language, const QString& path);

} // namespace torvanelo
