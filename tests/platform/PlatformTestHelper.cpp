// A tiny program the runner tests start. It tells what it received, in a
// report file named by TORVANELO_HELPER_REPORT: NUL-terminated fields
// "cwd", its current folder, "stdin", "null" when standard input is
// /dev/null and "eof" when the first read there gives end of file at once,
// then "args" and every argument, argv[0] included.
// TORVANELO_HELPER_OUTPUT: text written to standard output, and "E:" + text
// to standard error. TORVANELO_HELPER_WAIT_FOR: a path it waits for before
// ending. TORVANELO_HELPER_EXIT: its exit status.

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string standardInput() {
    struct stat input {};
    struct stat null {};
    std::string state;
    if (::fstat(0, &input) == 0 && ::stat("/dev/null", &null) == 0 && S_ISCHR(input.st_mode)
        && input.st_rdev == null.st_rdev)
        state += "null";
    char byte = 0;
    if (::read(0, &byte, 1) == 0)
        state += state.empty() ? "eof" : ",eof";
    return state;
}

void report(const char* path, int argc, char** argv) {
    std::string text;
    const auto field = [&text](const std::string& value) {
        text += value;
        text.push_back('\0');
    };
    char folder[8192] = {};
    field("cwd");
    field(::getcwd(folder, sizeof folder) != nullptr ? folder : "?");
    field("stdin");
    field(standardInput());
    field("args");
    for (int i = 0; i < argc; ++i)
        field(argv[i]);
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        std::exit(120);
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !written)
        std::exit(121);
}

} // namespace

int main(int argc, char** argv) {
    if (const char* path = std::getenv("TORVANELO_HELPER_REPORT"))
        report(path, argc, argv);
    if (const char* text = std::getenv("TORVANELO_HELPER_OUTPUT")) {
        std::fputs(text, stdout);
        std::fflush(stdout);
        std::fprintf(stderr, "E:%s", text);
    }
    if (const char* path = std::getenv("TORVANELO_HELPER_WAIT_FOR")) {
        struct stat status {};
        const timespec pause{0, 2 * 1000 * 1000};
        while (::stat(path, &status) != 0)
            ::nanosleep(&pause, nullptr);
    }
    const char* exitStatus = std::getenv("TORVANELO_HELPER_EXIT");
    return exitStatus != nullptr ? std::atoi(exitStatus) : 0;
}
