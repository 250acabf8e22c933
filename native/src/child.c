#define _GNU_SOURCE
#include "child.h"
#include "timing.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/prctl.h>
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

static int move_to(int fd, int target, int flags)
{
    if (fd < 0) {
        fd = open("/dev/null", flags | O_CLOEXEC);
        if (fd < 0)
            return 0;
    }
    if (fd == target)
        return fcntl(fd, F_SETFD, 0) == 0;
    return dup2(fd, target) == target;
}

/* The keeper's helper, for forwarding signals to it. */
static volatile sig_atomic_t kept_helper;

static void forward_signal(int signal_number)
{
    if (kept_helper > 0)
        kill((pid_t)kept_helper, signal_number);
}

static void write_error(int fd, int error)
{
    while (write(fd, &error, sizeof error) < 0 && errno == EINTR)
        ;
}

/* Runs in the keeper, a single-threaded copy of the program between it and
 * the helper: the death signal goes out again each time one of the parent's
 * threads ends, and a second SIGINT makes ffmpeg give up on its file.  The
 * keeper dies with the program; its one death signals the helper once. */
static void run_keeper(char *const argv[], int in, int out, int err, int on_orphaned, pid_t parent,
                       int report)
{
    for (int signal_number = 1; signal_number < NSIG; ++signal_number)
        signal(signal_number, SIG_DFL);
    int error = 0;
    /* the death signal is armed before the check, so a parent that dies in
     * between is seen by one or the other */
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)
        error = ESRCH;
    /* descriptors that are already one of 0..2 are moved out of the way
     * first, so that no redirection overwrites another's source */
    int fds[3] = {in, out, err};
    for (int i = 0; i < 3 && !error; ++i) {
        if (fds[i] >= 0 && fds[i] <= 2 && (fds[i] = fcntl(fds[i], F_DUPFD_CLOEXEC, 3)) < 0)
            error = errno;
    }
    const int flags[3] = {O_RDONLY, O_WRONLY, O_WRONLY};
    for (int i = 0; i < 3 && !error; ++i) {
        if (!move_to(fds[i], i, flags[i]))
            error = errno;
    }
    pid_t helper = -1;
    const pid_t keeper = getpid();
    if (!error && (helper = fork()) == 0) {
        sigset_t none;
        sigemptyset(&none);
        signal(SIGPIPE, SIG_IGN);
        if (prctl(PR_SET_PDEATHSIG, on_orphaned) != 0 || getppid() != keeper) {
            error = ESRCH;
        } else {
            sigprocmask(SIG_SETMASK, &none, NULL);
            execvp(argv[0], argv);
            error = errno;
        }
        write_error(report, error);
        _exit(127);
    }
    if (helper < 0 && !error)
        error = errno;
    if (error) {
        write_error(report, error);
        _exit(127);
    }
    /* the helper alone holds its input and output now */
    close(report);
    for (int fd = 0; fd <= 2; ++fd)
        close(fd);
    kept_helper = helper;
    struct sigaction forward;
    memset(&forward, 0, sizeof forward);
    forward.sa_handler = forward_signal;
    sigaction(SIGINT, &forward, NULL);
    sigaction(SIGTERM, &forward, NULL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, NULL);
    int status = 0;
    pid_t ended;
    while ((ended = waitpid(helper, &status, 0)) < 0 && errno == EINTR)
        ;
    if (ended != helper)
        _exit(127);
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

pid_t child_spawn_tied(char *const argv[], int in, int out, int err, int on_orphaned)
{
    /* a failed exec is reported through this pipe; it closes unread when
     * the exec succeeds */
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0)
        return -1;
    const pid_t parent = getpid();
    sigset_t all, previous;
    sigfillset(&all);
    /* no handler of the program may run in the copies before it is reset */
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = fork();
    if (pid == 0)
        run_keeper(argv, in, out, err, on_orphaned, parent, report[1]);
    pthread_sigmask(SIG_SETMASK, &previous, NULL);
    close(report[1]);
    if (pid < 0) {
        close(report[0]);
        return -1;
    }
    int error = 0;
    ssize_t got;
    while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR)
        ;
    close(report[0]);
    if (got > 0) {
        while (waitpid(pid, NULL, 0) < 0 && errno == EINTR)
            ;
        return -1;
    }
    return pid;
}
