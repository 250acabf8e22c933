/*
 * A small program for testing KillOldProcesses, which ends the other copies
 * of the running executable:
 *   sleeper                   waits (at most two minutes)
 *   sleeper stubborn          waits, ignoring SIGTERM
 *   sleeper kill LIBRARY      loads LIBRARY and calls its KillOldProcesses
 * A waiting copy prints "ready" once it is set up.
 */
#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc > 2 && strcmp(argv[1], "kill") == 0) {
        void *library = dlopen(argv[2], RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            fprintf(stderr, "%s\n", dlerror());
            return 2;
        }
        void (*killOldProcesses)(void) = (void (*)(void))dlsym(library, "KillOldProcesses");
        if (!killOldProcesses)
            return 3;
        killOldProcesses();
        puts("done");
        return 0;
    }
    if (argc > 1 && strcmp(argv[1], "stubborn") == 0)
        signal(SIGTERM, SIG_IGN);
    puts("ready");
    fflush(stdout);
    /* never outlive a broken test by long */
    for (int i = 0; i < 120; ++i)
        sleep(1);
    return 0;
}
