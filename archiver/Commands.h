#pragma once

// The two commands of the archiver. Both throw RarError on failure; notes
// (members skipped, files not deleted) go to `notes` as they happen.

#include "Names.h"

#include <functional>
#include <string>
#include <vector>

namespace torvanelo::rar {

using NoteSink = std::function<void(const std::string&)>;

struct AddOptions {
    std::string archivePath;
    // Files of one folder: each an exact name or a wildcard in the last
    // component (folder + '/' + name, or a bare name).
    std::vector<std::string> files;
    bool saveStreams = false; // -os
    bool deleteFiles = false; // -df
    StreamForm streamForm = StreamForm::Plain;
};

// rar a: writes a new archive (or a new version of an existing one) with
// every file named and every regular file a wildcard matches, then, with
// -df, deletes them. A file named exactly must be a regular file.
// Returns the number of files added.
int addFiles(const AddOptions& options, const NoteSink& note);

// rar e: extracts every file member into the current folder. Either every
// member lands under its name or none does. Returns the number extracted.
// `form` says how Windows streams become extended attributes.
int extractArchive(const std::string& archivePath, StreamForm form, const NoteSink& note);

} // namespace torvanelo::rar
