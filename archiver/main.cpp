// rar: the archiver Torvanelo drives. It writes RAR 5.0 archives with the
// store method, keeping each file's "user." extended attributes as NTFS
// alternate data stream records, and extracts such archives again.

#include "Commands.h"
#include "RarError.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

using namespace torvanelo::rar;

namespace {

constexpr const char* Usage =
    "rar - stores files with their extended attributes in RAR 5.0 archives\n"
    "\n"
    "Usage:\n"
    "  rar a [-os] [-df] ARCHIVE FILE...  add the files named, or those of the folder that\n"
    "                                     match a wildcard (? one character, * any run), to\n"
    "                                     ARCHIVE, creating it when missing; a member of\n"
    "                                     the same name is replaced; all in one folder\n"
    "  rar e ARCHIVE                      extract every file into the current folder,\n"
    "                                     without stored paths, replacing existing files\n"
    "  rar -?                             show this text\n"
    "\n"
    "Switches:\n"
    "  -os  store the files' \"user.\" extended attributes as NTFS streams\n"
    "  -df  delete the files once the archive is complete and on disk\n"
    "  --   end of switches\n"
    "\n"
    "Windows streams become Samba's user.DosStream.NAME:$DATA attributes, or\n"
    "user.NAME with TORVANELO_STREAM_FORM=plain.\n"
    "\n"
    "Exit status:\n"
    "  0   success\n"
    "  2   unsupported archive or member (RAR 4, encrypted, solid, multi-volume,\n"
    "      unknown compression version, unusable member name)\n"
    "  3   damaged archive (not RAR, truncated, header or data CRC mismatch,\n"
    "      undecodable data, CPU-time limit reached)\n"
    "  5   write error (writing, syncing, renaming, setting attributes, deleting)\n"
    "  6   cannot open or read the archive, a folder or an input file\n"
    "  7   bad command line\n"
    "  8   out of memory or internal error\n"
    "  9   cannot create a temporary file\n"
    "  10  no files match the pattern\n"
    "\n"
    "Standard input is never read.\n";

// The archive path at the head of a message line, with control characters
// replaced so that the message stays one line.
std::string printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    }
    return text;
}

int fail(const std::string& subject, const RarError& error) {
    std::fprintf(stderr, "rar: %s%s\n", subject.empty() ? "" : (printable(subject) + ": ").c_str(),
                 error.what());
    return static_cast<int>(error.code());
}

int badCommandLine(const std::string& reason) {
    std::fprintf(stderr, "rar: %s (rar -? lists the commands)\n", reason.c_str());
    return static_cast<int>(ExitCode::BadCommandLine);
}

NoteSink noteFor(const std::string& archive) {
    return [archive](const std::string& text) {
        std::fprintf(stderr, "rar: %s: note: %s\n", printable(archive).c_str(), text.c_str());
    };
}

int run(const std::vector<std::string>& args) {
    if (args.size() == 1 && (args[0] == "-?" || args[0] == "-h" || args[0] == "--help")) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (args.empty())
        return badCommandLine("no command given");
    const std::string& command = args[0];
    if (command != "a" && command != "e")
        return badCommandLine("unknown command \"" + command + "\"");

    bool saveStreams = false;
    bool deleteFiles = false;
    bool switchesEnded = false;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (switchesEnded || arg.empty() || arg[0] != '-') {
            operands.push_back(arg);
        } else if (arg == "--") {
            switchesEnded = true;
        } else if (command == "a" && arg == "-os") {
            saveStreams = true;
        } else if (command == "a" && arg == "-df") {
            deleteFiles = true;
        } else {
            return badCommandLine("unknown switch \"" + arg + "\" for command " + command);
        }
    }

    const std::optional<StreamForm> form = streamFormFromEnvironment();
    if (!form)
        return badCommandLine("TORVANELO_STREAM_FORM must be \"plain\" or \"samba\"");

    if (command == "a") {
        if (operands.size() < 2)
            return badCommandLine("a needs an archive and the files to add");
        const AddOptions options{
            operands[0], {operands.begin() + 1, operands.end()}, saveStreams, deleteFiles, *form};
        try {
            const int added = addFiles(options, noteFor(options.archivePath));
            std::printf("%s: %d file%s added\n", options.archivePath.c_str(), added,
                        added == 1 ? "" : "s");
            return 0;
        } catch (const RarError& error) {
            return fail(options.archivePath, error);
        }
    }

    if (operands.size() != 1)
        return badCommandLine("e needs exactly one archive");
    const std::string& archive = operands[0];
    try {
        const int extracted = extractArchive(archive, *form, noteFor(archive));
        std::printf("%s: %d file%s extracted\n", archive.c_str(), extracted,
                    extracted == 1 ? "" : "s");
        return 0;
    } catch (const RarError& error) {
        return fail(archive, error);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    // A reader that went away must not kill the process half-way through.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        return fail(std::string(), RarError(ExitCode::OutOfMemory, error.what()));
    }
}
