#define _GNU_SOURCE
#include "snaplarkextension.h"
#include "child.h"
#include "timing.h"
#include "utf16.h"
#include "xsession.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

/* Recording runs in the ffmpeg program: x11grab for the screen, PulseAudio
 * for sound, H.264 in MP4.  ffmpeg reports its progress on its standard
 * error, and finishes the file when it reads 'q' on its standard input. */
enum {
    STARTUP_TIMEOUT_MS = 10000,   /* until the first frame is encoded */
    FINISH_TIMEOUT_MS = 20000,    /* after 'q', for writing the index */
    INTERRUPT_TIMEOUT_MS = 10000, /* after SIGINT, before SIGKILL */
    SOUND_PROBE_TIMEOUT_MS = 5000,
};

static const char ffmpeg[] = "ffmpeg";

typedef struct {
    pid_t pid;
    int control; /* connected to ffmpeg's standard input */
    LineReader output;
    pthread_t drain;
    int draining;
} Recording;

static pthread_mutex_t video_lock = PTHREAD_MUTEX_INITIALIZER;
static Recording *recording;

void GetVideoFileExtension(char16_t *buffer, int capacity)
{
    snaplark_utf8_to_utf16("mp4", buffer, capacity);
}

/* Clips the span [start, start + length) to [0, limit) and makes its length
 * even, as H.264 in 4:2:0 needs: an odd length takes one pixel more, on the
 * far side or else the near one, and one less only when it spans the whole
 * (odd) screen.  0 when less than two pixels remain. */
static int fit_span(long long start, long long length, int limit, int *fitted_start,
                    int *fitted_length)
{
    long long low = start < 0 ? 0 : start;
    long long high = start + length > limit ? limit : start + length;
    if (high <= low)
        return 0;
    if ((high - low) % 2 != 0) {
        if (high < limit)
            ++high;
        else if (low > 0)
            --low;
        else
            --high;
    }
    if (high - low < 2)
        return 0;
    *fitted_start = (int)low;
    *fitted_length = (int)(high - low);
    return 1;
}

typedef struct {
    char display[256];
    XSessionRect area;
} Source;

/* What to record, in root coordinates, fitted to the screen. */
static int choose_source(int fullScreen, int x, int y, int width, int height, int window,
                         Source *source)
{
    XSession session;
    if (!xsession_open(&session))
        return 0;
    const int screen = DefaultScreen(session.display);
    const int screen_width = DisplayWidth(session.display, screen);
    const int screen_height = DisplayHeight(session.display, screen);
    snprintf(source->display, sizeof source->display, "%s", DisplayString(session.display));
    XSessionRect wanted = {x, y, width, height};
    int found = 1;
    if (fullScreen)
        wanted = (XSessionRect){0, 0, screen_width, screen_height};
    else if (window != 0)
        /* the window as it stands now, decorations included */
        found = xsession_viewable(&session, (Window)(unsigned)window)
                && xsession_outer_rect(&session, (Window)(unsigned)window, &wanted);
    found = found && !session.broken;
    xsession_close(&session);
    return found && wanted.width > 0 && wanted.height > 0
           && fit_span(wanted.x, wanted.width, screen_width, &source->area.x,
                       &source->area.width)
           && fit_span(wanted.y, wanted.height, screen_height, &source->area.y,
                       &source->area.height);
}

/* Frames the encoder cannot keep up with are left out, and the video ends
 * short: on a busy machine 1280x720 at 30 frames a second kept about 60 %
 * of them with "veryfast" and 80 to 98 % with "superfast".  Above 1280x720
 * at 10 frames a second the faster preset is worth a somewhat larger file. */
static char *encoder_preset(const Source *source, int frameRate)
{
    const long long pixel_rate = (long long)source->area.width * source->area.height * frameRate;
    return pixel_rate > 1280LL * 720 * 10 ? "superfast" : "veryfast";
}

/* ffmpeg prints progress as key=value lines; everything else it prints at
 * our log level is an error worth passing on. */
static int is_progress(const char *line)
{
    const size_t key = strspn(line, "abcdefghijklmnopqrstuvwxyz0123456789_");
    return key > 0 && line[key] == '=';
}

