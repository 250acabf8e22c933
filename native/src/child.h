/* Helper programs (ffmpeg) run by the library. */
#ifndef SNAPLARK_CHILD_H
#define SNAPLARK_CHILD_H

#include <stddef.h>
#include <sys/types.h>

/* Starts the program (looked up in PATH) with its standard input, output and
 * error on the given descriptors; -1 means /dev/null.  Signal handlers and
 * the signal mask start afresh in the child.  The pid, or -1 when the program
 * cannot be started. */
pid_t child_spawn(char *const argv[], int in, int out, int err);

/* The same for a helper that must not outlive the program: should the
 * program die without ending it (SIGKILL, a crash), the helper gets
 * `on_orphaned` once (SIGINT lets ffmpeg finish its file).  SIGPIPE is
 * ignored in it, so that the program's end of its output pipes going away
 * does not cut that finishing short.  The pid is that of a keeper process
 * between the two, which passes SIGINT and SIGTERM on and ends with the
 * helper's exit status (128 + the signal when a signal ended it). */
pid_t child_spawn_tied(char *const argv[], int in, int out, int err, int on_orphaned);

/* Waits at most timeout_ms for the child to end and reaps it; 1 with its
 * wait status when it ended, 0 when it still runs. */
int child_wait(pid_t pid, long timeout_ms, int *status);

/* Ends the child for good and reaps it. */
void child_kill(pid_t pid);

/* Reads a child's output line by line. */
typedef struct {
    int fd;
    size_t length;
    char buffer[1024];
} LineReader;

/* The next line (without its end) into line; 1 for a line, 0 at the end of
 * the output, -1 when deadline_ms (monotonic clock; negative: none) passes
 * first.  Overlong lines come in pieces. */
int line_reader_next(LineReader *reader, char *line, size_t size, long long deadline_ms);

#endif
