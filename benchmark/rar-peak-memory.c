/* Stands in for rar in a program folder during a benchmark run: runs the real
 * archiver named by TORVANELO_BENCH_RAR with the same arguments, waits for
 * it, appends its peak resident memory (ru_maxrss, KiB) as one line to the
 * file named by TORVANELO_BENCH_RAR_LOG, and ends with its exit status. Its
 * own memory is not counted: wait4 reports the child alone. */

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

int main(int argc, char* argv[]) {
    (void)argc;
    const char* real = getenv("TORVANELO_BENCH_RAR");
    const char* log = getenv("TORVANELO_BENCH_RAR_LOG");
    if (real == NULL || log == NULL) {
        fputs("rar-peak-memory: TORVANELO_BENCH_RAR and TORVANELO_BENCH_RAR_LOG must be set\n",
              stderr);
        return 8;
    }
    argv[0] = (char*)real;
    pid_t child = -1;
    const int error = posix_spawn(&child, real, NULL, NULL, argv, environ);
    if (error != 0) {
        fprintf(stderr, "rar-peak-memory: cannot start %s: %s\n", real, strerror(error));
        return 127;
    }
    int status = 0;
    struct rusage usage;
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno == EINTR)
            continue;
        perror("rar-peak-memory: wait4");
        return 8;
    }
    FILE* out = fopen(log, "a");
    if (out == NULL || fprintf(out, "%ld %s\n", usage.ru_maxrss, argc > 1 ? argv[1] : "") < 0
        || fclose(out) != 0) {
        perror("rar-peak-memory: the log");
        return 8;
    }
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}