static void log_ffmpeg_line(const char *line)
{
    if (*line && !is_progress(line))
        fprintf(stderr, "Extension: ffmpeg: %s\n", line);
}

/* Whether a sound server gives us the default source: a moment of it is
 * recorded the way the recording will.  Otherwise why not, in reason. */
static int sound_source_answers(char *reason, size_t size)
{
    snprintf(reason, size, "no answer from the sound server");
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return 0;
    char *argv[] = {(char *)ffmpeg, "-hide_banner", "-nostdin", "-loglevel", "error",
                    "-f", "pulse", "-i", "default", "-t", "0.05", "-f", "null", "-", NULL};
    const pid_t pid = child_spawn(argv, -1, -1, output[1]);
    close(output[1]);
    if (pid < 0) {
        close(output[0]);
        snprintf(reason, size, "ffmpeg cannot be started");
        return 0;
    }
    LineReader reader = {output[0], 0, {0}};
    const long long deadline = monotonic_ms() + SOUND_PROBE_TIMEOUT_MS;
    char line[512];
    int got;
    while ((got = line_reader_next(&reader, line, sizeof line, deadline)) > 0) {
        if (*line)
            snprintf(reason, size, "%s", line);
    }
    close(output[0]);
    int status = 0;
    /* its output ends just before it does */
    if (got < 0 || !child_wait(pid, 1000, &status)) {
        child_kill(pid);
        return 0;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

/* Waits for ffmpeg's first progress report with a frame in it. */
static int first_frame_reported(Recording *r)
{
    const long long deadline = monotonic_ms() + STARTUP_TIMEOUT_MS;
    char line[512];
    int got;
    while ((got = line_reader_next(&r->output, line, sizeof line, deadline)) > 0) {
        log_ffmpeg_line(line);
        if (strncmp(line, "frame=", 6) == 0 && atol(line + 6) > 0)
            return 1;
    }
    if (got < 0)
        fprintf(stderr, "Extension: ffmpeg did not start recording in time\n");
    return 0;
}

/* Keeps ffmpeg's standard error flowing until it ends. */
static void *drain_output(void *data)
{
    Recording *r = data;
    char line[512];
    while (line_reader_next(&r->output, line, sizeof line, -1) > 0)
        log_ffmpeg_line(line);
    return NULL;
}

static void free_recording(Recording *r)
{
    if (r->draining)
        pthread_join(r->drain, NULL);
    if (r->control >= 0)
        close(r->control);
    if (r->output.fd >= 0)
        close(r->output.fd);
    free(r);
}

static Recording *start_ffmpeg(char *const argv[])
{
    Recording *r = calloc(1, sizeof *r);
    if (!r)
        return NULL;
    r->control = r->output.fd = -1;
    int input[2] = {-1, -1}, output[2] = {-1, -1};
    /* a socket, so that a 'q' for an ffmpeg that has just died cannot raise
     * SIGPIPE in the program */
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, input) != 0
        || pipe2(output, O_CLOEXEC) != 0) {
        for (int i = 0; i < 2; ++i) {
            if (input[i] >= 0)
                close(input[i]);
        }
        free(r);
        return NULL;
    }
    /* tied to the program: killed, it must not leave ffmpeg recording on */
    r->pid = child_spawn_tied(argv, input[1], -1, output[1], SIGINT);
    close(input[1]);
    close(output[1]);
    r->control = input[0];
    r->output.fd = output[0];
    if (r->pid < 0) {
        fprintf(stderr, "Extension: ffmpeg cannot be started; is it installed?\n");
        free_recording(r);
        return NULL;
    }
    if (!first_frame_reported(r)) {
        child_kill(r->pid);
        free_recording(r);
        return NULL;
    }
    /* unread, the progress reports would fill the pipe and stall ffmpeg */
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    r->draining = pthread_create(&r->drain, NULL, drain_output, r) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, NULL);
    if (!r->draining) {
        child_kill(r->pid);
        free_recording(r);
        return NULL;
    }
    return r;
}

/* Asks ffmpeg to finish the file and waits until it has; only an ffmpeg
 * that does not react for a long time is interrupted, and then killed. */
