/*
 * Starts a command and prints the milliseconds from its start until the X
 * server maps its first top-level window, then ends it.
 *   mapwatch [--timeout SECONDS] [--painted] command args...
 * With --painted it then waits until the bottom-right corner of the screen
 * (where the overlay's tool frame lies) differs from what it showed before
 * the start, and prints "painted <ms>": a window may be mapped before it
 * draws anything.
 *
 * Every window created on the root is watched for its own MapNotify, which
 * still arrives when the window manager has reparented it into a frame; a
 * window counts when its _NET_WM_PID names the started process.  Prints
 * "mapped <ms>" on success; exit status 1 on timeout or when the command
 * ends first.
 */
#define _POSIX_C_SOURCE 200809L

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

/* Windows may vanish between an event and the question about them. */
static int ignore_errors(Display *display, XErrorEvent *error)
{
    (void)display;
    (void)error;
    return 0;
}

static long window_pid(Display *display, Window window, Atom pid_atom)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = NULL;
    long pid = -1;
    if (XGetWindowProperty(display, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success
        && data && type == XA_CARDINAL && format == 32 && count == 1)
        pid = (long)*(unsigned long *)data;
    if (data)
        XFree(data);
    return pid;
}

/* The bottom-right corner of the screen, where the tool frame is drawn. */
static XImage *corner(Display *display)
{
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    const int w = width < 400 ? width : 400, h = height < 500 ? height : 500;
    return XGetImage(display, DefaultRootWindow(display), width - w, height - h, (unsigned)w, (unsigned)h, AllPlanes,
                     ZPixmap);
}

static int same_pixels(const XImage *a, const XImage *b)
{
    return a && b && a->height == b->height && a->bytes_per_line == b->bytes_per_line
           && memcmp(a->data, b->data, (size_t)a->bytes_per_line * (size_t)a->height) == 0;
}

/* Polls the corner until it differs from what it showed before the start. */
static void wait_for_paint(Display *display, const XImage *before, double start, double deadline)
{
    while (now_ms() < deadline) {
        XImage *now = corner(display);
        const int same = same_pixels(before, now);
        if (now)
            XDestroyImage(now);
        if (!same) {
            printf("painted %.1f\n", now_ms() - start);
            break;
        }
        const struct timespec pause = {0, 1000 * 1000};
        nanosleep(&pause, NULL);
    }
}

static void end_child(pid_t child)
{
    const struct timespec pause = {0, 10 * 1000 * 1000};
    kill(child, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(child, NULL, WNOHANG) == child)
            return;
        nanosleep(&pause, NULL);
    }
    kill(child, SIGKILL);
    waitpid(child, NULL, 0);
}

int main(int argc, char **argv)
{
    double timeout_s = 30;
    int first = 1;
    int painted = 0;
    if (argc > first + 1 && strcmp(argv[first], "--timeout") == 0) {
        timeout_s = atof(argv[first + 1]);
        first += 2;
    }
    if (argc > first && strcmp(argv[first], "--painted") == 0) {
        painted = 1;
        first += 1;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: mapwatch [--timeout SECONDS] [--painted] command args...\n");
        return 2;
    }

    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "mapwatch: cannot open the display\n");
        return 2;
    }
    XSetErrorHandler(ignore_errors);
    const Atom pid_atom = XInternAtom(display, "_NET_WM_PID", False);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);

    XImage *before = painted ? corner(display) : NULL;
    const double start = now_ms();
    const pid_t child = fork();
    if (child < 0) {
        perror("mapwatch: fork");
        return 2;
    }
    if (child == 0) {
        execvp(argv[first], argv + first);
        fprintf(stderr, "mapwatch: cannot start %s: %s\n", argv[first], strerror(errno));
        _exit(127);
    }

    struct pollfd watch = {ConnectionNumber(display), POLLIN, 0};
    const double deadline = start + timeout_s * 1e3;
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            Window mapped = None;
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(display)) {
                /* Its own structure events follow it into a frame.  The
                 * attribute query is a round trip: a map before it is seen
                 * here, one after it arrives as an event. */
                const Window window = event.xcreatewindow.window;
                XWindowAttributes attributes;
                XSelectInput(display, window, StructureNotifyMask);
                if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state != IsUnmapped)
                    mapped = window;
            } else if (event.type == MapNotify && event.xmap.window == event.xmap.event) {
                mapped = event.xmap.window;
            }
            if (mapped != None && window_pid(display, mapped, pid_atom) == (long)child) {
                printf("mapped %.1f\n", now_ms() - start);
                if (painted)
                    wait_for_paint(display, before, start, deadline);
                fflush(stdout);
                end_child(child);
                if (before)
                    XDestroyImage(before);
                XCloseDisplay(display);
                return 0;
            }
        }
        if (waitpid(child, NULL, WNOHANG) == child) {
            fprintf(stderr, "mapwatch: %s ended without mapping a window\n", argv[first]);
            return 1;
        }
        const double left = deadline - now_ms();
        if (left <= 0) {
            fprintf(stderr, "mapwatch: no window of %s mapped within %.0f s\n", argv[first], timeout_s);
            end_child(child);
            return 1;
        }
        poll(&watch, 1, left < 50 ? (int)left + 1 : 50);
    }
}
