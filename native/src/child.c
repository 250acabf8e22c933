#define _GNU_SOURCE
#include "child.h"
#include "timing.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

enum { WAIT_POLL_MS = 20 };

static void redirect(posix_spawn_file_actions_t *actions, int fd, int target, int flags)
{
    if (fd >= 0)
        posix_spawn_file_actions_adddup2(actions, fd, target);
    else
        posix_spawn_file_actions_addopen(actions, target, "/dev/null", flags, 0);
}

pid_t child_spawn(char *const argv[], int in, int out, int err)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    redirect(&actions, in, STDIN_FILENO, O_RDONLY);
    redirect(&actions, out, STDOUT_FILENO, O_WRONLY);
    redirect(&actions, err, STDERR_FILENO, O_WRONLY);

    /* the program may ignore or block signals (SIGPIPE, SIGINT) that the
     * helper needs in their default state */
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv, environ) != 0)
        pid = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int child_wait(pid_t pid, long timeout_ms, int *status)
{
    const long long deadline = monotonic_ms() + timeout_ms;
    for (;;) {
        int code = 0;
        const pid_t ended = waitpid(pid, &code, WNOHANG);
        if (ended == pid || (ended < 0 && errno == ECHILD)) {
            if (status)
                *status = ended == pid ? code : 0;
            return 1;
        }
        if (ended < 0 && errno != EINTR)
            return 0;
        if (monotonic_ms() >= deadline)
            return 0;
        sleep_ms(WAIT_POLL_MS);
    }
}

void child_kill(pid_t pid)
{
    kill(pid, SIGKILL);
    while (waitpid(pid, NULL, 0) < 0 && errno == EINTR)
        ;
}

static int take_line(LineReader *reader, char *line, size_t size, size_t length, size_t consumed)
{
    const size_t copied = length < size - 1 ? length : size - 1;
    memcpy(line, reader->buffer, copied);
    line[copied] = '\0';
    reader->length -= consumed;
    memmove(reader->buffer, reader->buffer + consumed, reader->length);
    return 1;
}

int line_reader_next(LineReader *reader, char *line, size_t size, long long deadline_ms)
{
    for (;;) {
        char *end = memchr(reader->buffer, '\n', reader->length);
        if (end) {
            const size_t length = (size_t)(end - reader->buffer);
            return take_line(reader, line, size, length, length + 1);
        }
        if (reader->length == sizeof reader->buffer)
            return take_line(reader, line, size, reader->length, reader->length);

        int timeout = -1;
        if (deadline_ms >= 0) {
            const long long left = deadline_ms - monotonic_ms();
            if (left <= 0)
                return -1;
            timeout = (int)left;
        }
        struct pollfd fd = {reader->fd, POLLIN, 0};
        const int ready = poll(&fd, 1, timeout);
        if (ready < 0 && errno != EINTR)
            return 0;
        if (ready <= 0)
            continue;
        const ssize_t got = read(reader->fd, reader->buffer + reader->length,
                                 sizeof reader->buffer - reader->length);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0) {
            if (reader->length == 0)
                return 0;
            return take_line(reader, line, size, reader->length, reader->length);
        }
        reader->length += (size_t)got;
    }
}