static void finish_recording(Recording *r)
{
    send(r->control, "q", 1, MSG_NOSIGNAL);
    int status = 0;
    if (!child_wait(r->pid, FINISH_TIMEOUT_MS, &status)) {
        fprintf(stderr, "Extension: ffmpeg does not finish the video; interrupting it\n");
        kill(r->pid, SIGINT);
        if (!child_wait(r->pid, INTERRUPT_TIMEOUT_MS, &status)) {
            fprintf(stderr, "Extension: ffmpeg does not end; the video may be incomplete\n");
            child_kill(r->pid);
        }
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "Extension: ffmpeg ended with status %d; the video may be incomplete\n",
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    }
    free_recording(r);
}

bool StartVideoCapture(int fullScreen, int x, int y, int width, int height, int windowHandle,
                       const char16_t *path, int frameRate, bool sound)
{
    char *file = snaplark_utf16_to_utf8(path);
    Source source;
    if (!file || !*file || frameRate < 1
        || !choose_source(fullScreen, x, y, width, height, windowHandle, &source)) {
        free(file);
        return false;
    }

    pthread_mutex_lock(&video_lock);
    /* an ffmpeg that has ended by itself (its display went away) makes room */
    if (recording && child_wait(recording->pid, 0, NULL)) {
        free_recording(recording);
        recording = NULL;
    }
    if (recording) {
        fprintf(stderr, "Extension: a video is being recorded already\n");
        pthread_mutex_unlock(&video_lock);
        free(file);
        return false;
    }

    char reason[512];
    const int with_sound = sound && sound_source_answers(reason, sizeof reason);
    if (sound && !with_sound)
        fprintf(stderr, "Extension: recording without sound: %s\n", reason);

    char rate[16], size[32], input[300];
    char *output = NULL;
    snprintf(rate, sizeof rate, "%d", frameRate);
    snprintf(size, sizeof size, "%dx%d", source.area.width, source.area.height);
    snprintf(input, sizeof input, "%s+%d,%d", source.display, source.area.x, source.area.y);
    /* "file:" keeps a colon in the name from being read as a protocol */
    if (asprintf(&output, "file:%s", file) < 0) {
        pthread_mutex_unlock(&video_lock);
        free(file);
        return false;
    }
    char *argv[64];
    int n = 0;
    /* x11grab states its format itself; probing would hold back the first
     * 5 MB of frames, seconds of them for a small region at a low rate */
    char *const head[] = {(char *)ffmpeg, "-hide_banner", "-nostats", "-loglevel", "error",
                          "-progress", "pipe:2", "-f", "x11grab", "-probesize", "32",
                          "-analyzeduration", "0", "-thread_queue_size", "512",
                          "-framerate", rate, "-video_size", size, "-i", input};
    for (size_t i = 0; i < sizeof head / sizeof head[0]; ++i)
        argv[n++] = head[i];
    if (with_sound) {
        char *const audio[] = {"-f", "pulse", "-thread_queue_size", "1024", "-i", "default",
                               "-map", "0:v", "-map", "1:a", "-c:a", "aac", "-b:a", "128k"};
        for (size_t i = 0; i < sizeof audio / sizeof audio[0]; ++i)
            argv[n++] = audio[i];
    }
    /* the output rate is fixed, as ffmpeg would otherwise guess it from the
     * timing of the first frames, which a busy machine disturbs */
    char *const tail[] = {"-r", rate, "-c:v", "libx264", "-preset", encoder_preset(&source, frameRate),
                          "-pix_fmt", "yuv420p", "-movflags", "+faststart",
                          "-f", "mp4", "-y", output, NULL};
    for (size_t i = 0; i < sizeof tail / sizeof tail[0]; ++i)
        argv[n++] = tail[i];

    recording = start_ffmpeg(argv);
    const bool started = recording != NULL;
    pthread_mutex_unlock(&video_lock);
    free(output);
    free(file);
    return started;
}

void StopVideoCapture(void)
{
    pthread_mutex_lock(&video_lock);
    if (recording) {
        finish_recording(recording);
        recording = NULL;
    }
    pthread_mutex_unlock(&video_lock);
}

/* A program that ends without stopping still gets a complete file. */
__attribute__((destructor)) static void finish_on_unload(void)
{
    StopVideoCapture();
}
