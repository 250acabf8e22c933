#define _GNU_SOURCE
#include "snaplarkextension.h"
#include "timing.h"

#include <dirent.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

enum { GRACE_MS = 2000, POLL_MS = 50 };

typedef struct {
    dev_t device;
    ino_t inode;
    char path[PATH_MAX];
} Executable;

static const char deleted_suffix[] = " (deleted)";

/* The executable file a process runs; 0 when it cannot be read (another
 * user's process, a zombie, a process that has just ended). */
static int read_executable(const char *proc_entry, Executable *executable)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/%s/exe", proc_entry);
    struct stat status;
    if (stat(link, &status) != 0)
        return 0;
    const ssize_t length = readlink(link, executable->path, sizeof executable->path - 1);
    if (length < 0)
        return 0;
    executable->path[length] = '\0';
    /* an instance started before the program was updated runs a deleted file */
    const size_t suffix = sizeof deleted_suffix - 1;
    if ((size_t)length > suffix
        && strcmp(executable->path + length - suffix, deleted_suffix) == 0)
        executable->path[length - suffix] = '\0';
    executable->device = status.st_dev;
    executable->inode = status.st_ino;
    return 1;
}

static int runs(pid_t pid, const Executable *wanted)
{
    char entry[32];
    snprintf(entry, sizeof entry, "%d", (int)pid);
    Executable executable;
    if (!read_executable(entry, &executable))
        return 0;
    return (executable.device == wanted->device && executable.inode == wanted->inode)
           || strcmp(executable.path, wanted->path) == 0;
}

/* Other processes of this user that run the caller's executable file. */
static size_t find_instances(const Executable *self, pid_t **pids)
{
    *pids = NULL;
    DIR *proc = opendir("/proc");
    if (!proc)
        return 0;
    const pid_t me = getpid();
    const uid_t user = geteuid();
    size_t count = 0;
    size_t capacity = 0;
    struct dirent *entry;
    while ((entry = readdir(proc))) {
        char *end = NULL;
        const long pid = strtol(entry->d_name, &end, 10);
        if (!*entry->d_name || *end || pid <= 0 || pid == me)
            continue;
        char dir[64];
        snprintf(dir, sizeof dir, "/proc/%ld", pid);
        struct stat status;
        if (stat(dir, &status) != 0 || status.st_uid != user || !runs((pid_t)pid, self))
            continue;
        if (count == capacity) {
            capacity = capacity ? capacity * 2 : 8;
            pid_t *grown = realloc(*pids, capacity * sizeof(pid_t));
            if (!grown)
                break;
            *pids = grown;
        }
        (*pids)[count++] = (pid_t)pid;
    }
    closedir(proc);
    return count;
}

void KillOldProcesses(void)
{
    Executable self;
    if (!read_executable("self", &self))
        return;
    pid_t *pids = NULL;
    const size_t count = find_instances(&self, &pids);
    for (size_t i = 0; i < count; ++i)
        kill(pids[i], SIGTERM);

    /* a process counts as ended once it no longer runs our file, which also
     * covers zombies and reused ids */
    for (long waited = 0; waited < GRACE_MS; waited += POLL_MS) {
        size_t alive = 0;
        for (size_t i = 0; i < count; ++i)
            alive += runs(pids[i], &self);
        if (!alive)
            break;
        sleep_ms(POLL_MS);
    }
    for (size_t i = 0; i < count; ++i) {
        if (runs(pids[i], &self))
            kill(pids[i], SIGKILL);
    }
    free(pids);
}
