/* Runs a program, waits for it, appends its peak resident memory (ru_maxrss
 * from wait4, in KiB) and its first argument as one line to a log, and ends
 * with its exit status. Two uses in the benchmark:
 *
 *   peak-memory LOG PROGRAM [ARGUMENT...]
 *       starts the program itself. A process started with posix_spawn (a
 *       vfork) shares its parent's memory until it execs, and Linux counts
 *       that memory in the child's ru_maxrss; started from this small
 *       process, the program's figure is its own.
 *
 *   rar ARGUMENT...   (this file installed under the name rar)
 *       stands in for the archiver in a program folder: runs the real one
 *       named by TORVANELO_BENCH_RAR and logs to TORVANELO_BENCH_RAR_LOG. */

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

static int runAndLog(const char* log, char* program, char* argv[]) {
    pid_t child = -1;
    const int error = posix_spawn(&child, program, NULL, NULL, argv, environ);
    if (error != 0) {
        fprintf(stderr, "peak-memory: cannot start %s: %s\n", program, strerror(error));
        return 127;
    }
    int status = 0;
    struct rusage usage;
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno == EINTR)
            continue;
        perror("peak-memory: wait4");
        return 8;
    }
    FILE* out = fopen(log, "a");
    if (out == NULL || fprintf(out, "%ld %s\n", usage.ru_maxrss, argv[1] != NULL ? argv[1] : "") < 0
        || fclose(out) != 0) {
        perror("peak-memory: the log");
        return 8;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

int main(int argc, char* argv[]) {
    const char* name = strrchr(argv[0], '/');
    name = name != NULL ? name + 1 : argv[0];
    if (strcmp(name, "rar") == 0) {
        char* real = getenv("TORVANELO_BENCH_RAR");
        const char* log = getenv("TORVANELO_BENCH_RAR_LOG");
        if (real == NULL || log == NULL) {
            fputs(
                "rar (peak-memory): TORVANELO_BENCH_RAR and TORVANELO_BENCH_RAR_LOG must be set\n",
                stderr);
            return 8;
        }
        argv[0] = real;
        return runAndLog(log, real, argv);
    }
    if (argc < 3) {
        fputs("usage: peak-memory LOG PROGRAM [ARGUMENT...]\n", stderr);
        return 7;
    }
    return runAndLog(argv[1], argv[2], argv + 2);
}
