#pragma once

#include "RootSafety.h"

#include <QString>

namespace torvanelo {

class SystemLog;

// What is wrong with the path and the command that puts it right, naming
// the path as a shell takes it: "... Fix it with: chmod go-w '/srv/my
// folder'".
QString untrustedPathText(const UntrustedPath& untrusted, int language);

// The refusal of a start as root, in English: the parameters file that
// would give the language is among what is not trusted.
QString rootStartRefusalText(const UntrustedPath& untrusted);

// A process running as root starts only when nobody else can change its
// executable, the archiver it would run, its program folder and the two
// files there (the parameters file holds a shell command line, the net send
// text). Otherwise the refusal goes to standard error, and to the system log
// when the service manager started the program, and the answer is true:
// the program must end, in failure. Not root: false, nothing checked.
bool refuseUntrustedRootStart(const QString& programFolder, SystemLog& log, bool startedAsService);

} // namespace torvanelo
