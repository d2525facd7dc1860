#pragma once

#include <QString>

class QWidget;

namespace torvanelo {

class FileSystem;
class UserPrompts;

// The help document of a language in a folder: TorvaneloHelpFR.htm for
// French, TorvaneloHelpEN.htm for every other language code.
QString HelpDocumentPath(const QString& folder, int language);

// mnuAide: opens the help document of the current language that lies in
// `folder` (the executable's folder), or says that the documentation is not
// yet available. Never falls back to the other language: a French user is
// not sent to an English page without being told.
void ShowHelp(const QString& folder, int language, const FileSystem& files, UserPrompts& prompts,
              QWidget* parent);

} // namespace torvanelo
